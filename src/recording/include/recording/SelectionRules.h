#pragma once

#include <array>
#include <optional>

// Rules of the main window that need no widget: the display FFT size, the
// waterfall's dB range, and how mouse positions on the waterfall become a
// selection of seconds and kHz. Waterfall positions are in view pixels with y
// growing downward: row n (second n of the recording) covers y = n to n + 1.

// Display FFT size from a stored or typed value: 0 (or not a number) gives 8192;
// anything else is limited to 1024..65536 first and then rounded up to a power
// of two, so huge or negative values cannot overflow.
int NormalizeFftSize(double stored);

struct DbRange {
    int minDb;
    int maxDb;
};

// The waterfall's dB range from the stored "minDB" and "maxDB": both truncated to
// whole dB (limited to ±1000); both 0 (a first start) gives -110 to -80.
DbRange DbRangeFromPreferences(double storedMinDb, double storedMaxDb);

// A dB value as the preferences store it: truncated to whole dB, limited to
// ±1000, 0 for not a number.
int TruncateDb(double db);

// Why the waterfall cannot be drawn between minDb and maxDb (dB), or nullptr.
const char* DbRangeProblem(double minDb, double maxDb);

// Why a recording of this bandwidth (Hz) cannot be drawn, or nullptr.
const char* BandwidthProblem(double bandwidthHz);

// Modifier keys as the waterfall reports them. Option is Alt, Command is Meta.
enum SelectionModifier : unsigned {
    kShiftKey = 1u << 0,
    kControlKey = 1u << 1,
    kOptionKey = 1u << 2,
    kCommandKey = 1u << 3,
};

enum class SelectionField { None, StartTime, EndTime, LowFrequency, HighFrequency };

// One selection field to overwrite: times in whole seconds, frequencies in whole kHz.
struct SelectionFieldChange {
    SelectionField field;
    int value;
};

// What a right click on the waterfall sets. frequencyKHz, seconds: the clicked
// point; modifiers: SelectionModifier bits (others are ignored); numSeconds: the
// recording's length in seconds. Only these exact combinations set a field:
// Shift start time, Control end time, Option low frequency (rounded to whole
// kHz), Command high frequency, Shift+Option start time 0, Shift+Command end
// time numSeconds.
SelectionFieldChange RightClickFieldChange(float frequencyKHz, float seconds, unsigned modifiers, int numSeconds);

// The band a waterfall shows across its width.
struct WaterfallBand {
    double bandwidthKHz;  // > 0 once a recording is drawn
    double centerKHz;
    int pixelsWide;       // columns, > 0
};

// Frequency in kHz at column x (0 .. pixelsWide, left edge to right edge).
double FrequencyAtColumn(double x, const WaterfallBand& band);

// Column of frequencyKHz; none when the band has no width.
std::optional<double> ColumnAtFrequency(double frequencyKHz, const WaterfallBand& band);

// The whole second at row position y, limited to 0..pixelsHigh.
int SecondAtRow(double y, int pixelsHigh);

struct WaterfallSelection {
    int startSecond;  // startSecond <= endSecond
    int endSecond;
    double lowKHz;    // lowKHz <= highKHz
    double highKHz;
};

// The selection spanned by a drag from (anchorX, anchorY) to (cornerX, cornerY),
// in either direction; points outside the view count as on its edge.
WaterfallSelection SelectionFromDrag(double anchorX, double anchorY, double cornerX, double cornerY,
                                     int pixelsHigh, const WaterfallBand& band);

// The band a recording's samples hold without aliasing: its centre frequency
// +- half its complex sample rate, kHz.
struct RecordingBand {
    double lowKHz;
    double highKHz;
};
RecordingBand RecordingBandOf(double sampleRate, double centerHz);

// Whether a selection from lowKHz to highKHz (either order) lies inside
// `band`; edges typed to a thousandth of a kHz count as on the band's edge.
bool SelectionFitsBand(double lowKHz, double highKHz, const RecordingBand& band);

// The eleven labels of the frequency scale, whole kHz (truncated) at the left
// edge, every tenth of the band, and the right edge.
std::array<int, 11> FrequencyScaleLabels(double bandwidthKHz, double centerKHz);
