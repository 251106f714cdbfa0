#include "app/DGPSWindowController.h"

#include "app/ElidedLabel.h"
#include "app/FormRows.h"
#include "app/Preferences.h"
#include "app/TimestampsWindowController.h"
#include "app/WindowGeometry.h"
#include "dgps/DgpsAlmanacImport.h"
#include "dgps/DgpsSession.h"
#include "dgps/DgpsStationListFiles.h"
#include "dgps/DgpsStationListStore.h"
#include "dgps/DgpsTableModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const kFrameKey = "dgpsWindowFrame";

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString ShownPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// A number typed in a field, checked as korvel-cli checks the same input.
bool ReadNumber(const QLineEdit* field, const NumberSetting& setting, double& value)
{
    const std::optional<double> read = setting.read(field->text().toStdString());
    value = read.value_or(0.0);
    return read.has_value();
}

} // namespace

DGPSWindowController::DGPSWindowController(std::shared_ptr<DgpsStationListStore> stationLists,
                                           const QString& recordingsFolder, QWidget* parent)
    : QMainWindow(parent)
    , stationLists_(std::move(stationLists))
    , session_(std::make_unique<DgpsSession>(*stationLists_))
    , recordingsFolder_(recordingsFolder)
{
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("DGPS Beacons");

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->addWidget(buildControls());
    column->addWidget(buildLiveInput());

    stationListLabel_ = new QLabel;
    stationListLabel_->setObjectName("stationListLabel");
    stationListLabel_->setWordWrap(true);
    stationListLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(stationListLabel_);

    theTableView = new QTableWidget(0, DgpsTableModel::kColumns);
    theTableView->setObjectName("theTableView");
    QStringList titles;
    for (int c = 0; c < DgpsTableModel::kColumns; ++c)
        titles << DgpsTableModel::identifier(c);
    theTableView->setHorizontalHeaderLabels(titles);
    theTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    theTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    theTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    theTableView->verticalHeader()->hide();
    theTableView->horizontalHeader()->setSortIndicatorShown(true);
    theTableView->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    // Columns as wide as what they hold; the City column takes the rest and
    // elides a long name, shown in full as the cell's tool tip.
    theTableView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    theTableView->horizontalHeader()->setSectionResizeMode(6, QHeaderView::Stretch);
    theTableView->setWordWrap(false);
    theTableView->setTextElideMode(Qt::ElideRight);
    theTableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(theTableView->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &DGPSWindowController::didClickTableColumn);
    connect(theTableView, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { doTableDoubleClick(row); });
    connect(theTableView, &QTableWidget::itemSelectionChanged, this,
            &DGPSWindowController::tableViewSelectionDidChange);
    connect(theTableView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        const int row = theTableView->rowAt(pos.y());
        QAction* times = menu->addAction("Show Decode Times", this, [this, row] { doTableDoubleClick(row); });
        times->setEnabled(row >= 0);
        menu->addAction("Copy Table", this, &DGPSWindowController::copyButton);
        menu->popup(theTableView->viewport()->mapToGlobal(pos));
    });
    column->addWidget(theTableView, 1);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // A station's line is long; the labels elide it rather than widen the window.
    firstDecodeLabel = new ElidedLabel;
    firstDecodeLabel->setText("First decode");
    firstDecodeLabel->setObjectName("firstDecodeLabel");
    lastDecodeLabel = new ElidedLabel;
    lastDecodeLabel->setText("Last decode");
    lastDecodeLabel->setObjectName("lastDecodeLabel");
    for (QLabel* label : {firstDecodeLabel, lastDecodeLabel}) {
        label->setFont(fixed);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        column->addWidget(label);
    }
    setCentralWidget(central);

    statusField_ = new ElidedLabel;
    statusField_->setObjectName("statusField");
    statusBar()->addWidget(statusField_, 1);
    buildMenus();
    WindowGeometry::restore(this, kFrameKey, QSize(1180, 680));

    oneSecTimer_ = new QTimer(this);
    oneSecTimer_->setInterval(1000);
    connect(oneSecTimer_, &QTimer::timeout, this, &DGPSWindowController::OneSecTimer);
}

