#include "app/WindowControl.h"
#include "common/SystemLog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption folderOption{"folder", "Show the recordings in DIR for this run (the saved folder is kept).",
                                    "DIR"};
    QCommandLineOption verboseOption{"verbose",
                                     "Write the diagnostic log to standard error (as KORVEL_VERBOSE=1 does)."};

    CommandLine()
    {
        parser.setApplicationDescription("Plays back and analyses recordings of software-defined radio receivers.");
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(folderOption);
        parser.addOption(verboseOption);
        parser.addPositionalArgument("file",
                                     "A recording to open (its folder is listed for this run and it is selected), "
                                     "or a folder to list for this run.",
                                     "[FILE|DIR]");
    }
};

void nameTheApplication()
{
    QCoreApplication::setOrganizationName("Korvel");
    QCoreApplication::setApplicationName("Korvel");
    QCoreApplication::setApplicationVersion(KORVEL_VERSION);
}

// --help and --version need no window system.
bool asksOnlyForText(int argc, char* argv[])
{
    for (int k = 1; k < argc; ++k)
        for (const char* text : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[k], text) == 0)
                return true;
    return false;
}

// Without a display Qt's platform plug-in would abort the process.
bool hasADisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[])
{
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameTheApplication();
        CommandLine commandLine;
        commandLine.parser.process(app);
        return 0;
    }
    if (!hasADisplay()) {
        std::fprintf(stderr, "korvel: no display to open a window on (DISPLAY is not set); "
                             "korvel-cli does the same work without one\n");
        return 2;
    }
    QApplication app(argc, argv);
    nameTheApplication();
    QApplication::setDesktopFileName("korvel");
    QApplication::setWindowIcon(QIcon::fromTheme("korvel"));
    // Numbers and dates that Korvel writes (file names, logs, carrier.txt) use the
    // C conventions whatever the desktop locale: Qt switched the C locale to the
    // user's one while starting up.
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_TIME, "C");

    CommandLine commandLine;
    commandLine.parser.process(app);
    if (commandLine.parser.isSet(commandLine.verboseOption))
        SetSystemLogEnabled(true);

    WindowControl window;
    if (commandLine.parser.isSet(commandLine.folderOption))
        window.useRecordingFolderForSession(commandLine.parser.value(commandLine.folderOption));
    window.show();
    if (!commandLine.parser.positionalArguments().isEmpty())
        window.openRecordingFile(commandLine.parser.positionalArguments().front());
    return app.exec();
}
