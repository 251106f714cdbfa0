#pragma once

#include <QMainWindow>
#include <QPointF>
#include <QString>

#include <array>
#include <memory>

class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;
class WaterfallView;
class WaterfallWindowSession;
struct WaterfallWindowFields;

// A waterfall window: a stretch of one recording at a chosen number of lines
// per second, time running across and the band down, low edge at the top.
// The work is its WaterfallWindowSession's (its own recording, transform and
// drawing thread); the window forwards the fields and buttons, and a timer
// shows the columns as they are drawn. The fields are kept in the
// "waterfall_window_*" settings. Several may be open at once; each deletes
// itself when closed, which ends its drawing.
class WaterfallWindowController : public QMainWindow {
    Q_OBJECT
public:
    // A new window on the recording at `path`, shown and drawing; none, with
    // the reason in `problem`, when the file is no recording.
    static WaterfallWindowController* openWindow(const QString& path, QWidget* parent, QString& problem);

    explicit WaterfallWindowController(QWidget* parent = nullptr);
    ~WaterfallWindowController() override;

    // Opens the recording, fills the fields from the settings, shows the
    // window and draws. False with the reason in `problem`, and the window
    // not shown, when the file is no recording.
    bool myInit(const QString& path, QString& problem);

    const WaterfallWindowSession& session() const { return *session_; }
    QString statusText() const;

public slots:
    // Draws the picture the fields describe.
    void doProccessing();
    void minusStartTimeButtonPress();
    void plusStartTimeButtonPress();
    void updateButtonPress();
    // Min and Max from the levels of the picture drawn, applied to it at once.
    void autoLevelsButtonPress();
    // The read-out for the pointer at `position` in the picture.
    void mouseDown(QPointF position);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildFields();
    std::array<QLineEdit*, 7> fieldsInOrder() const;
    // The fields as numbers; none, with the reason shown, when one is not a number.
    bool readFields(WaterfallWindowFields& fields);
    void showFields(const WaterfallWindowFields& fields);
    void readPreferences();
    void writePreferences() const;
    void showMessage(const QString& text);
    void drawTick();
    int pictureWidth() const;

    std::unique_ptr<WaterfallWindowSession> session_;
    QLineEdit* fftSizeField = nullptr;
    QLineEdit* minDbField = nullptr;
    QLineEdit* maxDbField = nullptr;
    QLineEdit* centerFreqField = nullptr;
    QLineEdit* freqSpanField = nullptr;
    QLineEdit* startTimeField = nullptr;
    QLineEdit* linesPerSecondField = nullptr;
    QCheckBox* zoomCheckBox = nullptr;
    QPushButton* minusStartTimeButton = nullptr;
    QPushButton* plusStartTimeButton = nullptr;
    QPushButton* updateButton = nullptr;
    QPushButton* autoLevelsButton = nullptr;
    QScrollArea* scrollView = nullptr;
    WaterfallView* waterfallView = nullptr;
    QLabel* statusField = nullptr;
    QProgressBar* progressBar = nullptr;
    QTimer* drawTimer = nullptr;
    // Whether the fields came from the settings, so that the window's end may store them.
    bool opened_ = false;
    // The first picture takes the levels measured on it, unless Min or Max is typed first.
    bool levelsFromPicture_ = false;
    // What the status field shows while the pointer is not over the picture.
    QString message_;
};
