// Before any Qt header: the demo catalogue has a field named "signals".
#include "dgps/DgpsDemoRecording.h"

#include "app/DGPSWindowController.h"
#include "app/DgpsWindows.h"
#include "app/TimestampsWindowController.h"
#include "app/WindowControl.h"
#include "common/ComplexSample.h"
#include "dgps/DgpsSession.h"
#include "recording/RecordingObject.h"

#include "WaitUntil.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cmath>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port on 127.0.0.1 that nothing listens on just now.
int freePort()
{
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

// Settings and the user's data folder (where no list is) in temporary
// folders; the demo DGPS recording and its list in a recordings folder.
class DGPSWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid() && dataDir.isValid() && recordingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dataDir.path().toLocal8Bit());
        std::string error;
        ASSERT_TRUE(DgpsDemoRecording::write(recordingsDir.path().toStdString(), error)) << error;
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", oldDataHome);
        QSettings("Korvel", "Korvel").clear();
    }

    QString demoRecording() const
    {
        return QDir(recordingsDir.path()).filePath(DgpsDemoRecording::entry().fileName.c_str());
    }

    DGPSWindowController* openWindow()
    {
        DGPSWindowController* window = DgpsWindows::of(&host)->openDGPS(recordingsDir.path());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    static void waitForScan(DGPSWindowController& window)
    {
        EXPECT_TRUE(waitUntil([&] { return !window.session().isScanning(); }));
        window.OneSecTimer();
    }

    static void startLive(QWidget& window, int port)
    {
        window.findChild<QLineEdit*>("portField")->setText(QString::number(port));
        window.findChild<QLineEdit*>("liveRateField")->setText("125000");
        window.findChild<QLineEdit*>("liveCenterField")->setText("300");
        window.findChild<QPushButton*>("liveButton")->click();
    }

    static QTableWidget& table(QWidget& window) { return *window.findChild<QTableWidget*>("theTableView"); }
    static QString cell(QWidget& window, int row, int column) { return table(window).item(row, column)->text(); }
    static QStringList column(QWidget& window, int c)
    {
        QStringList values;
        for (int r = 0; r < table(window).rowCount(); ++r)
            values << cell(window, r, c);
        return values;
    }
    static QString label(QWidget& window, const char* name) { return window.findChild<QLabel*>(name)->text(); }
    static void typeLocation(QWidget& window, const QString& lat, const QString& lon)
    {
        window.findChild<QLineEdit*>("latitudeField")->setText(lat);
        window.findChild<QLineEdit*>("longitudeField")->setText(lon);
        emit window.findChild<QLineEdit*>("longitudeField")->editingFinished();
    }

    QTemporaryDir settingsDir, dataDir, recordingsDir;
    QByteArray oldDataHome;
    QWidget host;
};

TEST_F(DGPSWindowTest, DemoRecordingFromTheMainWindowsMenu)
{
    WindowControl main;
    main.useRecordingFolderForSession(recordingsDir.path());
    main.findChild<QAction*>("openDGPSAction")->trigger();
    auto* window = main.findChild<DGPSWindowController*>();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(label(*window, "stationListLabel").startsWith("No DGPS station list"));

    window->loadRecording(demoRecording());
    EXPECT_EQ(label(*window, "progressLabel"), "0 of 30 seconds");
    waitForScan(*window);
    EXPECT_EQ(label(*window, "progressLabel"), "30 of 30 seconds");
    EXPECT_TRUE(label(*window, "stationListLabel").contains("(4 stations)"));
    EXPECT_EQ(column(*window, 6), QStringList({"Demo Point", "Half Channel Head", "Centre Light", "Far Cape"}))
        << "sorted by count, equal counts in list order";
    for (const QString& confidence : column(*window, 13))
        EXPECT_EQ(confidence, "high");
    for (const QString& count : column(*window, 0))
        EXPECT_GT(count.toInt(), 10);
    window->close();
}

