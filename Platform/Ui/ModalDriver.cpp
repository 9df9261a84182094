#include "Ui/ModalDriver.h"

#include "Core/DialogService.h"
#include "Core/ProtocolInput.h"
#include "Core/TextFormat.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <utility>

namespace {

// ---------------------------------------------------------------- answers

// The answers "reply" and "input" prepared for the next box and the next input query.
std::optional<int> g_reply;
// Set: an input query is answered; an empty optional inside cancels it.
std::optional<std::optional<QString>> g_input;

// ---------------------------------------------------------------- texts

QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
// The Qt class a widget is of: the nearest one in its class chain.
QString kindOf(const QObject *object)
{
    for (const QMetaObject *meta = object->metaObject(); meta; meta = meta->superClass()) {
        const char *name = meta->className();
        if (name[0] == 'Q' && name[1] >= 'A' && name[1] <= 'Z')
            return QString::fromLatin1(name);
    }
    return QString::fromLatin1(object->metaObject()->className());
}

bool isNamed(const QObject *object)
{
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// ---------------------------------------------------------------- item views

// The column that holds an item's caption: a list's model column, a grid's first visible one.
int captionColumn(const QAbstractItemView *view)
{
    if (const auto *list = qobject_cast<const QListView *>(view))
        return list->modelColumn();
    if (const auto *table = qobject_cast<const QTableView *>(view)) {
        for (int column = 0; column < view->model()->columnCount(); ++column)
            if (!table->isColumnHidden(column))
                return column;
    }
    return 0;
}

// A tree view without root decoration whose rows have no children is a list
// with columns (a report view): it dumps and checks its rows as a list does.
bool isReportList(const QAbstractItemView *view)
{
    const auto *tree = qobject_cast<const QTreeView *>(view);
    if (!tree || tree->rootIsDecorated() || !tree->model())
        return false;
    const QAbstractItemModel *model = tree->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->hasChildren(model->index(row, 0)))
            return false;
    return true;
}

bool isRowHidden(const QAbstractItemView *view, int row)
{
    if (const auto *table = qobject_cast<const QTableView *>(view))
        return table->isRowHidden(row);
    if (const auto *list = qobject_cast<const QListView *>(view))
        return list->isRowHidden(row);
    return false;
}

QString itemText(const QModelIndex &index) { return index.data(Qt::DisplayRole).toString(); }

QString treePath(QModelIndex index)
{
    QStringList captions;
    for (; index.isValid(); index = index.parent())
        captions.prepend(itemText(index.siblingAtColumn(0)));
    return captions.join(QLatin1Char('/'));
}

QModelIndex treeItem(const QAbstractItemModel *model, const QStringList &path)
{
    QModelIndex parent;
    for (const QString &caption : path) {
        QModelIndex found;
        for (int row = 0; row < model->rowCount(parent) && !found.isValid(); ++row)
            if (itemText(model->index(row, 0, parent)) == caption)
                found = model->index(row, 0, parent);
        if (!found.isValid())
            return {};
        parent = found;
    }
    return parent;
}

// A tree's item by its captions joined by "/"; a list's or grid's row by "#n" or its first cell.
QModelIndex locateItem(const QAbstractItemView *view, const QString &spec)
{
    const QAbstractItemModel *model = view->model();
    if (!model || spec.isEmpty())
        return {};
    if (qobject_cast<const QTreeView *>(view) && !isReportList(view))
        return treeItem(model, spec.split(QLatin1Char('/')));
    const int column = captionColumn(view);
    if (spec.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const int row = spec.mid(1).toInt(&ok) - 1;
        return ok && row >= 0 && row < model->rowCount() ? model->index(row, column) : QModelIndex();
    }
    for (int row = 0; row < model->rowCount(); ++row)
        if (itemText(model->index(row, column)) == spec)
            return model->index(row, column);
    return {};
}

void dumpTree(const QTreeView *view, const QString &name, const QModelIndex &parent, int level,
              const QModelIndex &current, QStringList &lines)
{
    const QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        lines << QStringLiteral("NODE %1 %2%3%4")
                     .arg(name, QString(level * 2, QLatin1Char(' ')),
                          index == current ? QStringLiteral("*") : QString(), ProtocolText(itemText(index)));
        dumpTree(view, name, index, level + 1, current, lines);
    }
}

