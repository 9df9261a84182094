#pragma once
// What the dialogs of the form library share: their texts, the columns of a
// grid that a dialog may offer, the text of a value as the grid shows it, the
// check values of a check column, and how a failure reaches the user.
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

class IDBGrid;
class QAction;
class QDialog;
class QPushButton;
class QWidget;
class TField;

// Capability masks: a field is offered by a dialog when its tag holds the dialog's mask.
inline constexpr int kFindMask = 0xF9;
inline constexpr int kSortMask = 0xFA;
inline constexpr int kFilterMask = 0xFC;

// A resource string in the user's language: the language pack's translation
// when one is loaded, else the Russian or English text the program chose.
QString LibText(const QString &id);

// One column of a grid that a dialog offers.
struct TOfferedColumn {
    int column = -1; // the grid's column index
    TField *field = nullptr;
    QString title;
};

// The grid's columns whose fields' tags hold the mask, in display order.
QList<TOfferedColumn> OfferedColumns(IDBGrid *grid, int mask);
bool TagHoldsMask(int tag, int mask);

// A value as the grid shows it (dates and numbers in the session's formats).
QString DisplayText(const TField *field, const QVariant &value);

// Runs a dialog entry: any failure is shown to the user in an error box and
// gives `failed` back; nothing is thrown across the library's boundary.
int RunGuarded(const char *entry, const std::function<int()> &body, int failed = 0);

// Error and notification boxes of the library.
void ShowLibError(const QString &text);
void ShowLibNotification(const QString &text);

// An action of a window, named and added to it, with its caption from the resource strings.
QAction *NewAction(QWidget *window, const char *name, const QString &text);
// The dialog's acCancel: Esc, and it rejects the dialog.
QAction *NewCancelAction(QDialog *dialog);
// A push button that triggers the action and is enabled with it.
QPushButton *ActionButton(QAction *action, const char *name, QWidget *parent);
// The widget named for the unattended driver and for the tests.
template <typename TWidget>
TWidget *Named(TWidget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
// The window a dialog over the grid belongs to (null without a grid control).
QWidget *GridWindow(IDBGrid *grid);
