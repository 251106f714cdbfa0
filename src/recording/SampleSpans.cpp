#include "recording/SampleSpans.h"

#include <algorithm>
#include <string>

void SampleSpans::clear()
{
    spans_.clear();
    bytes_ = 0;
}

void SampleSpans::append(uint64_t fileOffset, uint64_t bytes)
{
    spans_.push_back({fileOffset, bytes_});
    bytes_ += bytes;
}

size_t SampleSpans::read(const RecordingFile& file, uint64_t logical, uint8_t* into, size_t bytes) const
{
    size_t span = static_cast<size_t>(
        std::upper_bound(spans_.begin(), spans_.end(), logical,
                         [](uint64_t at, const Span& s) { return at < s.dataStart; }) -
        spans_.begin() - 1);
    size_t got = 0;
    while (got < bytes) {
        const uint64_t spanEnd = span + 1 < spans_.size() ? spans_[span + 1].dataStart : bytes_;
        if (logical >= spanEnd) {
            ++span;
            continue;
        }
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(bytes - got, spanEnd - logical));
        const uint64_t position = spans_[span].fileOffset + (logical - spans_[span].dataStart);
        const size_t read = file.readAt(position, into + got, piece);
        got += read;
        logical += read;
        if (read < piece) {
            // The data was there when the file was opened.
            file.noteReadError("read error at byte " + std::to_string(position + read) +
                               ": the file has become shorter than when it was opened");
            break;
        }
    }
    return got;
}
