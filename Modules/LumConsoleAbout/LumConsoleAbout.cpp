// The console's about box: ShowAboutBox, called without arguments. It names
// the version, the date the program was built, the Qt version and the
// licence, in the user's language, and copies them for a support request.
#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/SessionLocale.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The day the program file was built, as the session writes dates.
QString buildDate()
{
    const QDateTime built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
    return built.isValid() ? SessionLocale().toString(built.date(), SessionDateFormat()) : QString();
}

// The facts of the box, one per line, as they are copied.
QStringList aboutLines()
{
    return {
        QStringLiteral("KorConsole %1").arg(QStringLiteral(ZANDRELL_VERSION)),
        CaseMessageTxt(QStringLiteral("Консоль сервисов"), QStringLiteral("Service console")),
        CaseMessageTxt(QStringLiteral("Дата сборки: %1"), QStringLiteral("Build date: %1")).arg(buildDate()),
        CaseMessageTxt(QStringLiteral("Qt %1 (лицензия GNU LGPL v3)"), QStringLiteral("Qt %1 (GNU LGPL v3 licence)"))
            .arg(QString::fromLatin1(qVersion())),
        CaseMessageTxt(QStringLiteral("Лицензия: программа Zandrell, все права защищены"),
                       QStringLiteral("Licence: a program of Zandrell, all rights reserved"))};
}

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox()
    {
        setObjectName(QStringLiteral("AboutBox"));
        setWindowTitle(CaseMessageTxt(QStringLiteral("О программе"), QStringLiteral("About")));
        auto *icon = new QLabel(this);
        // The console's own icon (Data/ConsoleIcon.ico) when it loaded one.
        const QIcon appIcon = QApplication::windowIcon();
        icon->setPixmap((appIcon.isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : appIcon).pixmap(48, 48));
        const QStringList lines = aboutLines();
        auto *title = new QLabel(lines.first(), this);
        title->setObjectName(QStringLiteral("lblTitle"));
        QFont big = title->font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.3);
        title->setFont(big);
        auto *facts = new QLabel(lines.mid(1).join(QLatin1Char('\n')), this);
        facts->setObjectName(QStringLiteral("lblFacts"));
        facts->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOk"));
        buttons->button(QDialogButtonBox::Ok)
            ->setText(CaseMessageTxt(QStringLiteral("&Закрыть"), QStringLiteral("&Close")));
        btnCopy = buttons->addButton(CaseMessageTxt(QStringLiteral("&Копировать"), QStringLiteral("&Copy")),
                                     QDialogButtonBox::ActionRole);
        btnCopy->setObjectName(QStringLiteral("btnCopy"));
        connect(btnCopy, &QPushButton::clicked, this,
                [lines] { QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n'))); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(icon, 0, Qt::AlignHCenter);
        layout->addWidget(title);
        layout->addWidget(facts);
        layout->addWidget(buttons);
        buttons->button(QDialogButtonBox::Ok)->setFocus();
        SetDrivenUnattended(this);
    }
    QPushButton *btnCopy;
};

} // namespace

extern "C" __attribute__((visibility("default"))) void ShowAboutBox()
{
    TAboutBox box;
    ExecModalDialog(&box);
}

#include "LumConsoleAbout.moc"
