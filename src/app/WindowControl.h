#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class AudioSpectrumView;
class CarrierTextFile;
class DemodFileRun;
class DemodSecondFeeder;
class DemodSetup;
class DemodulatorObject;
class MultiplexSpectrum;
class SoundDeviceMenu;
class SoundOutputDevice;
class SoundOutputObject;
class QTimer;
class FFTView;
class FreqScaleView;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QSlider;
class QSplitter;
class QToolButton;
class RecordingObject;
class SpectrumView;
class WaterfallLoader;
class WaterfallScrollArea;

// The main window: recordings folder and file list, the recording's
// information lines, the whole-recording waterfall with its frequency scale,
// the selection fields and the playback controls. Owns the recording model,
// the display FFT, the demodulator and the main window's views.
//
// Drawing a waterfall: loadRecording() opens the file in the window's recording
// model; a WaterfallLoader computes the rows on a worker thread and they are
// painted as they arrive, with the progress in the status bar.
//
// Playback: Play configures the window's demodulator from the selection
// fields; a 0.2 s timer (FastTimer) feeds it one second of recording at a time
// while fewer than 20000 audio samples wait in the sound output, and a 1 s
// timer (OneSecTimer) keeps the controls current and draws the multiplex
// spectrum. Writing a WAV file runs on a worker thread with a pipeline of its
// own (DemodFileRun); playback and a file run refuse each other.
class WindowControl : public QMainWindow {
    Q_OBJECT
public:
    explicit WindowControl(QWidget* parent = nullptr);
    ~WindowControl() override;

    // Lists DIR instead of the saved recordings folder until the app quits.
    void useRecordingFolderForSession(const QString& dir);
    // The folder whose files are listed: the session folder, else the chosen
    // one, else "sdr_recordings" in the home folder.
    QString recordingFolder() const;
    const QStringList& recordingFiles() const { return filesArray; }

    FFTView* waterfallView() const { return fftView; }
    FreqScaleView* frequencyScaleView() const { return freqScaleView; }
    // Display FFT size for the next load: a power of two, 1024 to 65536.
    int fftSize() const { return mFftSize; }
    bool drawsInColor() const { return mDrawInColor; }
    bool writesCarrierTxt() const { return mWriteCarrierTxt; }
    // The dB range typed in the window; returns why it cannot be used, or an
    // empty string.
    QString waterfallDbRange(double* minDb, double* maxDb) const;
    // The selection in whole seconds, as last placed from the fields.
    int selectionStartSecond() const { return startSecond; }
    int selectionEndSecond() const { return endSecond; }

    // Tells the waterfall and its scale the band drawn (Hz); a band of no width
    // is reported in the status line and leaves both without a band.
    void setWaterfallBand(double bandwidthHz, double centerHz);

    void setInfoArray(const QStringList& lines);
    const QStringList& infoLines() const { return infoArray; }
    void showStatus(const QString& text);
    QString statusText() const;

    // The recording loaded into this window, or nullptr before the first load.
    const RecordingObject* recording() const { return recordingObject.get(); }
    bool isDrawingWaterfall() const;

    // The menu of a file in the list (open, open in the waterfall window, reload);
    // the caller owns it.
    QMenu* createFileContextMenu(const QString& name);

    bool isPlaying() const { return playingRecording; }
    // The next whole second of the recording that playback feeds.
    int playBackSecond() const { return playBackSec; }
    bool isWritingFile() const;
    // Where WAV files and carrier.txt go: the user's Documents folder.
    static QString documentsFolder();
    // The audio queue between the demodulator and the sound device.
    SoundOutputObject& soundOutputObject() { return *soundOutput; }
    SoundDeviceMenu* soundDevices() const { return soundDeviceMenu; }
    const SoundOutputDevice& soundOutputDevice() const { return *soundDevice; }

public slots:
    // Asks for a recordings folder; confirming stores and lists it.
    void setRecordingFolder();
    // Stores PATH (empty: the default folder) as the recordings folder and lists it.
    void chooseRecordingFolder(const QString& path);
    void ReloadTheFilesList();

    // Loads a recording of the list into this window and draws its waterfall.
    void loadRecording(const QString& name);
    // Opens a recording of the list in a waterfall window of its own.
    void loadRecordingAsWaterfall(const QString& name);

    // From the waterfall: a right click at kHz and seconds with SelectionModifier
    // bits sets one selection field, then places the selection from the fields.
    void rightMouseDownFreq(float kHz, float seconds, unsigned modifiers);
    // From the waterfall: the end of a drag fills the four selection fields.
    void demodRecordingSettings(int start, int stop, double lowKHz, double highKHz);

    // Writes the preferences back (at quit and when the window closes).
    void savePreferences();

