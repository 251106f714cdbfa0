#pragma once

#include "dsp/AgcSettings.h"

#include <optional>
#include <string>

// The AGC menu: Auto is the mode's own choice (AM, SAM and FM: a 200 ms decay
// without hang, as the pipeline always levelled; USB, LSB and CW: Slow).
enum class AgcChoice : int { Auto = 0, Off, Fast, Medium, Slow, Long };

// De-emphasis of broadcast FM: the time constant of the transmitter's
// pre-emphasis (50 us in most of the world, 75 us in the Americas), or none.
enum class Deemphasis : int { Us50 = 0, Us75, Off };

// A receiver's listening controls, carried by DemodSetup to every path that
// demodulates (playback, file runs, the CLI). The defaults are what a
// demodulator without controls does.
struct ReceiverControls {
    static constexpr double kDefaultMaxGainDb = 60.0;

    AgcChoice agc = AgcChoice::Auto;
    // dB: the gain with the AGC off (0 keeps the recording's level).
    double manualGainDb = 0.0;
    // dB: the most gain the AGC gives, so that an empty band stays quiet.
    double maxGainDb = kDefaultMaxGainDb;
    // Squelch level in the S-meter's dBm (the band-passed signal's power, 5 dB
    // above full-scale power): audio fades out within 5 ms while the level,
    // averaged over 20 ms, stays 3 dB below it, and back in once it reaches it.
    // Empty: no squelch.
    std::optional<double> squelchDb;
    Deemphasis wfmDeemphasis = Deemphasis::Us50;
    // Narrow FM: 750 us de-emphasis (off by default: most speech channels are sent flat).
    bool fmDeemphasis = false;

    bool operator==(const ReceiverControls&) const = default;
};

// The AGC figures of a choice in a mode (DemodMode).
AgcSettings agcSettingsFor(const ReceiverControls& controls, int mode);

// "auto", "off", "fast", "medium", "slow", "long".
const char* agcChoiceName(AgcChoice choice);
// A name above, in any case; empty when it is none of them.
std::optional<AgcChoice> agcChoiceFromName(const std::string& name);

// "50", "75", "off".
const char* deemphasisName(Deemphasis deemphasis);
std::optional<Deemphasis> deemphasisFromName(const std::string& name);