// The header that titles a grid's or report list's columns; a plain list has none.
const QHeaderView *columnHeader(const QAbstractItemView *view)
{
    if (const auto *table = qobject_cast<const QTableView *>(view))
        return table->horizontalHeader();
    if (const auto *tree = qobject_cast<const QTreeView *>(view))
        return tree->header();
    return nullptr;
}

void dumpRows(const QAbstractItemView *view, const QString &name, QStringList &lines)
{
    const QAbstractItemModel *model = view->model();
    QList<int> columns{captionColumn(view)};
    if (const QHeaderView *header = columnHeader(view)) {
        // Every column the user sees, in the order the header shows them.
        columns.clear();
        for (int visual = 0; visual < header->count(); ++visual)
            if (const int column = header->logicalIndex(visual); !header->isSectionHidden(column))
                columns << column;
    }
    if (const QHeaderView *header = columnHeader(view); header && header->isVisibleTo(view)) {
        QStringList titles;
        for (int column : columns)
            titles << ProtocolText(model->headerData(column, Qt::Horizontal).toString());
        lines << QStringLiteral("COLS %1|%2").arg(name, titles.join(QLatin1Char('|')));
    }
    for (int row = 0; row < model->rowCount(); ++row) {
        if (isRowHidden(view, row))
            continue;
        QStringList cells;
        for (int column : columns)
            cells << ProtocolText(itemText(model->index(row, column)));
        const bool checked = model->index(row, columns.value(0)).data(Qt::CheckStateRole).toInt() == Qt::Checked;
        lines << QStringLiteral("ROW %1 %2 %3|%4")
                     .arg(name)
                     .arg(row + 1)
                     .arg(flag(checked), cells.join(QLatin1Char('|')));
    }
}

// ---------------------------------------------------------------- widgets

QString valueOf(const QWidget *widget)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->echoMode() == QLineEdit::Normal ? edit->text() : QString(edit->text().size(), QLatin1Char('*'));
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(widget))
        return memo->toPlainText();
    if (const auto *memo = qobject_cast<const QTextEdit *>(widget))
        return memo->toPlainText();
    if (const auto *spin = qobject_cast<const QAbstractSpinBox *>(widget))
        return spin->text();
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->isCheckable() ? flag(button->isChecked()) + QLatin1Char(' ') + PlainCaption(button->text())
                                     : PlainCaption(button->text());
    if (const auto *group = qobject_cast<const QGroupBox *>(widget))
        return group->isCheckable() ? flag(group->isChecked()) + QLatin1Char(' ') + PlainCaption(group->title())
                                    : PlainCaption(group->title());
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->buddy() ? PlainCaption(label->text()) : label->text(); // "&" is a mnemonic only with a buddy
    if (const auto *tabs = qobject_cast<const QTabWidget *>(widget))
        return tabs->currentIndex() < 0 ? QString() : PlainCaption(tabs->tabText(tabs->currentIndex()));
    if (const auto *tree = qobject_cast<const QTreeView *>(widget); tree && !isReportList(tree))
        return treePath(tree->currentIndex());
    if (const auto *view = qobject_cast<const QAbstractItemView *>(widget))
        return view->currentIndex().isValid() ? QStringLiteral("#%1").arg(view->currentIndex().row() + 1) : QString();
    return QString();
}

// The visible named widgets of a window in tab order.
QList<QWidget *> namedWidgets(QWidget *window)
{
    QList<QWidget *> widgets;
    // The focus chain is a ring through every widget of the window; the bound guards a broken ring.
    qsizetype bound = window->findChildren<QWidget *>().size() + 1;
    for (QWidget *widget = window->nextInFocusChain(); widget && widget != window && bound-- > 0;
         widget = widget->nextInFocusChain()) {
        if (widget->window() == window && isNamed(widget) && widget->isVisibleTo(window))
            widgets << widget;
    }
    return widgets;
}