DGPSWindowController::~DGPSWindowController()
{
    oneSecTimer_->stop();
}

QWidget* DGPSWindowController::buildControls()
{
    auto* panel = new QWidget;
    auto* rows = new QVBoxLayout(panel);
    rows->setContentsMargins(0, 0, 0, 0);

    auto* buttons = new QHBoxLayout;
    loadButton_ = FormRows::makeButton("loadButton", "Load…", "Choose a recording and scan it for beacons");
    stopButton_ = FormRows::makeButton("stopButton", "Stop", "End the scan after the block in hand");
    rescanButton_ = FormRows::makeButton("rescanButton", "Re-scan", "Scan the recording again from the start; the decodes found stay");
    clearButton_ = FormRows::makeButton("clearButton", "Clear", "Forget every decode");
    copyButton_ = FormRows::makeButton("copyButton", "Copy", "Copy the table as text");
    connect(loadButton_, &QPushButton::clicked, this, &DGPSWindowController::loadPushButton);
    connect(stopButton_, &QPushButton::clicked, this, &DGPSWindowController::stopPushButton);
    connect(rescanButton_, &QPushButton::clicked, this, &DGPSWindowController::doDemodFile);
    connect(clearButton_, &QPushButton::clicked, this, &DGPSWindowController::clearButton);
    connect(copyButton_, &QPushButton::clicked, this, &DGPSWindowController::copyButton);
    for (QPushButton* b : {loadButton_, stopButton_, rescanButton_, clearButton_, copyButton_})
        buttons->addWidget(b);
    progressBar = new QProgressBar;
    progressBar->setObjectName("progressBar");
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 1);
    progressBar->setValue(0);
    buttons->addWidget(progressBar, 1);
    progressLabel = new QLabel("0 of 0 seconds");
    progressLabel->setObjectName("progressLabel");
    progressLabel->setMinimumWidth(150);
    buttons->addWidget(progressLabel);
    rows->addLayout(buttons);

    auto* place = new QHBoxLayout;
    recordingLabel_ = new QLabel("No recording loaded.");
    recordingLabel_->setObjectName("recordingLabel");
    // A long file name must not widen the window.
    recordingLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    place->addWidget(recordingLabel_, 1);
    latitudeField = FormRows::makeField(nullptr, "latitudeField", 90, "Your latitude in degrees, north positive");
    longitudeField = FormRows::makeField(nullptr, "longitudeField", 90, "Your longitude in degrees, east positive");
    place->addWidget(new QLabel("Your location: latitude"));
    place->addWidget(latitudeField);
    place->addWidget(new QLabel("longitude"));
    place->addWidget(longitudeField);
    place->addWidget(new QLabel("degrees (north and east positive)"));
    connect(latitudeField, &QLineEdit::editingFinished, this, &DGPSWindowController::changeLocation);
    connect(longitudeField, &QLineEdit::editingFinished, this, &DGPSWindowController::changeLocation);
    rows->addLayout(place);
    return panel;
}

