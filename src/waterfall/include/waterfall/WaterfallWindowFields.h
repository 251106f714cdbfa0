#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// What the waterfall window's seven fields and its zoom box hold, as numbers.
// Frequencies in kHz, times in seconds from the first sample.
struct WaterfallWindowFields {
    static constexpr int kFieldCount = 7;
    // The fields in the order of their stored preferences.
    enum Field { kFftSize, kMinDb, kMaxDb, kCenterKHz, kSpanKHz, kStartSeconds, kLinesPerSecond };
    // Shown in place of a stored value that is 0 or absent.
    static constexpr std::array<double, kFieldCount> kDefaults = {65536, -170, -110, 230, 40, 0, 50};
    // What the user calls each field, for messages.
    static constexpr std::array<const char*, kFieldCount> kCaptions = {
        "FFT size", "Min dB", "Max dB", "Centre", "Span", "Start time", "Lines per second"};

    double fftSize = kDefaults[kFftSize];
    double minDb = kDefaults[kMinDb];
    double maxDb = kDefaults[kMaxDb];
    double centerKHz = kDefaults[kCenterKHz];
    double spanKHz = kDefaults[kSpanKHz];
    double startSeconds = kDefaults[kStartSeconds];
    double linesPerSecond = kDefaults[kLinesPerSecond];
    // Draw only centre +- span/2 instead of the whole band.
    bool zoomToSpan = false;

    double value(Field field) const;
    void setValue(Field field, double value);

    // From the stored integers, in Field order; 0 stands for absent.
    static WaterfallWindowFields fromPreferences(const std::array<int, kFieldCount>& stored);
    // The values as stored: truncated toward zero, limited to the int range.
    std::array<int, kFieldCount> toPreferences() const;

    // The fields from their texts (Field order). Without a value, `problem`
    // names the first field that holds no finite number.
    static std::optional<WaterfallWindowFields> fromTexts(const std::array<std::string, kFieldCount>& texts,
                                                          bool zoomToSpan, std::string& problem);
    // A finite number in C notation, spaces around it allowed; none otherwise.
    static std::optional<double> parseNumber(std::string_view text);
    // A value as a field shows it: C notation, the shortest text that reads back exactly.
    static std::string text(double value);
};
