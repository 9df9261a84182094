// The console's about box: ShowAboutBox, called without arguments.
#include "Core/DialogService.h"
#include "Core/ResourcePack.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox()
    {
        setWindowTitle(QStringLiteral("KorConsole"));
        auto *icon = new QLabel(this);
        // The console's own icon (Data/ConsoleIcon.ico) when it loaded one.
        const QIcon appIcon = QApplication::windowIcon();
        icon->setPixmap((appIcon.isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : appIcon).pixmap(48, 48));
        auto *text = new QLabel(this);
        text->setTextFormat(Qt::RichText);
        // In the user's language, as the language pack has it.
        text->setText(QStringLiteral("<h3>KorConsole %1</h3><p>%2</p><p>Qt %3</p>")
                          .arg(QStringLiteral(ZANDRELL_VERSION),
                               CaseMessageTxt(QStringLiteral("Консоль сервисов"), QStringLiteral("Service console")),
                               QString::fromLatin1(qVersion())));
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(icon, 0, Qt::AlignHCenter);
        layout->addWidget(text);
        layout->addWidget(buttons);
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) void ShowAboutBox()
{
    TAboutBox box;
    ExecModalDialog(&box);
}

#include "LumConsoleAbout.moc"
