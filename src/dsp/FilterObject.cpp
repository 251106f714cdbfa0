#include "dsp/FilterObject.h"

#include "common/SystemLog.h"
#include "dsp/SampleVector.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <type_traits>

namespace {

template <class Sample>
struct SampleOps;

template <>
struct SampleOps<ComplexSample> {
    using Value = Double2;
    static Value Load(const ComplexSample* s) { return LoadSample(s); }
    static void Store(ComplexSample* s, Value v) { StoreSample(s, v); }
};

template <>
struct SampleOps<double> {
    using Value = double;
    static Value Load(const double* s) { return *s; }
    static void Store(double* s, Value v) { *s = v; }
};

// Two complex samples `apart` positions from each other, as one vector.
inline void LoadPair(const ComplexSample* first, int apart, Double4& pair)
{
    pair = __builtin_shufflevector(LoadSample(first), LoadSample(first + apart), 0, 1, 2, 3);
}

// Half-band outputs for the windows line[i .. i+L-1], i = first, first+2, ... < count,
// L = 4*pairs - 1. Symmetric taps are folded, so each output costs `pairs` products
// plus the centre. Pairs > 0 fixes the length at compile time so the tap loop
// unrolls. With Wide, complex outputs go two to a vector: their windows start two
// samples apart.
template <class Sample, bool Wide, int Pairs>
__attribute__((always_inline)) inline int HalfBandOutputs(const Sample* line, int first, int count,
                                                          const double* evenHalf, int pairs, double centre,
                                                          Sample* out)
{
    using Ops = SampleOps<Sample>;
    const int p = Pairs > 0 ? Pairs : pairs;
    const int last = 4 * p - 2;
    int k = 0;
    int i = first;
    if constexpr (Wide && std::is_same_v<Sample, ComplexSample>) {
        for (; i + 2 < count; i += 4, k += 2) {
            const Sample* w = line + i;
            Double4 value;
            LoadPair(w + 2 * p - 1, 2, value);
            Double4 acc = centre * value;
            for (int j = 0; j < p; ++j) {
                Double4 older;
                Double4 newer;
                LoadPair(w + 2 * j, 2, older);
                LoadPair(w + last - 2 * j, 2, newer);
                acc += evenHalf[j] * (older + newer);
            }
            std::memcpy(static_cast<void*>(out + k), &acc, sizeof acc);
        }
    }
    for (; i < count; i += 2, ++k) {
        const Sample* w = line + i;
        auto acc = centre * Ops::Load(w + 2 * p - 1);
        for (int j = 0; j < p; ++j)
            acc += evenHalf[j] * (Ops::Load(w + 2 * j) + Ops::Load(w + last - 2 * j));
        Ops::Store(out + k, acc);
    }
    return k;
}

// The wide complex HalfBandOutputs for a length fixed at compile time, with the
// pairs of inputs kept in registers: the windows of the next two outputs start
// four samples on, so all but two of the 2P pairs of taps' inputs were this
// pair's and only those two and the centre are loaded.
template <int P>
__attribute__((always_inline)) inline int HalfBandPairsReusing(const ComplexSample* line, int first, int count,
                                                              const double* evenHalf, double centre,
                                                              ComplexSample* out)
{
    int k = 0;
    int i = first;
    if (i + 2 < count) {
        Double4 r[2 * P]; // r[m]: the inputs at offsets 2m and 2m + 2 of the window
#pragma GCC unroll 32
        for (int m = 0; m < 2 * P - 2; ++m)
            LoadPair(line + i + 2 * m, 2, r[m]);
        for (; i + 2 < count; i += 4, k += 2) {
            const ComplexSample* w = line + i;
            LoadPair(w + 4 * P - 4, 2, r[2 * P - 2]);
            LoadPair(w + 4 * P - 2, 2, r[2 * P - 1]);
            Double4 value;
            LoadPair(w + 2 * P - 1, 2, value);
            Double4 acc = centre * value;
#pragma GCC unroll 16
            for (int j = 0; j < P; ++j)
                acc += evenHalf[j] * (r[j] + r[2 * P - 1 - j]);
            std::memcpy(static_cast<void*>(out + k), &acc, sizeof acc);
#pragma GCC unroll 32
            for (int m = 0; m < 2 * P - 2; ++m)
                r[m] = r[m + 2];
        }
    }
    for (; i < count; i += 2, ++k) {
        const ComplexSample* w = line + i;
        Double2 acc = centre * LoadSample(w + 2 * P - 1);
        for (int j = 0; j < P; ++j)
            acc += evenHalf[j] * (LoadSample(w + 2 * j) + LoadSample(w + 4 * P - 2 - 2 * j));
        StoreSample(out + k, acc);
    }
    return k;
}

template <class Sample, bool Wide>
__attribute__((always_inline)) inline int HalfBandOutputsOfLength(const Sample* line, int first, int count,
                                                                  const double* evenHalf, int pairs, double centre,
                                                                  Sample* out)
{
    if constexpr (Wide && std::is_same_v<Sample, ComplexSample>) {
        switch (pairs) {
        case 4: return HalfBandPairsReusing<4>(line, first, count, evenHalf, centre, out);
        case 5: return HalfBandPairsReusing<5>(line, first, count, evenHalf, centre, out);
        case 6: return HalfBandPairsReusing<6>(line, first, count, evenHalf, centre, out);
        case 7: return HalfBandPairsReusing<7>(line, first, count, evenHalf, centre, out);
        case 8: return HalfBandPairsReusing<8>(line, first, count, evenHalf, centre, out);
        case 9: return HalfBandPairsReusing<9>(line, first, count, evenHalf, centre, out);
        case 10: return HalfBandPairsReusing<10>(line, first, count, evenHalf, centre, out);
        case 11: return HalfBandPairsReusing<11>(line, first, count, evenHalf, centre, out);
        case 12: return HalfBandPairsReusing<12>(line, first, count, evenHalf, centre, out);
        case 13: return HalfBandPairsReusing<13>(line, first, count, evenHalf, centre, out);
        default: break;
        }
    }
    switch (pairs) {
    case 4: return HalfBandOutputs<Sample, Wide, 4>(line, first, count, evenHalf, pairs, centre, out);
    case 5: return HalfBandOutputs<Sample, Wide, 5>(line, first, count, evenHalf, pairs, centre, out);
    case 6: return HalfBandOutputs<Sample, Wide, 6>(line, first, count, evenHalf, pairs, centre, out);
    case 7: return HalfBandOutputs<Sample, Wide, 7>(line, first, count, evenHalf, pairs, centre, out);
    case 8: return HalfBandOutputs<Sample, Wide, 8>(line, first, count, evenHalf, pairs, centre, out);
    case 9: return HalfBandOutputs<Sample, Wide, 9>(line, first, count, evenHalf, pairs, centre, out);
    case 10: return HalfBandOutputs<Sample, Wide, 10>(line, first, count, evenHalf, pairs, centre, out);
    case 11: return HalfBandOutputs<Sample, Wide, 11>(line, first, count, evenHalf, pairs, centre, out);
    case 12: return HalfBandOutputs<Sample, Wide, 12>(line, first, count, evenHalf, pairs, centre, out);
    case 13: return HalfBandOutputs<Sample, Wide, 13>(line, first, count, evenHalf, pairs, centre, out);
    default: return HalfBandOutputs<Sample, Wide, 0>(line, first, count, evenHalf, pairs, centre, out);
    }
}

constexpr int kMaxPairs = 13; // the 51-tap set

// The real variant of HalfBandOutputs, for sets of up to kMaxPairs pairs: the line is split into its even and odd
// samples a group of outputs at a time, so that neighbouring outputs read
// neighbouring values and go a vector at a time.
template <class Vec>
__attribute__((always_inline)) inline int RealHalfBandOutputs(const double* line, int first, int count,
                                                              const double* evenHalf, int pairs, double centre,
                                                              double* out)
{
    constexpr int width = sizeof(Vec) / sizeof(double);
    constexpr int kGroup = 256;
    double even[kGroup + 2 * kMaxPairs];
    double odd[kGroup + kMaxPairs];
    const int total = count > first ? (count - first + 1) / 2 : 0;
    for (int k0 = 0; k0 < total; k0 += kGroup) {
        const int m = std::min(kGroup, total - k0);
        // Output k reads line[i + 2j] = even[k + j], line[i + 4p - 2 - 2j] =
        // even[k + 2p - 1 - j] and the centre line[i + 2p - 1] = odd[k + p - 1],
        // with i = first + 2 (k0 + k).
        const double* base = line + first + 2 * k0;
        for (int t = 0; t < m + 2 * pairs - 1; ++t)
            even[t] = base[2 * t];
        for (int t = 0; t < m + pairs - 1; ++t)
            odd[t] = base[2 * t + 1];
        int k = 0;
        for (; k + width <= m; k += width) {
            Vec value;
            std::memcpy(&value, odd + k + pairs - 1, sizeof value);
            Vec acc = centre * value;
            for (int j = 0; j < pairs; ++j) {
                Vec older;
                Vec newer;
                std::memcpy(&older, even + k + j, sizeof older);
                std::memcpy(&newer, even + k + 2 * pairs - 1 - j, sizeof newer);
                acc += evenHalf[j] * (older + newer);
            }
            std::memcpy(out + k0 + k, &acc, sizeof acc);
        }
        for (; k < m; ++k) {
            double acc = centre * odd[k + pairs - 1];
            for (int j = 0; j < pairs; ++j)
                acc += evenHalf[j] * (even[k + j] + even[k + 2 * pairs - 1 - j]);
            out[k0 + k] = acc;
        }
    }
    return total;
}

// The outputs of windows line + i, i = first, first + 2, ... < count.
template <class Sample, bool Wide>
__attribute__((always_inline)) inline int StreamOutputs(const Sample* line, int first, int count,
                                                        const std::vector<double>& evenHalf, double centre, Sample* out)
{
    const int pairs = static_cast<int>(evenHalf.size());
    if constexpr (std::is_same_v<Sample, double>) {
        if (pairs <= kMaxPairs)
            return RealHalfBandOutputs<std::conditional_t<Wide, Double4, Double2>>(line, first, count,
                                                                                   evenHalf.data(), pairs, centre, out);
        return HalfBandOutputsOfLength<double, false>(line, first, count, evenHalf.data(), pairs, centre, out);
    } else {
        return HalfBandOutputsOfLength<Sample, Wide>(line, first, count, evenHalf.data(), pairs, centre, out);
    }
}

// Filters the block straight from `in`. The windows that start in the history,
// or so early that with out == in their outputs would land on inputs later
// windows still read, are made from a short copy and written last; the new
// history is saved before anything is written.
// `history` holds the last L - 1 inputs, then room for 5 (L - 1) + 2 samples
// of scratch.
template <class Sample, bool Wide>
__attribute__((always_inline)) inline int HalfBandStream(int n, const Sample* in, Sample* out, Sample* history,
                                                         int length, const std::vector<double>& evenHalf, double centre,
                                                         bool& nextIsOdd)
{
    const int h = length - 1;
    const int first = nextIsOdd ? 1 : 0;
    // Window i covers history ++ in from index i: the head windows are those
    // below `body`, the rest read only in[i - h ...].
    const int body = first + 2 * h;
    const int headInputs = std::min(n, body);
    Sample* headLine = history + h;            // 3h + 1 samples
    Sample* newHistory = headLine + 3 * h + 1; // h
    Sample* headOut = newHistory + h;          // h + 1
    std::copy(history, history + h, headLine);
    std::copy(in, in + headInputs, headLine + h);
    if (n >= h) {
        std::copy(in + n - h, in + n, newHistory);
    } else {
        std::copy(history + n, history + h, newHistory);
        std::copy(in, in + n, newHistory + (h - n));
    }

    const int headCount = StreamOutputs<Sample, Wide>(headLine, first, headInputs, evenHalf, centre, headOut);
    int produced = headCount;
    if (n > body)
        produced += StreamOutputs<Sample, Wide>(in + (body - h), 0, n - body, evenHalf, centre, out + headCount);
    std::copy(headOut, headOut + headCount, out);
    std::copy(newHistory, newHistory + h, history);
    nextIsOdd ^= (n & 1) != 0;
    return produced;
}

KORVEL_WIDE_TARGET int HalfBandStreamWide(int n, const ComplexSample* in, ComplexSample* out, ComplexSample* line,
                                          int length, const std::vector<double>& evenHalf, double centre,
                                          bool& nextIsOdd)
{
    return HalfBandStream<ComplexSample, true>(n, in, out, line, length, evenHalf, centre, nextIsOdd);
}

KORVEL_WIDE_TARGET int RealHalfBandStreamWide(int n, const double* in, double* out, double* line, int length,
                                              const std::vector<double>& evenHalf, double centre, bool& nextIsOdd)
{
    return HalfBandStream<double, true>(n, in, out, line, length, evenHalf, centre, nextIsOdd);
}

struct Tap11Taps {
    double h0, h2, h4, h5;
};

inline Double2 Tap11Output(const Tap11Taps& h, const ComplexSample* x)
{
    return h.h0 * (LoadSample(x) + LoadSample(x + 10)) + h.h2 * (LoadSample(x + 2) + LoadSample(x + 8)) +
           h.h4 * (LoadSample(x + 4) + LoadSample(x + 6)) + h.h5 * LoadSample(x + 5);
}

// 11-tap outputs for inputs i = first, first+2, ... < n whose windows in[i-10 ... i]
// lie inside the block; returns the next output index.
template <bool Wide>
__attribute__((always_inline)) inline int Tap11Outputs(const Tap11Taps& h, int first, int n, const ComplexSample* in,
                                                       ComplexSample* out, int k)
{
    int i = first;
    if constexpr (Wide) {
        if (i + 2 < n) {
            // The next pair of windows starts four samples on: four of its seven
            // pairs of taps' inputs were this pair's, so only three are loaded.
            Double4 x0, x2, x4, x6;
            LoadPair(in + i - 10, 2, x0);
            LoadPair(in + i - 8, 2, x2);
            LoadPair(in + i - 6, 2, x4);
            LoadPair(in + i - 4, 2, x6);
            for (; i + 2 < n; i += 4, k += 2) {
                const ComplexSample* x = in + i - 10;
                Double4 x5, x8, x10;
                LoadPair(x + 5, 2, x5);
                LoadPair(x + 8, 2, x8);
                LoadPair(x + 10, 2, x10);
                const Double4 y = h.h0 * (x0 + x10) + h.h2 * (x2 + x8) + h.h4 * (x4 + x6) + h.h5 * x5;
                std::memcpy(static_cast<void*>(out + k), &y, sizeof y);
                x0 = x4;
                x2 = x6;
                x4 = x8;
                x6 = x10;
            }
        }
    }
    for (; i < n; i += 2)
        StoreSample(out + k++, Tap11Output(h, in + i - 10));
    return k;
}

KORVEL_WIDE_TARGET int Tap11OutputsWide(const Tap11Taps& h, int first, int n, const ComplexSample* in,
                                        ComplexSample* out, int k)
{
    return Tap11Outputs<true>(h, first, n, in, out, k);
}

} // namespace

