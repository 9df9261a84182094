#include "Core/DialogService.h"

#include <QObject>
#include <QVariant>

#include <cstdio>

namespace {
// The mark of a window that is driven in the unattended mode.
constexpr char kDrivenProperty[] = "zandrellDrivenUnattended";
std::function<void(const QString &)> g_protocolSink;
} // namespace

void SetProtocolSink(std::function<void(const QString &line)> sink) { g_protocolSink = std::move(sink); }

IDialogService::~IDialogService() = default;

int IDialogService::ExecInputQuery(QDialog *dialog) { return ExecModal(dialog, false); }

int IDialogService::NamedButtonsBox(const QString &text, const QString &caption, unsigned flags, const QStringList &)
{
    return MessageBox(text, caption, flags);
}

QList<int> MessageBoxButtons(unsigned flags)
{
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int DefaultMessageBoxResult(unsigned flags)
{
    const QList<int> buttons = MessageBoxButtons(flags);
    const int index = static_cast<int>((flags >> 8) & 0xF);
    return index < buttons.size() ? buttons.at(index) : buttons.first();
}

QString ProtocolText(const QString &text)
{
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    flat.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    flat.replace(QLatin1Char('\r'), QLatin1String("\\n"));
    return flat;
}

QString MessageBoxLine(const QString &text, const QString &caption, unsigned flags)
{
    return QStringLiteral("MSGBOX %1|%2|%3").arg(flags).arg(ProtocolText(caption), ProtocolText(text));
}

void WriteProtocolLine(const QString &line)
{
    if (g_protocolSink) {
        g_protocolSink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool IsUnattended() { return qgetenv("KORCONSOLE_HEADLESS") == "1"; }

namespace {

// Without the windowed layer no box can be shown: each is written as its
// protocol line (on standard error unless unattended) and answered with its
// default button.
class TextDialogService final : public IDialogService {
public:
    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        const QString line = MessageBoxLine(text, caption, flags);
        if (IsUnattended()) {
            WriteProtocolLine(line);
        } else {
            const QByteArray bytes = line.toUtf8() + '\n';
            std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        }
        return DefaultMessageBoxResult(flags);
    }
    int ExecModal(QDialog *, bool) override { return 0; }
};

IDialogService *g_interactive = nullptr;
IDialogService *g_unattended = nullptr;
IDialogService *g_installed = nullptr;

} // namespace

IDialogService &DialogService()
{
    if (g_installed)
        return *g_installed;
    if (IDialogService *windowed = IsUnattended() ? g_unattended : g_interactive)
        return *windowed;
    static TextDialogService text;
    return text;
}

void SetWindowedDialogServices(IDialogService *interactive, IDialogService *unattended)
{
    g_interactive = interactive;
    g_unattended = unattended;
}

void SetDialogService(IDialogService *service) { g_installed = service; }

namespace {
int g_modalDepth = 0;

// Counts the modal loops running, for ModalLoopsRunning.
template <typename F>
int runModal(F &&run)
{
    struct Depth {
        Depth() { ++g_modalDepth; }
        ~Depth() { --g_modalDepth; }
    } depth;
    return run();
}
} // namespace

QString BoxText(const QString &text)
{
    const QChar ellipsis(0x2026);
    QString shown;
    int lines = 0;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if (++lines > kMaxBoxLines) {
            shown += ellipsis;
            break;
        }
        const qsizetype length = end - start;
        shown += length > kMaxBoxLineLength ? text.mid(start, kMaxBoxLineLength) + ellipsis : text.mid(start, length);
        if (end < text.size())
            shown += QLatin1Char('\n');
        start = end + 1;
    }
    return shown;
}

int ShowDialogMessage(const QString &text, const QString &caption, unsigned flags)
{
    const QString shownText = BoxText(text);
    const QString shownCaption = BoxText(caption);
    return runModal([&] { return DialogService().MessageBox(shownText, shownCaption, flags); });
}

int ShowDialogMessage(const QString &text, const QString &caption, unsigned flags, const QStringList &buttonTexts)
{
    return runModal([&] { return DialogService().NamedButtonsBox(text, caption, flags, buttonTexts); });
}

int ExecModalDialog(QDialog *dialog, bool acceptUnattended)
{
    return runModal([&] { return DialogService().ExecModal(dialog, acceptUnattended); });
}

int ExecInputQueryDialog(QDialog *dialog)
{
    return runModal([&] { return DialogService().ExecInputQuery(dialog); });
}

bool ModalLoopsRunning() { return g_modalDepth > 0; }

void SetDrivenUnattended(QObject *window) { window->setProperty(kDrivenProperty, true); }

bool IsDrivenUnattended(const QObject *window) { return window && window->property(kDrivenProperty).toBool(); }

void SetObjectNames(std::initializer_list<std::pair<QObject *, const char *>> objects)
{
    for (const auto &[object, name] : objects)
        object->setObjectName(QLatin1String(name));
}
