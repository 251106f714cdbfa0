#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What the version server's answer means. Only a successful answer (HTTP
// 2xx) of at most kMaxBodyBytes of UTF-8 text counts; the token "LATEST"
// anywhere in it says that this version is the newest. Anything else that
// counts is the news of a newer version, kept for the message as one line of
// plain text: control characters, line and paragraph separators, direction
// marks and overrides and runs of white space become single
// spaces, and it is cut to kMaxShownCharacters with an ellipsis.
class UpdateAnswer {
public:
    enum class Kind {
        Latest,     // this version is the newest
        NewVersion, // text() says which
        Unusable,   // error status, empty, too large or not UTF-8: nothing to show
    };

    static constexpr size_t kMaxBodyBytes = 4096;
    static constexpr size_t kMaxShownCharacters = 200;

    static UpdateAnswer read(int httpStatus, std::string_view body);

    Kind kind() const { return kind_; }
    const std::string& text() const { return text_; }
    // Why an unusable answer cannot be used, for a check the user asked for.
    const std::string& problem() const { return problem_; }

private:
    UpdateAnswer(Kind kind, std::string text, std::string problem);

    Kind kind_;
    std::string text_;
    std::string problem_;
};