template <typename T>
T *findWidget(QWidget *window, const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (QWidget *widget : window->findChildren<QWidget *>(name))
        if (widget->window() == window && widget->isVisibleTo(window))
            return qobject_cast<T *>(widget);
    return nullptr;
}

// Types a text as a person would: the selected text replaced, the edit's limits applied.
void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    edit->insert(text);
}

// ---------------------------------------------------------------- commands

enum class TOutcome { Done, NotFound, Disabled };

TOutcome setText(QWidget *window, const QString &name, const QString &text)
{
    QWidget *widget = findWidget<QWidget>(window, name);
    if (!widget)
        return TOutcome::NotFound;
    if (!widget->isEnabled())
        return TOutcome::Disabled;
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        if (edit->isReadOnly())
            return TOutcome::Disabled;
        typeInto(edit, text);
        // The person typing leaves the field for the next one.
        Q_EMIT edit->editingFinished();
        return TOutcome::Done;
    }
    QString lines = text;
    lines.replace(QLatin1String("\\n"), QLatin1String("\n"));
    if (auto *memo = qobject_cast<QPlainTextEdit *>(widget)) {
        if (memo->isReadOnly())
            return TOutcome::Disabled;
        memo->setPlainText(lines);
        return TOutcome::Done;
    }
    if (auto *memo = qobject_cast<QTextEdit *>(widget)) {
        if (memo->isReadOnly())
            return TOutcome::Disabled;
        memo->setPlainText(lines);
        return TOutcome::Done;
    }
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget)) {
        auto *edit = spin->findChild<QLineEdit *>();
        if (spin->isReadOnly() || !edit)
            return TOutcome::Disabled;
        typeInto(edit, text);
        spin->interpretText();
        Q_EMIT spin->editingFinished();
        return TOutcome::Done;
    }
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        if (combo->isEditable()) {
            typeInto(combo->lineEdit(), text);
            return TOutcome::Done;
        }
        // A drop-down list takes only its own entries, chosen as the user chooses one.
        const int index = combo->findText(text, Qt::MatchFixedString);
        if (index < 0)
            return TOutcome::NotFound;
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
        Q_EMIT combo->textActivated(combo->itemText(index));
        return TOutcome::Done;
    }
    return TOutcome::NotFound;
}

void makeCurrent(QAbstractItemView *view, const QModelIndex &index)
{
    if (auto *tree = qobject_cast<QTreeView *>(view))
        for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
            tree->expand(parent);
    view->setCurrentIndex(index);
    view->scrollTo(index);
    // As a click on the item would, the view takes the keys that follow.
    view->setFocus(Qt::MouseFocusReason);
}

TOutcome selectItem(QWidget *window, const QString &name, const QString &path)
{
    QWidget *widget = findWidget<QWidget>(window, name);
    if (!widget)
        return TOutcome::NotFound;
    if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (PlainCaption(tabs->tabText(i)) != path)
                continue;
            if (!tabs->isEnabled() || !tabs->isTabEnabled(i))
                return TOutcome::Disabled;
            tabs->setCurrentIndex(i);
            return TOutcome::Done;
        }
        return TOutcome::NotFound;
    }
    auto *view = qobject_cast<QAbstractItemView *>(widget);
    if (!view)
        return TOutcome::NotFound;
    const QModelIndex index = locateItem(view, path);
    if (!index.isValid())
        return TOutcome::NotFound;
    if (!view->isEnabled())
        return TOutcome::Disabled;
    makeCurrent(view, index);
    return TOutcome::Done;
}

