#include "Ui/WindowDialogService.h"

#include "Core/DialogService.h"
#include "Ui/ModalDriver.h"
#include "Ui/WindowPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A message box lays itself out by its text: its caption would be cut in the title bar. It
// widens to the caption as far as the work area allows; a longer caption goes before the text.
void WidenToCaption(QMessageBox &box)
{
    const int wanted = TitleBarWidth(box.windowTitle(), box.font());
    const int room = WorkAreaOf(box.parentWidget()).width() * 9 / 10;
    if (wanted > room)
        box.setText(box.windowTitle() + QStringLiteral("\n\n") + box.text());
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    const int margins = grid->contentsMargins().left() + grid->contentsMargins().right();
    grid->addItem(new QSpacerItem(qMin(wanted, room) - margins, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox::Icon iconOf(unsigned flags)
{
    switch (flags & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButton buttonOf(int result)
{
    switch (result) {
    case IDOK:
        return QMessageBox::Ok;
    case IDCANCEL:
        return QMessageBox::Cancel;
    case IDABORT:
        return QMessageBox::Abort;
    case IDRETRY:
        return QMessageBox::Retry;
    case IDIGNORE:
        return QMessageBox::Ignore;
    case IDYES:
        return QMessageBox::Yes;
    default:
        return QMessageBox::No;
    }
}

// Boxes on the screen, one person answering them.
class InteractiveDialogService final : public IDialogService {
public:
    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        return NamedButtonsBox(text, caption, flags, {});
    }

    int NamedButtonsBox(const QString &text, const QString &caption, unsigned flags,
                        const QStringList &buttonTexts) override
    {
        QMessageBox box(iconOf(flags), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
        const QList<int> results = MessageBoxButtons(flags);
        for (qsizetype i = 0; i < results.size(); ++i) {
            QPushButton *button = box.addButton(buttonOf(results[i]));
            if (i < buttonTexts.size() && !buttonTexts[i].isEmpty())
                button->setText(buttonTexts[i]);
        }
        WidenToCaption(box);
        box.setDefaultButton(buttonOf(DefaultMessageBoxResult(flags)));
        // The box's close button answers as Windows does: Cancel where there is one, else the only button.
        if (results.contains(IDCANCEL))
            box.setEscapeButton(buttonOf(IDCANCEL));
        else if (results.size() == 1)
            box.setEscapeButton(buttonOf(results.first()));
        if (flags & (MB_TOPMOST | MB_SYSTEMMODAL))
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
        QAbstractButton *clicked = box.clickedButton();
        for (int result : results)
            if (clicked == box.button(buttonOf(result)))
                return result;
        return results.contains(IDCANCEL) ? IDCANCEL : results.first();
    }

    int ExecModal(QDialog *dialog, bool) override { return dialog->exec(); }
};

// Nobody there: every box and window is written to standard output and
// answered at once, or, for a window that asks for it, driven by the command
// lines until it closes (Ui/ModalDriver.h).
class UnattendedDialogService final : public IDialogService {
public:
    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        WriteProtocolLine(MessageBoxLine(text, caption, flags));
        return AnswerMessageBox(flags);
    }

    int NamedButtonsBox(const QString &text, const QString &caption, unsigned flags,
                        const QStringList &buttonTexts) override
    {
        // The buttons' names follow the line, so that a script sees what a person is offered.
        WriteProtocolLine(MessageBoxLine(text, caption, flags) + QLatin1Char('|') + buttonTexts.join(QLatin1Char('/')));
        return AnswerMessageBox(flags);
    }

    int ExecModal(QDialog *dialog, bool acceptUnattended) override
    {
        writeModalLine(dialog);
        if (acceptUnattended) {
            dialog->accept();
            return QDialog::Accepted;
        }
        if (IsDrivenUnattended(dialog))
            return DriveModalWindow(dialog);
        dialog->reject();
        return QDialog::Rejected;
    }

    int ExecInputQuery(QDialog *dialog) override
    {
        writeModalLine(dialog);
        return AnswerInputQuery(dialog);
    }

private:
    static void writeModalLine(const QDialog *dialog)
    {
        WriteProtocolLine(QStringLiteral("MODAL %1|%2")
                              .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle()));
    }
};

InteractiveDialogService g_interactive;
UnattendedDialogService g_unattended;
const bool g_installed = (SetWindowedDialogServices(&g_interactive, &g_unattended), true);

} // namespace

void UseWindowedDialogs() { SetWindowedDialogServices(&g_interactive, &g_unattended); }
