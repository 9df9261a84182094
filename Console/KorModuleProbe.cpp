// The module reader: reads service modules for the console in a process of
// its own (uModuleProbe.h tells why and what it answers). It reads the
// requests from standard input, answers on standard output and ends; the
// modules' own output goes to standard error.
#include "Console/uModuleProbe.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Source/ComUnits/ZandrellInterface.h"

#include <QApplication>
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QUtf8StringView>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// What a module handed back that cannot be a valid answer.
class EGarbage {
public:
    explicit EGarbage(QString detail) : Detail(std::move(detail)) {}
    QString Detail;
};

// The reader's answers: the standard output it was started with.
int g_answerFd = -1;

void writeAnswer(const QByteArray &frame)
{
    for (qsizetype at = 0; at < frame.size();) {
        const ssize_t n = ::write(g_answerFd, frame.constData() + at, size_t(frame.size() - at));
        if (n <= 0)
            std::_Exit(4); // the console is gone
        at += n;
    }
}

// A text the module returned: its bytes, null for a null pointer.
QByteArray copyText(const char *text)
{
    if (!text)
        return QByteArray();
    const size_t length = ::strnlen(text, ModuleProbe::kMaxTextBytes);
    if (length == size_t(ModuleProbe::kMaxTextBytes))
        throw EGarbage(QStringLiteral("a text without an end within %1 bytes").arg(ModuleProbe::kMaxTextBytes));
    QByteArray bytes(text, qsizetype(length));
    if (!QUtf8StringView(bytes).isValidUtf8())
        throw EGarbage(QStringLiteral("a text that is not UTF-8"));
    return bytes;
}

QString copyIdentifier(const char *text) { return QString::fromUtf8(copyText(text)); }

// The icon's pictures, one per size, as PNG.
QList<QByteArray> copyIcon(const QIcon &icon)
{
    QList<QByteArray> pictures;
    if (icon.isNull())
        return pictures;
    QList<QSize> sizes;
    for (const QSize &size : icon.availableSizes())
        if (size.isValid() && size.width() <= ModuleProbe::kMaxIconSide && size.height() <= ModuleProbe::kMaxIconSide)
            sizes << size;
    if (sizes.isEmpty())
        sizes = {QSize(16, 16), QSize(32, 32)};
    for (const QSize &size : sizes) {
        const QImage image = icon.pixmap(size).toImage();
        if (image.isNull())
            continue;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        pictures << png;
    }
    return pictures;
}

// Runs module code; an error it throws is noted as message and class.
template <typename F>
bool callModule(F &&call, QString &error, QString &errorClass)
{
    try {
        call();
        return true;
    } catch (const EGarbage &) {
        throw;
    } catch (const Exception &e) {
        error = e.message();
        errorClass = e.className();
    } catch (const std::exception &e) {
        error = QString::fromLocal8Bit(e.what());
        errorClass = QStringLiteral("Exception");
    } catch (...) {
        error = QStringLiteral("Unknown error in the service module");
        errorClass = QStringLiteral("Exception");
    }
    return false;
}

class TModuleReader {
public:
    explicit TModuleReader(void *handle) : m_handle(handle) {}

    void Read(const TProbeRequest &request, TProbedFile &file)
    {
        const struct {
            const char *name;
            TModuleExport bit;
        } exports[] = {{kGetServiceList, meServiceList},      {kGetServiceAttribute, meAttribute},
                       {kGetServiceAttribute2, meAttribute2}, {kGetAccessList, meAccessList},
                       {kGetAccessList2, meAccessList2},      {kGetReportList, meReportList}};
        for (const auto &e : exports)
            if (::dlsym(m_handle, e.name))
                file.Exports |= e.bit;
        for (const QString &guid : request.Guids)
            file.Attributes.insert(guid, Attributes(guid));
        if (!request.Registration)
            return;
        file.Listed = true;
        // A file without a service list or without attributes is no service module: nothing is listed.
        if ((file.Exports & meServiceList) && (file.Exports & (meAttribute | meAttribute2)))
            ReadRegistration(file);
    }

private:
    template <typename T>
    T resolve(const char *name) const
    {
        return reinterpret_cast<T>(::dlsym(m_handle, name));
    }

    TProbedAttributes Attributes(const QString &guid) const
    {
        TProbedAttributes result;
        const auto get2 = resolve<TGetServiceAttribute2Proc>(kGetServiceAttribute2);
        const auto get1 = get2 ? nullptr : resolve<TGetServiceAttributeProc>(kGetServiceAttribute);
        if (!get2 && !get1)
            return result; // the console names the missing export
        const QByteArray id = guid.toUtf8();
        TServiceAttribute2 attribute{};
        const bool called = callModule(
            [&] {
                if (get2) {
                    get2(&attribute, id.constData());
                    return;
                }
                TServiceAttribute plain{};
                get1(&plain, id.constData());
                attribute =
                    TServiceAttribute2{plain.Caption, plain.Description, plain.Icon, plain.IconName, false, false};
            },
            result.Error, result.ErrorClass);
        if (!called)
            return result;
        result.Caption = copyText(attribute.Caption);
        result.Description = copyText(attribute.Description);
        result.IconName = copyText(attribute.IconName);
        if (attribute.Icon) {
            result.IconImages = copyIcon(*attribute.Icon);
            delete attribute.Icon;
        }
        result.TranslateCaption = attribute.TranslateCaption;
        result.TranslateDescription = attribute.TranslateDescription;
        return result;
    }

