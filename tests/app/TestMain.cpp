#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// The offscreen platform's screens: a large primary one, on which windows open
// at the sizes they ask for, and the two small screens the window fit tests
// place windows on (see tests/app/ScreenSizes.h).
const char* const kOffscreenScreens = R"({"screens": [
    {"name": "primary", "x": 0, "y": 0, "width": 1920, "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
    {"name": "small", "x": 1920, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
    {"name": "laptop", "x": 2944, "y": 0, "width": 1280, "height": 800, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
]})";

// The platform reads its configuration file while the application starts;
// the file is gone once it has.
std::string WriteOffscreenConfiguration()
{
    std::string path = (std::filesystem::temp_directory_path() / "korvel-screens-XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0)
        return {};
    const std::string text = kOffscreenScreens;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written ? path : std::string();
}

} // namespace

// Widget tests need one QApplication for the whole run; settings go to a test
// location so that a developer's own preferences are never touched.
int main(int argc, char* argv[])
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::string screens;
    if (platform.isEmpty() || platform == "offscreen") {
        screens = WriteOffscreenConfiguration();
        qputenv("QT_QPA_PLATFORM",
                screens.empty() ? QByteArray("offscreen") : QByteArray("offscreen:configfile=") + screens.c_str());
    }
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    if (!screens.empty())
        std::remove(screens.c_str());
    QApplication::setOrganizationName("Korvel");
    QApplication::setApplicationName("Korvel");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
