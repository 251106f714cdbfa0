#pragma once

#include "demod/ReceiverControls.h"

#include <QObject>

#include <vector>

class QAction;
class QMenu;
class QSettings;

// The receiver's listening controls in the Audio menu: AGC (Auto, Off, Fast,
// Medium, Slow, Long), wide-FM de-emphasis (50 us, 75 us, off) and narrow-FM
// de-emphasis (750 us). What is checked is a ReceiverControls value for every
// set-up (Play, the file buttons) and is heard at once while playing; kept in
// the preferences "receiverAgc", "receiverDeemphasis", "receiverFmDeemphasis".
class ReceiverMenu : public QObject {
    Q_OBJECT
public:
    // Adds the submenus and the check to `audioMenu`.
    ReceiverMenu(QMenu* audioMenu, QObject* parent);

    ReceiverControls controls() const;
    void readPreferences(QSettings& settings);
    void savePreferences(QSettings& settings) const;

signals:
    void controlsChanged();

private:
    std::vector<QAction*> agcActions_;   // in AgcChoice order
    std::vector<QAction*> wfmActions_;   // in Deemphasis order
    QAction* fmDeemphasis_ = nullptr;
};
