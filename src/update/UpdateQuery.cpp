#include "update/UpdateQuery.h"

#include <sys/utsname.h>

#include <charconv>
#include <cstdio>

namespace {

// Reads the digits at the front of TEXT and moves past them; false when
// there are none or they do not fit.
bool readNumber(std::string_view& text, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc())
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

} // namespace

std::string UpdateQuery::versionDigits(std::string_view version)
{
    std::string digits;
    while (digits.size() < 3) {
        const size_t dot = version.find('.');
        const std::string_view part = version.substr(0, dot);
        digits += part.empty() ? '0' : part.front();
        version.remove_prefix(dot == std::string_view::npos ? version.size() : dot + 1);
    }
    return digits;
}

std::string UpdateQuery::kernelDigits(std::string_view kernelRelease)
{
    int major = 0;
    int minor = 0;
    if (!readNumber(kernelRelease, major) || kernelRelease.empty() || kernelRelease.front() != '.')
        return "0000";
    kernelRelease.remove_prefix(1);
    if (!readNumber(kernelRelease, minor) || major < 0 || minor < 0)
        return "0000";
    char digits[32];
    std::snprintf(digits, sizeof digits, "%02d%02d", major, minor);
    return std::string(digits).substr(0, 4);
}

std::string UpdateQuery::queryValue(std::string_view version, std::string_view kernelRelease)
{
    return "1325" + versionDigits(version) + "L" + kernelDigits(kernelRelease) + "00000";
}

std::string UpdateQuery::requestPath(std::string_view version, std::string_view kernelRelease)
{
    return "/version/versionb.html?p=" + queryValue(version, kernelRelease);
}

std::string UpdateQuery::runningKernelRelease()
{
    utsname names{};
    if (uname(&names) != 0)
        return {};
    return names.release;
}
