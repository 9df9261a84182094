#include "Modules/ComformLibs/uSortDlg.h"

#include "Core/DialogService.h"
#include "DataAccess/OraDataSet.h"
#include "Source/ComUnits/DBGridInterface.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

constexpr int kFieldNameRole = Qt::UserRole;

// Splits at the commas that stand outside brackets and quotes.
QStringList splitItems(const QString &text)
{
    QStringList items;
    QString current;
    int depth = 0;
    QChar quote;
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            depth = qMax(0, depth - 1);
        } else if (c == QLatin1Char(',') && depth == 0) {
            items.append(current);
            current.clear();
            continue;
        }
        current.append(c);
    }
    items.append(current);
    return items;
}

// Puts a listed field in the order list, checked when descending.
QListWidgetItem *orderItem(const QString &title, const QString &fieldName, bool descending)
{
    auto *item = new QListWidgetItem(title);
    item->setData(kFieldNameRole, fieldName);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(descending ? Qt::Checked : Qt::Unchecked);
    return item;
}

} // namespace

QList<TOrderItem> ParseOrder(const QString &macroValue)
{
    static const QRegularExpression direction(QStringLiteral("\\s+(ASC|DESC)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    QList<TOrderItem> items;
    for (const QString &part : splitItems(macroValue)) {
        TOrderItem item;
        item.expression = part.trimmed();
        const QRegularExpressionMatch m = direction.match(item.expression);
        if (m.hasMatch()) {
            item.descending = m.captured(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
            item.expression.truncate(m.capturedStart());
        }
        if (!item.expression.isEmpty())
            items.append(item);
    }
    return items;
}

QString OrderText(const QList<TOrderItem> &items)
{
    QStringList parts;
    for (const TOrderItem &item : items)
        parts.append(item.descending ? item.expression + QStringLiteral(" DESC") : item.expression);
    return parts.join(QStringLiteral(", "));
}

QString SqlFieldName(const QString &fieldName)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_$#]*$"));
    if (plain.match(fieldName).hasMatch())
        return fieldName;
    QString quoted = fieldName;
    return QLatin1Char('"') + quoted.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

void ApplyOrder(TOraDataSet *query, const QString &fieldMacro, IDBGrid *grid)
{
    TMacro &field = query->MacroByName(QStringLiteral("FIELD"));
    TMacro *order = query->FindMacro(QStringLiteral("ORDER"));
    const QString oldField = field.Value(), oldOrder = order ? order->Value() : QString();
    const bool oldFieldActive = field.Active(), oldOrderActive = order && order->Active();
    field.SetValue(fieldMacro);
    field.SetActive(true);
    if (order && (order->Value().trimmed().isEmpty() || !order->Active())) {
        order->SetValue(QStringLiteral("ORDER BY"));
        order->SetActive(true);
    }
    if (!query->Active())
        return;
    if (grid)
        grid->SaveDrawState();
    try {
        query->Refresh();
    } catch (...) {
        field.SetValue(oldField);
        field.SetActive(oldFieldActive);
        if (order) {
            order->SetValue(oldOrder);
            order->SetActive(oldOrderActive);
        }
        if (grid)
            grid->RestoreDrawState();
        throw;
    }
    if (grid)
        grid->RestoreDrawState();
}

TSortDlg::TSortDlg(const QList<TOfferedColumn> &columns, const QList<TOrderItem> &current,
                   const QList<TSelectItem> &selectList, QWidget *parent)
    : QDialog(parent), m_columns(columns), m_selectList(selectList)
{
    setObjectName(QStringLiteral("SortDlg"));
    SetDrivenUnattended(this);
    setWindowTitle(LibText(QStringLiteral("rstr_to_Sort")));
    buildWidgets();
    QStringList listed;
    for (const TOrderItem &item : current) {
        const QString name = FieldOfOrderItem(m_selectList, item.expression);
        const QString title = titleOf(name);
        if (title.isEmpty() || listed.contains(name, Qt::CaseInsensitive))
            continue;
        listed.append(name);
        m_expressions.insert(name.toUpper(), item.expression);
        lbOrder->addItem(orderItem(title, name, item.descending));
    }
    for (const TOfferedColumn &c : std::as_const(m_columns)) {
        const QString name = c.field->FieldName();
        if (listed.contains(name, Qt::CaseInsensitive))
            continue;
        listed.append(name);
        auto *item = new QListWidgetItem(c.title, lbFields);
        item->setData(kFieldNameRole, name);
    }
    lbFields->setCurrentRow(0);
    lbOrder->setCurrentRow(0);
    m_initialOrder = OrderText(Order());
    updateActions();
}

void TSortDlg::buildWidgets()
{
    lbFields = Named(new QListWidget(this), "lbFields");
    lbOrder = Named(new QListWidget(this), "lbOrder");
    acAdd = NewAction(this, "acAdd", LibText(QStringLiteral("rstr_to_Add")));
    acRemove = NewAction(this, "acRemove", LibText(QStringLiteral("rstr_to_Remove")));
    acUp = NewAction(this, "acUp", LibText(QStringLiteral("rstr_to_MoveUp")));
    acDown = NewAction(this, "acDown", LibText(QStringLiteral("rstr_to_MoveDown")));
    acOk = NewAction(this, "acOk", LibText(QStringLiteral("rstr_to_Apply")));
    acCancel = NewCancelAction(this);
    connect(acAdd, &QAction::triggered, this, &TSortDlg::addField);
    connect(acRemove, &QAction::triggered, this, &TSortDlg::removeField);
    connect(acUp, &QAction::triggered, this, [this] { moveField(-1); });
    connect(acDown, &QAction::triggered, this, [this] { moveField(1); });
    connect(acOk, &QAction::triggered, this, &TSortDlg::accept);
    connect(lbFields, &QListWidget::itemDoubleClicked, acAdd, &QAction::trigger);
    connect(lbOrder, &QListWidget::itemDoubleClicked, acRemove, &QAction::trigger);
    connect(lbFields, &QListWidget::currentRowChanged, this, &TSortDlg::updateActions);
    connect(lbOrder, &QListWidget::currentRowChanged, this, &TSortDlg::updateActions);

    auto *moves = new QVBoxLayout;
    moves->addStretch();
    for (auto [action, name] :
         {std::pair{acAdd, "btnAdd"}, {acRemove, "btnRemove"}, {acUp, "btnUp"}, {acDown, "btnDown"}})
        moves->addWidget(ActionButton(action, name, this));
    moves->addStretch();
    auto *lists = new QGridLayout;
    lists->addWidget(Named(new QLabel(LibText(QStringLiteral("rstrAvailableFields")), this), "lblFields"), 0, 0);
    lists->addWidget(Named(new QLabel(LibText(QStringLiteral("rstrSortOrder")), this), "lblOrder"), 0, 2);
    lists->addWidget(lbFields, 1, 0);
    lists->addLayout(moves, 1, 1);
    lists->addWidget(lbOrder, 1, 2);
    auto *lblDescending = Named(new QLabel(LibText(QStringLiteral("rstrCheckedDescending")), this), "lblDescending");
    lblDescending->setWordWrap(true);
    lists->addWidget(lblDescending, 2, 2);

    QPushButton *btnOk = ActionButton(acOk, "btnOk", this);
    btnOk->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(ActionButton(acCancel, "btnCancel", this));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    resize(520, 320);
}

QString TSortDlg::titleOf(const QString &fieldName) const
{
    for (const TOfferedColumn &c : m_columns)
        if (c.field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return c.title;
    return QString();
}

void TSortDlg::addField()
{
    QListWidgetItem *item = lbFields->takeItem(lbFields->currentRow());
    if (!item)
        return;
    lbOrder->addItem(orderItem(item->text(), item->data(kFieldNameRole).toString(), false));
    lbOrder->setCurrentRow(lbOrder->count() - 1);
    delete item;
    updateActions();
}

void TSortDlg::removeField()
{
    QListWidgetItem *item = lbOrder->takeItem(lbOrder->currentRow());
    if (!item)
        return;
    const QString name = item->data(kFieldNameRole).toString();
    delete item;
    // Back to its place among the available fields, in the grid's order.
    int position = 0;
    for (const TOfferedColumn &c : std::as_const(m_columns)) {
        if (c.field->FieldName() == name)
            break;
        if (position < lbFields->count() && lbFields->item(position)->data(kFieldNameRole) == c.field->FieldName())
            ++position;
    }
    auto *back = new QListWidgetItem(titleOf(name));
    back->setData(kFieldNameRole, name);
    lbFields->insertItem(position, back);
    lbFields->setCurrentItem(back);
    updateActions();
}

void TSortDlg::moveField(int step)
{
    const int row = lbOrder->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= lbOrder->count())
        return;
    lbOrder->insertItem(target, lbOrder->takeItem(row));
    lbOrder->setCurrentRow(target);
    updateActions();
}

void TSortDlg::updateActions()
{
    const int row = lbOrder->currentRow();
    acAdd->setEnabled(lbFields->currentRow() >= 0);
    acRemove->setEnabled(row >= 0);
    acUp->setEnabled(row > 0);
    acDown->setEnabled(row >= 0 && row < lbOrder->count() - 1);
    acOk->setEnabled(lbOrder->count() > 0);
}

QList<TOrderItem> TSortDlg::Order() const
{
    QList<TOrderItem> items;
    for (int i = 0; i < lbOrder->count(); ++i) {
        const QListWidgetItem *item = lbOrder->item(i);
        const QString name = item->data(kFieldNameRole).toString();
        QString expression = OrderExpressionOf(m_selectList, name);
        if (expression.isEmpty())
            expression = m_expressions.value(name.toUpper(), SqlFieldName(name));
        items.append({expression, item->checkState() == Qt::Checked});
    }
    return items;
}

int SortDBGrid(IDBGrid *grid)
{
    auto *query = qobject_cast<TOraDataSet *>(grid ? grid->DataSet() : nullptr);
    TMacro *field = query ? query->FindMacro(QStringLiteral("FIELD")) : nullptr;
    if (!field) {
        ShowLibNotification(LibText(QStringLiteral("rstr_msg_ImpossibleDatasForSorting")));
        return 0;
    }
    const QList<TOfferedColumn> columns = OfferedColumns(grid, kSortMask);
    if (columns.isEmpty()) {
        ShowLibNotification(LibText(QStringLiteral("rstr_msg_NoFieldsOffered")));
        return 0;
    }
    const QString current = field->Active() ? field->Value() : QString();
    TSortDlg dialog(columns, ParseOrder(current), SelectListOf(query->SQLText()), GridWindow(grid));
    if (ExecModalDialog(&dialog) != QDialog::Accepted)
        return 0;
    const QString chosen = OrderText(dialog.Order());
    if (chosen.isEmpty() || !dialog.Changed())
        return 0;
    ApplyOrder(query, chosen, grid);
    return 1;
}
