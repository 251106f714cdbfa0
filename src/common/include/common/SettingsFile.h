#pragma once

#include "common/Result.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The desktop app's preferences file, read without the GUI toolkit so that
// the command line tool can honour the same choices. The app keeps it at
// <config>/Korvel/Korvel.conf (<config> is $XDG_CONFIG_HOME when that is an
// absolute path, else $HOME/.config) in the toolkit's INI dialect:
// - "[General]" holds the keys outside any group; "[g]" holds "g/key"; a
//   group itself named General is written "[%General]";
// - in keys and group names '/' is written '\', and other characters outside
//   [A-Za-z0-9_.-] as %XX or %UXXXX (hex of the UTF-16 unit);
// - a value is one string or a list of strings separated by commas; a
//   string holding ',', ';' or '=' or with a space at either end is quoted;
//   \" \\ \a \b \f \n \r \t \v, \xHH and octal \NNN are escapes;
// - text after an unquoted ';' is a comment; a leading '@' marks a typed
//   value ("@@x" is the string "@x", "@String(...)" a string holding NULs).
class SettingsFile {
public:
    // The app's file for this user, from the environment.
    static std::string userPath();

    // A missing file reads as no settings (the app has not saved any yet).
    static Result<SettingsFile> load(const std::string& path);
    static SettingsFile parse(std::string_view text);

    // The string stored under `key` ("PREF_REC_FOLDER", "group/key"); none
    // when absent, a list of other than one item, or a non-string value.
    std::optional<std::string> text(const std::string& key) const;
    // The items of a list value; one item for a plain string.
    std::optional<std::vector<std::string>> list(const std::string& key) const;

private:
    std::map<std::string, std::vector<std::string>> values_;
};
