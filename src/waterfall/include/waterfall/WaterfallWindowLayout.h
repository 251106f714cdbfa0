#pragma once

#include "waterfall/WaterfallWindowFields.h"

#include <cstdint>
#include <optional>
#include <string>

// The geometry of one waterfall window picture, worked out from the fields,
// the recording and the view's width: time runs across (one column per line),
// the band runs down with its low edge in row 0.
struct WaterfallWindowLayout {
    // What a recording offers to the picture.
    struct Recording {
        double sampleRate = 0.0; // complex S/s
        double bandwidth = 0.0;  // Hz
        double centerFreq = 0.0; // Hz
        double seconds = 0.0;    // length, a part second included
    };

    static constexpr int kMinFftSize = 512;
    // The most samples one line may read and transform.
    static constexpr int kMaxFftSize = 1048576;
    static constexpr double kPixelsPerHz = 0.03;
    // RGBA for the picture and the level of every pixel (0.01 dB in 16 bits).
    static constexpr int64_t kBytesPerPixel = 6;
    // What a picture may take; beyond it the band is drawn at fewer pixels per Hz.
    static constexpr int64_t kPictureBudgetBytes = int64_t{256} << 20;

    int fftSize = 0;
    double linesPerSecond = 0.0;
    double startSeconds = 0.0;
    int64_t samplesPerLine = 0; // samples one line stands for
    int samplesRead = 0;        // of them read into the transform (at most fftSize)
    double minDb = 0.0;
    double maxDb = 0.0;
    // The band drawn, Hz relative to the recording's centre, as the screen mapping takes it.
    int startFreq = 0;
    int stopFreq = 0;
    // The same band in kHz, for the read-out.
    double lowKHz = 0.0;
    double highKHz = 0.0;
    int width = 0;  // columns, one per line
    int height = 0; // rows across the band
    int fullHeight = 0; // rows wanted (kPixelsPerHz, or the view's height for a span), which the budget may cut to `height`
    double recordingSeconds = 0.0;

    bool reducedForMemory() const { return height < fullHeight; }
    int64_t pictureBytes() const { return int64_t{width} * height * kBytesPerPixel; }

    // Frequency (kHz) and time (seconds from the first sample) at a point of
    // the picture, x across and y down from its top left corner.
    double frequencyAt(double y) const;
    double secondsAt(double x) const;
    // The columns, from the left, whose line starts inside the recording; the
    // others are silence past its end.
    int columnsWithSamples() const;

    // A layout, or why there is none, with the fields as used.
    struct Outcome;
    // The picture for `fields` over a view `width` columns wide. Zoomed to a
    // span, the span takes at least `viewHeight` rows, so that it fills the
    // view however narrow it is.
    static Outcome make(const WaterfallWindowFields& fields, const Recording& recording, int width,
                        int viewHeight = 0);

    // Paging: seconds shown = trunc(width / lines per second); a page moves the
    // start by three quarters of them, in whole seconds (by exactly three
    // quarters of the shown time when that gives under a second). Back stops at 0;
    // forward gives none when the new start would lie past the recording's end.
    static double pageBack(double startSeconds, int width, double linesPerSecond);
    static std::optional<double> pageForward(double startSeconds, int width, double linesPerSecond,
                                             double recordingSeconds);

    // The window title: the band's edges in whole kHz and the start time.
    static std::string title(const Recording& recording, const std::string& startTime);
};

struct WaterfallWindowLayout::Outcome {
    std::optional<WaterfallWindowLayout> layout; // none when `problem` says why
    std::string problem;
    // The fields as they are used (FFT size rounded, 0 lines per second made 10).
    WaterfallWindowFields fields;
    // What the user should know about a picture drawn differently from the fields.
    std::string note;
};
