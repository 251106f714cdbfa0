#include "app/WaterfallSettingsPanel.h"

#include "app/FormRows.h"
#include "recording/SelectionRules.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

WaterfallSettingsPanel::WaterfallSettingsPanel(QWidget* parent)
    : QGroupBox("Waterfall", parent)
{
    using namespace FormRows;
    QHBoxLayout* row = makeRow(this);
    mindBField = makeField(this, "mindBField", 48, "Level drawn darkest, dB (used at the next load)");
    maxdBField = makeField(this, "maxdBField", 48, "Level drawn brightest, dB (used at the next load)");
    fftLengthField = makeField(this, "fftLengthField", 60, "FFT length of the waterfall, 1024 to 65536 (used at the next load)");
    addLabelledField(row, "Mi&n", mindBField, "dB");
    addLabelledField(row, "Ma&x", maxdBField, "dB");
    addLabelledField(row, "FF&T", fftLengthField, QString());
    autoLevelsButton = new QPushButton("&Auto", this);
    autoLevelsButton->setObjectName("autoLevelsButton");
    autoLevelsButton->setToolTip("Min and Max from the levels of the waterfall drawn (noise floor to strongest "
                                 "signal), and draw it again");
    row->addWidget(autoLevelsButton);
    connect(fftLengthField, &QLineEdit::editingFinished, this, &WaterfallSettingsPanel::applyFftLengthField);
    connect(autoLevelsButton, &QPushButton::clicked, this, &WaterfallSettingsPanel::autoLevelsRequested);
    row->addStretch();
}

void WaterfallSettingsPanel::readPreferences(const QSettings& settings)
{
    mFftSize = NormalizeFftSize(settings.value("fftsize", 0).toDouble());
    fftLengthField->setText(QString::number(mFftSize));
    const DbRange range = DbRangeFromPreferences(settings.value("minDB", 0).toDouble(), settings.value("maxDB", 0).toDouble());
    mindBField->setText(QString::asprintf("%d", range.minDb));
    maxdBField->setText(QString::asprintf("%d", range.maxDb));
}

void WaterfallSettingsPanel::savePreferences(QSettings& settings)
{
    applyFftLengthField();
    settings.setValue("minDB", TruncateDb(mindBField->text().trimmed().toDouble()));
    settings.setValue("maxDB", TruncateDb(maxdBField->text().trimmed().toDouble()));
    settings.setValue("fftsize", mFftSize);
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
}

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
