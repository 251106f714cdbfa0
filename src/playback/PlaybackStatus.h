#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How a fast tick of playback ended.
enum class PlaybackEnd {
    None,    // still playing, or was not playing
    Stopped, // the selection ended (or Loop could not start again)
    Looped,  // the selection ended and Loop started it again
};

// What one PlaybackSession::tick() did, for the window to show.
struct PlaybackStatus {
    bool ran = false;         // playback was on when the tick began
    bool playing = false;     // ... and is on after it
    int32_t position = 0;     // the next second to feed: the play mark
    int secondsFed = 0;
    // Of the last second fed, when secondsFed > 0: "%@ %6.3f kHz", the time
    // of that second and the measured carrier, and the signal level in dBm
    // (none when nothing was measured).
    std::string timeAndCarrier;
    double carrierKHz = 0.0;
    std::optional<double> levelDbm;
    PlaybackEnd ended = PlaybackEnd::None;
    // Why playback stopped early (a read error) or Loop could not start
    // again; empty otherwise.
    std::string message;
};
