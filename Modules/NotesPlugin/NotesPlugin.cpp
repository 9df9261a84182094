// A sample plug-in of the console: "Notes" keeps a short note per scheme in
// Plugins/Notes.ini. It adds a menu item under the plug-in menu; the item
// opens its configuration dialog, which shows the connection it was started
// with and lets the user edit the note.
#include "Core/DialogService.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/ZandrellInterface.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString g_scheme;
TOraSession *g_session = nullptr;
QByteArray g_caption;

QString notesFile() { return QCoreApplication::applicationDirPath() + QStringLiteral("/Plugins/Notes.ini"); }

class TNotesDialog : public QDialog {
    Q_OBJECT
public:
    TNotesDialog()
    {
        setWindowTitle(CaseMessageTxt(QStringLiteral("Заметки"), QStringLiteral("Notes")));
        auto *where = new QLabel(this);
        where->setObjectName(QStringLiteral("lblWhere"));
        where->setText(QStringLiteral("%1: %2@%3")
                           .arg(g_scheme, g_session ? g_session->Username() : QString(),
                                g_session ? g_session->Server() : QString()));
        edit = new QPlainTextEdit(this);
        edit->setObjectName(QStringLiteral("edNote"));
        edit->setPlainText(TIniFile(notesFile())
                               .ReadString(QStringLiteral("NOTES"), g_scheme, QString())
                               .replace(QStringLiteral("\\n"), QStringLiteral("\n")));
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("btnSave"));
        buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(where);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        resize(400, 260);
        edit->setFocus();
        SetDrivenUnattended(this);
    }
    QPlainTextEdit *edit;
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) void plgStart(TPlgInfo *info, const char *scheme, TOraSession *session)
{
    g_scheme = QString::fromUtf8(scheme);
    g_session = session;
    g_caption = QStringLiteral("Заметки").toUtf8();
    info->HasMenu = true;
    info->AdminOnly = false;
    info->MenuCaption = g_caption.constData();
}

__attribute__((visibility("default"))) void plgStop() { g_session = nullptr; }

__attribute__((visibility("default"))) void plgPause() {}
__attribute__((visibility("default"))) void plgResume() {}

__attribute__((visibility("default"))) void plgConfig()
{
    TNotesDialog dialog;
    if (ExecModalDialog(&dialog) != QDialog::Accepted)
        return;
    try {
        QString text = dialog.edit->toPlainText();
        TIniFile(notesFile())
            .WriteString(QStringLiteral("NOTES"), g_scheme, text.replace(QLatin1Char('\n'), QStringLiteral("\\n")));
    } catch (const Exception &e) {
        ShowDialogMessage(e.message(), dialog.windowTitle(), MB_ICONERROR);
    }
}
}

#include "NotesPlugin.moc"
