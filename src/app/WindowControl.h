#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

class AudioSpectrumView;
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
class SpectrumView;
class WaterfallScrollArea;

// The main window: recordings folder and file list, the recording's
// information lines, the whole-recording waterfall with its frequency scale,
// the selection fields and the playback controls. Owns the recording model,
// the display FFT, the demodulator and the main window's views.
//
// Drawing a waterfall: loadRecording() opens the file; the generation then calls
// waterfallView()->setHeight(seconds), drawFftLine() for each row on the GUI
// thread (rows may arrive as they are computed), and setWaterfallBand() when it
// ends. It reads fftSize(),
// waterfallDbRange() and drawsInColor(), and puts the recording's information
// lines up with setInfoArray().
class WindowControl : public QMainWindow {
    Q_OBJECT
public:
    explicit WindowControl(QWidget* parent = nullptr);

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

    // The menu of a file in the list (open, open in the waterfall window, reload);
    // the caller owns it.
    QMenu* createFileContextMenu(const QString& name);

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
    QToolButton* makeSkipButton(const QString& name, const QString& text, const QString& tip);

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
    Qt::KeyboardModifiers fileClickModifiers;

    FFTView* fftView;
    FreqScaleView* freqScaleView;
    WaterfallScrollArea* scrollingView;
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
