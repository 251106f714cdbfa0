#include "app/FormRows.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace FormRows {

QLineEdit* makeField(QWidget* parent, const char* name, int width, const QString& tip)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(width);
    field->setToolTip(tip);
    return field;
}

void addLabelledField(QHBoxLayout* row, const QString& caption, QLineEdit* field, const QString& unit)
{
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    row->addWidget(label);
    row->addWidget(field);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit));
    row->addSpacing(8);
}

QHBoxLayout* makeRow(QGroupBox* group)
{
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(8, 4, 8, 6);
    row->setSpacing(4);
    return row;
}

QPushButton* makeButton(const char* name, const QString& text, const QString& tip)
{
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setToolTip(tip);
    return button;
}

} // namespace FormRows
