#pragma once

#include "dgps/DgpsDecoderBank.h"
#include "common/ComplexSample.h"
#include "recording/RawIqSettings.h"
#include "recording/RecordingObject.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DgpsDecodeObserver;
class DgpsStationTable;

// A scan of a whole recording for DGPS first words: five seconds at a time,
// every block given to every decoder of the bank, first words logged in the
// station table with the time of the block's end. Runs on whichever thread
// calls run(); stop() and the progress readers may be called from any other.
class DgpsBatchScan {
public:
    static constexpr int kBlockSeconds = 5;
    // Samples read at a time; a block is read and decoded in pieces of this.
    static constexpr int64_t kPiece = 1 << 20;

    // Opens its own reading of `path`, which run() reads, and builds the
    // decoder bank for its band (not while run() runs). False with `error`
    // set when the file is no recording; the recording set up before stays.
    // table must outlive the scan; observer may be null.
    bool setRecordingFile(const std::string& path, DgpsStationTable* table, bool wholeKhzOnly,
                          DgpsDecodeObserver* observer, std::string& error);

    // Scans from `playBackSec` (0 at first) to the end, until stopped, or
    // until a read fails. The part of the last block beyond the end of the
    // recording is zeros, and a second of zeros follows the end so that words
    // beginning in its last moments are read. Returns the read error ("read error at byte N: ..."),
    // or an empty string.
    std::string run();
    void stop() { m_Stop = true; }
    // Starts the next run() from second 0 again; decoders and logs remain.
    void rewind();

    int32_t playBackSec() const { return m_PlayBackSec.load(); } // seconds scanned
    // Of the recording set up: its resolved path, sample rate (S/s) and centre (Hz).
    const std::string& path() const { return m_Path; }
    // What the user says about a raw I/Q file whose name does not; before setRecordingFile.
    void setRawIqSettings(const RawIqSettings& settings) { rawIqSettings_ = settings; }
    int64_t sampleRate() const { return m_SampleRate; }
    double centerFreq() const { return m_CenterFreq; }
    double bandwidth() const { return m_Bandwidth; } // Hz
    int32_t endSecond() const { return m_EndSecond; }
    int numDemodObj() const { return m_Bank.numDemodObj(); }
    const DgpsDecoderBank& bank() const { return m_Bank; }
    int32_t dgpsStartTimestamp() const { return m_StartTimestamp; }

private:
    std::string m_Path;
    std::unique_ptr<RecordingObject> recording_;
    RawIqSettings rawIqSettings_;
    DgpsDecoderBank m_Bank;
    std::vector<ComplexSample> dgpsSampleBuf;
    int64_t m_SampleRate = 0;
    double m_CenterFreq = 0.0;
    double m_Bandwidth = 0.0;
    int32_t m_EndSecond = 0;
    int32_t m_StartTimestamp = 0;
    std::atomic<int32_t> m_PlayBackSec{0};
    std::atomic<bool> m_Stop{false};
};