TOutcome toggleCheck(QWidget *window, const QString &name, const QString &row)
{
    QWidget *widget = findWidget<QWidget>(window, name);
    if (!widget)
        return TOutcome::NotFound;
    if (row.isEmpty()) {
        if (auto *button = qobject_cast<QAbstractButton *>(widget); button && button->isCheckable()) {
            if (!button->isEnabled())
                return TOutcome::Disabled;
            button->click();
            return TOutcome::Done;
        }
        if (auto *group = qobject_cast<QGroupBox *>(widget); group && group->isCheckable()) {
            if (!group->isEnabled())
                return TOutcome::Disabled;
            group->setChecked(!group->isChecked());
            return TOutcome::Done;
        }
        return TOutcome::NotFound;
    }
    auto *view = qobject_cast<QAbstractItemView *>(widget);
    if (!view || (qobject_cast<QTreeView *>(view) && !isReportList(view)) || !row.startsWith(QLatin1Char('#')))
        return TOutcome::NotFound;
    const QModelIndex index = locateItem(view, row);
    if (!index.isValid())
        return TOutcome::NotFound;
    if (!view->isEnabled() || !(index.flags() & Qt::ItemIsEnabled))
        return TOutcome::Disabled;
    if (!(index.flags() & Qt::ItemIsUserCheckable)) {
        // A data grid's check column is no checkable item: the row is ticked
        // with the space bar, as the user does.
        if (!qobject_cast<QTableView *>(view))
            return TOutcome::NotFound;
        makeCurrent(view, index);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(view, &press);
        QCoreApplication::sendEvent(view, &release);
        return TOutcome::Done;
    }
    const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    view->model()->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    return TOutcome::Done;
}

// A drop onto the item itself or into its own branch would lose the branch.
bool dropsIntoItself(const QModelIndex &source, QModelIndex target)
{
    for (; target.isValid(); target = target.parent())
        if (target.siblingAtColumn(0) == source.siblingAtColumn(0))
            return true;
    return false;
}

// The action the view's own drag proposes: its default drop action, else a move
// within an internal-move view, else a copy where the model allows one.
Qt::DropAction proposedAction(const QAbstractItemView *view, Qt::DropActions actions)
{
    if (view->defaultDropAction() != Qt::IgnoreAction && (actions & view->defaultDropAction()))
        return view->defaultDropAction();
    if (view->dragDropMode() == QAbstractItemView::InternalMove)
        return Qt::MoveAction;
    return (actions & Qt::CopyAction) ? Qt::CopyAction : Qt::MoveAction;
}

// The keys that make the platform propose the action, as a person holds them while dragging.
Qt::KeyboardModifiers keysFor(Qt::DropAction action)
{
    if (action == Qt::MoveAction)
        return Qt::ShiftModifier;
    return action == Qt::LinkAction ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
}

// Where the view puts a drop at the middle of the target: onto it when it takes drops, else after it.
void dropPlace(const QModelIndex &target, int &row, QModelIndex &parent)
{
    if (target.flags() & Qt::ItemIsDropEnabled) {
        row = -1;
        parent = target;
    } else {
        row = target.row() + 1;
        parent = target.parent();
    }
}

// The move a QTreeWidget makes of its own dragged item: the item goes with its branch.
bool moveTreeWidgetItem(QTreeWidget *tree, const QModelIndex &source, const QModelIndex &target)
{
    QTreeWidgetItem *item = tree->itemFromIndex(source);
    if (!item)
        return false;
    int row = -1;
    QModelIndex parentIndex;
    dropPlace(target, row, parentIndex);
    QTreeWidgetItem *parent = parentIndex.isValid() ? tree->itemFromIndex(parentIndex) : nullptr;
    QTreeWidgetItem *oldParent = item->parent();
    if (oldParent == parent && row > source.row())
        --row; // the item leaves its place above the drop point
    if (oldParent)
        oldParent->removeChild(item);
    else
        tree->takeTopLevelItem(tree->indexOfTopLevelItem(item));
    if (parent)
        parent->insertChild(row < 0 ? parent->childCount() : row, item);
    else
        tree->insertTopLevelItem(row < 0 ? tree->topLevelItemCount() : row, item);
    tree->setCurrentItem(item);
    return true;
}

