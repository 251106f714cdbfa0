#pragma once

#include <QDialog>

// Help > About Korvel: the version, and the libraries Korvel uses with their
// licences.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