    void ReadRegistration(TProbedFile &file) const
    {
        const auto getList = resolve<TGetServiceListProc>(kGetServiceList);
        const char *const *ids = nullptr;
        if (!callModule([&] { ids = getList(); }, file.ListError, file.ListErrorClass))
            return;
        for (int i = 0; ids && ids[i]; ++i) {
            if (i >= ModuleProbe::kMaxListEntries)
                throw EGarbage(QStringLiteral("a service list without an end within %1 entries")
                                   .arg(ModuleProbe::kMaxListEntries));
            file.ListedGuids << copyIdentifier(ids[i]);
        }
        for (const QString &guid : std::as_const(file.ListedGuids)) {
            if (!file.Attributes.contains(guid))
                file.Attributes.insert(guid, Attributes(guid));
            file.Registration.insert(guid, Registration(guid));
        }
    }

    template <typename Rec>
    static void copyRights(const Rec *records, TProbedRegistration &result)
    {
        for (int i = 0; records[i].ID > 0; ++i) {
            if (i >= ModuleProbe::kMaxListEntries)
                throw EGarbage(
                    QStringLiteral("a rights list without an end within %1 entries").arg(ModuleProbe::kMaxListEntries));
            TProbedRight right;
            right.ID = records[i].ID;
            right.Guid = copyText(records[i].GUID);
            right.Caption = copyText(records[i].Caption);
            if constexpr (std::is_same_v<Rec, TAccessRec2>)
                right.IsLang = records[i].IsLang;
            result.Rights << right;
        }
    }

    TProbedRegistration Registration(const QString &guid) const
    {
        TProbedRegistration result;
        const QByteArray id = guid.toUtf8();
        const auto getList2 = resolve<TGetAccessList2Proc>(kGetAccessList2);
        const auto getList = getList2 ? nullptr : resolve<TGetAccessListProc>(kGetAccessList);
        result.ShortRights = !getList2;
        const bool rightsRead = callModule(
            [&] {
                if (getList2) {
                    const TAccessRec2 *records = getList2(id.constData());
                    result.RightsNull = !records;
                    if (records)
                        copyRights(records, result);
                } else if (getList) {
                    const TAccessRec *records = getList(id.constData());
                    result.RightsNull = !records;
                    if (records)
                        copyRights(records, result);
                }
            },
            result.Error, result.ErrorClass);
        const auto getReports = resolve<TGetReportListProc>(kGetReportList);
        if (!rightsRead || result.RightsNull || !getReports)
            return result;
        callModule(
            [&] {
                const TReportRec *records = getReports(id.constData());
                for (int i = 0; records && records[i].RGuid; ++i) {
                    if (i >= ModuleProbe::kMaxListEntries)
                        throw EGarbage(QStringLiteral("a report list without an end within %1 entries")
                                           .arg(ModuleProbe::kMaxListEntries));
                    result.Reports << TProbedReport{copyText(records[i].RGuid), copyText(records[i].RName),
                                                    copyText(records[i].RDesc)};
                }
            },
            result.Error, result.ErrorClass);
        return result;
    }

    void *m_handle;
};

// Boxes that module code shows go to standard error and take their default
// answer; modal windows are cancelled: nobody sees the reader.
class TQuietDialogs final : public IDialogService {
public:
    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(MessageBoxLine(text, caption, flags)));
        return DefaultMessageBoxResult(flags);
    }
    int ExecModal(QDialog *, bool) override { return 0; }
};

// Reads one file; false when the module handed back garbage (the reader must end then).
bool readFile(qint32 index, const TProbeRequest &request)
{
    writeAnswer(ModuleProbe::Frame(ModuleProbe::fkBegin, index));
    TProbedFile file;
    const QByteArray path = QFile::encodeName(request.Path);
    ::dlerror();
    void *handle = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *error = ::dlerror();
        file.LoadError = error ? QString::fromLocal8Bit(error) : request.Path;
    } else {
        try {
            TModuleReader(handle).Read(request, file);
        } catch (const EGarbage &garbage) {
            writeAnswer(
                ModuleProbe::Frame(ModuleProbe::fkGarbage, index, [&](QDataStream &out) { out << garbage.Detail; }));
            return false;
        }
        ::dlclose(handle);
    }
    writeAnswer(ModuleProbe::Frame(ModuleProbe::fkResult, index, [&](QDataStream &out) { out << file; }));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // A reader whose console is gone (killed while a module hung) ends with it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 1;
    // The answers keep the standard output; whatever a module writes goes to standard error.
    g_answerFd = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TQuietDialogs dialogs;
    SetDialogService(&dialogs);

    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 2;
    QDataStream in(input.readAll());
    in.setVersion(ModuleProbe::kStreamVersion);
    QList<TProbeRequest> requests;
    in >> requests;
    if (in.status() != QDataStream::Ok)
        return 2;
    for (qint32 i = 0; i < requests.size(); ++i)
        if (!readFile(i, requests.at(i)))
            std::_Exit(0); // nothing more of a module that may have damaged the reader's memory
    SetDialogService(nullptr);
    return 0;
}
