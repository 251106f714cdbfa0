#pragma once

#include <QMainWindow>
#include <QString>

// The main window: owns the recording model, the display FFT, the demodulator
// and the main window's views.
class WindowControl : public QMainWindow {
    Q_OBJECT
public:
    explicit WindowControl(QWidget* parent = nullptr);

    // Lists DIR instead of the saved recordings folder until the app quits.
    void useRecordingFolderForSession(const QString& dir);
    QString recordingFolder() const { return sessionFolder; }

private:
    QString sessionFolder;
};
