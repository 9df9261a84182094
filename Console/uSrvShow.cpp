#include "Console/uSrvShow.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uSplash.h"
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

namespace {
// The columns as the window is designed: service, reason, module, GUID.
constexpr int kDesignedWidths[] = {225, 295, 120, 245};
} // namespace

TSrvList::TSrvList(QWidget *parent) : QDialog(parent)
{
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("notloadedservice"));
    setObjectName(QStringLiteral("SrvList"));
    ListView1 = new QTreeWidget(this);
    ListView1->setRootIsDecorated(false);
    ListView1->setSortingEnabled(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setMouseTracking(true);
    ListView1->setAlternatingRowColors(true);
    // A reason is shown whole: its column widens to it as far as the screen allows, beyond that it wraps.
    ListView1->setWordWrap(true);
    ListView1->setTextElideMode(Qt::ElideNone);
    ListView1->setUniformRowHeights(false);
    ListView1->setStyleSheet(QStringLiteral("QTreeView::item { border-bottom: 1px solid palette(mid); }"));
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({TranslateAplText(QStringLiteral("rstrAplService")),
                                TranslateAplText(QStringLiteral("rstrReason")),
                                TranslateAplText(QStringLiteral("rstrLibrary")), QStringLiteral("GUID")});
    for (int i = 0; i < 4; ++i)
        ListView1->setColumnWidth(i, kDesignedWidths[i]);
    ListView1->header()->setSectionsClickable(false);

    btClose = new QPushButton(TranslateAplText(QStringLiteral("rstr_to_Close")), this);
    btClose->setObjectName(QStringLiteral("btClose"));
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

    setWindowTitle(TranslateFieldText(QStringLiteral("R_STATE_NOT_LOADED"), 0,
                                      SelectText(QStringLiteral("Не загружено"), QStringLiteral("Not loaded"))));
    resize(225 + 295 + 120 + 245 + 40, 300);
    SetDrivenUnattended(this);
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
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Each column as wide as its widest text (at least as designed); when that is wider than
    // the screen, the reason gives way and wraps.
    const int chromeWidth = width() - ListView1->viewport()->width();
    int total = 0;
    for (int column = 0; column < ListView1->columnCount(); ++column) {
        ListView1->resizeColumnToContents(column);
        const int widest = qMax(ListView1->columnWidth(column), kDesignedWidths[column]);
        ListView1->setColumnWidth(column, widest);
        total += widest;
    }
    const int room = available.width() * 9 / 10 - chromeWidth;
    if (total > room)
        ListView1->setColumnWidth(1, qMax(kDesignedWidths[1], ListView1->columnWidth(1) - (total - room)));
    int columns = 0;
    for (int column = 0; column < ListView1->columnCount(); ++column)
        columns += ListView1->columnWidth(column);
    resize(qMin(columns + chromeWidth, available.width()), height());
    ListView1->doItemsLayout();
    // Tall enough for every row, up to two thirds of the screen; the list scrolls beyond.
    int rows = ListView1->header()->sizeHint().height() + 2 * ListView1->frameWidth();
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
        rows += ListView1->sizeHintForIndex(ListView1->model()->index(i, 1)).height() + 1;
    const int chrome = height() - ListView1->height();
    const int wanted = qMax(rows + qMax(chrome, btClose->sizeHint().height() + 30), 200);
    resize(width(), qMin(wanted, available.height() * 2 / 3));
}

void TSrvList::showEvent(QShowEvent *event)
{
    FillList();
    QDialog::showEvent(event);
}

void ShowNotLoaded(const QList<TBaseService *> &services)
{
    // The splash stays on top of everything: it goes first, so that it covers nothing that asks.
    FreeSplash();
    TSrvList window;
    window.SrvObjects = &services;
    ExecModalDialog(&window);
}
