#pragma once

#include "demod/Selection.h"

#include <QGroupBox>

class QComboBox;
class QLineEdit;

// The "Selection" group: start and end second, low and high kHz, pass-band
// shift and the mode menu. A view of the session's selection: it shows what
// it is given and reads its text only when the user edits a field
// (selectionEdited) or when Play or a file button takes what it shows
// (typedFields).
class SelectionPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit SelectionPanel(QWidget* parent = nullptr);

    // A drag's selection: the four fields of times and edges (seconds "%d",
    // kHz "%9.3f"); the shift field stays as it is.
    void showSelection(const Selection& selection);
    // The one field a right click set, as whole numbers.
    void showField(SelectionField field, const Selection& selection);
    // The texts a set-up mended (DemodSetup::fields()) for `selection`;
    // fields that already show them are left alone.
    void showFields(const SelectionFields& fields, const Selection& selection);
    // A right click before any selection is placed: shows the value in its
    // field and reads the fields as after an edit.
    void editField(const SelectionFieldChange& change);
    // Empties the four fields of times and edges.
    void clearTimesAndBand();

    // The texts as they stand.
    SelectionFields typedFields() const;
    // DemodMode index of the mode menu.
    int mode() const;

signals:
    // A field was edited and all four of times and edges are numbers.
    void selectionEdited(const Selection& selection);
    void modeChanged(int mode);

private:
    void readEditedFields();

    // What the fields show, for the shift when its field is not a number.
    Selection shown_;
    QLineEdit* startTimeField;
    QLineEdit* endTimeField;
    QLineEdit* startFreqField;
    QLineEdit* endFreqField;
    QLineEdit* pbtField;
    QComboBox* modePopup;
};