QWidget* DGPSWindowController::buildLiveInput()
{
    auto* group = new QGroupBox("Live input: I/Q samples as UDP datagrams to 127.0.0.1");
    auto* row = new QHBoxLayout(group);
    liveButton_ = FormRows::makeButton("liveButton", "Start", "Start or stop listening for datagrams");
    liveButton_->setCheckable(true);
    connect(liveButton_, &QPushButton::clicked, this, &DGPSWindowController::startReceivingUDP);
    row->addWidget(liveButton_);
    portField_ = FormRows::makeField(nullptr, "portField", 60, "The UDP port to listen on");
    liveRateField_ = FormRows::makeField(nullptr, "liveRateField", 90, "Samples per second sent; used when no recording is loaded "
                                                    "(else the recording's)");
    liveCenterField_ = FormRows::makeField(nullptr, "liveCenterField", 80, "The frequency the samples are centred on; used when no "
                                                        "recording is loaded (else the recording's)");
    row->addWidget(new QLabel("port"));
    row->addWidget(portField_);
    row->addWidget(new QLabel("sample rate"));
    row->addWidget(liveRateField_);
    row->addWidget(new QLabel("S/s  centre"));
    row->addWidget(liveCenterField_);
    row->addWidget(new QLabel("kHz"));
    liveFormatPopup_ = new QComboBox;
    liveFormatPopup_->setObjectName("liveFormatPopup");
    liveFormatPopup_->addItems({"Signed 16-bit", "Unsigned 16-bit (32768 is zero)"});
    liveFormatPopup_->setToolTip("How the I/Q pairs after the 4 header bytes are sent (little-endian, I first)");
    row->addWidget(liveFormatPopup_);
    liveStatusLabel_ = new QLabel;
    liveStatusLabel_->setObjectName("liveStatusLabel");
    row->addWidget(liveStatusLabel_, 1);
    return group;
}

void DGPSWindowController::buildMenus()
{
    QMenu* stations = menuBar()->addMenu("&Stations");
    stations->addAction("&Choose Station List…", this, &DGPSWindowController::chooseStationList);
    stations->addAction("Use the &Default Station List", this, &DGPSWindowController::useDefaultStationList);
    QAction* import = stations->addAction("&Import IALA Almanac…", this, &DGPSWindowController::importAlmanac);
    import->setObjectName("importAlmanacAction");
    stations->addSeparator();
    wholeKhzOnlyMenuItem_ = stations->addAction("&Whole-kHz Channels Only");
    wholeKhzOnlyMenuItem_->setObjectName("wholeKhzOnlyMenuItem");
    wholeKhzOnlyMenuItem_->setCheckable(true);
    wholeKhzOnlyMenuItem_->setToolTip("Leave out the half-kHz channels on which the list has a station");
    connect(wholeKhzOnlyMenuItem_, &QAction::toggled, this, [this](bool on) {
        if (on == session_->wholeKhzOnly())
            return;
        session_->setWholeKhzOnly(on);
        Preferences().setValue(Settings::kWholeKhzOnly, on);
        showStatus("The channel choice takes effect at the next Load, Re-scan or Start.");
    });
    hideUnconfirmedMenuItem_ = stations->addAction("&Hide Unconfirmed Stations");
    hideUnconfirmedMenuItem_->setCheckable(true);
    hideUnconfirmedMenuItem_->setToolTip("Leave out stations that only single first words, confirmed by nothing, speak for");
    connect(hideUnconfirmedMenuItem_, &QAction::toggled, this, [this](bool on) {
        session_->tableModel().hideUnconfirmed = on;
        Preferences().setValue(Settings::kHideUnconfirmed, on);
    });

    QMenu* edit = menuBar()->addMenu("&Edit");
    QAction* copy = edit->addAction("&Copy Table", this, &DGPSWindowController::copyButton);
    copy->setShortcut(QKeySequence::Copy);
}

void DGPSWindowController::myInit()
{
    QSettings settings = Preferences();
    myLat = static_cast<float>(PreferenceNumber(settings, Settings::kLatitude));
    myLong = static_cast<float>(PreferenceNumber(settings, Settings::kLongitude));
    latitudeField->setText(QString::number(myLat, 'g', 7));
    longitudeField->setText(QString::number(myLong, 'g', 7));
    portField_->setText(QString::number(static_cast<int>(PreferenceNumber(settings, Settings::kUdpPort))));
    liveRateField_->setText(settings.value(Settings::kLiveSampleRate.key, Settings::kLiveSampleRate.fallback).toString());
    liveCenterField_->setText(settings.value(Settings::kLiveCenterKHz.key, Settings::kLiveCenterKHz.fallback).toString());
    liveFormatPopup_->setCurrentIndex(settings.value(Settings::kUdpUnsigned, false).toBool() ? 1 : 0);
    const bool wholeKhzOnly = settings.value(Settings::kWholeKhzOnly, false).toBool();
    session_->setWholeKhzOnly(wholeKhzOnly);
    wholeKhzOnlyMenuItem_->setChecked(wholeKhzOnly);
    hideUnconfirmedMenuItem_->setChecked(settings.value(Settings::kHideUnconfirmed, true).toBool());
    chosenList_ = settings.value(Settings::kStationList).toString();
    useStationList(chosenList_, false);
    oneSecTimer_->start();
}

