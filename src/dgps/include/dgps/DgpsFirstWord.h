#pragma once

#include <cstdint>

// One logged first word: a message of a listed station found on a channel.
struct DgpsFirstWord {
    float kHz = 0.0f;           // channel
    int baud = 0;               // 100 or 200
    int station = -1;           // index in the station table
    int stationId = 0;          // reference station ID in the word
    int messageType = 0;        // 6 or 9
    int polarity = 0;           // 1 when the preamble arrived inverted
    int64_t inputSample = 0;    // where the word starts, in input samples from the first one given
    int32_t time = 0;           // Unix seconds logged for it
};
