#include "dgps/DgpsBatchScan.h"

#include "common/SystemLog.h"
#include "recording/RecordingObject.h"

#include <algorithm>

bool DgpsBatchScan::setRecordingFile(const std::string& path, DgpsStationTable* table, bool wholeKhzOnly,
                                     DgpsDecodeObserver* observer, std::string& error)
{
    auto opened = std::make_unique<RecordingObject>();
    RecordingObject& recording = *opened;
    std::vector<std::string> lines;
    recording.setRawIqSettings(rawIqSettings_);
    recording.setRecordingFile(path, lines);
    if (!recording.isValidRecordingFile()) {
        error = recording.path() + ": " + (lines.empty() ? std::string("not a recording") : lines.back());
        return false;
    }
    recording_ = std::move(opened);
    m_Path = recording.path();
    m_SampleRate = recording.parameters().mSampleRate;
    m_CenterFreq = recording.parameters().mCenterFreq;
    m_Bandwidth = recording.parameters().mBandwidth;
    m_EndSecond = recording.parameters().mNumSeconds;
    m_StartTimestamp = recording.UnixTimestampFromOffset(0);
    m_PlayBackSec = 0;
    m_Stop = false;
    m_Bank.setDemodObjects(recording.parameters().mBandwidth, recording.parameters().mCenterFreq, recording.parameters().mSampleRate, table, wholeKhzOnly,
                           observer);
    dgpsSampleBuf.assign(static_cast<size_t>(std::min<int64_t>(m_SampleRate * kBlockSeconds, kPiece)), ComplexSample{});
    SystemLog(" mSampleRate %d", recording.parameters().mSampleRate);
    SystemLog(" mNumSeconds %d", recording.parameters().mNumSeconds);
    SystemLog(" mCenterFreq %g", recording.parameters().mCenterFreq);
    return true;
}

void DgpsBatchScan::rewind()
{
    m_PlayBackSec = 0;
    m_Stop = false;
}

std::string DgpsBatchScan::run()
{
    if (!recording_)
        return "no recording is set up";
    RecordingObject& recording = *recording_;
    const int64_t blockLength = m_SampleRate * kBlockSeconds;
    const int64_t piece = static_cast<int64_t>(dgpsSampleBuf.size());
    while (!m_Stop && m_PlayBackSec < m_EndSecond) {
        const int32_t second = m_PlayBackSec;
        m_Bank.setDecodeTime(m_StartTimestamp + second + kBlockSeconds);
        const int64_t first = static_cast<int64_t>(second) * m_SampleRate;
        for (int64_t at = 0; at < blockLength; at += piece) {
            const int64_t n = std::min(piece, blockLength - at);
            const Result<int64_t> got = recording.read(first + at, n, dgpsSampleBuf.data());
            // Decoding zeros in place of what could not be read would pass for silence.
            if (!got)
                return got.error().message();
            std::fill(dgpsSampleBuf.begin() + *got, dgpsSampleBuf.begin() + n, ComplexSample{});
            m_Bank.ProcessData(dgpsSampleBuf.data(), static_cast<int>(n));
        }
        m_PlayBackSec = std::min(second + kBlockSeconds, m_EndSecond);
    }
    if (m_PlayBackSec >= m_EndSecond) {
        // A second of silence lets the decoders read the words that begin in
        // the recording's last moments, which they judge only with the bits
        // after them.
        std::fill(dgpsSampleBuf.begin(), dgpsSampleBuf.end(), ComplexSample{});
        for (int64_t at = 0; at < m_SampleRate; at += piece)
            m_Bank.ProcessData(dgpsSampleBuf.data(), static_cast<int>(std::min(piece, m_SampleRate - at)));
        m_Bank.finish();
        SystemLog("All done playing back");
    }
    return {};
}