    // Action of the Play toggle: on configures the demodulator and starts
    // feeding it; off stops.
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readPreferences();
    void buildMenus();
    QWidget* buildSidePanel();
    QWidget* buildControls();
    void readFilesList();
    void doClick(QListWidgetItem* item);
    void applyFftLengthField();
    void placeSelectionFromFields();
    void drawWaterfallRows(int firstLine, int columns, const QVector<int>& rows);
    void endWaterfall(bool completed, int lines);
    QToolButton* makeSkipButton(const QString& name, const QString& text, const QString& tip);
    // Reads the selection fields into a set-up, shows the mended values, places
    // the selection and rewinds the play position; nullopt (with a message) when
    // a field cannot be used.
    std::optional<DemodSetup> setupDemodStuff();
    // keepStream: when the selection and mode are unchanged the pipeline plays
    // on (Loop) rather than starting a new stream.
    bool startPlaybackPipeline(bool keepStream = false);
    void stopPlayback();
    void feedPlayback();
    void pauseToggled(bool paused);
    void showSignalLevel(bool measured);
    void startDemodToFile(bool timestamped);
    void demodFileProgress(int nextSecond);
    void demodFileEnded(bool ok, bool complete, const QString& message, const QString& path, qint64 audioSamples);
    void updateControls();
    bool hasValidRecording() const;

    QStringList filesArray;
    QStringList infoArray;
    QString selectedRecordingFolder;
    QString sessionFolder;
    QString folderProblem;
    int mFftSize = 8192;
    bool mDrawInColor = false;
    bool mWriteCarrierTxt = false;
    int startSecond = 0;
    int endSecond = 0;
    int playBackSec = 0;
    bool playingRecording = false;
    // Seconds fed since Play: an empty selection still plays one.
    int secondsFedSincePlay = 0;
    int fileRunStartSecond = 0;
    Qt::KeyboardModifiers fileClickModifiers;

    // Declared in this order so that each goes before what it uses.
    SoundDeviceMenu* soundDeviceMenu;
    std::unique_ptr<SoundOutputObject> soundOutput;
    std::unique_ptr<CarrierTextFile> carrierTextFile; // while carrier.txt is written
    std::unique_ptr<DemodulatorObject> demodulator;
    std::unique_ptr<SoundOutputDevice> soundDevice;
    std::unique_ptr<RecordingObject> recordingObject;
    std::unique_ptr<DemodSecondFeeder> playFeeder;
    std::unique_ptr<MultiplexSpectrum> multiplexSpectrum;
    std::unique_ptr<DemodFileRun> fileRun;
    QTimer* fastTimer = nullptr;
    QTimer* oneSecTimer = nullptr;
    QLabel* soundStatusLabel = nullptr;
    QProgressBar* fileProgress = nullptr;
    QString drawingName;
    QProgressBar* drawingProgress = nullptr;

    FFTView* fftView;
    FreqScaleView* freqScaleView;
    WaterfallScrollArea* scrollingView;
    WaterfallLoader* waterfallLoader;
    QSplitter* mainSplitter = nullptr;
    QSplitter* sideSplitter = nullptr;
    QLabel* folderLabel = nullptr;
    QListWidget* fileBrowser = nullptr;
    QListWidget* infoBrowser = nullptr;
    AudioSpectrumView* theAudioSpectrumView = nullptr;
    SpectrumView* spectrumView = nullptr;

    QLineEdit* startTimeField = nullptr;
    QLineEdit* endTimeField = nullptr;
    QLineEdit* startFreqField = nullptr;
    QLineEdit* endFreqField = nullptr;
    QLineEdit* pbtField = nullptr;
    QComboBox* modePopup = nullptr;
    QLabel* statusField = nullptr;
    QLineEdit* signalLevelField = nullptr;
    QProgressBar* sMeterIndicator = nullptr;
    QLineEdit* mindBField = nullptr;
    QLineEdit* maxdBField = nullptr;
    QLineEdit* fftLengthField = nullptr;
    QToolButton* loopButton = nullptr;
    QToolButton* p10SecButton = nullptr;
    QToolButton* p30SecButton = nullptr;
    QToolButton* p60SecButton = nullptr;
    QToolButton* p5MinButton = nullptr;
    QToolButton* m10SecButton = nullptr;
    QToolButton* m30SecButton = nullptr;
    QToolButton* m60SecButton = nullptr;
    QToolButton* m5MinButton = nullptr;
    QToolButton* playbutton = nullptr;
    QToolButton* pausebutton = nullptr;
    QToolButton* demodFileButton = nullptr;
    QToolButton* timestampedDemodFileButton = nullptr;
    QSlider* volumeSlider = nullptr;

    QAction* colorWaterFallMenuItem = nullptr;
    QAction* carrierTxtlMenuItem = nullptr;
    QMenu* outputDeviceMenuItem = nullptr;
    QAction* openInWaterfallAction = nullptr;
};
