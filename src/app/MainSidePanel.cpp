#include "app/MainSidePanel.h"

#include "app/AudioSpectrumView.h"
#include "app/SpectrumView.h"

#include <QGroupBox>
#include <QListWidget>
#include <QTabWidget>
#include <QVBoxLayout>

MainSidePanel::MainSidePanel(QWidget* recordingsPanel, QWidget* waterfallSettings, QWidget* fileButtons)
    : QSplitter(Qt::Vertical)
{
    addWidget(recordingsPanel);

    auto* infoAndSettings = new QWidget;
    auto* infoAndSettingsColumn = new QVBoxLayout(infoAndSettings);
    infoAndSettingsColumn->setContentsMargins(0, 0, 0, 0);
    auto* info = new QGroupBox("Information");
    auto* infoColumn = new QVBoxLayout(info);
    infoColumn->setContentsMargins(6, 6, 6, 6);
    infoBrowser_ = new QListWidget;
    infoBrowser_->setObjectName("infoBrowser");
    infoColumn->addWidget(infoBrowser_);
    infoAndSettingsColumn->addWidget(info, 1);
    infoAndSettingsColumn->addWidget(waterfallSettings);
    infoAndSettingsColumn->addWidget(fileButtons);
    addWidget(infoAndSettings);

    auto* spectra = new QTabWidget;
    spectra->setObjectName("spectrumTabs");
    audioSpectrumView_ = new AudioSpectrumView;
    audioSpectrumView_->setObjectName("theAudioSpectrumView");
    spectrumView_ = new SpectrumView;
    spectrumView_->setObjectName("spectrumView");
    // As low as the carrier view.
    spectrumView_->setMinimumHeight(audioSpectrumView_->minimumHeight());
    spectra->addTab(audioSpectrumView_, "Carrier");
    spectra->addTab(spectrumView_, "Multiplex");
    addWidget(spectra);

    setStretchFactor(0, 3);
    setStretchFactor(1, 1);
    setStretchFactor(2, 0);
}
