// The form library: dialogs shared by the console and the service modules.
#include "Core/DialogService.h"
#include "Source/ComUnits/uComFormLibs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A one-line input window with its own button texts and a length limit.
class TLumInputDialog : public QDialog {
    Q_OBJECT
public:
    TLumInputDialog(const QString &caption, const QString &prompt, const QString &okText, const QString &cancelText,
                    const QString &value, int maxLength)
    {
        setWindowTitle(caption);
        auto *label = new QLabel(prompt, this);
        edit = new QLineEdit(value, this);
        if (maxLength > 0)
            edit->setMaxLength(maxLength);
        label->setBuddy(edit);
        auto *buttons = new QDialogButtonBox(this);
        QPushButton *ok = buttons->addButton(okText.isEmpty() ? QStringLiteral("OK") : okText, QDialogButtonBox::AcceptRole);
        buttons->addButton(cancelText.isEmpty() ? QStringLiteral("Cancel") : cancelText, QDialogButtonBox::RejectRole);
        ok->setDefault(true);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        setMinimumWidth(320);
    }
    QLineEdit *edit;
};

// The text handed back to the caller; valid until the next call.
QByteArray g_lastValue;

} // namespace

extern "C" __attribute__((visibility("default"))) int lumInputQuery(const char *caption, const char *prompt,
                                                                     const char *okText, const char *cancelText,
                                                                     const char **value, int maxLength)
{
    const QString initial = value && *value ? QString::fromUtf8(*value) : QString();
    TLumInputDialog dialog(QString::fromUtf8(caption), QString::fromUtf8(prompt), QString::fromUtf8(okText),
                           QString::fromUtf8(cancelText), initial, maxLength);
    if (ExecInputQueryDialog(&dialog) != QDialog::Accepted)
        return 0;
    QString text = dialog.edit->text();
    if (maxLength > 0 && text.size() > maxLength)
        text.truncate(maxLength);
    g_lastValue = text.toUtf8();
    if (value)
        *value = g_lastValue.constData();
    return 1;
}

#include "ComformLibs.moc"
