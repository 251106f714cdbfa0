#include "app/WindowControl.h"

WindowControl::WindowControl(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle("Korvel");
    resize(1280, 800);
}

void WindowControl::useRecordingFolderForSession(const QString& dir)
{
    sessionFolder = dir;
}
