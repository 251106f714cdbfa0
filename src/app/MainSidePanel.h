#pragma once

#include <QSplitter>

class AudioSpectrumView;
class QListWidget;
class QWidget;
class SpectrumView;

// The main window's right-hand column, top to bottom: the recordings panel,
// the information list over the waterfall settings and the file buttons,
// and the carrier and multiplex spectra as two tabs.
class MainSidePanel : public QSplitter {
    Q_OBJECT
public:
    MainSidePanel(QWidget* recordingsPanel, QWidget* waterfallSettings, QWidget* fileButtons);

    QListWidget* infoBrowser() const { return infoBrowser_; }
    AudioSpectrumView* audioSpectrumView() const { return audioSpectrumView_; }
    SpectrumView* spectrumView() const { return spectrumView_; }

private:
    QListWidget* infoBrowser_;
    AudioSpectrumView* audioSpectrumView_;
    SpectrumView* spectrumView_;
};
