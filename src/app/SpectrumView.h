#pragma once

#include <QWidget>

#include <vector>

// The spectrum of the wide-FM multiplex: 600 columns (heights in pixels,
// limited to 0..400) with red markers and captions at the stereo pilot, the
// stereo subcarrier, RDS and the two SCA subcarriers. Drawn in a 600 x 400
// space scaled to the view; black until the first spectrum.
class SpectrumView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 600;

    explicit SpectrumView(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {600, 400}; }

    // The column heights to draw (kColumns values); not owned, may be null.
    void setSpectrum(const std::vector<double>* columns) { mpxSpectrum = columns; }
    const std::vector<double>* spectrum() const { return mpxSpectrum; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const std::vector<double>* mpxSpectrum = nullptr;
};