FilterObject::FilterObject()
    : H0(0.006043102983737415),
      H2(-0.04937251545876149),
      H4(0.2933294495205284),
      H5(0.5)
{
}

FilterObject::FilterObject(FilterKind kind) : FilterObject()
{
    filterType = kind;
}

FilterObject::FilterObject(FilterKind kind, int length, const double* coeff) : FilterObject(kind)
{
    const Status status = configure(kind, coeff != nullptr && length > 0
                                              ? std::span<const double>(coeff, static_cast<size_t>(length))
                                              : std::span<const double>());
    if (!status)
        SystemLog("FilterObject: %s", status.error().message().c_str());
}

Status FilterObject::configure(FilterKind kind, std::span<const double> taps)
{
    filterType = kind;
    m_FirLength = 0;
    lineLength_ = 0;
    evenHalfTaps_.clear();
    centreTap_ = 0.0;
    m_pHBFirBuf.reset();
    m_pHBFirRBuf.reset();
    usable_ = false;
    reset();
    if (kind != FilterKind::HalfBand && kind != FilterKind::HalfBand11Tap && kind != FilterKind::Cic3)
        return Error(ErrorKind::InvalidArgument, "Unknown decimation stage kind.");
    if (kind != FilterKind::HalfBand) {
        if (!taps.empty())
            return Error(ErrorKind::InvalidArgument, "Only a half-band stage takes a tap set.");
        usable_ = true;
        return {};
    }
    const size_t length = taps.size();
    bool usable = length >= 3 && length % 4 == 3;
    for (size_t i = 0; usable && i < length; i += 2)
        usable = taps[i] == taps[length - 1 - i];
    if (!usable)
        return Error(ErrorKind::InvalidArgument,
                     "Unusable half-band set of " + std::to_string(length) + " taps.");
    m_FirLength = static_cast<int>(length);
    for (size_t i = 0; i < (length - 1) / 2; i += 2)
        evenHalfTaps_.push_back(taps[i]);
    centreTap_ = taps[(length - 1) / 2];
    // The history, then the scratch of HalfBandStream.
    lineLength_ = 6 * (m_FirLength - 1) + 2;
    m_pHBFirBuf = std::make_unique<ComplexSample[]>(static_cast<size_t>(lineLength_));
    m_pHBFirRBuf = std::make_unique<double[]>(static_cast<size_t>(lineLength_));
    usable_ = true;
    return {};
}

