#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Widget tests need one QApplication for the whole run; settings go to a test
// location so that a developer's own preferences are never touched.
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Korvel");
    QApplication::setApplicationName("Korvel");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
