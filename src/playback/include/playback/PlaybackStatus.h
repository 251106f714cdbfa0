#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How playback ended since the last tick.
enum class PlaybackEnd {
    None,    // still playing, or was not playing
    Stopped, // the selection was heard to its end, or playback failed
    Looped,  // the selection ended and Loop started it again
};

// What one PlaybackSession::tick() saw, for the window to show.
struct PlaybackStatus {
    bool ran = false;       // playback was on when the tick began
    bool playing = false;   // ... and is on after it
    bool paused = false;
    int32_t position = 0;   // the whole second being heard: the play mark
    // While playing: "%@ %6.3f kHz", the time being heard and the measured
    // carrier, and the signal level in dBm (none when nothing was measured or
    // while paused).
    std::string timeAndCarrier;
    double carrierKHz = 0.0;
    std::optional<double> levelDbm;
    // A new carrier spectrum is ready (PlaybackSession::carrierSpectrum).
    bool newCarrierSpectrum = false;
    PlaybackEnd ended = PlaybackEnd::None;
    // Why playback stopped early (a read error, a band that cannot be
    // filtered); empty otherwise.
    std::string message;
};
