#pragma once

#include <QString>

class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

// The windows' forms: titled boxes with rows of captioned fields, and buttons.
namespace FormRows {

// A right-aligned field of a fixed width.
QLineEdit* makeField(QWidget* parent, const char* name, int width, const QString& tip);
// A button with its object name and tool tip.
QPushButton* makeButton(const char* name, const QString& text, const QString& tip);
// A caption, the field and its unit (none when empty) in the row.
void addLabelledField(QHBoxLayout* row, const QString& caption, QLineEdit* field, const QString& unit);
// Makes `group` a titled box whose one row is returned.
QHBoxLayout* makeRow(QGroupBox* group);

} // namespace FormRows
