#pragma once

#include "recording/SampleFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a recording's file name says where the file itself says little: raw
// I/Q captures (no header at all), .au files (no centre frequency) and plain
// WAVE files (no receiver information). The conventions read are those of
// common capture tools:
//
//   NAME_433.92M_250k.cu8 (also .cs8, .cs16, .cf32)   rtl_433: centre, rate, format
//   gqrx_20231015_123456_433920000_2000000_fc.raw     gqrx: start (UTC), centre in Hz, rate, float pairs
//   baseband_14074000Hz_12-34-56_15-10-2023.wav      SDR++: centre in Hz, start time
//   Delhi.828.1.12k.iq.au                             KiwiSDR: the first number is the centre in kHz
struct IqFileName {
    std::string convention;            // "rtl_433", "gqrx", "SDR++", "KiwiSDR"; empty when nothing is known
    std::optional<SampleFormat> format; // of a raw file, from its extension
    int64_t sampleRate = 0;            // S/s; 0 when the name does not say
    std::optional<double> centerFreq;  // Hz
    std::optional<int64_t> start;      // Unix seconds, UTC

    static IqFileName parse(std::string_view fileName);

    // A raw sample format by name: the capture tools' "cu8", "cs8", "cs16",
    // "cf32" and the SigMF data types "cu8", "ci8", "ci16_le", "ci16_be",
    // "ci32_le", "cf32_le" (case is ignored). nullopt for anything else.
    static std::optional<SampleFormat> formatNamed(std::string_view name);
    // "433.92M", "250k", "2.4MHz", "7100000": a frequency or rate with an
    // optional unit (k, M, G, Hz, kHz, MHz, GHz), rounded to whole Hz or S/s.
    static std::optional<double> valueWithUnit(std::string_view text);
    // "cu8, cs8, cs16, cf32, ci8, ci16_le, ci16_be, ci32_le, cf32_le", for messages.
    static const char* formatNames();
    // Bits of one I or Q value of a format.
    static int32_t bitsOf(const SampleFormat& format);
};
