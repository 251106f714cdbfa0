#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>
#include <string>

class DgpsSession;
class DgpsStationListStore;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

// The DGPS window: a recording (or live UDP input) scanned for the beacon
// stations of the user's list, with the stations heard in a sortable table.
// The work is the DgpsSession's; the window forwards the user's actions and a
// one-second timer (OneSecTimer) shows the progress and rebuilds the table.
// Settings: "myLat", "myLong" (the user's location), "dgpsStationList" (a
// list the user chose), "dgpsUdpPort", "dgpsUdpUnsigned", "dgpsLiveSampleRate",
// "dgpsLiveCenterKHz" and "dgpsWholeKhzOnly". Deletes itself when closed, which
// ends its threads.
class DGPSWindowController : public QMainWindow {
    Q_OBJECT
public:
    DGPSWindowController(std::shared_ptr<DgpsStationListStore> stationLists, const QString& recordingsFolder,
                         QWidget* parent = nullptr);
    ~DGPSWindowController() override;

    // Reads the settings and the station list, starts the timer.
    void myInit();

    const DgpsSession& session() const { return *session_; }
    // Where the live input listens (0 while it does not).
    int livePort() const;

public slots:
    // Asks for a recording, starting in the recordings folder.
    void loadPushButton();
    // Scans `path` from the start (a running scan stops first); a file that
    // is no recording is reported in the status line.
    void loadRecording(const QString& path);
    void stopPushButton();
    // Re-scan: the loaded recording again from the start; times found stay.
    void doDemodFile();
    void clearButton();
    // The table as text on the clipboard, lines ending in "\n".
    void copyButton();
    // Takes the location fields; a value that is no latitude or longitude is
    // reported and the field shows the old one again.
    void changeLocation();
    // Live input on or off (the Start/Stop button).
    void startReceivingUDP(bool on);
    // Asks for a station list file and keeps it in "dgpsStationList".
    void chooseStationList();
    // Back to the list in the data folders.
    void useDefaultStationList();
    // Asks for the IALA almanac XML and writes the user's list from it.
    void importAlmanac();
    // The header of a column was clicked: sorts by it, or reverses the order.
    void didClickTableColumn(int column);
    // Opens the decode times of the station in `row`.
    void doTableDoubleClick(int row);
    void OneSecTimer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildControls();
    QWidget* buildLiveInput();
    void buildMenus();
    void useStationList(const QString& chosen, bool reread);
    void showStationList();
    void showStatus(const QString& text);
    void tableViewSelectionDidChange();
    void showDecodeLabels();
    void storeLocation();
    void updateLiveControls();

    std::shared_ptr<DgpsStationListStore> stationLists_;
    std::unique_ptr<DgpsSession> session_;
    QString recordingsFolder_;
    QString chosenList_;
    std::string shownScanError_;
    float myLat = 0.0f;
    float myLong = 0.0f;
    int selectedStation_ = -1;

    QTimer* oneSecTimer_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* rescanButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* progressLabel = nullptr;
    QLabel* recordingLabel_ = nullptr;
    QLabel* stationListLabel_ = nullptr;
    QLineEdit* latitudeField = nullptr;
    QLineEdit* longitudeField = nullptr;
    QPushButton* liveButton_ = nullptr;
    QLineEdit* portField_ = nullptr;
    QLineEdit* liveRateField_ = nullptr;
    QLineEdit* liveCenterField_ = nullptr;
    QComboBox* liveFormatPopup_ = nullptr;
    QLabel* liveStatusLabel_ = nullptr;
    QTableWidget* theTableView = nullptr;
    QLabel* firstDecodeLabel = nullptr;
    QLabel* lastDecodeLabel = nullptr;
    QLabel* statusField_ = nullptr;
    QAction* wholeKhzOnlyMenuItem_ = nullptr;
    QAction* hideUnconfirmedMenuItem_ = nullptr;
};
