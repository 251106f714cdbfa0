#pragma once

#include "demod/DemodSetup.h"
#include "demod/DemodulatorObject.h"
#include "recording/RawIqSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AudioOutput;
class CarrierTextFile;
class DemodSecondFeeder;
class RecordingObject;

// A recording, a demodulator and the feeder between them, prepared the same
// way for playback, a file run and `korvel-cli demod`: open the recording, set
// up from a selection, configure the demodulator, feed it a second at a time.
// The recording's parameters reach a set-up through here only.
class DemodPipeline {
public:
    // soundOutput: where the demodulator's playback audio goes (not owned, may
    // be null).
    explicit DemodPipeline(AudioOutput* soundOutput = nullptr);
    ~DemodPipeline();
    DemodPipeline(const DemodPipeline&) = delete;
    DemodPipeline& operator=(const DemodPipeline&) = delete;

    // Opens `name` (a path, or a name in `folder` when that is not empty) and
    // fills `lines` with its information lines. Returns an empty string, or why
    // the file was refused (not a recording; with requireBandwidth, a recording
    // without a band to draw); a refused file leaves the open recording as it
    // was. An accepted one replaces it and drops the feeder.
    std::string open(const std::string& folder, const std::string& name, std::vector<std::string>& lines,
                     bool requireBandwidth = false);
    bool isOpen() const;
    // What the user says about raw I/Q files whose names do not, for the next opens.
    void setRawIqSettings(const RawIqSettings& settings) { rawIqSettings_ = settings; }
    // After a refused open: the file would open as raw I/Q once its rate and format are given.
    bool lastOpenNeedsRawIqSettings() const { return needsRawIqSettings_; }

    // The open recording's parameters (all zero without one).
    RecordingParameters parameters() const;
    DemodSetup setUp(const SelectionFields& typed, int mode) const;
    DemodSetup setUp(const Selection& selection, int mode) const;

    // Carrier log on or off ("carrier.txt" in `carrierLogFolder`), then the
    // set-up's calls on the demodulator. False when the band cannot be filtered; the reason is
    // setup.bandMessage().
    bool configure(DemodSetup& setup, bool carrierLog, const std::string& carrierLogFolder);

    // Makes the block of one second at the recording's rate; false when
    // memory is short (no feeder then).
    bool makeFeeder();
    bool hasFeeder() const { return feeder_ != nullptr; }
    // See DemodSecondFeeder::feedSecond; needs a feeder.
    int feedSecond(int32_t second, int16_t* output);

    RecordingObject* recording() { return recording_.get(); }
    const RecordingObject* recording() const { return recording_.get(); }
    DemodulatorObject& demodulator() { return demod_; }
    const DemodulatorObject& demodulator() const { return demod_; }
    DemodSecondFeeder* feeder() { return feeder_.get(); }

private:
    RawIqSettings rawIqSettings_;
    bool needsRawIqSettings_ = false;
    std::unique_ptr<RecordingObject> recording_;
    std::unique_ptr<CarrierTextFile> carrierLog_;
    DemodulatorObject demod_;
    std::unique_ptr<DemodSecondFeeder> feeder_;
};
