#pragma once

// How the AGC levels: the figures of one choice (Fast, Slow, ...) or a fixed gain.
struct AgcSettings {
    // Level automatically; off applies manualGainDb and delays nothing.
    bool on = true;
    // ms (0.1..100): the look-ahead. The gain starts falling this long before an
    // onset reaches the output and has settled (within 1 % of the step in dB)
    // when it does, so an onset neither overshoots nor is cut earlier.
    double attackMs = 2.0;
    // ms (>= 0): after the level falls the gain holds this long before it rises.
    double hangMs = 0.0;
    // ms (> 0): time constant of the gain's return (in dB) after the hang.
    double decayMs = 200.0;
    // dB: the most gain the AGC gives (output / input amplitude), so that a band
    // with nothing in it stays as quiet as its noise times this gain.
    double maxGainDb = 100.0;
    // dB: the gain with the AGC off.
    double manualGainDb = 0.0;

    bool operator==(const AgcSettings&) const = default;
};
