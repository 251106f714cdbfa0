#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DemodulatorObject;
class DemodSecondFeeder;

// Demodulates a selection into a WAV file (44100 Hz, mono, 16-bit PCM): the
// seconds [start, end) one at a time, at least one, through a demodulator that
// DemodSetup has configured. The file holds exactly the selection, 44100
// samples a second, in step with it (a selection that ends at the recording's
// last whole second takes in the part second after it, where the recording
// ends): the second before the selection (where
// there is one) fills the pipeline, the second after it flushes the pipeline,
// and the audio is trimmed by the pipeline's delay. A selection without a
// sample of the recording is refused; one that runs past the recording's last
// sample stops there (Result::clipped): nothing past the end is demodulated
// but the silence that pushes the pipeline's last audio out. The audio goes to a temporary file in the target
// folder that is renamed over the target at the end, so a failed or cancelled
// run leaves nothing behind and an existing file is replaced only by a whole one.
//
// A selection whose audio would pass the 4 GiB a RIFF file can hold is
// written as RF64 (the same WAVE with 64-bit sizes in a "ds64" chunk, which
// takes the place of a "JUNK" chunk reserved for it).
//
// run() blocks; the app calls it on a worker thread. cancel() and setPosition()
// may be called from any thread while it runs.
class DemodFileJob {
public:
    static constexpr const char* kFixedFileName = "DemodOutput.wav";
    static constexpr int kWavHeaderBytes = 44;
    // With the "JUNK" chunk that an RF64 file's "ds64" chunk replaces.
    static constexpr int kRf64HeaderBytes = 80;
    // The RIFF length field (file length - 8) must fit 32 bits; an even count.
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36 - 1;

    // "%6.1f %s %@.wav": the frequency in kHz (the middle of the selection,
    // its low edge for USB, its high edge for LSB), the mode's name ("AM",
    // "SAM", ..., "CWL", "None"), and `fileTimestamp` (the start second as
    // RecordingObject::FileTimestampFromOffset gives it). C notation always.
    static std::string timestampedFileName(int mode, double lowKHz, double highKHz, const std::string& fileTimestamp);

    struct Result {
        bool ok = false;          // a file was written
        bool complete = false;    // ... holding the whole selection, or all of it the recording holds
        bool clipped = false;     // the recording ends inside the selection: the file stops there
        std::string message;      // why not ok or not complete, or where it was clipped; empty otherwise
        std::string path;         // the file written
        int64_t audioSamples = 0; // 16-bit samples in the file
    };

    // Called after each second with the next second to read (the play mark).
    using Progress = std::function<void(int32_t nextSecond)>;

    // folder: an existing folder (run() refuses a missing one); fileName: name
    // inside it. `demod` and `feeder` must outlive run().
    DemodFileJob(DemodulatorObject& demod, DemodSecondFeeder& feeder, int32_t startSecond, int32_t endSecond,
                 std::string folder, std::string fileName);

    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // The most audio bytes a RIFF file of this job holds (even, <= kMaxDataBytes;
    // smaller in tests): a selection longer than that is written as RF64. A
    // run the skip buttons stretch past it in a RIFF file stops there.
    void setRiffDataLimit(uint64_t bytes) { maxDataBytes_ = bytes; }

    Result run();

    // Output samples by which the audio of `configured` (set up and reset)
    // runs ahead of its input: its start-up hold-back less its filters' delay;
    // negative when it lags. Measured with a tone burst through a demodulator
    // set up the same way, its two halves at most `maxHalfSamples` each: a
    // run over a recording shorter than the burst measures with a shorter one.
    static int measureLead(const DemodulatorObject& configured, int64_t maxHalfSamples = INT64_MAX);
    void cancel() { cancelled_ = true; }
    // The next second to read; the skip buttons move it during a run.
    void setPosition(int32_t second) { position_ = second; }
    // Moves the position by `seconds`, never below 0; safe against the run's
    // own advance on another thread.
    void moveBy(int32_t seconds)
    {
        int32_t now = position_.load();
        while (!position_.compare_exchange_weak(now, std::max(now + seconds, 0))) {
        }
    }
    int32_t position() const { return position_; }

private:
    DemodulatorObject& demod_;
    DemodSecondFeeder& feeder_;
    int32_t startSecond_;
    int32_t endSecond_;
    std::string folder_;
    std::string fileName_;
    Progress progress_;
    uint64_t maxDataBytes_ = kMaxDataBytes;
    std::atomic<bool> cancelled_{false};
    std::atomic<int32_t> position_;
};
