#include "Modules/ComformLibs/uFormLibCommon.h"

#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "DataAccess/Field.h"
#include "Source/ComUnits/DBGridInterface.h"
#include "Source/ComUnits/uLumSources.h"
#include "Ui/DataSetModel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDialog>
#include <QPushButton>

QString LibText(const QString &id)
{
    // The forms' sources table holds the themed dialogs' texts, translated once per application.
    const QString source = DefSourceText(id);
    if (!source.isNull())
        return source;
    // IniResString put the pack's text of the user's language in place of the Russian one.
    const QString translated = TranslateAplText(id);
    if (GetComLanguages() && translated != ResStrRu(id))
        return translated;
    return PlatformText(id);
}

bool TagHoldsMask(int tag, int mask) { return (tag & mask) == mask; }

QList<TOfferedColumn> OfferedColumns(IDBGrid *grid, int mask)
{
    QList<TOfferedColumn> columns;
    if (!grid)
        return columns;
    for (int c = 0; c < grid->ColumnCount(); ++c) {
        TField *field = grid->ColumnField(c);
        if (!field || !grid->ColumnVisible(c) || !TagHoldsMask(field->Tag(), mask))
            continue;
        const QString title = grid->ColumnTitle(c);
        columns.append({c, field, title.isEmpty() ? field->DisplayLabel() : title});
    }
    return columns;
}

QString DisplayText(const TField *field, const QVariant &value)
{
    if (field->DataType() == TFieldType::ftBoolean)
        return value.isNull() ? QString() : (value.toBool() ? QStringLiteral("+") : QStringLiteral("-"));
    return GridDisplayText(field->DataType(), field->Scale(), value);
}

void ShowLibError(const QString &text) { ShowDialogMessage(text, LibText(QStringLiteral("rstrError")), MB_ICONERROR); }

void ShowLibNotification(const QString &text)
{
    ShowDialogMessage(text, LibText(QStringLiteral("rstrNotification")), MB_ICONINFORMATION);
}

int RunGuarded(const char *entry, const std::function<int()> &body, int failed)
{
    try {
        return body();
    } catch (const EAbort &) {
        // The user cancelled (a before-event of the data set): nothing to report.
    } catch (const std::exception &e) {
        ShowLibError(QString::fromLatin1(entry) + QStringLiteral(": ") + ExceptionMessage(e));
    } catch (...) {
        ShowLibError(QString::fromLatin1(entry) + QStringLiteral(": unknown error"));
    }
    return failed;
}

QAction *NewAction(QWidget *window, const char *name, const QString &text)
{
    auto *action = new QAction(text, window);
    action->setObjectName(QString::fromLatin1(name));
    window->addAction(action);
    return action;
}

QAction *NewCancelAction(QDialog *dialog)
{
    QAction *action = NewAction(dialog, "acCancel", LibText(QStringLiteral("rstr_to_Cancel")));
    action->setShortcut(QKeySequence::Cancel);
    QObject::connect(action, &QAction::triggered, dialog, &QDialog::reject);
    return action;
}

QPushButton *ActionButton(QAction *action, const char *name, QWidget *parent)
{
    auto *button = Named(new QPushButton(action->text(), parent), name);
    button->setEnabled(action->isEnabled());
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setText(action->text());
    });
    return button;
}

QWidget *GridWindow(IDBGrid *grid)
{
    QAbstractItemView *view = grid ? grid->Grid() : nullptr;
    return view ? view->window() : nullptr;
}
