#pragma once

#include <QWidget>

#include <optional>

class QLineEdit;
class QProgressBar;
class QSlider;
class QToolButton;

// The "Playback" and "Signal" groups: Play, Pause, Loop, the eight skip
// buttons and the volume; the signal level as text and as a bar. Reports the
// user's actions and shows what it is told; it plays nothing itself.
class PlaybackControls : public QWidget {
    Q_OBJECT
public:
    explicit PlaybackControls(QWidget* parent = nullptr);

    // playable: a recording that can be played is loaded; writing: a file run
    // is going on.
    void updateControls(bool playable, bool writing, bool playing);
    // Play and Pause out: playback ended or was refused.
    void showStopped();
    void showPlaying();
    // Blank without a measurement.
    void showSignalLevel(std::optional<double> levelDbm);
    // The Space key: Play when stopped, else Pause or resume, as the buttons would.
    void playOrPause();
    // The L key: Loop on or off.
    void toggleLoop();
    // The output gain, 0 to 1.
    double volume() const;

signals:
    void playClicked(bool on);
    void pauseToggled(bool paused);
    void loopToggled(bool on);
    void skipClicked(int seconds);
    void volumeChanged(double volume);

private:
    QToolButton* makeSkipButton(const QString& name, const QString& text, const QString& tip, int seconds);

    QToolButton* playbutton;
    QToolButton* pausebutton;
    QToolButton* loopButton;
    QList<QToolButton*> skipButtons;
    QSlider* volumeSlider;
    QLineEdit* signalLevelField;
    QProgressBar* sMeterIndicator;
};
