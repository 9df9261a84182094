// A service module for the tests of module loading. One source, built into
// several modules by definitions:
//   TM_FORM          exports InitServiceForm (form style)
//   TM_OBJECT        exports InitService (object style)
//   TM_ATTR2         exports GetServiceAttribute2
//   TM_ATTR1         exports GetServiceAttribute
//   TM_FAIL_INIT     the init exports fail while TM_FAIL_INIT=1 is in the environment,
//                    the window's SetSession or SetScheme while TM_FAIL_AT names it
//   TM_FAULT         ends or stalls the process where TM_FAULT=<how>@<where> says:
//                    how is segv, exit or hang; where is load (a static
//                    constructor), attribute or init
//   TM_NO_INTERFACE  the window does not implement IZandrell
//   TM_NO_WINDOW     the service object has no window
// Every window records what the console did to it in its property "calls".
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uServiceForm.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QVariant>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

// An error class of the module's own, whose code goes away with the module.
class ETestModuleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const char kService2[] = "{TM-SERVICE-2}";

void Record(QObject *window, const QString &call)
{
    QStringList calls = window->property("calls").toStringList();
    calls.append(call);
    window->setProperty("calls", calls);
}

// Fails the init exports (no method) or a window's method when the environment asks for it.
[[maybe_unused]] void FailWhenAsked(const char *method = nullptr)
{
#ifdef TM_FAIL_INIT
    if (!method && qEnvironmentVariableIntValue("TM_FAIL_INIT") == 1)
        throw ETestModuleError("Test module: the service cannot start");
    if (method && qgetenv("TM_FAIL_AT") == method)
        throw ETestModuleError(std::string("Test module: ") + method + " failed");
#else
    Q_UNUSED(method);
#endif
}

[[maybe_unused]] void FaultAt(const char *where)
{
#ifdef TM_FAULT
    const QByteArray fault = qgetenv("TM_FAULT");
    const qsizetype at = fault.indexOf('@');
    if (at < 0 || fault.mid(at + 1) != where)
        return;
    const QByteArray how = fault.left(at);
    if (how == "segv")
        std::raise(SIGSEGV);
    if (how == "exit")
        std::exit(3);
    if (how == "hang") {
        std::fprintf(stderr, "TM-HANG %s\n", where);
        std::fflush(stderr);
        for (;;)
            ::pause();
    }
#else
    Q_UNUSED(where);
#endif
}

#ifdef TM_FAULT
const struct TLoadFault {
    TLoadFault() { FaultAt("load"); }
} g_loadFault;
#endif

// What the windows of both styles share: the callback, and a way for the
// test to make the module send a command.
class TTestWindow : public TServiceForm {
    Q_OBJECT
public:
    TTestWindow(const QString &guid, const QString &mode, TICallback *callback) : FGuid(guid), FCallback(callback)
    {
        setProperty("guid", guid);
        setProperty("mode", mode);
        OnActivate = [this](TServiceForm *) { Record(this, QStringLiteral("module activate")); };
        OnClose = [this](TServiceForm *, QCloseEvent *) { Record(this, QStringLiteral("module close")); };
    }

    // how: 0 own identifier; 1 null identifier, own identifier as the alternative; 2 the given identifier.
    Q_INVOKABLE int SendCommand(int how, const QString &other, int command)
    {
        const QByteArray own = FGuid.toUtf8();
        const QByteArray given = other.toUtf8();
        switch (how) {
        case 0:
            return FCallback->ExecServiceCmd(own.constData(), nullptr, uint8_t(command));
        case 1:
            return FCallback->ExecServiceCmd(nullptr, own.constData(), uint8_t(command));
        default:
            return FCallback->ExecServiceCmd(given.constData(), nullptr, uint8_t(command));
        }
    }

private:
    QString FGuid;
    TICallback *FCallback;
};

#if defined(TM_FORM) && !defined(TM_NO_INTERFACE)
class TZandrellWindow : public TTestWindow, public IZandrell {
    Q_OBJECT
    Q_INTERFACES(IZandrell)
public:
    using TTestWindow::TTestWindow;
    void SetSession(TOraSession *session) override
    {
        FailWhenAsked("SetSession");
        setProperty("session", QVariant::fromValue(quintptr(session)));
        Record(this, QStringLiteral("SetSession"));
    }
    void Find() override { Record(this, QStringLiteral("Find")); }
    void Sort() override { Record(this, QStringLiteral("Sort")); }
    void Report() override { Record(this, QStringLiteral("Report")); }
    void Filter() override { Record(this, QStringLiteral("Filter")); }
    void CloseService() override
    {
        Record(this, QStringLiteral("CloseService"));
        close();
    }
    void SetScheme(const QString &scheme) override
    {
        FailWhenAsked("SetScheme");
        Record(this, QStringLiteral("SetScheme ") + scheme);
    }
};
#endif

#ifdef TM_OBJECT
class TTestService : public TServiceObject {
public:
    TTestService([[maybe_unused]] const QString &guid, [[maybe_unused]] const QString &mode,
                 [[maybe_unused]] TICallback *callback)
    {
#ifndef TM_NO_WINDOW
        FWindow = new TTestWindow(guid, mode, callback);
#endif
    }
    ~TTestService() override { delete FWindow.data(); }

    TServiceForm *GetForm() override { return FWindow; }
    void SetContext(TOraSession *session, const QString &scheme) override
    {
        if (!FWindow)
            return;
        FWindow->setProperty("session", QVariant::fromValue(quintptr(session)));
        Record(FWindow, QStringLiteral("SetContext ") + scheme);
    }
    void Close() override
    {
        if (!FWindow)
            return;
        FWindow->close();
    }

private:
    QPointer<TTestWindow> FWindow;
};
#endif

[[maybe_unused]] QPixmap IconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::darkCyan);
    return pixmap;
}

} // namespace

#ifdef TM_ATTR2
ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
    FaultAt("attribute");
    const bool second = qstrcmp(guid, kService2) == 0;
    attribute->Caption = second ? "Test service 2" : "Test service 1";
    attribute->Description = second ? "The second test service" : "The first test service";
    auto *icon = new QIcon(IconPixmap(16));
    icon->addPixmap(IconPixmap(32));
    attribute->Icon = icon;
    attribute->IconName = second ? "" : "MAINICON";
    attribute->TranslateCaption = true;
    attribute->TranslateDescription = !second;
}
#endif

#ifdef TM_ATTR1
ZANDRELL_MODULE_EXPORT void GetServiceAttribute(TServiceAttribute *attribute, const char *guid)
{
    attribute->Caption = qstrcmp(guid, kService2) == 0 ? "Test object 2" : "Test object 1";
    attribute->Description = "A test service object";
    attribute->Icon = nullptr;
    attribute->IconName = nullptr;
}
#endif

#ifdef TM_FORM
ZANDRELL_MODULE_EXPORT TServiceForm *InitServiceForm(const char *guid, const char *mode, TICallback *callback)
{
    FaultAt("init");
    FailWhenAsked();
#ifdef TM_NO_INTERFACE
    return new TTestWindow(QString::fromUtf8(guid), QString::fromUtf8(mode), callback);
#else
    return new TZandrellWindow(QString::fromUtf8(guid), QString::fromUtf8(mode), callback);
#endif
}
#endif

#ifdef TM_OBJECT
ZANDRELL_MODULE_EXPORT TServiceObject *InitService(const char *guid, const char *mode, TICallback *callback)
{
    FailWhenAsked();
    return new TTestService(QString::fromUtf8(guid), QString::fromUtf8(mode), callback);
}
#endif

#include "tmServices.moc"