void FilterObject::reset()
{
    if (m_pHBFirBuf)
        std::fill_n(m_pHBFirBuf.get(), lineLength_, ComplexSample{});
    if (m_pHBFirRBuf)
        std::fill_n(m_pHBFirRBuf.get(), lineLength_, 0.0);
    std::fill(std::begin(d), std::end(d), ComplexSample{});
    m_Xodd = m_Xeven = cicHeldSample_ = ComplexSample{};
    complexNextIsOdd_ = realNextIsOdd_ = tap11NextIsOdd_ = cicHoldsSample_ = false;
}

size_t FilterObject::process(std::span<const ComplexSample> in, std::span<ComplexSample> out)
{
    // n inputs give at most (n + 1) / 2 outputs.
    const size_t fits = 2 * out.size();
    const size_t n = std::min(in.size(), fits);
    return static_cast<size_t>(ApplyFilterLength(static_cast<int>(n), in.data(), out.data()));
}

int FilterObject::ApplyFilterLength(int n, const ComplexSample* in, ComplexSample* out)
{
    if (!usable_)
        return 0;
    switch (filterType) {
    case FilterKind::HalfBand: return CHalfBandDecimateBy2Length(n, in, out);
    case FilterKind::HalfBand11Tap: return CHalfBand11TapDecimateBy2Length(n, in, out);
    case FilterKind::Cic3: return CCicN3DecimateBy2Length(n, in, out);
    }
    return 0;
}

