#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The waterfall's axes and its read-out: ticks at round values with units
// that fit, and the text of the point under the pointer.
class WaterfallAxes {
public:
    struct Tick {
        double position; // pixels from the start of the axis
        std::string text;
    };

    // Ticks of a frequency axis from lowKHz (position 0) to highKHz (position
    // lengthPixels), at a round step (1, 2 or 5 times a power of ten Hz) at
    // least minSpacing pixels apart. Labelled in MHz from 30 MHz up, in kHz
    // from 10 kHz, else in Hz, with the decimals the step needs.
    static std::vector<Tick> frequencyTicks(double lowKHz, double highKHz, double lengthPixels, double minSpacing);

    // Ticks of a time axis from firstSecond (position 0) to lastSecond
    // (position lengthPixels) at a round step (1, 2, 5, 10, 15, 30 s, 1, 2, 5,
    // 10, 15, 30 min, 1, 2, 3, 6, 12 h, days) at least minSpacing pixels apart:
    // recording time "H:MM:SS", or the UTC time of day "HH:MM:SS" when the
    // recording's start (Unix seconds) is known.
    static std::vector<Tick> timeTicks(double firstSecond, double lastSecond, double lengthPixels, double minSpacing,
                                       std::optional<int64_t> startUnix);

    // "7100.250 kHz   0:01:05  03:05:10 UTC   -84.2 dB": the frequency to the
    // Hz, the recording time (and the UTC time when the start is known) and
    // the level, when there is one.
    static std::string readout(double kHz, double seconds, std::optional<int64_t> startUnix,
                               std::optional<double> levelDb);

    // "H:MM:SS" of whole seconds (days add to the hours).
    static std::string recordingTime(int64_t seconds);
};
