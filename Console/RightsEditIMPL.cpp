#include "Console/RightsEditIMPL.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uMenu.h"
#include "Core/DialogService.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/FormReposit/uBaseForm.h"
#include "Ui/ResourceColors.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr double kGoldenRatio = 1.618;
constexpr int kColumnWidth = 295;
constexpr int kInitialHeight = 300;
// A caption needs this much more than its text; the column keeps 40 of it for the check box.
constexpr int kRowMargin = 80;
constexpr int kColumnMargin = 40;

} // namespace

TRightsEdit::TRightsEdit(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RightsEdit"));
    setWindowFlag(Qt::Tool);
    setSizeGripEnabled(true);
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("selectserviceform"));

    stxtServiceName = new QLabel(this);
    stxtServiceName->setMargin(4);
    tbRights = new QToolBar(this);
    acSelAll = new QAction(QStringLiteral("Выделить все"), this);
    acSelAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    acInvertSel = new QAction(QStringLiteral("Обратить выделение"), this);
    acInvertSel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    acUnSelect = new QAction(QStringLiteral("Снять выделение"), this);
    acUnSelect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    for (QAction *action : {acSelAll, acInvertSel, acUnSelect}) {
        action->setShortcutContext(Qt::WindowShortcut);
        tbRights->addAction(action);
        addAction(action);
    }

    lvRightList = NewRightsList(this, kColumnWidth);
    lvRightList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvRightList->setAllColumnsShowFocus(true);

    btnOk = new QPushButton(QStringLiteral("Применить"), this);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Отменить"), this);
    btnCancel->setAutoDefault(false);

    SetObjectNames({{stxtServiceName, "stxtServiceName"},
                    {tbRights, "tbRights"},
                    {lvRightList, "lvRightList"},
                    {btnOk, "btnOk"},
                    {btnCancel, "btnCancel"},
                    {acSelAll, "acSelAll"},
                    {acInvertSel, "acInvertSel"},
                    {acUnSelect, "acUnSelect"}});
    SetDrivenUnattended(this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(stxtServiceName);
    layout->addWidget(tbRights);
    layout->addWidget(lvRightList, 1);
    layout->addLayout(buttons);

    setMinimumSize(kMinWidth, kMinHeight);
    resize(static_cast<int>(kInitialHeight * kGoldenRatio), kInitialHeight);
    setWindowTitle(ConsoleText(ctAccessRights));
    loadResources();

    connect(acSelAll, &QAction::triggered, this, [this] { setAllChecks(1); });
    connect(acInvertSel, &QAction::triggered, this, [this] { setAllChecks(-1); });
    connect(acUnSelect, &QAction::triggered, this, [this] { setAllChecks(0); });
    connect(lvRightList, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *row) { fitRow(row); });
    connect(btnOk, &QPushButton::clicked, this, &TRightsEdit::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TRightsEdit::reject);
}

void TRightsEdit::loadResources()
{
    if (!ResourceLibraryLoaded())
        return;
    btnOk->setIcon(ResourceGlyph(51));
    btnCancel->setIcon(ResourceGlyph(52));
    if (ResourceBitmap(306).isNull())
        return;
    acSelAll->setIcon(ResourceGlyph(306));
    acInvertSel->setIcon(ResourceGlyph(307));
    acUnSelect->setIcon(ResourceGlyph(308));
    stxtServiceName->setAutoFillBackground(true);
    QPalette pale = stxtServiceName->palette();
    pale.setColor(QPalette::Window, clPaleBackground);
    stxtServiceName->setPalette(pale);
    setWindowTitle(ConsoleText(ctAccessRights));
    btnOk->setText(WordText(QStringLiteral("rstr_to_Apply"), QStringLiteral("Apply")));
    btnCancel->setText(WordText(QStringLiteral("rstr_to_Cancel"), QStringLiteral("Cancel")));
    SetComponentText(acSelAll, WordText(QStringLiteral("rstr_to_SelectAll"), QStringLiteral("Select all")));
    SetComponentText(acInvertSel, WordText(QStringLiteral("rstr_to_InvertSelect"), QStringLiteral("Invert selection")));
    SetComponentText(acUnSelect, WordText(QStringLiteral("rstr_to_Unselect"), QStringLiteral("Unselect")));
}

void TRightsEdit::PrepareRights()
{
    FItem->PrepareRightTo(lvRightList);
    for (int i = 0; i < lvRightList->topLevelItemCount(); ++i)
        fitRow(lvRightList->topLevelItem(i));
    stxtServiceName->setText(
        Fmt(WordText(QStringLiteral("rstr_fmt_AplService"), QStringLiteral("service \"%s\"")), FItem->Caption()));
    if (lvRightList->topLevelItemCount() > 0) {
        lvRightList->setCurrentItem(lvRightList->topLevelItem(0));
        lvRightList->setFocus();
    }
}

void TRightsEdit::setAllChecks(int mode)
{
    for (int i = 0; i < lvRightList->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = lvRightList->topLevelItem(i);
        const bool checked = mode < 0 ? row->checkState(0) != Qt::Checked : mode == 1;
        row->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void TRightsEdit::fitRow(const QTreeWidgetItem *row)
{
    const int needed = lvRightList->fontMetrics().horizontalAdvance(row->text(0)) + kRowMargin;
    if (needed < width())
        return;
    resize(needed, height());
    lvRightList->setColumnWidth(0, needed - kColumnMargin);
}

void TRightsEdit::accept()
{
    if (FItem)
        FItem->GetRightFrom(lvRightList);
    QDialog::accept();
}

void TRightsEdit::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        QTimer::singleShot(0, this, &TRightsEdit::keepBelowMainWindow);
}

// A maximised window fills the band below the main window instead of covering it.
void TRightsEdit::keepBelowMainWindow()
{
    if (!(windowState() & Qt::WindowMaximized) || !screen())
        return;
    const QRect band = TBaseForm::MaximizedRect(screen()->availableGeometry(), TBaseForm::MainForm());
    setWindowState(windowState() & ~Qt::WindowMaximized);
    setGeometry(band);
}

bool EditRights(TMnuItem *item)
{
    TRightsEdit form;
    form.FItem = item;
    if (item)
        form.PrepareRights();
    return ExecModalDialog(&form) == QDialog::Accepted;
}
