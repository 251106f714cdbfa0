#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CarrierSession;
class CarrierView;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QTimer;

// The carrier analysis window: a series of recordings measured channel by
// channel into an analysis file (on the CarrierSession's thread, with
// progress and Cancel), a saved analysis loaded, and one channel shown as a
// CarrierView picture with its level range, frequency and hour marks. A
// 0.2 s timer polls the session. Settings: "carrierFftSizeIndex",
// "carrierHalfSpanIndex", "carrierFolder". Deletes itself when closed, which
// ends an analysis in progress without writing it.
class CarrierWindowController : public QMainWindow {
    Q_OBJECT
public:
    // drawsInColor: whether the main window draws in colour, asked at every redraw.
    CarrierWindowController(const QString& recordingsFolder, std::function<bool()> drawsInColor,
                            QWidget* parent = nullptr);
    ~CarrierWindowController() override;

    const CarrierSession& session() const { return *session_; }
    const CarrierView& carrierView() const { return *theCarrierView; }

public slots:
    // Asks for the analysis file ("output.bin"), then the recordings, and starts.
    void processPushButton();
    // Analyses `recordings` into `outputPath` with the sizes the menus show;
    // what cannot be analysed, or is left out, is said in the status line.
    void analyseRecordings(const QStringList& recordings, const QString& outputPath);
    void cancelPushButton();
    // Asks for an analysis file and loads it.
    void loadPushButton();
    // Loads `path`; a refused file is reported and the picture stays.
    void loadAnalysis(const QString& path);
    // Redraws the picture of the channel the stepper shows.
    void pushButton2();
    void sliderDidChange();
    // The picture on the clipboard.
    void pushButtonCopyImage();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildControls();
    void pollSession();
    void analysisReplaced();
    void showStatus(const QString& text);

    std::unique_ptr<CarrierSession> session_;
    QString recordingsFolder_;
    std::function<bool()> drawsInColor_;
    double carrierMinDb = -120.0;
    double carrierMaxDb = -40.0;

    QTimer* pollTimer_ = nullptr;
    QPushButton* processButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QComboBox* fftSizePopup = nullptr;
    QComboBox* halfWidthPopup = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QSpinBox* channelStepper = nullptr;
    QLabel* freqLabel = nullptr;
    QLabel* timeield = nullptr;
    QSlider* minDbSlider = nullptr;
    QSlider* maxDbSlider = nullptr;
    QLabel* minLabel = nullptr;
    QLabel* maxLabel = nullptr;
    QScrollArea* scrollingView = nullptr;
    CarrierView* theCarrierView = nullptr;
    QLabel* statusField_ = nullptr;
};
