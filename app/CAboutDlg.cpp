#include "app/CAboutDlg.h"

#include "app/AppIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kelvarin"));

    auto* icon = new QLabel(this);
    icon->setPixmap(KelvarinIcon("kelvarin").pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* version = new QLabel(
        QStringLiteral("Kelvarin Version %1").arg(QStringLiteral(KELVARIN_VERSION)), this);
    version->setObjectName(QStringLiteral("version"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addWidget(ok);
    buttonColumn->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon);
    layout->addSpacing(12);
    layout->addWidget(version, 1, Qt::AlignTop);
    layout->addLayout(buttonColumn);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