// The move through the model: the data dropped at the target, then the dragged rows
// removed as the dragging view removes them; a row with children is not moved this
// way, since its data does not carry them.
bool dropThroughModel(QAbstractItemView *view, const QMimeData *mime, Qt::DropAction action,
                      const QList<QPersistentModelIndex> &dragged, const QModelIndex &target)
{
    QAbstractItemModel *model = view->model();
    if (action == Qt::MoveAction)
        for (const QPersistentModelIndex &index : dragged)
            if (model->hasChildren(index))
                return false;
    int row = -1;
    QModelIndex parent;
    dropPlace(target, row, parent);
    if (!model->canDropMimeData(mime, action, row, -1, parent) || !model->dropMimeData(mime, action, row, -1, parent))
        return false;
    if (action == Qt::MoveAction)
        for (const QPersistentModelIndex &index : dragged)
            if (index.isValid())
                model->removeRow(index.row(), index.parent());
    return true;
}

bool isItemWidget(const QAbstractItemView *view)
{
    return qobject_cast<const QTreeWidget *>(view) || qobject_cast<const QListWidget *>(view) ||
           qobject_cast<const QTableWidget *>(view);
}

// The mouse presses the source item, drags it to the target and lets go: the
// window's own press, drag-over and drop handling sees the events. A drop from
// the driver has no drag source, so a view that takes only its own drags (an
// internal move, or an item widget moving its own items) ignores it; the
// driver then does what such a view does with its own drag.
TOutcome dropItem(QWidget *window, const QString &name, const QString &paths)
{
    auto *view = findWidget<QAbstractItemView>(window, name);
    const QString fromPath = paths.section(QLatin1String(" => "), 0, 0).trimmed();
    const QString toPath = paths.section(QLatin1String(" => "), 1).trimmed();
    if (!view || !view->model())
        return TOutcome::NotFound;
    const QModelIndex source = locateItem(view, fromPath);
    const QModelIndex target = locateItem(view, toPath);
    if (!source.isValid() || !target.isValid())
        return TOutcome::NotFound;
    if (!view->isEnabled() || !view->dragEnabled() || view->dragDropMode() == QAbstractItemView::NoDragDrop ||
        !(source.flags() & Qt::ItemIsDragEnabled))
        return TOutcome::Disabled;
    if (dropsIntoItself(source, target))
        return TOutcome::Done; // the view refuses it, as it refuses the mouse
    QAbstractItemModel *model = view->model();
    QWidget *viewport = view->viewport();

    makeCurrent(view, source);
    const QPoint from = view->visualRect(source).center();
    QMouseEvent press(QEvent::MouseButtonPress, from, viewport->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &press);

    QList<QPersistentModelIndex> dragged;
    QModelIndexList indexes;
    for (const QModelIndex &index : view->selectionModel()->selectedIndexes())
        if (index.flags() & Qt::ItemIsDragEnabled)
            indexes << index;
    if (indexes.isEmpty())
        indexes << source;
    for (const QModelIndex &index : indexes)
        if (index.column() == source.column())
            dragged << QPersistentModelIndex(index);
    const std::unique_ptr<QMimeData> mime(model->mimeData(indexes));
    if (!mime)
        return TOutcome::Disabled;
    const Qt::DropActions actions = model->supportedDragActions();
    const Qt::DropAction action = proposedAction(view, actions);

    view->scrollTo(target);
    const QPoint to = view->visualRect(target).center();
    const Qt::KeyboardModifiers keys = keysFor(action);
    QDragEnterEvent enter(from, actions, mime.get(), Qt::LeftButton, keys);
    QCoreApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(to, actions, mime.get(), Qt::LeftButton, keys);
    QCoreApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(to), actions, mime.get(), Qt::LeftButton, keys);
    QCoreApplication::sendEvent(viewport, &drop);
    if (drop.isAccepted()) {
        // After a move the dragging view removes what it moved.
        if (drop.dropAction() == Qt::MoveAction && !isItemWidget(view))
            for (const QPersistentModelIndex &index : dragged)
                if (index.isValid())
                    model->removeRow(index.row(), index.parent());
        return TOutcome::Done;
    }
    const bool ownMove = view->dragDropMode() == QAbstractItemView::InternalMove || action == Qt::MoveAction;
    if (auto *tree = qobject_cast<QTreeWidget *>(view); tree && ownMove && dragged.size() == 1)
        moveTreeWidgetItem(tree, source, target);
    else if (view->dragDropMode() == QAbstractItemView::InternalMove || isItemWidget(view))
        dropThroughModel(view, mime.get(), ownMove ? Qt::MoveAction : action, dragged, target);
    return TOutcome::Done;
}

