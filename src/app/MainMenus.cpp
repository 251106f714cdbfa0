#include "app/MainMenus.h"

#include "app/Preferences.h"
#include "app/ReceiverMenu.h"
#include "app/RecentRecordingsMenu.h"
#include "common/Settings.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalBlocker>

namespace {

QAction* addNamedAction(QMenu* menu, const QString& text, const char* objectName)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(objectName);
    return action;
}

} // namespace

MainMenus::MainMenus(QMainWindow* window, QMenu* outputDevices)
    : QObject(window)
{
    QMenuBar* bar = window->menuBar();

    fileMenu_ = bar->addMenu("&File");
    QAction* openRecording = addNamedAction(fileMenu_, "&Open Recording…", "openRecordingAction");
    openRecording->setShortcut(QKeySequence::Open);
    connect(openRecording, &QAction::triggered, this, &MainMenus::openRecordingRequested);
    recentRecordings_ = new RecentRecordingsMenu(window);
    connect(recentRecordings_, &RecentRecordingsMenu::openRequested, this, &MainMenus::recentRecordingChosen);
    fileMenu_->addMenu(recentRecordings_->menu());
    QAction* chooseFolder = addNamedAction(fileMenu_, "&Choose Recordings Folder…", "chooseFolderAction");
    chooseFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(chooseFolder, &QAction::triggered, this, &MainMenus::chooseFolderRequested);
    QAction* reload = addNamedAction(fileMenu_, "&Reload Files List", "reloadAction");
    reload->setShortcut(QKeySequence::Refresh);
    connect(reload, &QAction::triggered, this, &MainMenus::reloadRequested);
    fileMenu_->addSeparator();
    QAction* openInWaterfall = addNamedAction(fileMenu_, "Open in &Waterfall Window", "openInWaterfallAction");
    openInWaterfall->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    connect(openInWaterfall, &QAction::triggered, this, &MainMenus::openInWaterfallRequested);
    fileMenu_->addSeparator();
    QAction* quit = addNamedAction(fileMenu_, "&Quit", "quitAction");
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &MainMenus::quitRequested);

    viewMenu_ = bar->addMenu("&View");
    colorWaterFallMenuItem_ = addNamedAction(viewMenu_, "Draw Waterfall in &Colour", "colorWaterFallMenuItem");
    colorWaterFallMenuItem_->setCheckable(true);
    connect(colorWaterFallMenuItem_, &QAction::toggled, this, &MainMenus::drawInColorChanged);
    wholeSecondMenuItem_ = addNamedAction(viewMenu_, "Whole Second (Peak Hold)", "wholeSecondMenuItem");
    wholeSecondMenuItem_->setCheckable(true);
    connect(wholeSecondMenuItem_, &QAction::toggled, this, &MainMenus::wholeSecondChanged);
    viewMenu_->addSeparator();
    QAction* zoomIn = addNamedAction(viewMenu_, "Zoom &In", "zoomInAction");
    zoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence::ZoomIn});
    connect(zoomIn, &QAction::triggered, this, &MainMenus::zoomInRequested);
    QAction* zoomOut = addNamedAction(viewMenu_, "Zoom &Out", "zoomOutAction");
    zoomOut->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence::ZoomOut});
    connect(zoomOut, &QAction::triggered, this, &MainMenus::zoomOutRequested);
    QAction* fit = addNamedAction(viewMenu_, "&Fit Band", "fitAction");
    fit->setShortcut(QKeySequence(Qt::Key_0));
    connect(fit, &QAction::triggered, this, &MainMenus::fitRequested);

    playbackMenu_ = bar->addMenu("&Playback");
    const auto addPlaybackAction = [this](const QString& text, const char* name, QKeySequence key) {
        QAction* action = addNamedAction(playbackMenu_, text, name);
        action->setShortcut(key);
        return action;
    };
    // Space types a space in a text field; Ctrl+Space plays and pauses from anywhere.
    QAction* playPause = addPlaybackAction("&Play / Pause", "playPauseAction", QKeySequence(Qt::CTRL | Qt::Key_Space));
    playPause->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Space), QKeySequence(Qt::Key_Space)});
    connect(playPause, &QAction::triggered, this, &MainMenus::playPauseRequested);
    playbackMenu_->addSeparator();
    const struct {
        const char* text;
        const char* name;
        QKeySequence key;
        int seconds;
    } skips[] = {
        {"Back 10 s", "skipBack10Action", Qt::Key_Left, -10},
        {"Forward 10 s", "skip10Action", Qt::Key_Right, 10},
        {"Back 60 s", "skipBack60Action", QKeySequence(Qt::SHIFT | Qt::Key_Left), -60},
        {"Forward 60 s", "skip60Action", QKeySequence(Qt::SHIFT | Qt::Key_Right), 60},
    };
    for (const auto& skip : skips)
        connect(addPlaybackAction(skip.text, skip.name, skip.key), &QAction::triggered, this,
                [this, seconds = skip.seconds] { emit skipRequested(seconds); });
    playbackMenu_->addSeparator();
    connect(addPlaybackAction("Go to Selection &Start", "selectionStartAction", Qt::Key_Home), &QAction::triggered,
            this, &MainMenus::selectionStartRequested);
    connect(addPlaybackAction("Go to Selection &End", "selectionEndAction", Qt::Key_End), &QAction::triggered, this,
            &MainMenus::selectionEndRequested);
    connect(addPlaybackAction("&Loop", "loopAction", Qt::Key_L), &QAction::triggered, this,
            &MainMenus::loopRequested);

    QMenu* audioMenu = bar->addMenu("&Audio");
    outputDevices->setTitle("&Output Device");
    outputDevices->setObjectName("outputDeviceMenuItem");
    audioMenu->addMenu(outputDevices);
    audioMenu->addSeparator();
    carrierTxtlMenuItem_ = addNamedAction(audioMenu, "Write Carrier Measurements to carrier.&txt", "carrierTxtlMenuItem");
    carrierTxtlMenuItem_->setCheckable(true);
    connect(carrierTxtlMenuItem_, &QAction::toggled, this, &MainMenus::writeCarrierTxtChanged);
    audioMenu->addSeparator();
    receiver_ = new ReceiverMenu(audioMenu, this);

    toolsMenu_ = bar->addMenu("&Tools");
    connect(addNamedAction(toolsMenu_, "&DGPS Beacons…", "openDGPSAction"), &QAction::triggered, this,
            &MainMenus::dgpsRequested);
    connect(addNamedAction(toolsMenu_, "&Carrier Analysis…", "openCarrierAction"), &QAction::triggered, this,
            &MainMenus::carrierRequested);

    QMenu* helpMenu = bar->addMenu("&Help");
    connect(addNamedAction(helpMenu, "Check for &Updates…", "checkForUpdatesAction"), &QAction::triggered, this,
            &MainMenus::checkForUpdatesRequested);
    connect(addNamedAction(helpMenu, "&About Korvel", "aboutAction"), &QAction::triggered, this,
            &MainMenus::aboutRequested);
}

