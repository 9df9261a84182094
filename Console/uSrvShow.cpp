#include "uSrvShow.h"

#include "DialogService.h"
#include "Exceptions.h"
#include "ResourceLibrary.h"
#include "ResourcePack.h"
#include "uBaseService.h"
#include "uConsoleFunctions.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

TSrvList::TSrvList(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SrvList"));
    ListView1 = new QTreeWidget(this);
    ListView1->setRootIsDecorated(false);
    ListView1->setSortingEnabled(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setMouseTracking(true);
    ListView1->setAlternatingRowColors(true);
    ListView1->setStyleSheet(QStringLiteral("QTreeView::item { border-bottom: 1px solid palette(mid); }"));
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({TranslateAplText(QStringLiteral("rstrAplService")), TranslateAplText(QStringLiteral("rstrReason")),
                                TranslateAplText(QStringLiteral("rstrLibrary")), QStringLiteral("GUID")});
    const int widths[] = {225, 295, 120, 245};
    for (int i = 0; i < 4; ++i)
        ListView1->setColumnWidth(i, widths[i]);
    ListView1->header()->setSectionsClickable(false);

    btClose = new QPushButton(TranslateAplText(QStringLiteral("rstr_to_Close")), this);
    btClose->setDefault(true);
    if (ResourceLibraryLoaded()) {
        const QPixmap glyph = ResourceBitmap(53);
        if (!glyph.isNull())
            btClose->setIcon(glyph);
    }
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ListView1);
    layout->addLayout(buttons);

    setWindowTitle(TranslateFieldText(QStringLiteral("R_STATE_NOT_LOADED"), 0, QStringLiteral("Не загружено")));
    resize(225 + 295 + 120 + 245 + 40, 300);
}

void TSrvList::FillList()
{
    if (!SrvObjects)
        throw Exception(QStringLiteral("TSrvList.FormShow: SrvObjects = nil"));
    ListView1->clear();
    for (const TBaseService *service : *SrvObjects)
        new QTreeWidgetItem(ListView1, QStringList{service->DisplayCaption(), service->DisplayDescription(),
                                                   service->DllName(), service->Guid()});
    // A beep, then the system's exclamation sound.
    QApplication::beep();
    QApplication::beep();
}

void TSrvList::showEvent(QShowEvent *event)
{
    FillList();
    QDialog::showEvent(event);
}

void ShowNotLoaded(const QList<TBaseService *> &services)
{
    TSrvList window;
    window.SrvObjects = &services;
    // Without a person the window is not shown; its content is still built, so a broken list is reported.
    if (IsUnattended())
        window.FillList();
    ExecModalDialog(&window);
}
