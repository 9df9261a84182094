#include "Console/uSrvShow.h"

#include "Console/uConsoleFunctions.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/ResourceLibrary.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

TSrvList::TSrvList(QWidget *parent) : QDialog(parent)
{
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("notloadedservice"));
    setObjectName(QStringLiteral("SrvList"));
    ListView1 = new QTreeWidget(this);
    ListView1->setRootIsDecorated(false);
    ListView1->setSortingEnabled(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setMouseTracking(true);
    ListView1->setAlternatingRowColors(true);
    // A long reason wraps inside its column instead of being cut; the tool tip shows it whole.
    ListView1->setWordWrap(true);
    ListView1->setUniformRowHeights(false);
    ListView1->setStyleSheet(QStringLiteral("QTreeView::item { border-bottom: 1px solid palette(mid); }"));
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({TranslateAplText(QStringLiteral("rstrAplService")),
                                TranslateAplText(QStringLiteral("rstrReason")),
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
    for (const TBaseService *service : *SrvObjects) {
        auto *item =
            new QTreeWidgetItem(ListView1, QStringList{service->DisplayCaption(), service->DisplayDescription(),
                                                       service->DllName(), service->Guid()});
        for (int column = 0; column < item->columnCount(); ++column)
            item->setToolTip(column, item->text(column));
    }
    FitToRows();
    // A beep, then the system's exclamation sound.
    QApplication::beep();
    QApplication::beep();
}

void TSrvList::FitToRows()
{
    // Tall enough for every row, up to two thirds of the screen; the list scrolls beyond.
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    int rows = ListView1->header()->sizeHint().height() + 2 * ListView1->frameWidth();
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
        rows += ListView1->sizeHintForIndex(ListView1->model()->index(i, 1)).height() + 1;
    const int chrome = height() - ListView1->height();
    const int wanted = qMax(rows + qMax(chrome, btClose->sizeHint().height() + 30), 200);
    resize(qMin(width(), available.width()), qMin(wanted, available.height() * 2 / 3));
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
