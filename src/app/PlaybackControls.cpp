#include "app/PlaybackControls.h"

#include "app/FormRows.h"
#include "common/CNumberFormat.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

PlaybackControls::PlaybackControls(QWidget* parent)
    : QWidget(parent)
{
    auto* playback = new QGroupBox("Playback");
    QHBoxLayout* playRow = FormRows::makeRow(playback);
    playbutton = new QToolButton;
    playbutton->setObjectName("playbutton");
    playbutton->setText("Play");
    playbutton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    playbutton->setCheckable(true);
    pausebutton = new QToolButton;
    pausebutton->setObjectName("pausebutton");
    pausebutton->setText("Pause");
    pausebutton->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    pausebutton->setCheckable(true);
    loopButton = new QToolButton;
    loopButton->setObjectName("loopButton");
    loopButton->setText("Loop");
    loopButton->setCheckable(true);
    loopButton->setToolTip("Start again at the beginning of the selection when it ends");
    for (QToolButton* button : {playbutton, pausebutton, loopButton}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setEnabled(false);
        button->setMinimumWidth(64);
        playRow->addWidget(button);
    }
    playRow->addSpacing(10);
    skipButtons = {makeSkipButton("m5MinButton", "−5 min", "Skip back 5 minutes", -300),
                   makeSkipButton("m60SecButton", "−60 s", "Skip back 60 seconds", -60),
                   makeSkipButton("m30SecButton", "−30 s", "Skip back 30 seconds", -30),
                   makeSkipButton("m10SecButton", "−10 s", "Skip back 10 seconds", -10),
                   makeSkipButton("p10SecButton", "+10 s", "Skip ahead 10 seconds", 10),
                   makeSkipButton("p30SecButton", "+30 s", "Skip ahead 30 seconds", 30),
                   makeSkipButton("p60SecButton", "+60 s", "Skip ahead 60 seconds", 60),
                   makeSkipButton("p5MinButton", "+5 min", "Skip ahead 5 minutes", 300)};
    for (QToolButton* button : skipButtons)
        playRow->addWidget(button);
    connect(playbutton, &QToolButton::clicked, this, &PlaybackControls::playClicked);
    connect(pausebutton, &QToolButton::toggled, this, &PlaybackControls::pauseToggled);
    connect(loopButton, &QToolButton::toggled, this, &PlaybackControls::loopToggled);
    playRow->addSpacing(10);
    auto* volumeLabel = new QLabel;
    volumeLabel->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(16, 16));
    volumeLabel->setToolTip("Volume");
    playRow->addWidget(volumeLabel);
    volumeSlider = new QSlider(Qt::Horizontal);
    volumeSlider->setObjectName("volumeSlider");
    volumeSlider->setRange(0, 1000);
    volumeSlider->setValue(700);
    volumeSlider->setFixedWidth(110);
    volumeSlider->setToolTip("Volume");
    playRow->addWidget(volumeSlider);
    connect(volumeSlider, &QSlider::valueChanged, this, [this] { emit volumeChanged(volume()); });

    auto* level = new QGroupBox("Signal");
    QHBoxLayout* levelRow = FormRows::makeRow(level);
    signalLevelField = FormRows::makeField(level, "signalLevelField", 84, "Signal level in the selection");
    signalLevelField->setReadOnly(true);
    signalLevelField->setPlaceholderText("dBm");
    signalLevelField->setFocusPolicy(Qt::NoFocus);
    sMeterIndicator = new QProgressBar;
    sMeterIndicator->setObjectName("sMeterIndicator");
    sMeterIndicator->setRange(-140, -20);
    sMeterIndicator->setValue(-140);
    sMeterIndicator->setTextVisible(false);
    sMeterIndicator->setFixedWidth(110);
    levelRow->addWidget(signalLevelField);
    levelRow->addWidget(sMeterIndicator);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(playback);
    row->addWidget(level);
    row->addStretch();
}

QToolButton* PlaybackControls::makeSkipButton(const QString& name, const QString& text, const QString& tip,
                                              int seconds)
{
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setEnabled(false);
    button->setMinimumWidth(48);
    connect(button, &QToolButton::clicked, this, [this, seconds] { emit skipClicked(seconds); });
    return button;
}

void PlaybackControls::updateControls(bool playable, bool writing, bool playing)
{
    playbutton->setEnabled(playable && !writing);
    pausebutton->setEnabled(playing);
    loopButton->setEnabled(playable);
    for (QToolButton* button : skipButtons)
        button->setEnabled(playable);
}

void PlaybackControls::showStopped()
{
    playbutton->setChecked(false);
    pausebutton->setChecked(false);
}

void PlaybackControls::showPlaying()
{
    playbutton->setChecked(true);
}

void PlaybackControls::showSignalLevel(std::optional<double> levelDbm)
{
    if (!levelDbm) {
        signalLevelField->clear();
        sMeterIndicator->setValue(sMeterIndicator->minimum());
        return;
    }
    // "%-5.1f dBm"
    signalLevelField->setText(QString::fromStdString(formatFixed(*levelDbm, 1)).leftJustified(5) + " dBm");
    sMeterIndicator->setValue(static_cast<int>(std::clamp(*levelDbm, -140.0, -20.0)));
}

double PlaybackControls::volume() const
{
    return volumeSlider->value() * 0.001;
}

void PlaybackControls::playOrPause()
{
    if (playbutton->isChecked() && pausebutton->isEnabled())
        pausebutton->click();
    else if (playbutton->isEnabled())
        playbutton->click();
}

void PlaybackControls::toggleLoop()
{
    loopButton->toggle();
}
