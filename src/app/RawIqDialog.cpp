#include "app/RawIqDialog.h"

#include "recording/IqFileName.h"
#include "recording/RecordingObject.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

RawIqDialog::RawIqDialog(const QString& fileName, QWidget* parent)
    : QDialog(parent), rateField_(new QLineEdit(this)), formatPopup_(new QComboBox(this)),
      centerField_(new QLineEdit(this)), problemLabel_(new QLabel(this))
{
    setWindowTitle("Raw I/Q Recording");
    setObjectName("rawIqDialog");
    auto* intro = new QLabel(QString("%1 holds samples without a header. Say how they were recorded:").arg(fileName), this);
    intro->setWordWrap(true);
    rateField_->setObjectName("rateField");
    rateField_->setPlaceholderText("2.048M");
    centerField_->setObjectName("centerField");
    centerField_->setPlaceholderText("433.92M (optional)");
    formatPopup_->setObjectName("formatPopup");
    formatPopup_->addItem("cu8 (unsigned 8-bit)", "cu8");
    formatPopup_->addItem("cs8 (signed 8-bit)", "cs8");
    formatPopup_->addItem("cs16 (signed 16-bit)", "cs16");
    formatPopup_->addItem("cf32 (32-bit float)", "cf32");
    formatPopup_->addItem("ci16_be (16-bit big-endian)", "ci16_be");
    formatPopup_->addItem("ci32_le (signed 32-bit)", "ci32_le");
    // The default guess is what the extension says.
    if (const std::optional<SampleFormat> guessed = IqFileName::parse(fileName.toStdString()).format) {
        for (int i = 0; i < formatPopup_->count(); ++i) {
            const auto format = IqFileName::formatNamed(formatPopup_->itemData(i).toString().toStdString());
            if (format && format->encoding() == guessed->encoding())
                formatPopup_->setCurrentIndex(i);
        }
    }
    problemLabel_->setObjectName("problemLabel");
    problemLabel_->setStyleSheet("color: #b00020");

    auto* form = new QFormLayout;
    form->addRow("Sample rate (S/s):", rateField_);
    form->addRow("Sample format:", formatPopup_);
    form->addRow("Centre frequency (Hz):", centerField_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RawIqDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RawIqDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(problemLabel_);
    layout->addWidget(buttons);
}

void RawIqDialog::setValues(const QString& rate, const QString& format, const QString& center)
{
    rateField_->setText(rate);
    const int index = formatPopup_->findData(format);
    if (index >= 0)
        formatPopup_->setCurrentIndex(index);
    centerField_->setText(center);
}

QString RawIqDialog::problem() const { return problemLabel_->text(); }

void RawIqDialog::accept()
{
    RawIqSettings typed;
    const std::optional<double> rate = IqFileName::valueWithUnit(rateField_->text().trimmed().toStdString());
    if (!rate || *rate < 1 || *rate > static_cast<double>(RecordingObject::kMaxSampleRate)) {
        problemLabel_->setText("The sample rate is a number of samples per second, such as 2048000 or 2.048M.");
        return;
    }
    typed.sampleRate = static_cast<int64_t>(*rate);
    typed.format = IqFileName::formatNamed(formatPopup_->currentData().toString().toStdString());
    const QString center = centerField_->text().trimmed();
    if (!center.isEmpty()) {
        const std::optional<double> hz = IqFileName::valueWithUnit(center.toStdString());
        if (!hz) {
            problemLabel_->setText("The centre frequency is in Hz, such as 433920000 or 433.92M, or left empty.");
            return;
        }
        typed.centerFreq = *hz;
    }
    settings_ = typed;
    QDialog::accept();
}
