#include "app/WaterfallSettingsPanel.h"

#include "app/FormRows.h"
#include "app/Preferences.h"
#include "common/Settings.h"
#include "recording/SelectionRules.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>

WaterfallSettingsPanel::WaterfallSettingsPanel(QWidget* parent)
    : QGroupBox("Waterfall", parent)
{
    using namespace FormRows;
    QHBoxLayout* row = makeRow(this);
    mindBField = makeField(this, "mindBField", 48, "Level drawn darkest, dB");
    maxdBField = makeField(this, "maxdBField", 48, "Level drawn brightest, dB");
    fftLengthField = makeField(this, "fftLengthField", 60, "FFT length of the waterfall, 1024 to 65536 (draws it again)");
    addLabelledField(row, "Mi&n", mindBField, "dB");
    addLabelledField(row, "Ma&x", maxdBField, "dB");
    addLabelledField(row, "FF&T", fftLengthField, QString());
    autoLevelsButton = new QPushButton("&Auto", this);
    autoLevelsButton->setObjectName("autoLevelsButton");
    autoLevelsButton->setToolTip("Min and Max from the levels of the waterfall drawn (noise floor to strongest "
                                 "signal)");
    row->addWidget(autoLevelsButton);
    pinLevelsBox = new QCheckBox("&Pin", this);
    pinLevelsBox->setObjectName("pinLevelsBox");
    pinLevelsBox->setToolTip("Keep Min and Max for the next recordings; unchecked, each recording starts from "
                             "levels measured on it");
    row->addWidget(pinLevelsBox);
    connect(fftLengthField, &QLineEdit::editingFinished, this, [this] {
        const int before = mFftSize;
        applyFftLengthField();
        if (mFftSize != before)
            emit fftSizeChanged(mFftSize);
    });
    for (QLineEdit* field : {mindBField, maxdBField})
        connect(field, &QLineEdit::editingFinished, this, [this] {
            typedMinDb_ = mindBField->text();
            typedMaxDb_ = maxdBField->text();
            emit levelsEdited();
        });
    connect(autoLevelsButton, &QPushButton::clicked, this, &WaterfallSettingsPanel::autoLevelsRequested);
    row->addSpacing(6);
    const auto addZoomButton = [&](const char* text, const char* name, const QString& tip, void (WaterfallSettingsPanel::*requested)()) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setObjectName(name);
        button->setToolTip(tip);
        connect(button, &QToolButton::clicked, this, requested);
        row->addWidget(button);
    };
    addZoomButton("\u2212", "zoomOutButton", "Zoom out in frequency (-)", &WaterfallSettingsPanel::zoomOutRequested);
    addZoomButton("+", "zoomInButton", "Zoom in in frequency (+, or Ctrl and the wheel)",
                  &WaterfallSettingsPanel::zoomInRequested);
    addZoomButton("Fit", "fitButton", "The whole band in view (0)", &WaterfallSettingsPanel::fitRequested);
    row->addStretch();
}

void WaterfallSettingsPanel::readPreferences(const QSettings& settings)
{
    mFftSize = NormalizeFftSize(settings.value(Settings::kFftSize, 0).toDouble());
    fftLengthField->setText(QString::number(mFftSize));
    const DbRange range =
        DbRangeFromPreferences(settings.value(Settings::kMinDb, 0).toDouble(), settings.value(Settings::kMaxDb, 0).toDouble());
    mindBField->setText(QString::asprintf("%d", range.minDb));
    maxdBField->setText(QString::asprintf("%d", range.maxDb));
    typedMinDb_ = mindBField->text();
    typedMaxDb_ = maxdBField->text();
    pinLevelsBox->setChecked(settings.value(Settings::kPinLevels, false).toBool());
}

void WaterfallSettingsPanel::savePreferences(QSettings& settings)
{
    applyFftLengthField();
    const bool measuredShown = mindBField->text() == measuredMinDb_ && maxdBField->text() == measuredMaxDb_;
    const bool keepTyped = measuredShown && !levelsPinned();
    settings.setValue(Settings::kMinDb, TruncateDb((keepTyped ? typedMinDb_ : mindBField->text()).trimmed().toDouble()));
    settings.setValue(Settings::kMaxDb, TruncateDb((keepTyped ? typedMaxDb_ : maxdBField->text()).trimmed().toDouble()));
    settings.setValue(Settings::kPinLevels, levelsPinned());
    settings.setValue(Settings::kFftSize, mFftSize);
}

void WaterfallSettingsPanel::takeTypedFftLength()
{
    bool ok = false;
    const double typed = fftLengthField->text().trimmed().toDouble(&ok);
    if (ok)
        mFftSize = NormalizeFftSize(typed);
}

void WaterfallSettingsPanel::applyFftLengthField()
{
    takeTypedFftLength();
    fftLengthField->setText(QString::number(mFftSize));
}

void WaterfallSettingsPanel::setDbRange(int minDb, int maxDb)
{
    mindBField->setText(QString::asprintf("%d", minDb));
    maxdBField->setText(QString::asprintf("%d", maxDb));
    measuredMinDb_ = mindBField->text();
    measuredMaxDb_ = maxdBField->text();
}

bool WaterfallSettingsPanel::levelsPinned() const { return pinLevelsBox->isChecked(); }

QString WaterfallSettingsPanel::waterfallDbRange(double* minDb, double* maxDb) const
{
    bool minOk = false;
    bool maxOk = false;
    *minDb = mindBField->text().trimmed().toDouble(&minOk);
    *maxDb = maxdBField->text().trimmed().toDouble(&maxOk);
    if (!minOk || !maxOk)
        return "The minimum and maximum dB must be numbers";
    if (const char* problem = DbRangeProblem(*minDb, *maxDb))
        return problem;
    return {};
}
