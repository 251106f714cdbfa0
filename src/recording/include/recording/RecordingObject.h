#pragma once

#include "common/ComplexSample.h"
#include "common/Result.h"
#include "recording/RawIqSettings.h"
#include "recording/RecordingFile.h"
#include "recording/RecordingHeader.h"
#include "recording/RecordingParameters.h"
#include "recording/SampleFormat.h"
#include "recording/SampleSpans.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One opened recording: recognises which of six receiver-program layouts a
// file has, derives the recording's parameters from its header, and reads
// complex samples by time. Each window that shows or plays a recording owns
// its own object, so opening a file in one never changes another.
//
// Layouts, tried in this order: "SdrRadio", "SDRSharp" (by file name),
// "SdrSdrStudio1", "SdrSdrStudio2", "Perseus", and "SpectraVue", whose reader
// takes every plain WAVE file the others reject (named "WAV", or "KiwiSDR WAV"
// by its name); "RF64" for RF64/BW64 WAVE files
// (64-bit sizes). Files that are not RIFF/WAVE are read as "SigMF", "AU" or
// "Raw I/Q" (ForeignRecording). Samples are read from the file's "data" chunks, in file order and
// in the format its "fmt " chunk declares; other chunks between them (as
// KiwiSDR writes before each block of samples) are skipped through an index of
// chunk offsets built at open.
class RecordingObject {
public:
    // Highest sample rate taken from a header (S/s). Playback and file output
    // hold one second of samples, so a stray header claiming billions of
    // samples per second is refused instead of exhausting memory.
    static constexpr int64_t kMaxSampleRate = 250000000;

    RecordingObject();
    ~RecordingObject();
    RecordingObject(const RecordingObject&) = delete;
    RecordingObject& operator=(const RecordingObject&) = delete;

    // Folder that resolves names without a leading '/'; empty means $HOME/sdr_recordings.
    void setRecordingFolder(const std::string& folder);
    // $HOME/sdr_recordings, the folder used while none is set.
    static std::string defaultRecordingFolder();

    // Opens `name` (a full path when it begins with '/', else a name in the
    // recordings folder), recognises it and sets every parameter. `debugArray`
    // is emptied and receives the information lines for the user, among them
    // "Can't open file" or "Unsupported recording: <reason>" on failure. A file
    // that cannot be opened or is refused leaves no valid recording and the
    // parameters of the previous one.
    void setRecordingFile(const std::string& name, std::vector<std::string>& debugArray);
    // The same, with the failure also as the error: NotFound or Io for a
    // file that cannot be opened or read, Unsupported for one refused; its
    // message is the last of the information lines.
    Status open(const std::string& name, std::vector<std::string>& debugArray);
    bool isValidRecordingFile() const;

    // Whether setRecordingFile() would take the file at `path`, judged from
    // its header alone and without information or log lines: for listing a
    // folder. A one-channel (audio) WAV file is not a recording.
    static bool isRecordingFile(const std::string& path);

    // What the user says about raw I/Q files opened from now on (samples
    // without a header, whose name may not give their rate and format).
    void setRawIqSettings(const RawIqSettings& settings) { rawSettings_ = settings; }
    const RawIqSettings& rawIqSettings() const { return rawSettings_; }
    // After an open that failed: whether the file could be read as raw I/Q
    // samples once their rate and format are given.
    bool needsRawIqSettings() const { return rawSettingsNeeded_; }