TOutcome clickButton(QWidget *window, const QString &name)
{
    auto *button = findWidget<QAbstractButton>(window, name);
    if (!button)
        return TOutcome::NotFound;
    if (!button->isEnabled())
        return TOutcome::Disabled;
    button->click();
    return TOutcome::Done;
}

TOutcome triggerAction(QWidget *window, const QString &name)
{
    auto *action = name.isEmpty() ? nullptr : window->findChild<QAction *>(name);
    if (!action)
        return TOutcome::NotFound;
    if (!action->isEnabled())
        return TOutcome::Disabled;
    action->trigger();
    return TOutcome::Done;
}

// ---------------------------------------------------------------- the window's reader

// Takes the command lines while its window is open.
class TModalWindowReader final : public IProtocolReader {
public:
    explicit TModalWindowReader(QDialog *dialog) : m_dialog(dialog)
    {
        m_finished = QObject::connect(dialog, &QDialog::finished, dialog, [this] { m_closed = true; });
    }
    ~TModalWindowReader() override { QObject::disconnect(m_finished); }
    TModalWindowReader(const TModalWindowReader &) = delete;
    TModalWindowReader &operator=(const TModalWindowReader &) = delete;

    void ProtocolLine(const QString &line) override
    {
        if (m_dialog && !ExecuteWindowCommand(m_dialog, line))
            WriteProtocolLine(QStringLiteral("ERROR unknown command ") + line.section(QLatin1Char(' '), 0, 0));
    }

    void ProtocolEnd() override
    {
        if (!m_dialog || m_closed)
            return;
        m_dialog->reject();
        // A window that refuses even Cancel would hold the run for ever.
        if (m_dialog && !m_closed)
            m_dialog->QDialog::done(QDialog::Rejected);
    }

    bool ReadsLines() const override { return m_dialog && !m_closed; }

private:
    QPointer<QDialog> m_dialog;
    bool m_closed = false;
    QMetaObject::Connection m_finished;
};

// The result as the protocol writes it: 1 OK, 2 Cancel, any other code as it is.
int closedCode(int result)
{
    if (result == QDialog::Accepted)
        return IDOK;
    return result == QDialog::Rejected ? IDCANCEL : result;
}

} // namespace

IDrivenWindowCommands::~IDrivenWindowCommands() = default;

int DriveModalWindow(QDialog *dialog)
{
    const QString className = QString::fromLatin1(dialog->metaObject()->className());
    TModalWindowReader reader(dialog);
    TProtocolInput &input = TProtocolInput::Instance();
    input.Push(&reader);
    const int result = dialog->exec();
    input.Remove(&reader);
    WriteProtocolLine(QStringLiteral("CLOSED %1 %2").arg(className).arg(closedCode(result)));
    return result;
}

