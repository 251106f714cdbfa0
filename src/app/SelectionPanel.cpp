#include "app/SelectionPanel.h"

#include "app/FormRows.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

const char* const kModeNames[] = {"AM", "SAM", "FM", "WFM", "USB", "LSB", "CWU", "CWL", "None"};

void showText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

} // namespace

SelectionPanel::SelectionPanel(QWidget* parent)
    : QGroupBox("Selection", parent)
{
    using namespace FormRows;
    QHBoxLayout* row = makeRow(this);
    startTimeField = makeField(this, "startTimeField", 56, "Start of the selection, seconds into the recording");
    endTimeField = makeField(this, "endTimeField", 56, "End of the selection, seconds into the recording");
    startFreqField = makeField(this, "startFreqField", 80, "Low edge of the selection, kHz");
    endFreqField = makeField(this, "endFreqField", 80, "High edge of the selection, kHz");
    pbtField = makeField(this, "pbtField", 44, "Pass-band tuning, kHz (at most ±5)");
    addLabelledField(row, "&Start", startTimeField, "s");
    addLabelledField(row, "&End", endTimeField, "s");
    addLabelledField(row, "&Low", startFreqField, "kHz");
    addLabelledField(row, "&High", endFreqField, "kHz");
    addLabelledField(row, "&PBT", pbtField, "kHz");
    modePopup = new QComboBox;
    modePopup->setObjectName("modePopup");
    modePopup->setToolTip("Demodulation mode");
    for (const char* mode : kModeNames)
        modePopup->addItem(mode);
    auto* modeLabel = new QLabel("&Mode");
    modeLabel->setBuddy(modePopup);
    row->addWidget(modeLabel);
    row->addWidget(modePopup);
    for (QLineEdit* field : {startTimeField, endTimeField, startFreqField, endFreqField, pbtField})
        connect(field, &QLineEdit::editingFinished, this, &SelectionPanel::readEditedFields);
    connect(modePopup, &QComboBox::currentIndexChanged, this, &SelectionPanel::modeChanged);
}

void SelectionPanel::showSelection(const Selection& selection)
{
    shown_ = selection;
    startTimeField->setText(QString::asprintf("%d", selection.startSecond));
    endTimeField->setText(QString::asprintf("%d", selection.endSecond));
    startFreqField->setText(QString::asprintf("%9.3f", selection.lowKHz));
    endFreqField->setText(QString::asprintf("%9.3f", selection.highKHz));
}

void SelectionPanel::showField(SelectionField field, const Selection& selection)
{
    shown_ = selection;
    switch (field) {
    case SelectionField::StartTime:
        startTimeField->setText(QString::asprintf("%d", selection.startSecond));
        break;
    case SelectionField::EndTime:
        endTimeField->setText(QString::asprintf("%d", selection.endSecond));
        break;
    case SelectionField::LowFrequency:
        startFreqField->setText(QString::asprintf("%d", static_cast<int>(selection.lowKHz)));
        break;
    case SelectionField::HighFrequency:
        endFreqField->setText(QString::asprintf("%d", static_cast<int>(selection.highKHz)));
        break;
    case SelectionField::None:
        break;
    }
}

void SelectionPanel::showFields(const SelectionFields& fields, const Selection& selection)
{
    shown_ = selection;
    showText(startTimeField, QString::fromStdString(fields.startTime));
    showText(endTimeField, QString::fromStdString(fields.endTime));
    showText(startFreqField, QString::fromStdString(fields.lowFreq));
    showText(endFreqField, QString::fromStdString(fields.highFreq));
    showText(pbtField, QString::fromStdString(fields.pbt));
}

void SelectionPanel::editField(const SelectionFieldChange& change)
{
    showField(change.field, withFieldChange(shown_, change));
    readEditedFields();
}

void SelectionPanel::clearTimesAndBand()
{
    for (QLineEdit* field : {startTimeField, endTimeField, startFreqField, endFreqField})
        field->clear();
}

SelectionFields SelectionPanel::typedFields() const
{
    return {startTimeField->text().toStdString(), endTimeField->text().toStdString(),
            startFreqField->text().toStdString(), endFreqField->text().toStdString(), pbtField->text().toStdString()};
}

int SelectionPanel::mode() const
{
    return modePopup->currentIndex();
}

void SelectionPanel::readEditedFields()
{
    if (const std::optional<Selection> placed = selectionFromFields(typedFields(), shown_)) {
        shown_ = *placed;
        emit selectionEdited(*placed);
    }
}