int DGPSWindowController::livePort() const
{
    const DgpsSession::LiveStatus live = session_->liveStatus();
    return live.receiving ? live.port : 0;
}

void DGPSWindowController::loadPushButton()
{
    QFileDialog dialog(this, "Choose the recording file to open", recordingsFolder_);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::Accept, "Choose file");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        loadRecording(dialog.selectedFiles().first());
}

void DGPSWindowController::loadRecording(const QString& path)
{
    std::string error;
    if (!session_->loadRecording(LocalPath(path), error)) {
        showStatus(ShownPath(error));
    } else {
        const DgpsSession& s = *session_;
        recordingLabel_->setText(QString("%1: %2 S/s around %3 kHz, %4 seconds, %5 decoders")
                                     .arg(QFileInfo(path).fileName())
                                     .arg(s.recordingSampleRate(), 0, 'f', 0)
                                     .arg(s.recordingCenterFreq() / 1000.0, 0, 'f', 1)
                                     .arg(s.endSecond())
                                     .arg(s.numDemodObj()));
        if (s.numDgpsStations() > 0 && s.numDemodObj() == 0)
            showStatus("No DGPS beacon channel (285 to 325 kHz) lies inside this recording's band.");
        else
            showStatus(QString());
    }
    showStationList();
    OneSecTimer();
}

void DGPSWindowController::stopPushButton()
{
    session_->stop();
}

void DGPSWindowController::doDemodFile()
{
    if (!session_->rescan())
        showStatus(session_->hasRecording() ? "Nothing to scan without a station list." : "Load a recording first.");
    OneSecTimer();
}

void DGPSWindowController::clearButton()
{
    session_->clear();
    OneSecTimer();
}

void DGPSWindowController::copyButton()
{
    const std::string text = DgpsTableModel::copyText(session_->rows(myLat, myLong));
    QApplication::clipboard()->setText(QString::fromStdString(text));
}

void DGPSWindowController::changeLocation()
{
    double lat = 0.0, lon = 0.0;
    if (!ReadNumber(latitudeField, Settings::kLatitude, lat)) {
        showStatus("The latitude is degrees from -90 to 90, north positive.");
        latitudeField->setText(QString::number(myLat, 'g', 7));
        return;
    }
    if (!ReadNumber(longitudeField, Settings::kLongitude, lon)) {
        showStatus("The longitude is degrees from -180 to 180, east positive.");
        longitudeField->setText(QString::number(myLong, 'g', 7));
        return;
    }
    myLat = static_cast<float>(lat);
    myLong = static_cast<float>(lon);
    storeLocation();
    OneSecTimer();
}

void DGPSWindowController::storeLocation()
{
    QSettings settings = Preferences();
    settings.setValue(Settings::kLatitude.key, static_cast<double>(myLat));
    settings.setValue(Settings::kLongitude.key, static_cast<double>(myLong));
    settings.sync();
}