    // Fills up to `count` complex samples, from the one of index `start`
    // (0 is the first of the recording), into `into`, in 16-bit units (full
    // scale about +-32768); `im` holds the file's I value, `re` its Q.
    // Returns how many were filled: fewer at the end of the data, 0 for a
    // negative start or count. Entries beyond those keep what they held. An
    // error (Io, with readError()'s text) once a read of the file has failed,
    // and with no valid recording. Safe to call from several threads on
    // different objects; allocates nothing unless it fails.
    Result<int64_t> read(int64_t start, int64_t count, ComplexSample* into);
    // The same from a time: the sample at `atSecond` seconds (>= 0) into the
    // recording, rounded down, and `samples` (>= 0) of them. Returns how many
    // were filled, also those before a failed read; 0 with no valid recording.
    int64_t getData(ComplexSample* block, double atSecond, int64_t samples);
    // Why a read of this file failed, "read error at byte N: <reason>" (an
    // I/O error, or a file that has become shorter than when it was opened);
    // empty while every read succeeded. Kept until the next open: after a
    // failure getData's counts are short, and a run must stop, not go on with
    // silence or stale samples.
    const std::string& readError() const { return openedFile.readError(); }

    // UTC time of the first sample plus `seconds`: "%d-%b-%Y %H:%M:%S" with
    // English month names ("05-Dec-2026 16:39:35"); "" with no valid recording.
    std::string TimestampFromOffset(int32_t seconds) const;
    // The same time as "05-Dec-2026 16.39.35", for use in file names; with
    // no start time known, the name and the time into it: "capture +00.01.05".
    std::string FileTimestampFromOffset(int32_t seconds) const;
    // Unix seconds of that time in 32 bits (wrapping); 0 with no valid recording.
    int32_t UnixTimestampFromOffset(int32_t seconds) const;
    // Unix seconds of the end of the recording as its header gives it.
    int64_t endTimestamp() const { return endUnixTimetamp; }

    // "SdrRadio", "SDRSharp", "SdrSdrStudio1", "SdrSdrStudio2", "Perseus",
    // "SpectraVue", "WAV", "KiwiSDR WAV" (and those of ForeignRecording); ""
    // with no valid recording.
    const std::string& layoutName() const { return layoutName_; }
    uint64_t dataOffset() const { return dataSpans_.firstOffset(); } // byte of the first sample
    // Complex samples in the file (whole ones), also those of a last part second.
    int64_t sampleCount() const;
    // False when the header gives no start time (a plain WAVE file without a
    // known name); mStartTimestamp is 0 then.
    bool startTimeKnown() const { return startTimeKnown_; }
    const std::string& path() const { return filePath; } // resolved full path
    // True when `path` names (also through a link) a file this recording
    // reads: the one opened, or for SigMF either file of the pair. Writers
    // refuse such an output.
    bool readsFile(const std::string& path) const;
    // Bytes of samples that the header declares and the file does not hold
    // (a copy cut short); 0 when it is whole. What is there is read.
    uint64_t missingBytes() const { return missingBytes_; }
    const SampleFormat& sampleFormat() const { return sampleFormat_; }

    // The recording's parameters; the previous recording's while none is valid.
    const RecordingParameters& parameters() const { return parameters_; }

private:
    struct Opening;
    struct ProbeOnly {};

    // A model that only recognises headers: no read buffer, no log lines.
    explicit RecordingObject(ProbeOnly);

    // Opens `path` and recognises its layout (the RIFF/WAVE layouts, else
    // SigMF, .au or raw I/Q), appending information lines to `lines`; the
    // error when the file cannot be opened or is refused.
    Status openAndRecognise(const std::string& path, Opening& opening, std::vector<std::string>& lines);

    void closeRecording();
    // Fills up to `samples` (> 0) complex samples from the one of `index`.
    int64_t fill(uint64_t index, int64_t samples, ComplexSample* block);

    RecordingParameters parameters_;
    std::string selectedRecordingFolder;
    std::string filePath;
    RecordingFile openedFile;
    std::unique_ptr<RecordingHeader> theHeader;
    int64_t startUnixTimetamp = 0;
    int64_t endUnixTimetamp = 0;

    std::string layoutName_;
    SampleFormat sampleFormat_;
    SampleSpans dataSpans_;
    uint64_t missingBytes_ = 0;
    bool startTimeKnown_ = false;
    std::vector<uint8_t> readBuffer_; // sized once; getData converts through it
    bool quiet_ = false;
    RawIqSettings rawSettings_;
    bool rawSettingsNeeded_ = false;
};
