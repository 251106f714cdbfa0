#pragma once

#include <string>
#include <string_view>

// The question put to the version server: a GET of
// "/version/versionb.html?p=" followed by the product code "1325", three
// version digits, the operating system letter "L" (Linux), four digits of
// the kernel's major and minor version and the installation number "00000".
class UpdateQuery {
public:
    // The first character of each of the first three numbers of VERSION,
    // "0" for a missing one: "1.2.3" gives "123", "2.1" gives "210" and
    // "0.10.0" gives "010" (never a dot, as plain character positions would).
    static std::string versionDigits(std::string_view version);
    // "%02d%02d" of the major and minor numbers at the start of a kernel
    // release ("6.1.0-18-amd64" gives "0601"), cut to 4 characters; "0000"
    // when they cannot be read.
    static std::string kernelDigits(std::string_view kernelRelease);
    // The value after "p=" (17 characters).
    static std::string queryValue(std::string_view version, std::string_view kernelRelease);
    // The path and query of the request.
    static std::string requestPath(std::string_view version, std::string_view kernelRelease);
    // The release of the running kernel (uname), or empty.
    static std::string runningKernelRelease();
};