void DGPSWindowController::startReceivingUDP(bool on)
{
    if (!on) {
        session_->stopReceivingUDP();
        updateLiveControls();
        return;
    }
    double port = 0.0, rate = 0.0, centerKHz = 0.0;
    QString problem;
    if (!ReadNumber(portField_, Settings::kUdpPort, port))
        problem = "The port is a number from 1 to 65535.";
    else if (!session_->hasRecording() && !ReadNumber(liveRateField_, Settings::kLiveSampleRate, rate))
        problem = "The sample rate is 1000 to 100000000 samples per second.";
    else if (!session_->hasRecording() && !ReadNumber(liveCenterField_, Settings::kLiveCenterKHz, centerKHz))
        problem = "The centre frequency is in kHz.";
    std::string error;
    const bool asUnsigned = liveFormatPopup_->currentIndex() == 1;
    if (problem.isEmpty() &&
        !session_->startReceivingUDP(static_cast<int>(port), asUnsigned, rate, centerKHz * 1000.0, error))
        problem = ShownPath(error);
    if (!problem.isEmpty()) {
        showStatus(problem);
        liveButton_->setChecked(false);
        return;
    }
    QSettings settings = Preferences();
    settings.setValue(Settings::kUdpPort.key, static_cast<int>(port));
    settings.setValue(Settings::kUdpUnsigned, asUnsigned);
    if (!session_->hasRecording()) {
        settings.setValue(Settings::kLiveSampleRate.key, liveRateField_->text().trimmed());
        settings.setValue(Settings::kLiveCenterKHz.key, liveCenterField_->text().trimmed());
    }
    showStatus(QString());
    updateLiveControls();
}

void DGPSWindowController::updateLiveControls()
{
    const DgpsSession::LiveStatus live = session_->liveStatus();
    liveButton_->setChecked(live.receiving);
    liveButton_->setText(live.receiving ? "Stop" : "Start");
    for (QWidget* w : std::initializer_list<QWidget*>{portField_, liveFormatPopup_})
        w->setEnabled(!live.receiving);
    for (QWidget* w : std::initializer_list<QWidget*>{liveRateField_, liveCenterField_})
        w->setEnabled(!live.receiving && !session_->hasRecording());
    liveStatusLabel_->setText(ShownPath(session_->liveStatusText()));
}

void DGPSWindowController::chooseStationList()
{
    QString start = QFileInfo(ShownPath(session_->stationListPath())).absolutePath();
    if (session_->stationListPath().empty())
        start = recordingsFolder_;
    const QString path = QFileDialog::getOpenFileName(this, "Choose the DGPS station list", start,
                                                      "Station lists (*.txt *.TXT);;All files (*)");
    if (path.isEmpty())
        return;
    chosenList_ = path;
    Preferences().setValue(Settings::kStationList, path);
    useStationList(chosenList_, true);
}

void DGPSWindowController::useDefaultStationList()
{
    chosenList_.clear();
    Preferences().remove(Settings::kStationList);
    useStationList(chosenList_, true);
}

void DGPSWindowController::importAlmanac()
{
    const QString xml = QFileDialog::getOpenFileName(this, "Choose the IALA DGNSS station almanac", QDir::homePath(),
                                                     "Almanac (*.xml *.XML);;All files (*)");
    if (xml.isEmpty())
        return;
    const std::string target = DgpsStationListFiles::userListPath();
    DgpsAlmanacImport::Result result;
    std::string error;
    if (!DgpsAlmanacImport::importFile(LocalPath(xml), target, result, error)) {
        showStatus(ShownPath(error));
        return;
    }
    // The imported list is the one the user wants now.
    chosenList_.clear();
    Preferences().remove(Settings::kStationList);
    useStationList(chosenList_, true);
    showStatus(QString("%1 stations written to %2 (%3 almanac records outside the beacon band or without a rate or "
                       "reference ID, %4 merged).")
                   .arg(result.stations)
                   .arg(ShownPath(target))
                   .arg(result.skipped)
                   .arg(result.merged));
}

void DGPSWindowController::useStationList(const QString& chosen, bool reread)
{
    std::string error;
    session_->useStationList(LocalPath(chosen), reread, error);
    showStationList();
    OneSecTimer();
}

void DGPSWindowController::showStationList()
{
    stationListLabel_->setText(ShownPath(session_->stationListText()));
}

void DGPSWindowController::showStatus(const QString& text)
{
    statusField_->setText(text);
}