TEST_F(DGPSWindowTest, SortCopyAndDecodeTimes)
{
    DGPSWindowController* window = openWindow();
    window->loadRecording(demoRecording());
    waitForScan(*window);
    typeLocation(*window, "54", "10"); // at Demo Point

    QHeaderView* header = table(*window).horizontalHeader();
    struct Click {
        int column;
        QStringList cities;
    };
    const Click clicks[] = {
        {10, {"Demo Point", "Half Channel Head", "Centre Light", "Far Cape"}}, // km: nearest first
        {10, {"Far Cape", "Centre Light", "Half Channel Head", "Demo Point"}}, // again: farthest first
        {6, {"Centre Light", "Demo Point", "Far Cape", "Half Channel Head"}},  // City: A to Z
    };
    for (const Click& click : clicks) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(click.column) + 5, header->height() / 2));
        EXPECT_EQ(column(*window, 6), click.cities);
    }
    EXPECT_EQ(cell(*window, 1, 10), "0");

    window->findChild<QPushButton*>("copyButton")->click();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_FALSE(copied.contains('\r'));
    const QStringList lines = copied.split('\n');
    ASSERT_EQ(lines.size(), 6) << copied.toStdString();
    EXPECT_TRUE(lines[0].contains("Count") && lines[0].contains("Deg"));
    EXPECT_TRUE(lines[1].contains("Centre Light"));
    EXPECT_EQ(lines[5], "");

    // Row 1 is Demo Point; each double-click opens a window of its own.
    const int count = cell(*window, 1, 0).toInt();
    table(*window).selectRow(1);
    EXPECT_TRUE(label(*window, "firstDecodeLabel").startsWith("First decode ["));
    EXPECT_TRUE(label(*window, "lastDecodeLabel").contains("Demo Point"));
    emit table(*window).cellDoubleClicked(1, 0);
    emit table(*window).cellDoubleClicked(1, 3);
    const QList<TimestampsWindowController*> times = window->findChildren<TimestampsWindowController*>();
    ASSERT_EQ(times.size(), 2);
    TimestampsWindowController& first = *times.first();
    EXPECT_EQ(first.windowTitle(), "ID: 801  298.0 kHz Demo Point Demoland");
    EXPECT_EQ(table(first).rowCount(), count);
    // The demo recording starts 05-Dec-2026 16:39:35; decodes are stamped
    // with the end of their five-second block.
    EXPECT_TRUE(QRegularExpression("^2026-12-05 16:39:[45]\\d UTC$").match(cell(first, 0, 0)).hasMatch())
        << cell(first, 0, 0).toStdString();
    first.copyTextClick();
    const QStringList timeLines = QApplication::clipboard()->text().split('\n');
    EXPECT_EQ(timeLines.size(), count + 1);
    EXPECT_EQ(timeLines.first(), cell(first, 0, 0) + " ");
    window->close();
}

TEST_F(DGPSWindowTest, StopRescanAndClear)
{
    DGPSWindowController* window = openWindow();
    window->loadRecording(demoRecording());
    window->findChild<QPushButton*>("stopButton")->click();
    waitForScan(*window);
    EXPECT_LT(window->session().playBackSec(), 30);

    window->findChild<QPushButton*>("rescanButton")->click();
    waitForScan(*window);
    EXPECT_EQ(label(*window, "progressLabel"), "30 of 30 seconds");
    EXPECT_EQ(table(*window).rowCount(), 4);

    window->findChild<QPushButton*>("clearButton")->click();
    EXPECT_EQ(table(*window).rowCount(), 0);
    window->close();
}

TEST_F(DGPSWindowTest, LocationIsKept)
{
    DGPSWindowController* window = openWindow();
    typeLocation(*window, "54.5", "-3.25");
    typeLocation(*window, "95", "-3.25");
    EXPECT_TRUE(label(*window, "statusField").contains("latitude"));
    EXPECT_EQ(window->findChild<QLineEdit*>("latitudeField")->text(), "54.5");
    window->close();
    QApplication::processEvents();

    EXPECT_DOUBLE_EQ(QSettings("Korvel", "Korvel").value("myLat").toDouble(), 54.5);
    DGPSWindowController* again = openWindow();
    EXPECT_EQ(again->findChild<QLineEdit*>("latitudeField")->text(), "54.5");
    EXPECT_EQ(again->findChild<QLineEdit*>("longitudeField")->text(), "-3.25");
    again->close();
}

