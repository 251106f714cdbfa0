#include "common/SettingsFile.h"

#include "common/UserFileText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One UTF-16 unit from an escape, as UTF-8.
void appendUnit(std::string& out, unsigned unit)
{
    if (unit < 0x80) {
        out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

// "%2F" and "%U20AC" are characters, '\' is the group separator '/'.
std::string unescapedKey(std::string_view key)
{
    std::string out;
    for (size_t i = 0; i < key.size();) {
        const char c = key[i];
        if (c == '\\') {
            out += '/';
            ++i;
            continue;
        }
        if (c != '%' || i + 1 == key.size()) {
            out += c;
            ++i;
            continue;
        }
        size_t first = i + 1;
        size_t digits = 2;
        if (key[first] == 'U') {
            ++first;
            digits = 4;
        }
        unsigned unit = 0;
        bool ok = first + digits <= key.size();
        for (size_t d = 0; ok && d < digits; ++d) {
            const int h = hexDigit(key[first + d]);
            ok = h >= 0;
            unit = unit * 16 + static_cast<unsigned>(h);
        }
        if (!ok) {
            out += '%';
            ++i;
            continue;
        }
        appendUnit(out, unit);
        i = first + digits;
    }
    return out;
}

void chopTrailingSpaces(std::string& s, size_t limit)
{
    while (s.size() > limit && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
}

// A raw value: items split at unquoted commas, escapes resolved, unquoted
// items trimmed.
std::vector<std::string> unescapedList(std::string_view raw)
{
    std::vector<std::string> items;
    std::string current;
    bool inQuotes = false;
    bool quoted = false;
    size_t chopLimit = 0;
    size_t i = 0;
    auto skipSpaces = [&] {
        while (i < raw.size() && (raw[i] == ' ' || raw[i] == '\t'))
            ++i;
        chopLimit = current.size();
    };
    skipSpaces();
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= raw.size())
                break;
            const char e = raw[i++];
            static constexpr std::string_view kCodes = "abfnrtv\"?'\\";
            static constexpr std::string_view kValues = "\a\b\f\n\r\t\v\"?'\\";
            if (const size_t k = kCodes.find(e); k != std::string_view::npos) {
                current += kValues[k];
            } else if (e == 'x' || (e >= '0' && e <= '7')) {
                const int base = e == 'x' ? 16 : 8;
                unsigned unit = e == 'x' ? 0 : static_cast<unsigned>(e - '0');
                while (i < raw.size()) {
                    const int d = hexDigit(raw[i]);
                    if (d < 0 || d >= base)
                        break;
                    unit = (unit * static_cast<unsigned>(base) + static_cast<unsigned>(d)) & 0xFFFF;
                    ++i;
                }
                appendUnit(current, unit);
            } else if ((e == '\n' || e == '\r') && i < raw.size() && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e) {
                ++i; // a continued line
            }
            chopLimit = current.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipSpaces();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(current, chopLimit);
            items.push_back(std::move(current));
            current.clear();
            quoted = false;
            ++i;
            skipSpaces();
        } else {
            current += c;
            ++i;
        }
    }
    if (!quoted)
        chopTrailingSpaces(current, chopLimit);
    items.push_back(std::move(current));
    return items;
}

// Whether `item` is a string value, with its '@' marking removed.
bool asString(std::string& item)
{
    if (item.empty() || item[0] != '@')
        return true;
    if (item.size() > 1 && item[1] == '@') {
        item.erase(0, 1);
        return true;
    }
    constexpr std::string_view kString = "@String(";
    if (item.starts_with(kString) && item.back() == ')') {
        item = item.substr(kString.size(), item.size() - kString.size() - 1);
        return true;
    }
    return false;
}

} // namespace

std::string SettingsFile::userPath()
{
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        config = std::string(home && *home ? home : "") + "/.config";
    }
    return config + "/Korvel/Korvel.conf";
}

Result<SettingsFile> SettingsFile::load(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return SettingsFile{};
    std::string text;
    std::string error;
    if (!UserFileText::read(path, 16u << 20, text, error))
        return Error(ErrorKind::Io, "cannot read the settings file " + path + ": " + error);
    return parse(text);
}

SettingsFile SettingsFile::parse(std::string_view text)
{
    SettingsFile file;
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
        const size_t start = pos;
        if (pos < text.size() && text[pos] == ';') {
            while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r')
                ++pos;
            continue;
        }
        // A line ends at a newline or an unquoted ';'; a quoted value may span lines.
        size_t equals = std::string_view::npos;
        bool inQuotes = false;
        for (; pos < text.size(); ++pos) {
            const char c = text[pos];
            if (c == '\\') {
                ++pos;
                if (pos + 1 < text.size() && ((text[pos] == '\n' && text[pos + 1] == '\r') || (text[pos] == '\r' && text[pos + 1] == '\n')))
                    ++pos;
            } else if (c == '"') {
                inQuotes = !inQuotes;
            } else if (inQuotes) {
                continue;
            } else if (c == '=' && equals == std::string_view::npos) {
                equals = pos;
            } else if (c == '\n' || c == '\r' || c == ';') {
                break;
            }
        }
        pos = std::min(pos, text.size());
        const std::string_view line = text.substr(start, pos - start);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view name = trimmed(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            if (equalsNoCase(name, "general"))
                section.clear();
            else if (equalsNoCase(name, "%general"))
                section = std::string(name.substr(1)) + '/';
            else
                section = unescapedKey(name) + '/';
            continue;
        }
        if (equals == std::string_view::npos)
            continue;
        const std::string key = section + unescapedKey(trimmed(line.substr(0, equals - start)));
        file.values_[key] = unescapedList(line.substr(equals - start + 1));
    }
    return file;
}

std::optional<std::vector<std::string>> SettingsFile::list(const std::string& key) const
{
    const auto found = values_.find(key);
    if (found == values_.end())
        return std::nullopt;
    std::vector<std::string> items = found->second;
    for (std::string& item : items) {
        if (!asString(item))
            return std::nullopt;
    }
    return items;
}

std::optional<std::string> SettingsFile::text(const std::string& key) const
{
    auto items = list(key);
    if (!items || items->size() != 1)
        return std::nullopt;
    return std::move(items->front());
}