void DGPSWindowController::didClickTableColumn(int column)
{
    if (column < 0 || column >= DgpsTableModel::kColumns)
        return;
    DgpsTableModel& model = session_->tableModel();
    model.didClickTableColumn(DgpsTableModel::identifier(column));
    theTableView->horizontalHeader()->setSortIndicator(
        model.sortColumn, model.sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    OneSecTimer();
}

void DGPSWindowController::doTableDoubleClick(int row)
{
    const QTableWidgetItem* item = row >= 0 ? theTableView->item(row, 0) : nullptr;
    if (!item)
        return;
    const int station = item->data(Qt::UserRole).toInt();
    auto* window = new TimestampsWindowController(this);
    window->setArray(session_->table().times(station), station, session_->table().station(station));
    window->show();
}

void DGPSWindowController::tableViewSelectionDidChange()
{
    const QList<QTableWidgetItem*> selected = theTableView->selectedItems();
    if (selected.isEmpty())
        return;
    if (const QTableWidgetItem* first = theTableView->item(selected.first()->row(), 0))
        selectedStation_ = first->data(Qt::UserRole).toInt();
    showDecodeLabels();
}

void DGPSWindowController::showDecodeLabels()
{
    const DgpsStationTable& table = session_->table();
    if (selectedStation_ < 0 || selectedStation_ >= table.numDgpsStations() || table.count(selectedStation_) == 0) {
        firstDecodeLabel->setText("First decode");
        lastDecodeLabel->setText("Last decode");
        return;
    }
    const std::vector<int32_t> times = table.times(selectedStation_);
    const DgpsStation& s = table.station(selectedStation_);
    double km = 0.0, deg = 0.0;
    DgpsStationTable::stationDistanceBearing(myLat, myLong, s.Lat, s.Lon, km, deg);
    const QString line = QString::fromStdString(DgpsTableModel::stationLine(s, km, deg));
    const auto when = [](int32_t t) { return QString("[%1] ").arg(QString::fromStdString(DgpsTableModel::timeText(t))); };
    firstDecodeLabel->setText(QString("First decode %1  %2").arg(when(times.front()), line));
    lastDecodeLabel->setText(QString("Last decode %1  %2").arg(when(times.back()), line));
}

void DGPSWindowController::OneSecTimer()
{
    const int done = session_->playBackSec(), end = session_->endSecond();
    progressBar->setRange(0, std::max(end, 1));
    progressBar->setValue(done);
    progressLabel->setText(QString::asprintf("%d of %d seconds", done, end));
    stopButton_->setEnabled(session_->isScanning());
    if (!session_->isScanning()) {
        const std::string error = session_->scanError();
        if (!error.empty() && shownScanError_ != error) {
            shownScanError_ = error;
            showStatus(QString("The scan stopped: %1").arg(QString::fromStdString(error)));
        }
    }
    rescanButton_->setEnabled(session_->hasRecording() && session_->numDgpsStations() > 0);

    const std::vector<DgpsTableModel::Row> rows = session_->rows(myLat, myLong);
    const QSignalBlocker quiet(theTableView);
    theTableView->setRowCount(static_cast<int>(rows.size()));
    int selectedRow = -1;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        for (int c = 0; c < DgpsTableModel::kColumns; ++c) {
            QTableWidgetItem* item = theTableView->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == 6 || c == 7 ? Qt::AlignLeft | Qt::AlignVCenter
                                                        : Qt::AlignRight | Qt::AlignVCenter);
                theTableView->setItem(r, c, item);
            }
            item->setText(QString::fromStdString(rows[r].cells[c]).trimmed());
            if (c == 6 || c == 7)
                item->setToolTip(item->text());
        }
        theTableView->item(r, 0)->setData(Qt::UserRole, rows[r].station);
        if (rows[r].station == selectedStation_)
            selectedRow = r;
    }
    if (selectedRow >= 0)
        theTableView->selectRow(selectedRow);
    else
        theTableView->clearSelection();
    showDecodeLabels();
    updateLiveControls();
}

void DGPSWindowController::closeEvent(QCloseEvent* event)
{
    oneSecTimer_->stop();
    WindowGeometry::save(this, kFrameKey);
    session_->stopReceivingUDP();
    session_->stop();
    QMainWindow::closeEvent(event);
}
