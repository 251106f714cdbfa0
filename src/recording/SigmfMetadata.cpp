#include "recording/SigmfMetadata.h"

#include "common/UtcCalendar.h"
#include "recording/IqFileName.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace {

using Json = nlohmann::json;

bool digitsAt(std::string_view text, size_t from, size_t count)
{
    if (from + count > text.size())
        return false;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

int64_t valueAt(std::string_view text, size_t from, size_t count)
{
    int64_t value = 0;
    for (size_t i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// Deeper than any metadata file needs; the JSON values built from deeper
// nesting cost stack in every recursive walk over them.
constexpr int kMaxDepth = 64;
constexpr size_t kMaxShownChars = 40;

// How deep arrays and objects nest, counted outside strings; stops counting
// once past `limit`.
int nestingDepth(std::string_view text, int limit)
{
    int depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size() && deepest <= limit; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

// A short form of a value for a message: scalars as written, cut at a few
// dozen characters; arrays and objects only by kind.
std::string shown(const Json& value)
{
    if (value.is_array())
        return "an array";
    if (value.is_object())
        return "an object";
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (text.size() > kMaxShownChars)
        text = text.substr(0, kMaxShownChars) + "...";
    return text;
}

std::string shown(const std::string& text)
{
    return text.size() > kMaxShownChars ? text.substr(0, kMaxShownChars) + "..." : text;
}

const Json* member(const Json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

} // namespace

std::optional<int64_t> SigmfMetadata::parseDateTime(std::string_view text)
{
    if (!digitsAt(text, 0, 4) || text.substr(4, 1) != "-" || !digitsAt(text, 5, 2) || text.substr(7, 1) != "-" ||
        !digitsAt(text, 8, 2) || (text.substr(10, 1) != "T" && text.substr(10, 1) != "t") || !digitsAt(text, 11, 2) ||
        text.substr(13, 1) != ":" || !digitsAt(text, 14, 2) || text.substr(16, 1) != ":" || !digitsAt(text, 17, 2))
        return std::nullopt;
    size_t at = 19;
    if (text.substr(at, 1) == ".") {
        ++at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
    }
    int64_t offsetSeconds = 0;
    const std::string_view zone = text.substr(at);
    if (zone == "Z" || zone == "z") {
        offsetSeconds = 0;
    } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && digitsAt(zone, 1, 2) && zone[3] == ':' &&
               digitsAt(zone, 4, 2)) {
        offsetSeconds = (valueAt(zone, 1, 2) * 3600 + valueAt(zone, 4, 2) * 60) * (zone[0] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const int64_t month = valueAt(text, 5, 2), day = valueAt(text, 8, 2);
    const int64_t hour = valueAt(text, 11, 2), minute = valueAt(text, 14, 2), second = valueAt(text, 17, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    return UtcCalendar::toUnix(valueAt(text, 0, 4), month, day, hour, minute, second) - offsetSeconds;
}

SigmfMetadata SigmfMetadata::parse(std::string_view text)
{
    SigmfMetadata meta;
    if (nestingDepth(text, kMaxDepth) > kMaxDepth) {
        meta.error = "the SigMF metadata nests arrays or objects more than " + std::to_string(kMaxDepth) + " deep";
        return meta;
    }
    // No exceptions: a damaged file gives a discarded value.
    const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        meta.error = "the SigMF metadata is not a JSON object";
        return meta;
    }
    const Json* global = member(root, "global");
    if (!global || !global->is_object()) {
        meta.error = "the SigMF metadata has no \"global\" object";
        return meta;
    }
    const Json* datatype = member(*global, "core:datatype");
    if (!datatype || !datatype->is_string()) {
        meta.error = "the SigMF metadata has no core:datatype";
        return meta;
    }
    meta.datatype = datatype->get<std::string>();
    const std::optional<SampleFormat> format = IqFileName::formatNamed(meta.datatype);
    const bool realValued = !meta.datatype.empty() && (meta.datatype[0] == 'r' || meta.datatype[0] == 'R');
    if (!format || meta.datatype.rfind("cs", 0) == 0 || meta.datatype == "cf32" || meta.datatype == "ci16") {
        meta.error = "SigMF data type \"" + shown(meta.datatype) + "\" " +
                     (realValued ? std::string("holds real samples, not I/Q")
                                 : "is not read (ci8, cu8, ci16_le, ci16_be, ci32_le and cf32_le are)");
        return meta;
    }
    meta.format = *format;
    if (const Json* channels = member(*global, "core:num_channels")) {
        if (!channels->is_number_unsigned() || channels->get<uint64_t>() == 0) {
            meta.error = "the SigMF core:num_channels is not a channel count (" + shown(*channels) + ")";
            return meta;
        }
        if (channels->get<uint64_t>() != 1) {
            meta.error = "SigMF recordings of several channels are not read (core:num_channels " + shown(*channels) + ")";
            return meta;
        }
    }
    const Json* rate = member(*global, "core:sample_rate");
    if (!rate || !rate->is_number() || !(rate->get<double>() > 0.0) || !std::isfinite(rate->get<double>())) {
        meta.error = "the SigMF metadata has no valid core:sample_rate" + (rate ? " (" + shown(*rate) + ")" : std::string());
        return meta;
    }
    meta.sampleRate = rate->get<double>();

    const Json* captures = member(root, "captures");
    if (captures && captures->is_array() && !captures->empty()) {
        const Json& first = captures->front();
        if (const Json* frequency = member(first, "core:frequency");
            frequency && frequency->is_number() && std::isfinite(frequency->get<double>()))
            meta.centerFreq = frequency->get<double>();
        if (const Json* datetime = member(first, "core:datetime"); datetime && datetime->is_string())
            meta.start = parseDateTime(datetime->get<std::string>());
        if (const Json* header = member(first, "core:header_bytes")) {
            if (!header->is_number_unsigned()) {
                meta.error = "the SigMF core:header_bytes is not a byte count (" + shown(*header) + ")";
                return meta;
            }
            meta.headerBytes = header->get<uint64_t>();
        }
    }
    return meta;
}
