#include "dgps/DgpsSession.h"

#include "dgps/DgpsStationListFiles.h"
#include "dgps/DgpsStationListStore.h"
#include "recording/RecordingObject.h"

#include <cstdio>

DgpsSession::DgpsSession(DgpsStationListStore& lists)
    : lists_(lists)
    , table_(std::make_unique<DgpsStationTable>())
    , scan_(std::make_unique<DgpsBatchScan>())
{
}

DgpsSession::~DgpsSession()
{
    stopReceivingUDP();
    endScan();
}

bool DgpsSession::useStationList(const std::string& chosen, bool reread, std::string& error)
{
    chosenList_ = chosen;
    const std::string path = DgpsStationListFiles::locate(chosen, recordingPath_);
    if (path == stationListPath_ && !reread)
        return true;
    const bool read = takeStationList(path, reread, error);
    if (hasRecording()) {
        std::string ignored;
        if (setUpScan(recordingPath_, ignored))
            startScan();
    }
    return read;
}

bool DgpsSession::takeStationList(const std::string& path, bool reread, std::string& error)
{
    std::string text;
    const bool read = path.empty() || lists_.text(path, reread, text, error);
    stationListProblem_ = read ? std::string() : error;
    replaceStations(read ? text : std::string(), read ? path : std::string());
    return read;
}

void DgpsSession::replaceStations(std::string_view text, const std::string& path)
{
    stopReceivingUDP();
    endScan();
    liveDecoder_.reset();
    scan_ = std::make_unique<DgpsBatchScan>();
    table_ = std::make_unique<DgpsStationTable>();
    table_->readStationText(text);
    stationListPath_ = path;
}

void DgpsSession::endScan()
{
    scan_->stop();
    if (demodThread_.joinable())
        demodThread_.join();
}

void DgpsSession::startScan()
{
    if (table_->numDgpsStations() == 0)
        return;
    {
        std::lock_guard<std::mutex> guard(scanErrorLock_);
        scanError_.clear();
    }
    scanning_ = true;
    demodThread_ = std::thread([this] {
        std::string error = scan_->run();
        {
            std::lock_guard<std::mutex> guard(scanErrorLock_);
            scanError_ = std::move(error);
        }
        scanning_ = false;
    });
}

std::string DgpsSession::scanError() const
{
    std::lock_guard<std::mutex> guard(scanErrorLock_);
    return scanError_;
}

bool DgpsSession::setUpScan(const std::string& path, std::string& error)
{
    if (!scan_->setRecordingFile(path, table_.get(), wholeKhzOnly_, nullptr, error))
        return false;
    recordingPath_ = scan_->path();
    recordingSampleRate_ = static_cast<double>(scan_->sampleRate());
    recordingCenterFreq_ = scan_->centerFreq();
    return true;
}

bool DgpsSession::loadRecording(const std::string& path, std::string& error)
{
    endScan();
    {
        RecordingObject recording;
        std::vector<std::string> lines;
        recording.setRecordingFile(path, lines);
        if (!recording.isValidRecordingFile()) {
            error = recording.path() + ": " + (lines.empty() ? std::string("not a recording") : lines.back());
            return false;
        }
        const std::string listPath = DgpsStationListFiles::locate(chosenList_, recording.path());
        std::string listError;
        if (listPath != stationListPath_)
            takeStationList(listPath, false, listError);
    }
    if (!setUpScan(path, error))
        return false;
    startScan();
    return true;
}

void DgpsSession::stop()
{
    scan_->stop();
}

bool DgpsSession::rescan()
{
    if (!hasRecording() || table_->numDgpsStations() == 0)
        return false;
    endScan();
    // A new bank, as the channel choice may have changed; the decode times stay.
    std::string error;
    if (!setUpScan(recordingPath_, error))
        return false;
    startScan();
    return true;
}

