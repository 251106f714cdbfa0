#pragma once

#include "demod/Selection.h"
#include "playback/PlaybackEngine.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class DemodSetup;
class FFTView;
class FileRunPanel;
class FreqScaleView;
class MainMenus;
class MainSidePanel;
class PlaybackControls;
class PlaybackController;
class PlaybackSession;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTimer;
class RecordingObject;
class RecordingsPanel;
class SelectionPanel;
class SoundDeviceMenu;
class SoundOutputThread;
class SoundOutputObject;
class UpdateChecker;
class WaterfallArea;
class WaterfallSettingsPanel;

// The main window: recordings folder and file list (RecordingsPanel), the
// recording's information lines, the waterfall settings
// (WaterfallSettingsPanel), the whole-recording waterfall with its frequency
// scale, the selection (SelectionPanel), the playback controls
// (PlaybackControls) and the WAV buttons (FileRunPanel). Owns the playback
// session and wires the parts together.
//
// Drawing a waterfall: loadRecording() opens the file in the session's
// recording model; a WaterfallLoader computes the rows on a worker thread and
// they are painted as they arrive, with the progress in the status bar.
//
// The session holds the recording and the one selection: the waterfall's drag
// and right clicks and an edited field place it, and the fields show it. Play
// hands the session what the fields show; a 0.2 s timer (FastTimer) ticks it
// and shows what it reports, and a 1 s timer (OneSecTimer) keeps the controls
// current and draws the multiplex spectrum. Playback and a file run refuse
// each other.
class WindowControl : public QMainWindow {
    Q_OBJECT
public:
    // playbackThreading: Manual only for tests that run playback step by step.
    explicit WindowControl(QWidget* parent = nullptr,
                           PlaybackEngine::Threading playbackThreading = PlaybackEngine::Threading::OwnThread);
    ~WindowControl() override;

    // Lists DIR instead of the saved recordings folder until the app quits.
    void useRecordingFolderForSession(const QString& dir);
    // The folder whose files are listed: the session folder, else the chosen
    // one, else "sdr_recordings" in the home folder.
    QString recordingFolder() const;
    const QStringList& recordingFiles() const;

    FFTView* waterfallView() const { return fftView; }
    FreqScaleView* frequencyScaleView() const;
    // Display FFT size for the next load: a power of two, 1024 to 65536.
    int fftSize() const;
    bool drawsInColor() const;
    bool writesCarrierTxt() const;
    // The selection in whole seconds, as last placed.
    int selectionStartSecond() const;
    int selectionEndSecond() const;

    // Tells the waterfall and its scale the band drawn (Hz); a band of no width
    // is reported in the status line and leaves both without a band.
    void setWaterfallBand(double bandwidthHz, double centerHz);

    void setInfoArray(const QStringList& lines);
    const QStringList& infoLines() const { return infoArray; }
    void showStatus(const QString& text);
    QString statusText() const;

    // The recording loaded into this window, or nullptr before the first load.
    const RecordingObject* recording() const;
    bool isDrawingWaterfall() const;

    // The menu of a file in the list (open, open in the waterfall window, reload);
    // the caller owns it.
    QMenu* createFileContextMenu(const QString& name);

    bool isPlaying() const;
    // The next whole second of the recording that playback feeds.
    int playBackSecond() const;
    bool isWritingFile() const;
    // Where WAV files and carrier.txt go: the user's Documents folder.
    static QString documentsFolder();
    // The audio queue between the demodulator and the sound device.
    SoundOutputObject& soundOutputObject() { return *soundOutput; }
    SoundDeviceMenu* soundDevices() const { return soundDeviceMenu; }
    const SoundOutputThread& soundOutputDevice() const { return *soundDevice; }
    PlaybackSession& playbackSession() { return *session; }

public slots:
    // Stores PATH (empty: the default folder) as the recordings folder and lists it.
    void chooseRecordingFolder(const QString& path);

    // A recording given by path (command line, a drop, File > Open Recording…
    // or Open Recent): lists its folder for this run, selects and loads it.
    // A folder is listed for this run.
    void openRecordingFile(const QString& path);
    // Asks for a recording to open.
    void chooseRecordingFile();

    // Loads a recording of the list into this window and draws its waterfall.
    void loadRecording(const QString& name);
    // Opens a recording of the list in a waterfall window of its own.
    void loadRecordingAsWaterfall(const QString& name);

    // From the waterfall: a right click at kHz and seconds with SelectionModifier
    // bits sets one field of the selection.
    void rightMouseDownFreq(float kHz, float seconds, unsigned modifiers);
    // From the waterfall: the end of a drag places the selection's times and
    // edges; the pass-band shift stays.
    void demodRecordingSettings(const Selection& dragged);

    // Writes the preferences back (at quit and when the window closes).
    void savePreferences();

    // Action of the Play toggle: on takes what the selection fields show,
    // configures the demodulator and starts feeding it; off stops.
    void doPlay(bool on);
    // The skip buttons: moves the play position (or a file run's) by `seconds`.
    void doSkip(int seconds);
    // The two file buttons: the selection to "DemodOutput.wav", or to a name
    // made of frequency, mode and start time, in the Documents folder.
    void doDemodToFile();
    void doDemodToTimestampedFile();

    // The 0.2 s and 1 s ticks.
    void FastTimer();
    void OneSecTimer();

signals:
    // A waterfall was drawn to its end (completed) or could not be read.
    void waterfallFinished(bool completed);
    // A file run ended; ok: a file was written.
    void demodFileFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void readPreferences();
    void buildMenus();
    void placeEditedSelection(const Selection& edited);
    // The Auto button: the measured levels into Min and Max, then the
    // waterfall drawn again with them.
    void applyAutoLevels();
    // Min and Max as typed applied to what is drawn, or why they cannot be.
    void applyTypedLevels();
    // The loaded recording drawn again at the FFT length typed.
    void redrawWaterfall();
    // Where "carrier.txt" goes when it is written, else empty.
    QString carrierLogFolder() const;
    // iq: the selection's I/Q as SigMF instead of its audio.
    void startDemodToFile(bool timestamped, bool iq = false);
    void demodFileEnded(bool ok);
    void updateControls();

    QStringList infoArray;

    // Declared in this order so that each goes before what it uses.
    SoundDeviceMenu* soundDeviceMenu;
    std::unique_ptr<SoundOutputObject> soundOutput;
    std::unique_ptr<PlaybackSession> session;
    std::unique_ptr<SoundOutputThread> soundDevice;
    QTimer* fastTimer = nullptr;
    QTimer* oneSecTimer = nullptr;
    QLabel* soundStatusLabel = nullptr;

    WaterfallArea* waterfall;
    FFTView* fftView;
    RecordingsPanel* recordingsPanel;
    WaterfallSettingsPanel* waterfallSettings;
    SelectionPanel* selectionPanel;
    PlaybackControls* playbackControls;
    PlaybackController* playback = nullptr;
    FileRunPanel* fileRunPanel;
    QSplitter* mainSplitter = nullptr;
    MainSidePanel* sidePanel = nullptr;
    QLabel* statusField = nullptr;
    QLabel* readoutField = nullptr;
    // The waterfall drawn takes the levels measured on it, until the user
    // types levels; set for each load unless levels are pinned.
    bool followMeasuredLevels_ = false;

    MainMenus* menus = nullptr;
    UpdateChecker* updateChecker = nullptr;
};
