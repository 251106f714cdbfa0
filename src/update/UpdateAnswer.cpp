#include "update/UpdateAnswer.h"

#include <utility>

namespace {

// Lengths in bytes of the UTF-8 characters of TEXT, or 0 at the first byte
// that does not start a valid one (overlong forms, surrogates and values
// above U+10FFFF included).
size_t characterLength(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

// U+2028/U+2029 (line and paragraph separators), the marks and embeddings
// that change the direction of text (U+200E, U+200F, U+202A-U+202E,
// U+2066-U+2069), the non-breaking space U+00A0 aside, and U+FEFF.
bool breaksOrTurnsLine(std::string_view character)
{
    if (character.size() != 3)
        return false;
    const auto b = [&](size_t i) { return static_cast<unsigned char>(character[i]); };
    const unsigned code = (b(0) & 0x0Fu) << 12 | (b(1) & 0x3Fu) << 6 | (b(2) & 0x3Fu);
    return code == 0x200E || code == 0x200F || (code >= 0x2028 && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0xFEFF;
}

bool isUtf8(std::string_view text)
{
    for (size_t at = 0; at < text.size();) {
        const size_t length = characterLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

// One line of plain text; see the class comment.
std::string shownText(std::string_view body)
{
    std::string text;
    size_t characters = 0;
    bool pendingSpace = false;
    for (size_t at = 0; at < body.size();) {
        const size_t length = characterLength(body, at);
        const unsigned char lead = static_cast<unsigned char>(body[at]);
        // C0 controls, space, DEL, the C1 controls (U+0080-U+009F), and the
        // characters that break a line or turn its direction.
        const bool blank = lead <= 0x20 || lead == 0x7F ||
                           (lead == 0xC2 && static_cast<unsigned char>(body[at + 1]) < 0xA0) ||
                           breaksOrTurnsLine(body.substr(at, length));
        if (blank) {
            pendingSpace = !text.empty();
        } else {
            if (characters + (pendingSpace ? 1 : 0) >= UpdateAnswer::kMaxShownCharacters) {
                text += "\xE2\x80\xA6";
                break;
            }
            if (pendingSpace) {
                text += ' ';
                ++characters;
                pendingSpace = false;
            }
            text.append(body.substr(at, length));
            ++characters;
        }
        at += length;
    }
    return text;
}

} // namespace

UpdateAnswer::UpdateAnswer(Kind kind, std::string text, std::string problem)
    : kind_(kind)
    , text_(std::move(text))
    , problem_(std::move(problem))
{
}

UpdateAnswer UpdateAnswer::read(int httpStatus, std::string_view body)
{
    if (httpStatus < 200 || httpStatus > 299)
        return {Kind::Unusable, {}, "the version server answered with HTTP status " + std::to_string(httpStatus)};
    if (body.size() > kMaxBodyBytes)
        return {Kind::Unusable, {}, "the version server's answer is too large"};
    if (!isUtf8(body))
        return {Kind::Unusable, {}, "the version server's answer is not text"};
    if (body.find("LATEST") != std::string_view::npos)
        return {Kind::Latest, {}, {}};
    std::string text = shownText(body);
    if (text.empty())
        return {Kind::Unusable, {}, "the version server gave an empty answer"};
    return {Kind::NewVersion, std::move(text), {}};
}
