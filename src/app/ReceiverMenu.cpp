#include "app/ReceiverMenu.h"

#include "app/Preferences.h"
#include "common/Settings.h"

#include <QActionGroup>
#include <QMenu>
#include <QSettings>

namespace {

// One checkable action per entry, exclusive within the submenu.
std::vector<QAction*> addChoices(QMenu* menu, QObject* owner, const std::vector<std::pair<const char*, const char*>>& entries)
{
    auto* group = new QActionGroup(owner);
    std::vector<QAction*> actions;
    for (const auto& [text, name] : entries) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setCheckable(true);
        group->addAction(action);
        actions.push_back(action);
    }
    actions.front()->setChecked(true);
    return actions;
}

int checkedIndex(const std::vector<QAction*>& actions)
{
    for (size_t k = 0; k < actions.size(); ++k)
        if (actions[k]->isChecked())
            return static_cast<int>(k);
    return 0;
}

} // namespace

ReceiverMenu::ReceiverMenu(QMenu* audioMenu, QObject* parent)
    : QObject(parent)
{
    QMenu* agc = audioMenu->addMenu("&AGC");
    agc->setObjectName("agcMenu");
    agcActions_ = addChoices(agc, this,
                             {{"&Auto (the mode's own)", "agcAutoAction"},
                              {"O&ff", "agcOffAction"},
                              {"&Fast (hang 100 ms, decay 100 ms)", "agcFastAction"},
                              {"&Medium (hang 250 ms, decay 250 ms)", "agcMediumAction"},
                              {"&Slow (hang 500 ms, decay 500 ms)", "agcSlowAction"},
                              {"&Long (hang 750 ms, decay 2 s)", "agcLongAction"}});
    QMenu* wfm = audioMenu->addMenu("&WFM De-emphasis");
    wfm->setObjectName("wfmDeemphasisMenu");
    wfmActions_ = addChoices(wfm, this,
                             {{"&50 µs (most of the world)", "deemphasis50Action"},
                              {"&75 µs (the Americas)", "deemphasis75Action"},
                              {"&Off", "deemphasisOffAction"}});
    fmDeemphasis_ = audioMenu->addAction("&FM De-emphasis 750 µs");
    fmDeemphasis_->setObjectName("fmDeemphasisAction");
    fmDeemphasis_->setCheckable(true);
    for (QAction* action : agcActions_)
        connect(action, &QAction::triggered, this, &ReceiverMenu::controlsChanged);
    for (QAction* action : wfmActions_)
        connect(action, &QAction::triggered, this, &ReceiverMenu::controlsChanged);
    connect(fmDeemphasis_, &QAction::triggered, this, &ReceiverMenu::controlsChanged);
}

ReceiverControls ReceiverMenu::controls() const
{
    ReceiverControls controls;
    controls.agc = static_cast<AgcChoice>(checkedIndex(agcActions_));
    controls.wfmDeemphasis = static_cast<Deemphasis>(checkedIndex(wfmActions_));
    controls.fmDeemphasis = fmDeemphasis_->isChecked();
    return controls;
}

void ReceiverMenu::readPreferences(QSettings& settings)
{
    const std::optional<AgcChoice> agc =
        agcChoiceFromName(settings.value(Settings::kReceiverAgc, "auto").toString().toStdString());
    const std::optional<Deemphasis> wfm =
        deemphasisFromName(settings.value(Settings::kReceiverDeemphasis, "50").toString().toStdString());
    agcActions_[static_cast<size_t>(agc.value_or(AgcChoice::Auto))]->setChecked(true);
    wfmActions_[static_cast<size_t>(wfm.value_or(Deemphasis::Us50))]->setChecked(true);
    fmDeemphasis_->setChecked(settings.value(Settings::kReceiverFmDeemphasis, false).toBool());
}

void ReceiverMenu::savePreferences(QSettings& settings) const
{
    const ReceiverControls now = controls();
    settings.setValue(Settings::kReceiverAgc, agcChoiceName(now.agc));
    settings.setValue(Settings::kReceiverDeemphasis, deemphasisName(now.wfmDeemphasis));
    settings.setValue(Settings::kReceiverFmDeemphasis, now.fmDeemphasis);
}