int FilterObject::CHalfBandDecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out)
{
    if (n <= 0 || !HasHalfBandSet())
        return 0;
    if (WideVectorsAvailable())
        return HalfBandStreamWide(n, in, out, m_pHBFirBuf.get(), m_FirLength, evenHalfTaps_, centreTap_,
                                  complexNextIsOdd_);
    return HalfBandStream<ComplexSample, false>(n, in, out, m_pHBFirBuf.get(), m_FirLength, evenHalfTaps_,
                                                centreTap_, complexNextIsOdd_);
}

int FilterObject::CHalfBandDecimateBy2LengthReal(int n, const double* in, double* out)
{
    if (n <= 0 || !HasHalfBandSet())
        return 0;
    if (WideVectorsAvailable())
        return RealHalfBandStreamWide(n, in, out, m_pHBFirRBuf.get(), m_FirLength, evenHalfTaps_, centreTap_,
                                      realNextIsOdd_);
    return HalfBandStream<double, false>(n, in, out, m_pHBFirRBuf.get(), m_FirLength, evenHalfTaps_, centreTap_,
                                         realNextIsOdd_);
}

int FilterObject::CHalfBand11TapDecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out)
{
    if (n <= 0)
        return 0;
    // x = d0 ... d9 followed by the block; the output for block index i is taken over
    // x[i ... i+10]. The first 18 inputs need the history: their outputs come from a
    // local copy and are written last, since with out == in they land on inputs that
    // later windows still read. The new history is saved before anything is written.
    constexpr int kHeadInputs = 18;
    const int headInputs = std::min(n, kHeadInputs);
    ComplexSample head[10 + kHeadInputs];
    std::copy(d, d + 10, head);
    std::copy(in, in + headInputs, head + 10);

    ComplexSample newHistory[10];
    if (n >= 10)
        std::copy(in + n - 10, in + n, newHistory);
    else
        std::copy(head + n, head + n + 10, newHistory);

    const Tap11Taps taps = {H0, H2, H4, H5};
    const int first = tap11NextIsOdd_ ? 1 : 0;
    Double2 headOut[kHeadInputs / 2];
    int headCount = 0;
    for (int i = first; i < headInputs; i += 2)
        headOut[headCount++] = Tap11Output(taps, head + i);
    const int k = WideVectorsAvailable() ? Tap11OutputsWide(taps, kHeadInputs + first, n, in, out, headCount)
                                         : Tap11Outputs<false>(taps, kHeadInputs + first, n, in, out, headCount);
    for (int j = 0; j < headCount; ++j)
        StoreSample(out + j, headOut[j]);

    std::copy(newHistory, newHistory + 10, d);
    tap11NextIsOdd_ ^= (n & 1) != 0;
    return k;
}

int FilterObject::CCicN3DecimateBy2Length(int n, const ComplexSample* in, ComplexSample* out)
{
    if (n <= 0)
        return 0;
    Double2 even = LoadSample(&m_Xeven);
    Double2 odd = LoadSample(&m_Xodd);
    const auto pair = [&](Double2 a, Double2 b) {
        const Double2 y = (3.0 * (odd + a) + (even + b)) * 0.125;
        even = a;
        odd = b;
        return y;
    };
    int i = 0;
    int k = 0;
    if (cicHoldsSample_) {
        StoreSample(out + k++, pair(LoadSample(&cicHeldSample_), LoadSample(in)));
        cicHoldsSample_ = false;
        i = 1;
    }
    for (; i + 1 < n; i += 2)
        StoreSample(out + k++, pair(LoadSample(in + i), LoadSample(in + i + 1)));
    if (i < n) {
        cicHeldSample_ = in[i];
        cicHoldsSample_ = true;
    }
    StoreSample(&m_Xeven, even);
    StoreSample(&m_Xodd, odd);
    return k;
}
