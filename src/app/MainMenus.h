#pragma once

#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QSettings;
class ReceiverMenu;
class RecentRecordingsMenu;

// The main window's menu bar: File, View, Playback, Audio, Tools and Help;
// the keys of the waterfall and of playback are their shortcuts. It keeps the
// checked preferences ("drawInColor", "wholeSecondPeakHold", "writeCarriertxt") and says what
// was chosen through its signals; the window does the work.
class MainMenus : public QObject {
    Q_OBJECT
public:
    // Builds the menus into WINDOW's menu bar; OUTPUTDEVICES becomes
    // Audio > Output Device.
    MainMenus(QMainWindow* window, QMenu* outputDevices);

    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* viewMenu() const { return viewMenu_; }
    QMenu* playbackMenu() const { return playbackMenu_; }
    QMenu* toolsMenu() const { return toolsMenu_; }
    RecentRecordingsMenu* recentRecordings() const { return recentRecordings_; }
    // Audio > AGC and the de-emphasis choices.
    ReceiverMenu* receiver() const { return receiver_; }

    bool drawsInColor() const;
    bool drawsWholeSecond() const;
    bool writesCarrierTxt() const;
    // Sets the check marks from SETTINGS (which emits the changes) and back.
    void readPreferences(QSettings& settings);
    void savePreferences(QSettings& settings) const;

signals:
    void openRecordingRequested();
    void recentRecordingChosen(const QString& path);
    void chooseFolderRequested();
    void reloadRequested();
    void openInWaterfallRequested();
    void quitRequested();
    void drawInColorChanged(bool on);
    // View > Whole Second (Peak Hold): the waterfall's rows hold every transform of their seconds.
    void wholeSecondChanged(bool on);
    void zoomInRequested();
    void zoomOutRequested();
    void fitRequested();
    void playPauseRequested();
    // Skip by `seconds`, back when negative.
    void skipRequested(int seconds);
    void selectionStartRequested();
    void selectionEndRequested();
    void loopRequested();
    void writeCarrierTxtChanged(bool on);
    void dgpsRequested();
    void carrierRequested();
    void checkForUpdatesRequested();
    void aboutRequested();

private:
    QMenu* fileMenu_;
    QMenu* viewMenu_;
    QMenu* playbackMenu_;
    QMenu* toolsMenu_;
    RecentRecordingsMenu* recentRecordings_;
    ReceiverMenu* receiver_;
    QAction* colorWaterFallMenuItem_;
    QAction* wholeSecondMenuItem_;
    QAction* carrierTxtlMenuItem_;
};
