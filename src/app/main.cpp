#include "app/WindowControl.h"
#include "common/SystemLog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <clocale>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Korvel");
    QApplication::setApplicationName("Korvel");
    QApplication::setApplicationVersion(KORVEL_VERSION);
    QApplication::setDesktopFileName("korvel");
    QApplication::setWindowIcon(QIcon::fromTheme("korvel"));
    // Numbers and dates that Korvel writes (file names, logs, carrier.txt) use the
    // C conventions whatever the desktop locale: Qt switched the C locale to the
    // user's one while starting up.
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_TIME, "C");

    QCommandLineParser parser;
    parser.setApplicationDescription("Plays back and analyses recordings of software-defined radio receivers.");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption folderOption("folder", "Show the recordings in DIR for this run (the saved folder is kept).", "DIR");
    parser.addOption(folderOption);
    QCommandLineOption verboseOption("verbose", "Write the diagnostic log to standard error (as KORVEL_VERBOSE=1 does).");
    parser.addOption(verboseOption);
    parser.addPositionalArgument("file",
                                 "A recording to open (its folder is listed for this run and it is selected), "
                                 "or a folder to list for this run.",
                                 "[FILE|DIR]");
    parser.process(app);
    if (parser.isSet(verboseOption))
        SetSystemLogEnabled(true);

    WindowControl window;
    if (parser.isSet(folderOption))
        window.useRecordingFolderForSession(parser.value(folderOption));
    window.show();
    if (!parser.positionalArguments().isEmpty())
        window.openRecordingFile(parser.positionalArguments().front());
    return app.exec();
}
