#pragma once

#include "dgps/DgpsBatchScan.h"
#include "dgps/DgpsLiveDecoder.h"
#include "dgps/DgpsStationTable.h"
#include "dgps/DgpsTableModel.h"
#include "dgps/DgpsUdpReceiver.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <mutex>
#include <thread>
#include <vector>

// The DGPS window without a window: the stations of one list with their
// decode times, the scan of a loaded recording on a thread of its own, and
// the live UDP input (a receiver thread and a decoding thread). The window
// forwards the user's actions and polls the progress and the rows once a
// second. Every thread it starts ends when it is stopped, when what it works
// on is replaced, and at the latest when the session is destroyed.
class DgpsStationListStore;

class DgpsSession {
public:
    static constexpr int kDefaultUdpPort = 50000;

    struct LiveStatus {
        bool receiving = false;
        int port = 0;
        double sampleRate = 0.0; // S/s
        double centerFreq = 0.0; // Hz
        int decoders = 0;
        uint64_t datagrams = 0;
        int64_t samplesDecoded = 0;
        uint64_t droppedFull = 0;     // dropped whole while the decoders were behind
        uint64_t droppedOversize = 0; // longer than a datagram may be
        uint64_t droppedOtherSenders = 0; // not from the one sender taken
    };

    // lists: where the station lists come from; must outlive the session.
    explicit DgpsSession(DgpsStationListStore& lists);
    ~DgpsSession();
    DgpsSession(const DgpsSession&) = delete;
    DgpsSession& operator=(const DgpsSession&) = delete;

    // The list the user chose ("" for none): it is used when given, else the
    // one DgpsStationListFiles finds for the loaded recording. When that is
    // another list than before, or `reread` asks for the file afresh, the
    // stations are replaced and their decode times go: the scan and the live
    // input stop, and a loaded recording is scanned again from the start.
    // False with `error` set when the list cannot be read (no stations then).
    bool useStationList(const std::string& chosen, bool reread, std::string& error);
    // The list in use, "" when there is none.
    const std::string& stationListPath() const { return stationListPath_; }
    // Why the list to use could not be read, else "".
    const std::string& stationListProblem() const { return stationListProblem_; }
    int numDgpsStations() const { return table_->numDgpsStations(); }

    // Only the whole-kHz channels (else also every half-kHz channel on which
    // the list has a station). Taken at the next load, re-scan or live start.
    void setWholeKhzOnly(bool on) { wholeKhzOnly_ = on; }
    bool wholeKhzOnly() const { return wholeKhzOnly_; }

    // Ends a scan in progress, opens `path`, takes the station list for it
    // (see useStationList) and scans it from second 0 on a thread of its own
    // when the list has stations. False with `error` set when it is no
    // recording; the recording loaded before stays, stopped.
    bool loadRecording(const std::string& path, std::string& error);
    bool hasRecording() const { return !recordingPath_.empty(); }
    const std::string& recordingPath() const { return recordingPath_; }
    double recordingSampleRate() const { return recordingSampleRate_; }
    double recordingCenterFreq() const { return recordingCenterFreq_; }

    // The scan ends after the block in hand; returns at once.
    void stop();
    // Scans the loaded recording again from second 0; the decode times found
    // so far remain. False when there is no recording or no station.
    bool rescan();
    // Empties every station's decode times.
    void clear() { table_->clear(); }
    bool isScanning() const { return scanning_.load(); }
    // Why the last scan stopped early (a read error), or an empty string.
    std::string scanError() const;
    int32_t playBackSec() const { return scan_->playBackSec(); }
    int32_t endSecond() const { return scan_->endSecond(); }
    int numDemodObj() const { return scan_->numDemodObj(); }

    // Live I/Q on 127.0.0.1:port (0: any free port). The decoders take
    // `sampleRate` (S/s) and `centerFreq` (Hz) when no recording is loaded,
    // else the loaded recording's. False with `error` set when there is no
    // station, no beacon channel in the band or no socket to be had.
    bool startReceivingUDP(int port, bool unsignedSamples, double sampleRate, double centerFreq, std::string& error);
    // Ends both live threads.
    void stopReceivingUDP();
    LiveStatus liveStatus() const;
    // The live input's state as the window shows it.
    std::string liveStatusText() const;
    // Which station list is in use, or why there is none, as the window shows it.
    std::string stationListText() const;

    const DgpsStationTable& table() const { return *table_; }
    // Sorting: a header click goes to tableModel().didClickTableColumn().
    DgpsTableModel& tableModel() { return tableModel_; }
    // Every heard station, sorted, with distance and bearing from the user.
    std::vector<DgpsTableModel::Row> rows(float myLat, float myLong) const
    {
        return tableModel_.sortTableEntries(*table_, myLat, myLong);
    }

private:
    void endScan();
    void startScan();
    // Replaces the table; the old decoders go first, as they log into it.
    void replaceStations(std::string_view text, const std::string& path);
    // Reads the list at `path` ("" for none) into a new table.
    bool takeStationList(const std::string& path, bool reread, std::string& error);
    bool setUpScan(const std::string& path, std::string& error);

    DgpsStationListStore& lists_;
    std::string chosenList_;
    std::unique_ptr<DgpsStationTable> table_;
    DgpsTableModel tableModel_;
    std::string stationListPath_;
    std::string stationListProblem_;
    bool wholeKhzOnly_ = false;

    std::unique_ptr<DgpsBatchScan> scan_;
    std::thread demodThread_;
    std::atomic<bool> scanning_{false};
    mutable std::mutex scanErrorLock_;
    std::string scanError_;
    std::string recordingPath_;
    double recordingSampleRate_ = 0.0;
    double recordingCenterFreq_ = 0.0;

    std::unique_ptr<DgpsUdpReceiver> receiver_;
    std::unique_ptr<DgpsLiveDecoder> liveDecoder_;
    std::thread liveThread_;
    double liveSampleRate_ = 0.0;
    double liveCenterFreq_ = 0.0;
};
