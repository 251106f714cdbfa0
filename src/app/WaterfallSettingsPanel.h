#pragma once

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSettings;

// The "Waterfall" group: the dB range and FFT length of the waterfall, kept
// in the preferences "minDB", "maxDB" and "fftsize", the Auto button, which
// asks for the range measured from the waterfall drawn, the Pin box
// ("pinLevels"), and the zoom buttons. An edited range or FFT length is
// reported at once. Measured levels shown are not stored unless pinned: then
// the range stored is the one last typed (or read).
class WaterfallSettingsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit WaterfallSettingsPanel(QWidget* parent = nullptr);

    void readPreferences(const QSettings& settings);
    // Takes the typed FFT length first.
    void savePreferences(QSettings& settings);

    // Display FFT size for the next load: a power of two, 1024 to 65536.
    int fftSize() const { return mFftSize; }
    // Takes a typed FFT length that is a number, without showing it mended.
    void takeTypedFftLength();
    // The dB range typed; returns why it cannot be used, or an empty string.
    QString waterfallDbRange(double* minDb, double* maxDb) const;
    // Shows a measured dB range in the two fields.
    void setDbRange(int minDb, int maxDb);
    // Pinned: every recording is drawn with the range shown; else each
    // starts from levels measured on it.
    bool levelsPinned() const;

signals:
    void autoLevelsRequested();
    // Min or Max was edited.
    void levelsEdited();
    // The FFT length was edited to another size.
    void fftSizeChanged(int fftSize);
    void zoomInRequested();
    void zoomOutRequested();
    void fitRequested();

private:
    // Takes a typed FFT length and shows the one used.
    void applyFftLengthField();

    int mFftSize = 8192;
    QLineEdit* mindBField;
    QLineEdit* maxdBField;
    QLineEdit* fftLengthField;
    QPushButton* autoLevelsButton;
    QCheckBox* pinLevelsBox;
    // The range last typed or read from the preferences, and the measured one last shown.
    QString typedMinDb_;
    QString typedMaxDb_;
    QString measuredMinDb_;
    QString measuredMaxDb_;
};