bool DgpsSession::startReceivingUDP(int port, bool unsignedSamples, double sampleRate, double centerFreq,
                                    std::string& error)
{
    stopReceivingUDP();
    if (hasRecording()) {
        sampleRate = recordingSampleRate_;
        centerFreq = recordingCenterFreq_;
    }
    if (table_->numDgpsStations() == 0) {
        error = "no DGPS station list";
        return false;
    }
    if (!(sampleRate >= 1000.0 && sampleRate <= 100e6)) {
        error = "the sample rate must be 1000 to 100000000 samples per second";
        return false;
    }
    auto decoder = std::make_unique<DgpsLiveDecoder>();
    decoder->setDemodObjects(sampleRate, centerFreq, table_.get(), wholeKhzOnly_, nullptr);
    if (decoder->numDemodObj() == 0) {
        char text[160];
        std::snprintf(text, sizeof text, "no beacon channel (285 to 325 kHz) lies inside %.1f .. %.1f kHz",
                      (centerFreq - sampleRate / 2) / 1000.0, (centerFreq + sampleRate / 2) / 1000.0);
        error = text;
        return false;
    }
    auto receiver = std::make_unique<DgpsUdpReceiver>();
    if (!receiver->start(port, unsignedSamples, error))
        return false;
    receiver_ = std::move(receiver);
    liveDecoder_ = std::move(decoder);
    liveSampleRate_ = sampleRate;
    liveCenterFreq_ = centerFreq;
    liveThread_ = std::thread([this] { liveDecoder_->run(*receiver_); });
    return true;
}

void DgpsSession::stopReceivingUDP()
{
    if (liveDecoder_)
        liveDecoder_->stop();
    if (liveThread_.joinable())
        liveThread_.join();
    // Kept, stopped, so that its counts can still be read.
    if (receiver_)
        receiver_->stop();
}

DgpsSession::LiveStatus DgpsSession::liveStatus() const
{
    LiveStatus status;
    if (!receiver_)
        return status;
    status.receiving = liveThread_.joinable();
    status.port = receiver_->port();
    status.sampleRate = liveSampleRate_;
    status.centerFreq = liveCenterFreq_;
    status.decoders = liveDecoder_ ? liveDecoder_->numDemodObj() : 0;
    status.datagrams = receiver_->datagrams();
    status.samplesDecoded = liveDecoder_ ? liveDecoder_->samples() : 0;
    status.droppedFull = receiver_->droppedFull();
    status.droppedOversize = receiver_->droppedOversize();
    status.droppedOtherSenders = receiver_->droppedOtherSenders();
    return status;
}

std::string DgpsSession::liveStatusText() const
{
    const LiveStatus live = liveStatus();
    if (live.port == 0)
        return hasRecording() ? "(with the loaded recording's rate and centre)" : "";
    char text[400];
    std::snprintf(text, sizeof text,
                  "%s port %d, %d decoders at %.0f S/s around %.1f kHz: %llu datagrams, %llu dropped while the "
                  "decoders were behind, %llu too long, %llu from other senders",
                  live.receiving ? "Listening on" : "Stopped;", live.port, live.decoders, live.sampleRate,
                  live.centerFreq / 1000.0, static_cast<unsigned long long>(live.datagrams),
                  static_cast<unsigned long long>(live.droppedFull),
                  static_cast<unsigned long long>(live.droppedOversize),
                  static_cast<unsigned long long>(live.droppedOtherSenders));
    return text;
}

std::string DgpsSession::stationListText() const
{
    if (!stationListProblem_.empty())
        return stationListProblem_ + ". Choose another with Stations > Choose Station List….";
    if (stationListPath_.empty())
        return "No DGPS station list. Make yours from the IALA DGNSS station almanac (an XML file) with "
               "Stations > Import IALA Almanac…, or choose a list with Stations > Choose Station List…; "
               "it is kept as " +
               DgpsStationListFiles::userListPath() +
               ". A list beside a recording (as in the demo recordings folder) is taken when you load the recording.";
    if (numDgpsStations() == 0)
        return stationListPath_ + " holds no stations (lines of ten fields separated by ';').";
    std::string text = "Station list: " + stationListPath_ + " (" + std::to_string(numDgpsStations()) + " stations)";
    if (hasRecording()) {
        std::string unheard;
        for (int s : DgpsDecoderBank::offRaster(scan_->bandwidth(), scan_->centerFreq(), *table_)) {
            const DgpsStation& st = table_->station(s);
            char entry[200];
            std::snprintf(entry, sizeof entry, "%s%.1f kHz %s (%s)", unheard.empty() ? "" : ", ", st.kHz, st.City,
                          st.Country);
            unheard += entry;
        }
        if (!unheard.empty())
            text += ". Off the half-kHz channels, so not heard: " + unheard;
    }
    return text;
}
