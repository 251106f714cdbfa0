#include "demod/DemodSecondFeeder.h"

#include "demod/DemodulatorObject.h"
#include "recording/RecordingObject.h"

#include <algorithm>

DemodSecondFeeder::DemodSecondFeeder(SampleSource source, int32_t sampleRate)
    : source_(std::move(source))
    , sampleRate_(std::max(sampleRate, 1))
    , block_(static_cast<size_t>(sampleRate_))
{
}

DemodSecondFeeder::DemodSecondFeeder(RecordingObject& recording, int32_t sampleRate)
    : DemodSecondFeeder(
          [&recording](ComplexSample* block, double atSecond, int64_t samples) {
              return recording.getData(block, atSecond, samples);
          },
          sampleRate)
{
    recording_ = &recording;
}

const std::string& DemodSecondFeeder::readError() const
{
    static const std::string none;
    return recording_ ? recording_->readError() : none;
}

int DemodSecondFeeder::feedSecond(DemodulatorObject& demod, int32_t second, int16_t* output)
{
    const int64_t filled = std::clamp<int64_t>(source_(block_.data(), second, sampleRate_), 0, sampleRate_);
    std::fill(block_.begin() + filled, block_.end(), ComplexSample{});
    lastFilled_ = filled;
    demod.setPlayBackSec(second + 1);
    return demod.ProcessData(block_.data(), sampleRate_, output);
}
