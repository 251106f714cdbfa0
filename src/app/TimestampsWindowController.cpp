#include "app/TimestampsWindowController.h"

#include "dgps/DgpsStation.h"
#include "dgps/DgpsTableModel.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TimestampsWindowController::TimestampsWindowController(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , theTableView(new QTableWidget(0, 1))
{
    setAttribute(Qt::WA_DeleteOnClose);
    resize(320, 420);
    theTableView->setObjectName("theTableView");
    theTableView->setHorizontalHeaderLabels({"Decoded (UTC)"});
    theTableView->horizontalHeader()->setStretchLastSection(true);
    theTableView->verticalHeader()->hide();
    theTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    theTableView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* copy = new QPushButton("Copy");
    copy->setObjectName("copyTextButton");
    copy->setToolTip("Copy the times as text");
    connect(copy, &QPushButton::clicked, this, &TimestampsWindowController::copyTextClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    auto* column = new QVBoxLayout(this);
    column->addWidget(theTableView, 1);
    column->addLayout(buttons);
}

void TimestampsWindowController::setArray(const std::vector<int32_t>& times, int stationIndex,
                                          const DgpsStation& station)
{
    stationLoggingsArray = times;
    stationIndex_ = stationIndex;
    // One decimal: a station may sit on a half-kHz channel.
    setWindowTitle(QString::asprintf("ID: %d  %3.1f kHz %s %s", station.ID, station.kHz, station.City,
                                     station.Country));
    theTableView->setRowCount(static_cast<int>(times.size()));
    for (int r = 0; r < static_cast<int>(times.size()); ++r)
        theTableView->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(DgpsTableModel::timeText(times[r]))));
}

void TimestampsWindowController::copyTextClick()
{
    QString text;
    for (int32_t t : stationLoggingsArray)
        text += QString::fromStdString(DgpsTableModel::timeText(t)) + " \n";
    QApplication::clipboard()->setText(text);
}