QStringList DumpWindow(QWidget *window)
{
    QStringList lines;
    for (QWidget *widget : namedWidgets(window)) {
        const QString name = widget->objectName();
        lines << QStringLiteral("W %1 %2 %3 %4")
                     .arg(name, kindOf(widget), flag(widget->isEnabled()), ProtocolText(valueOf(widget)));
        if (auto *tree = qobject_cast<QTreeView *>(widget); tree && tree->model() && !isReportList(tree))
            dumpTree(tree, name, QModelIndex(), 0, tree->currentIndex().siblingAtColumn(0), lines);
        else if (auto *view = qobject_cast<QAbstractItemView *>(widget); view && view->model())
            dumpRows(view, name, lines);
    }
    for (const QAction *action : window->findChildren<QAction *>())
        if (isNamed(action))
            lines << QStringLiteral("ACTION %1 %2 %3 %4")
                         .arg(action->objectName(), flag(action->isEnabled()), flag(action->isChecked()),
                              ProtocolText(PlainCaption(action->text())))
                         .trimmed();
    return lines;
}

bool ExecuteWindowCommand(QWidget *window, const QString &line)
{
    if (auto *own = dynamic_cast<IDrivenWindowCommands *>(window); own && own->ExecuteDrivenCommand(line))
        return true;
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString name = line.section(QLatin1Char(' '), 1, 1);
    const QString argument = line.section(QLatin1Char(' '), 2);
    auto *dialog = qobject_cast<QDialog *>(window);
    TOutcome outcome = TOutcome::Done;
    if (command == QLatin1String("dump")) {
        for (const QString &out : DumpWindow(window))
            WriteProtocolLine(out);
    } else if (command == QLatin1String("ok") && dialog) {
        dialog->accept();
    } else if (command == QLatin1String("cancel") && dialog) {
        dialog->reject();
    } else if (command == QLatin1String("close")) {
        window->close();
    } else if (command == QLatin1String("action")) {
        outcome = triggerAction(window, name);
    } else if (command == QLatin1String("set")) {
        outcome = setText(window, name, argument);
    } else if (command == QLatin1String("select")) {
        outcome = selectItem(window, name, argument);
    } else if (command == QLatin1String("check")) {
        outcome = toggleCheck(window, name, argument);
    } else if (command == QLatin1String("drop")) {
        outcome = dropItem(window, name, argument);
    } else if (command == QLatin1String("click")) {
        outcome = clickButton(window, name);
    } else {
        return ExecuteAnswerCommand(line);
    }
    if (outcome == TOutcome::NotFound)
        WriteProtocolLine(QStringLiteral("NOTFOUND ") + line);
    else if (outcome == TOutcome::Disabled)
        WriteProtocolLine(QStringLiteral("DISABLED ") + name);
    return true;
}

bool ExecuteAnswerCommand(const QString &line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    if (command == QLatin1String("reply")) {
        bool ok = false;
        const int code = line.section(QLatin1Char(' '), 1).trimmed().toInt(&ok);
        if (ok && code >= IDOK && code <= IDNO)
            g_reply = code;
        else
            WriteProtocolLine(QStringLiteral("NOTFOUND ") + line);
        return true;
    }
    if (command == QLatin1String("input")) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        g_input = blank < 0 ? std::optional<QString>() : std::optional<QString>(line.mid(blank + 1));
        return true;
    }
    if (command == QLatin1String("echo")) {
        WriteProtocolLine(QStringLiteral("ECHO ") + line.section(QLatin1Char(' '), 1));
        return true;
    }
    return false;
}

int AnswerMessageBox(unsigned flags)
{
    const std::optional<int> reply = std::exchange(g_reply, std::nullopt);
    return reply && MessageBoxButtons(flags).contains(*reply) ? *reply : DefaultMessageBoxResult(flags);
}

int AnswerInputQuery(QDialog *dialog)
{
    const std::optional<std::optional<QString>> input = std::exchange(g_input, std::nullopt);
    QLineEdit *edit = dialog->findChild<QLineEdit *>();
    auto *query = qobject_cast<QInputDialog *>(dialog);
    if (!input || !*input || (!query && !edit)) {
        dialog->reject();
        return QDialog::Rejected;
    }
    if (query)
        query->setTextValue(**input);
    else
        typeInto(edit, **input);
    dialog->accept();
    if (dialog->result() == QDialog::Accepted)
        return QDialog::Accepted;
    dialog->reject();
    return QDialog::Rejected;
}
