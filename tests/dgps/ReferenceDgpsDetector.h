#pragma once

#include "common/ComplexSample.h"
#include "dsp/FastFirObject.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

// The plain channel detector the product is measured against: the full-rate
// complex band-pass, the correlation with the two tones over one bit at every
// tenth sample, the bit decisions held between evaluations, and the preamble
// search with a first-word check, literally. Two corrections: the tone power
// is the squared magnitude of the complex correlation (so a channel at the
// band centre keeps its tones apart), and the delay line grows for a block
// longer than the first.
class ReferenceDgpsDetector {
public:
    struct Word {
        int64_t inputSample; // first sample of the word's first bit
        int stationId;
        int type;
        int polarity;
    };

    // stationIds: the reference IDs listed on this channel; a word naming one
    // counts as logged and the search skips it.
    ReferenceDgpsDetector(double kHz, int baud, double centerHz, double sampleRate, std::vector<int> stationIds)
        : m_Baud(baud), m_SampleRate(sampleRate), m_Ids(std::move(stationIds))
    {
        const double off = 1000.0 * kHz - centerHz;
        m_Spb = sampleRate / baud;
        m_CorLen = static_cast<int>(m_Spb);
        m_W = static_cast<int64_t>(30.0 * m_Spb);
        for (double f : {off + baud / 4.0, off - baud / 4.0}) {
            std::vector<ComplexSample>& v = f > off ? m_Mark : m_Space;
            double phi = 0.0;
            for (int k = 0; k < m_CorLen; ++k) {
                v.push_back({std::sin(phi), std::cos(phi)});
                phi += 2.0 * std::numbers::pi * f / sampleRate;
            }
        }
        m_Filter.SetupParametersFLoCut(-off - baud, -off + baud, 0.0, sampleRate);
        m_Buf.assign(2 * m_W, ComplexSample{});
    }

    void ProcessData(const ComplexSample* block, int n)
    {
        if (static_cast<int64_t>(m_Buf.size()) < 2 * m_W + n)
            m_Buf.resize(2 * m_W + n);
        std::copy(block, block + n, m_Buf.begin() + 2 * m_W);
        std::vector<ComplexSample> out(n + 4096);
        const int m = m_Filter.ProcessDataInLength(n, m_Buf.data(), out.data());
        std::vector<double> decision(m, 0.0);
        int64_t lastStart = -1;
        for (int64_t p = 0; p < m - m_CorLen; p += 10) {
            const double d = power(out, p, m_Mark) - power(out, p, m_Space);
            for (int k = 0; k < m_CorLen; ++k)
                decision[p + k] = d;
            lastStart = p;
        }
        const int64_t defined = lastStart < 0 ? 0 : lastStart + m_CorLen;
        const int64_t back = static_cast<int64_t>(2.0 * m_Spb);
        const int64_t ahead = static_cast<int64_t>(29.0 * m_Spb);
        for (int64_t i = 0; i < m - m_CorLen; i += 10) {
            if (i - back < 0 || i + ahead >= defined)
                continue;
            int byte = 0;
            for (int j = 0; j < 8; ++j)
                byte = byte << 1 | (decision[i + j * m_CorLen] > 0);
            if ((byte == 0x66 || byte == 0x99) && check(decision, i, byte == 0x99, m_Delivered))
                i += m_W;
        }
        std::copy(m_Buf.begin() + n, m_Buf.begin() + n + 2 * m_W, m_Buf.begin());
        m_Delivered += m;
    }

    std::vector<Word> words;

private:
    static double power(const std::vector<ComplexSample>& x, int64_t p, const std::vector<ComplexSample>& v)
    {
        double s1 = 0, s2 = 0, s3 = 0, s4 = 0;
        for (size_t k = 0; k < v.size(); ++k) {
            s1 += v[k].im * x[p + k].im;
            s2 += v[k].re * x[p + k].re;
            s3 += v[k].re * x[p + k].im;
            s4 += v[k].im * x[p + k].re;
        }
        return (s2 - s1) * (s2 - s1) + (s3 + s4) * (s3 + s4);
    }

    bool check(const std::vector<double>& decision, int64_t i, int polarity, int64_t delivered)
    {
        int d[31]; // d[1] .. d[30]: the word's bits as the standard numbers them
        for (int k = 0; k < 30; ++k)
            d[k + 1] = (decision[i + static_cast<int64_t>(k * m_Spb)] > 0) ^ polarity;
        const int64_t before = i - static_cast<int64_t>(2.0 * m_Spb);
        const int d29 = (decision[before] > 0) ^ polarity;
        const int d30 = (decision[before + static_cast<int64_t>(m_Spb)] > 0) ^ polarity;
        int preamble = 0, type = 0, id = 0;
        for (int k = 1; k <= 8; ++k)
            preamble = preamble << 1 | d[k];
        for (int k = 9; k <= 14; ++k)
            type = type << 1 | d[k];
        for (int k = 15; k <= 24; ++k)
            id = id << 1 | d[k];
        if (preamble != 0x66 || (type != 6 && type != 9))
            return false;
        const int p25 = d29 ^ d[1] ^ d[2] ^ d[3] ^ d[5] ^ d[6] ^ d[10] ^ d[11] ^ d[12] ^ d[13] ^ d[14] ^ d[17] ^ d[18] ^ d[20] ^ d[23];
        const int p26 = d30 ^ d[2] ^ d[3] ^ d[4] ^ d[6] ^ d[7] ^ d[11] ^ d[12] ^ d[13] ^ d[14] ^ d[15] ^ d[18] ^ d[19] ^ d[21] ^ d[24];
        const int p27 = d29 ^ d[1] ^ d[3] ^ d[4] ^ d[5] ^ d[7] ^ d[8] ^ d[12] ^ d[13] ^ d[14] ^ d[15] ^ d[16] ^ d[19] ^ d[20] ^ d[22];
        const int p28 = d30 ^ d[2] ^ d[4] ^ d[5] ^ d[6] ^ d[8] ^ d[9] ^ d[13] ^ d[14] ^ d[15] ^ d[16] ^ d[17] ^ d[20] ^ d[21] ^ d[23];
        const int p29 = d30 ^ d[1] ^ d[3] ^ d[5] ^ d[6] ^ d[7] ^ d[9] ^ d[10] ^ d[14] ^ d[15] ^ d[16] ^ d[17] ^ d[18] ^ d[21] ^ d[22] ^ d[24];
        const int p30 = d29 ^ d[3] ^ d[5] ^ d[6] ^ d[8] ^ d[9] ^ d[10] ^ d[11] ^ d[13] ^ d[15] ^ d[19] ^ d[22] ^ d[23] ^ d[24];
        if (p25 != d[25] || p26 != d[26] || p27 != d[27] || p28 != d[28] || p29 != d[29] || p30 != d[30])
            return false;
        bool listed = false;
        for (int s : m_Ids)
            listed = listed || s == id;
        if (!listed)
            return false;
        // Output sample j of the filter stands for delay-line sample j - 512,
        // and the delay line starts with 2W zeros.
        words.push_back({delivered + i - 512 - 2 * m_W, id, type, polarity});
        return true;
    }

    int m_Baud;
    double m_SampleRate;
    std::vector<int> m_Ids;
    double m_Spb;
    int m_CorLen;
    int64_t m_W;
    std::vector<ComplexSample> m_Mark, m_Space, m_Buf;
    FastFirObject m_Filter;
    int64_t m_Delivered = 0;
};
