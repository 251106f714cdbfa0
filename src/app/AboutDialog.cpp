#include "app/AboutDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include <fftw3.h>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle("About Korvel");
    auto* column = new QVBoxLayout(this);
    auto* title = new QLabel(QString("Korvel %1").arg(QApplication::applicationVersion()));
    title->setObjectName("aboutVersion");
    QFont bigger = title->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.4);
    bigger.setBold(true);
    title->setFont(bigger);
    column->addWidget(title);
    column->addWidget(new QLabel("Plays back and analyses recordings of software-defined radio receivers."));

    const QString libraries =
        QString("Korvel uses these libraries:\n"
                "  Qt %1 (Core, Gui, Widgets, Multimedia, Network): GNU LGPL version 3\n"
                "  FFTW %2: GNU GPL version 2 or later\n"
                "  libpng (korvel-cli): the libpng licence\n"
                "and the C++ standard library of GCC: GNU GPL version 3 with the GCC Runtime Library Exception.")
            .arg(qVersion(), QString::fromLatin1(fftwf_version).section('-', 1));
    auto* licences = new QLabel(libraries);
    licences->setObjectName("aboutLicences");
    licences->setTextFormat(Qt::PlainText);
    licences->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(licences);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}
