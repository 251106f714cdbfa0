#pragma once

#include "demod/ReceiverControls.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class DemodSetup;
class FFTView;
class FileRunPanel;
class MainSidePanel;
class PlaybackControls;
class PlaybackSession;
class SelectionPanel;

// The main window's playback wiring: forwards Play, Pause, Loop, the skips,
// Home and End and every change of the selection or mode to the
// PlaybackSession (whose engine plays on its own thread), and shows what the
// session reports on the window's timers. Playback and a file run refuse each
// other here.
class PlaybackController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        PlaybackSession* session;
        PlaybackControls* controls;
        SelectionPanel* selection;
        FFTView* view;
        MainSidePanel* side;
        FileRunPanel* fileRun;
        // Where "carrier.txt" goes when it is written, else empty.
        std::function<QString()> carrierLogFolder;
        // The listening controls chosen (AGC, de-emphasis).
        std::function<ReceiverControls()> receiverControls;
    };
    PlaybackController(Parts parts, QObject* parent);

    // Hands the session what the selection fields show, shows the mended
    // values and places the selection; nullopt (with a message) when a field
    // cannot be used.
    std::optional<DemodSetup> setupDemodStuff();
    void doPlay(bool on);
    void stopPlayback();
    void pauseToggled(bool paused);
    void doSkip(int seconds);
    void goToSelectionStart();
    void goToSelectionEnd();
    // The session's selection, the mode or a listening control changed:
    // placed on the waterfall, and heard at once while playing.
    void selectionChanged();
    void updateControls();
    // The window's 0.2 s and 1 s timers.
    void fastTick();
    void slowTick();

signals:
    void statusMessage(const QString& text);

private:
    void showSelection();

    Parts parts_;
};