bool MainMenus::drawsInColor() const { return colorWaterFallMenuItem_->isChecked(); }
bool MainMenus::drawsWholeSecond() const { return wholeSecondMenuItem_->isChecked(); }
bool MainMenus::writesCarrierTxt() const { return carrierTxtlMenuItem_->isChecked(); }

void MainMenus::readPreferences(QSettings& settings)
{
    const bool color = settings.value(Settings::kDrawInColor, false).toBool();
    const bool carrierTxt = settings.value(Settings::kWriteCarrierTxt, false).toBool();
    const bool wholeSecond = settings.value(Settings::kWholeSecondPeakHold, false).toBool();
    {
        const QSignalBlocker wholeSecondBlocker(wholeSecondMenuItem_);
        wholeSecondMenuItem_->setChecked(wholeSecond);
        const QSignalBlocker colorBlocker(colorWaterFallMenuItem_);
        const QSignalBlocker carrierBlocker(carrierTxtlMenuItem_);
        colorWaterFallMenuItem_->setChecked(color);
        carrierTxtlMenuItem_->setChecked(carrierTxt);
    }
    // Said once each, changed or not, so the window starts from the stored values.
    receiver_->readPreferences(settings);
    emit drawInColorChanged(color);
    emit writeCarrierTxtChanged(carrierTxt);
    emit wholeSecondChanged(wholeSecond);
}

void MainMenus::savePreferences(QSettings& settings) const
{
    settings.setValue(Settings::kDrawInColor, drawsInColor());
    settings.setValue(Settings::kWriteCarrierTxt, writesCarrierTxt());
    settings.setValue(Settings::kWholeSecondPeakHold, drawsWholeSecond());
    receiver_->savePreferences(settings);
}
