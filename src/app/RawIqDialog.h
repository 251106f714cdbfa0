#pragma once

#include "recording/RawIqSettings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

// Asks for what a raw I/Q file's name does not say: its sample rate, sample
// format and centre frequency. OK is taken only with values that can be used.
class RawIqDialog : public QDialog {
    Q_OBJECT
public:
    RawIqDialog(const QString& fileName, QWidget* parent = nullptr);

    void setValues(const QString& rate, const QString& format, const QString& center);
    // The values typed, or what is wrong with them.
    RawIqSettings settings() const { return settings_; }
    void accept() override;
    QString problem() const;

private:
    QLineEdit* rateField_;
    QComboBox* formatPopup_;
    QLineEdit* centerField_;
    QLabel* problemLabel_;
    RawIqSettings settings_;
};
