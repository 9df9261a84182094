#include "Source/FormReposit/uDlgBaseForm.h"

#include "DataAccess/OraPackage.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TDlgBaseForm::TDlgBaseForm(QWidget *parent, TOraSession *session, const QString &scheme, const QString &mode)
    : TBaseForm(parent, session, scheme, mode)
{
    pnlClient = new QWidget(this);
    pnlClient->setObjectName(QStringLiteral("pnlClient"));
    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    OkBtn = new QPushButton(QStringLiteral("Применить"), pnlBottom);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Отменить"), pnlBottom);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // The stretches on both sides keep the two buttons in the middle of the panel.
    auto *buttons = new QHBoxLayout(pnlBottom);
    buttons->addStretch(1);
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pnlClient, 1);
    layout->addWidget(pnlBottom);

    PARAM_PACK = new TOraPackage(this);
    PARAM_PACK->setObjectName(QStringLiteral("PARAM_PACK"));
    PARAM_PACK->SetPackageName(QStringLiteral("xxx.PARAM_PACK"));
    PARAM_PACK->SetSession(MainSession);

    // A dialog moves through no records.
    for (QAction *action : {NavigationSeparator, pFirst, pPrev, pNext, pLast, pRefresh})
        action->setVisible(false);
}

TDlgBaseForm::~TDlgBaseForm() = default;

void TDlgBaseForm::LoadGlyphs()
{
    TBaseForm::LoadGlyphs();
    const QPixmap ok = ResourceBitmap(51);
    if (!ok.isNull())
        OkBtn->setIcon(QIcon(ok));
    const QPixmap cancel = ResourceBitmap(52);
    if (!cancel.isNull())
        CancelBtn->setIcon(QIcon(cancel));
}
