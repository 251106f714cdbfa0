#include "demod/Selection.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

int32_t wholeSecond(double value)
{
    return static_cast<int32_t>(std::clamp(std::trunc(value), double(std::numeric_limits<int32_t>::min()),
                                           double(std::numeric_limits<int32_t>::max())));
}

} // namespace

std::optional<double> parseSelectionNumber(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    size_t last = text.find_last_not_of(" \t\r\n");
    if (text[first] == '+')
        ++first;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    double value = 0.0;
    auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<Selection> selectionFromFields(const SelectionFields& fields, const Selection& current)
{
    const std::optional<double> start = parseSelectionNumber(fields.startTime);
    const std::optional<double> end = parseSelectionNumber(fields.endTime);
    const std::optional<double> low = parseSelectionNumber(fields.lowFreq);
    const std::optional<double> high = parseSelectionNumber(fields.highFreq);
    if (!start || !end || !low || !high)
        return std::nullopt;
    Selection placed{wholeSecond(*start), wholeSecond(*end), *low, *high, current.pbtKHz};
    if (fields.pbt.find_first_not_of(" \t\r\n") == std::string::npos)
        placed.pbtKHz = 0.0;
    else if (const std::optional<double> pbt = parseSelectionNumber(fields.pbt))
        placed.pbtKHz = *pbt;
    return placed;
}

Selection withFieldChange(Selection selection, const SelectionFieldChange& change)
{
    switch (change.field) {
    case SelectionField::StartTime:
        selection.startSecond = change.value;
        break;
    case SelectionField::EndTime:
        selection.endSecond = change.value;
        break;
    case SelectionField::LowFrequency:
        selection.lowKHz = change.value;
        break;
    case SelectionField::HighFrequency:
        selection.highKHz = change.value;
        break;
    case SelectionField::None:
        break;
    }
    return selection;
}
