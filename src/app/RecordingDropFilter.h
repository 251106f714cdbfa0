#pragma once

#include <QObject>

// Lets a window take a recording dropped on it from a file manager: one
// local file is accepted and reported, anything else is refused while it is
// dragged.
class RecordingDropFilter : public QObject {
    Q_OBJECT
public:
    // Installs itself on WINDOW and lets it accept drops.
    explicit RecordingDropFilter(QWidget* window);

signals:
    void recordingDropped(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