TEST_F(DGPSWindowTest, WithoutAListTheWindowSaysHowToGetOne)
{
    ASSERT_TRUE(QFile::remove(QDir(recordingsDir.path()).filePath(DgpsDemoRecording::kStationListName)));
    DGPSWindowController* window = openWindow();
    window->loadRecording(demoRecording());
    EXPECT_FALSE(window->session().isScanning());
    const QString text = label(*window, "stationListLabel");
    EXPECT_TRUE(text.startsWith("No DGPS station list")) << text.toStdString();
    EXPECT_TRUE(text.contains("Import IALA Almanac"));
    EXPECT_FALSE(window->findChild<QPushButton*>("rescanButton")->isEnabled());
    window->close();
}

int threadCount()
{
    return static_cast<int>(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST_F(DGPSWindowTest, ClosingDuringAScanLeavesNoThread)
{
    // Once, for the threads Qt starts at first use.
    openWindow()->close();
    QApplication::processEvents();
    const int before = threadCount();
    DGPSWindowController* window = openWindow();
    window->loadRecording(demoRecording());
    startLive(*window, freePort());
    ASSERT_TRUE(window->session().isScanning());
    ASSERT_TRUE(window->session().liveStatus().receiving);
    EXPECT_EQ(threadCount(), before + 3);
    QPointer<DGPSWindowController> watched(window);
    window->close();
    EXPECT_TRUE(waitUntil([&] { return watched.isNull(); }));
    EXPECT_EQ(threadCount(), before);
}

// Live samples: the demo recording's first ten seconds sent as datagrams.
TEST_F(DGPSWindowTest, LiveDatagramsDecodeIntoTheTable)
{
    const QString list = QDir(recordingsDir.path()).filePath(DgpsDemoRecording::kStationListName);
    QSettings("Korvel", "Korvel").setValue("dgpsStationList", list);
    const int port = freePort();
    DGPSWindowController* window = openWindow();
    startLive(*window, port);
    ASSERT_EQ(window->livePort(), port) << label(*window, "statusField").toStdString();

    RecordingObject recording;
    std::vector<std::string> lines;
    recording.setRecordingFile(demoRecording().toStdString(), lines);
    std::vector<ComplexSample> samples(125000 * 10);
    ASSERT_EQ(recording.getData(samples.data(), 0.0, static_cast<int64_t>(samples.size())),
              static_cast<int64_t>(samples.size()));
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    uint64_t sent = 0;
    for (size_t at = 0; at + 256 <= samples.size(); at += 256) {
        uint8_t datagram[4 + 1024] = {};
        for (int k = 0; k < 256; ++k) {
            const int16_t iq[2] = {static_cast<int16_t>(std::lround(samples[at + k].im)),
                                   static_cast<int16_t>(std::lround(samples[at + k].re))};
            for (int h = 0; h < 2; ++h) {
                datagram[4 + 4 * k + 2 * h] = static_cast<uint16_t>(iq[h]) & 0xFF;
                datagram[4 + 4 * k + 2 * h + 1] = static_cast<uint16_t>(iq[h]) >> 8;
            }
        }
        ASSERT_EQ(::sendto(sender, datagram, sizeof datagram, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(sizeof datagram));
        // Paced, so that neither the socket's buffer nor the decoders' ring
        // overflows however slowly the decoders get the processor.
        if (++sent % 64 == 0) {
            ASSERT_TRUE(waitUntil([&] {
                const DgpsSession::LiveStatus status = window->session().liveStatus();
                return status.datagrams == sent &&
                       static_cast<int64_t>(sent) * 256 - status.samplesDecoded <= 256 * 1024;
            }));
        }
    }
    ::close(sender);
    // The last datagrams too have reached the receiver before the count is read.
    EXPECT_TRUE(waitUntil([&] { return window->session().liveStatus().datagrams == sent; }));
    EXPECT_TRUE(waitUntil([&] {
        window->OneSecTimer();
        return table(*window).rowCount() == 4;
    }));
    EXPECT_TRUE(label(*window, "liveStatusLabel").contains(QString("%1 datagrams, 0 dropped while").arg(sent)))
        << label(*window, "liveStatusLabel").toStdString();

    window->findChild<QPushButton*>("liveButton")->click();
    EXPECT_EQ(window->livePort(), 0);
    window->close();
}

} // namespace
