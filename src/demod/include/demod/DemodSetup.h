#pragma once

#include "demod/ReceiverControls.h"
#include "demod/Selection.h"
#include "recording/RecordingParameters.h"

#include <cstdint>
#include <string>

class DemodulatorObject;

// A selection turned into demodulator settings: reads and mends the fields,
// works out tuning, filter width and pass-band shift, and configures a
// DemodulatorObject. Shared by the main window (Play and the two file buttons)
// and `korvel-cli demod`.
class DemodSetup {
public:
    // mode: DemodMode index. Time fields are truncated to whole seconds and
    // clamped to 0..numSeconds; reversed times and frequency edges are swapped;
    // the shift is limited to +-5 kHz and so that the band stays inside the
    // pipeline's band. A field that is not a finite number, or a selection
    // whose band is not inside the recording's (centre +- half the sample
    // rate), makes ok() false with error() saying which.
    static DemodSetup fromFields(const SelectionFields& fields, int mode, const RecordingParameters& recording);
    // The same rules for a selection already in numbers (fields() then shows
    // it in whole seconds and "%g" kHz).
    static DemodSetup fromSelection(const Selection& selection, int mode, const RecordingParameters& recording);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // The field texts to show back: mended values rewritten, others as given.
    const SelectionFields& fields() const { return fields_; }

    // The mended selection, with the shift as used.
    Selection selection() const { return {startSecond_, endSecond_, lowKHz_, highKHz_, pbtHz_ / 1000.0}; }
    int mode() const { return mode_; }
    int32_t startSecond() const { return startSecond_; }
    int32_t endSecond() const { return endSecond_; }
    double lowKHz() const { return lowKHz_; }
    double highKHz() const { return highKHz_; }
    double ncoHz() const { return ncoHz_; }       // tuning offset from the centre frequency
    double filterHz() const { return filterHz_; } // filter width, also the audio bandwidth
    double pbtHz() const { return pbtHz_; }

    // The listening controls configure() hands the demodulator (the defaults
    // unless set).
    void setControls(const ReceiverControls& controls) { controls_ = controls; }
    const ReceiverControls& controls() const { return controls_; }

    // Performs the set-up calls in their order on `demod` (which also learns the
    // centre frequency and start time for the carrier measurement) and starts a
    // new stream on it (DemodulatorObject::ResetStream). Returns false, with
    // bandMessage() set, when the band cannot be filtered at the pipeline rate:
    // the demodulator is then silent. Only valid when ok().
    bool configure(DemodulatorObject& demod);
    const std::string& bandMessage() const { return bandMessage_; }
    // Whether the band can be filtered at the pipeline rate (else bandMessage()
    // says why), known as soon as ok().
    bool bandFits() const { return bandMessage_.empty(); }

private:
    bool checkModeAndRate();
    // Clamps, orders and checks the numbers and works out the settings; sets
    // error_ when the band does not fit.
    void apply(double start, double end, double low, double high, double pbt);

    SelectionFields fields_;
    std::string error_;
    std::string bandMessage_;
    RecordingParameters recording_;
    ReceiverControls controls_;
    int mode_ = 0;
    int32_t startSecond_ = 0;
    int32_t endSecond_ = 0;
    double lowKHz_ = 0.0;
    double highKHz_ = 0.0;
    double ncoHz_ = 0.0;
    double filterHz_ = 0.0;
    double pbtHz_ = 0.0;
};
