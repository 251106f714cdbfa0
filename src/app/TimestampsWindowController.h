#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

struct DgpsStation;
class QTableWidget;

// Every time one DGPS station was decoded, as it was when the window opened,
// and a button that copies them as text. Opened from the station table; each
// double-click opens another. Deletes itself when closed.
class TimestampsWindowController : public QWidget {
    Q_OBJECT
public:
    explicit TimestampsWindowController(QWidget* parent = nullptr);

    // The station's decode times (Unix seconds, UTC) and which station it is.
    void setArray(const std::vector<int32_t>& times, int stationIndex, const DgpsStation& station);
    int stationIndex() const { return stationIndex_; }

public slots:
    // One line per time, "\n" after each, on the clipboard.
    void copyTextClick();

private:
    QTableWidget* theTableView;
    std::vector<int32_t> stationLoggingsArray;
    int stationIndex_ = -1;
};
