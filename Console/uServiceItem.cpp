#include "Console/uServiceItem.h"

#include "Console/CallbackIMPL.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uModuleCache.h"
#include "Console/uModuleFaults.h"
#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "Ui/ProtocolSettle.h"

#include <QCloseEvent>
#include <QPixmap>

#include <exception>
#include <utility>

namespace {

QString MissingExport(const char *name)
{
    return QStringLiteral("\"%1\" function does not exist").arg(QLatin1String(name));
}

// An error thrown by module code, kept as message and class name only: the
// original object's code goes away when the module is unloaded.
class EModuleError : public Exception {
public:
    EModuleError(const QString &message, const QString &className) : Exception(message), m_className(className) {}
    QString className() const override { return m_className; }

private:
    QString m_className;
};

// Runs code of the module file under the crash marker; whatever it throws
// comes out as an error owned by the console.
template <typename F>
decltype(auto) CallModule(const QString &modulePath, F &&call)
{
    const TModuleCall marked(modulePath);
    try {
        return call();
    } catch (const Exception &e) {
        qCInfo(lcServices) << modulePath << "threw" << e.className() << e.message();
        throw EModuleError(e.message(), e.className());
    } catch (const std::exception &e) {
        qCInfo(lcServices) << modulePath << "threw" << e.what();
        throw EModuleError(QString::fromLocal8Bit(e.what()), QStringLiteral("Exception"));
    } catch (...) {
        qCInfo(lcServices) << modulePath << "threw an unknown exception";
        throw EModuleError(QStringLiteral("Unknown error in the service module"), QStringLiteral("Exception"));
    }
}

void ShowWindowInFront(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
    ExpectActiveWindow(window);
}

} // namespace

TServiceAttributes ServiceAttributesOf(const TModuleRecord &record, const QString &guid)
{
    if (!(record.File.Exports & (meAttribute | meAttribute2)))
        throw EServiceError(MissingExport("GetServiceAttribute(2)"));
    const TProbedAttributes probed = record.File.Attributes.value(guid);
    if (!probed.Error.isEmpty())
        throw EModuleError(probed.Error, probed.ErrorClass);
    TServiceAttributes result;
    result.Caption = QString::fromUtf8(probed.Caption);
    result.Description = QString::fromUtf8(probed.Description);
    result.IconName = QString::fromUtf8(probed.IconName);
    result.Icon = SharedModuleIcon(probed.IconImages);
    result.TranslateCaption = probed.TranslateCaption;
    result.TranslateDescription = probed.TranslateDescription;
    return result;
}

// ---------------------------------------------------------------------------
// TModuleAttributeReader

struct TModuleAttributeReader::TFile {
    QString Path;
    std::exception_ptr Failure;
    TModuleRecordPtr Record;
};

TModuleAttributeReader::TModuleAttributeReader() = default;
TModuleAttributeReader::~TModuleAttributeReader() = default;

void TModuleAttributeReader::Prefetch(const QList<QPair<QString, QString>> &services)
{
    QHash<QString, QStringList> guidsOf;
    QStringList order;
    for (const auto &[dllName, guid] : services) {
        const auto known = m_files.constFind(dllName);
        if (known != m_files.cend() &&
            (known.value()->Failure || known.value()->Record->File.Attributes.contains(guid)))
            continue;
        if (!guidsOf.contains(dllName))
            order << dllName;
        if (!guidsOf[dllName].contains(guid))
            guidsOf[dllName] << guid;
    }
    QList<TProbeRequest> requests;
    QList<std::shared_ptr<TFile>> requested;
    for (const QString &dllName : std::as_const(order)) {
        auto file = std::make_shared<TFile>();
        m_files.insert(dllName, file);
        try {
            file->Path = ModuleFilePath(dllName);
            // A file that ended a console while it was opened is not offered again.
            if (ModuleFaults().IsFaulty(file->Path))
                throw EModuleFault(ModuleFaultText());
        } catch (const std::exception &e) {
            qCInfo(lcServices) << dllName << "is not read for its attributes:" << ExceptionMessage(e);
            file->Failure = std::current_exception();
            continue;
        }
        requests << TProbeRequest{file->Path, guidsOf.value(dllName), false};
        requested << file;
    }
    if (requests.isEmpty())
        return;
    const QList<TModuleRecordPtr> records = ModuleCache().Read(requests);
    for (int i = 0; i < requested.size(); ++i) {
        TFile &file = *requested.at(i);
        file.Record = records.at(i);
        const TModuleRecord &record = *file.Record;
        try {
            if (!record.ReaderError.isEmpty())
                throw EServiceError(record.ReaderError);
            if (record.Fault != TModuleFault::None)
                throw EModuleFault(record.FaultText());
            if (!record.File.LoadError.isEmpty())
                throw EOSError(QLatin1Char('"') + record.File.LoadError + QLatin1Char('"'));
        } catch (const std::exception &e) {
            qCInfo(lcServices) << file.Path << "is not read for its attributes:" << ExceptionMessage(e);
            file.Failure = std::current_exception();
        }
    }
}

TServiceAttributes TModuleAttributeReader::Read(const QString &dllName, const QString &guid)
{
    Prefetch({{dllName, guid}});
    const TFile &file = *m_files.value(dllName);
    if (file.Failure)
        std::rethrow_exception(file.Failure);
    return ServiceAttributesOf(*file.Record, guid);
}

// ---------------------------------------------------------------------------
// TServiceItem

TServiceItem::TServiceItem(const QString &dllName, const QString &guid)
{
    SetDllName(dllName);
    SetGuid(guid);
    LoadAttributes();
    m_hasFormEntry = false;
}

TServiceItem::TServiceItem(const QString &dllName, const QString &guid, const QString &caption,
                           TModuleAttributeReader &reader)
{
    SetDllName(dllName);
    SetGuid(guid);
    ApplyAttributes(reader.Read(dllName, guid), caption);
}

TServiceItem::~TServiceItem()
{
    FreeObjects();
    SetLoaded(false);
    if (FManager)
        FManager->Remove(this);
}

void TServiceItem::SetLoaded(bool flag)
{
    if (flag && !m_loaded) {
        m_library.Load(ModuleFilePath(DllName()));
        m_hasFormEntry = m_library.Resolve(kInitServiceForm) != nullptr;
    } else if (!flag && m_loaded && m_library.IsLoaded()) {
        // Never take away the code of a window or object that still lives.
        if (FService || m_form)
            return;
        QList<QPointer<QObject>> alive;
        for (const QPointer<QObject> &object : std::as_const(m_forgotten))
            if (object)
                alive.append(object);
        m_forgotten.clear();
        if (alive.isEmpty())
            m_library.Unload();
        else
            m_library.UnloadWhenDestroyed(alive);
    }
    m_loaded = flag;
}

void TServiceItem::LoadAttributes()
{
    TModuleAttributeReader reader;
    ApplyAttributes(reader.Read(DllName(), Guid()));
}

void TServiceItem::ApplyAttributes(const TServiceAttributes &attributes, const std::optional<QString> &caption)
{
    m_icon = attributes.Icon;
    m_iconName = attributes.IconName;
    SetDescription(TranslateAppText(attributes.Description));
    // Each translation asks the language pack: a menu entry's caption and
    // translation settings are the menu's, so the module's are not applied.
    if (caption) {
        SetCaption(*caption);
        return;
    }
    SetCaption(TranslateAppText(attributes.Caption));
    SetTranslateCaption(attributes.TranslateCaption);
    SetTranslateDescription(attributes.TranslateDescription);
    SetTranslateFunc(ApplyAplText);
}

TServiceForm *TServiceItem::InitServiceForm()
{
    SetLoaded(true);
    try {
        const auto init = reinterpret_cast<TInitServiceFormProc>(m_library.Resolve(kInitServiceForm));
        if (!init)
            throw EServiceError(MissingExport(kInitServiceForm));
        const QByteArray guid = Guid().toUtf8();
        const QByteArray mode = GetMode().toUtf8();
        TServiceForm *form =
            CallModule(m_library.Path(), [&] { return init(guid.constData(), mode.constData(), m_callback); });
        if (form)
            form->setWindowTitle(TranslateAppText(DisplayCaption()));
        return form;
    } catch (...) {
        SetLoaded(false);
        throw;
    }
}

TServiceObject *TServiceItem::InitService()
{
    SetLoaded(true);
    try {
        const auto init = reinterpret_cast<TInitServiceProc>(m_library.Resolve(kInitService));
        if (!init)
            throw EServiceError(MissingExport(kInitService));
        const QByteArray guid = Guid().toUtf8();
        const QByteArray mode = GetMode().toUtf8();
        TServiceObject *service =
            CallModule(m_library.Path(), [&] { return init(guid.constData(), mode.constData(), m_callback); });
        if (!service)
            throw EServiceError(QStringLiteral("TServiceItem.SrvAction: %1: Service is not created").arg(Guid()));
        return service;
    } catch (...) {
        SetLoaded(false);
        throw;
    }
}

bool TServiceItem::OpenFormStyle()
{
    if (m_form)
        return true;
    TServiceForm *form = InitServiceForm();
    IZandrell *zandrell = qobject_cast<IZandrell *>(form);
    if (!zandrell) {
        // The window is the module's code: it goes before the module does.
        delete form;
        ShowDialogMessage(QStringLiteral("\"IZandrell\" interface is not support"), QStringLiteral("Error"),
                          MB_ICONSTOP);
        SetLoaded(false);
        return false;
    }
    try {
        CallModule(m_library.Path(), [&] {
            if (m_session)
                zandrell->SetSession(m_session);
            if (!m_schemeName.isEmpty())
                zandrell->SetScheme(m_schemeName);
        });
    } catch (...) {
        // A window without its session is of no use: it goes, so that the next click starts again.
        delete form;
        SetLoaded(false);
        throw;
    }
    m_form = form;
    m_zandrellRef = zandrell;
    HookWindow(form);
    return true;
}

void TServiceItem::OpenObjectStyle()
{
    if (FService)
        return;
    FService = InitService();
    try {
        if (m_session)
            CallModule(m_library.Path(), [&] { FService->SetContext(m_session, m_schemeName); });
        TServiceForm *window = CallModule(m_library.Path(), [&] { return FService->GetForm(); });
        if (!window)
            throw EServiceError(QStringLiteral("TServiceItem.SrvAction: %1: Form is not defined").arg(Guid()));
        // Like a form-style window, the object's window carries the service's caption.
        window->setWindowTitle(TranslateAppText(DisplayCaption()));
        HookWindow(window);
    } catch (...) {
        // Without its window the object is of no use: free it so that the next click starts again.
        FreeObjects();
        SetLoaded(false);
        throw;
    }
}

void TServiceItem::SrvAction()
{
    qCDebug(lcServices) << "opening" << Guid() << "of" << DllName();
    SetLoaded(true);
    if (m_hasFormEntry) {
        if (!OpenFormStyle())
            return;
    } else {
        OpenObjectStyle();
    }

    const quint8 status = GetStatus();
    TServiceForm *window = Window();
    if (!window)
        throw EServiceError(QStringLiteral("TServiceItem.SrvAction: Form is not created"));
    // A visible window is hidden; one that has been active (or was never
    // shown) is shown again, which brings it to the front.
    if (status & TServiceForm::fsVisible)
        window->hide();
    if ((status & TServiceForm::fsActivated) || status == 0)
        ShowWindowInFront(window);
}

TServiceForm *TServiceItem::Window() const
{
    if (m_hasFormEntry)
        return m_form;
    return FService ? FService->GetForm() : nullptr;
}

quint8 TServiceItem::GetStatus() const
{
    if (m_hasFormEntry) {
        if (!m_form)
            throw EServiceError(QStringLiteral("TServiceItem.GetStatus: form = nil"));
        return m_form->FormStatus();
    }
    if (!FService)
        throw EServiceError(QStringLiteral("TServiceItem.GetStatus: Service is not created (FService = nil)"));
    TServiceForm *window = FService->GetForm();
    if (!window)
        throw EServiceError(QStringLiteral("TServiceItem.GetStatus: form = nil"));
    return window->FormStatus();
}

void TServiceItem::IsValidInterface() const
{
    if (!m_form)
        throw EServiceError(QStringLiteral("TServiceItem.IsValidInterface: Service is not created"));
    if (!m_zandrellRef)
        throw EServiceError(QStringLiteral("TServiceItem.IsValidInterface: Interface is not defined"));
}

TServiceManager *TServiceItem::GetManager() const
{
    if (!FManager)
        throw EServiceError(QStringLiteral("TServiceItem.GetManager: FManager = nil"));
    return FManager;
}

void TServiceItem::HookWindow(TServiceForm *window)
{
    UnhookWindow();
    m_savedActivate = window->OnActivate;
    m_savedClose = window->OnClose;
    m_hookedWindow = window;
    window->OnActivate = [this](TServiceForm *sender) { WindowActivated(sender); };
    window->OnClose = [this](TServiceForm *sender, QCloseEvent *event) { WindowClosed(sender, event); };
}

void TServiceItem::UnhookWindow()
{
    // The kept handlers may be the module's code: they go back to its window
    // or are dropped here, while the module is loaded.
    if (m_hookedWindow) {
        m_hookedWindow->OnActivate = std::exchange(m_savedActivate, nullptr);
        m_hookedWindow->OnClose = std::exchange(m_savedClose, nullptr);
    }
    m_savedActivate = nullptr;
    m_savedClose = nullptr;
    m_hookedWindow = nullptr;
}

void TServiceItem::WindowActivated(TServiceForm *sender)
{
    try {
        // A copy: the handler may make the console forget this window while it runs.
        const TServiceForm::TActivateHandler kept = m_savedActivate;
        if (kept)
            kept(sender);
        TServiceManager *manager = GetManager();
        manager->SetTitle(Caption());
        manager->SetActiveItem(this);
    } catch (const std::exception &e) {
        ShowDialogMessage(ExceptionMessage(e).trimmed(), TranslateAplText(QStringLiteral("rstrNotification")),
                          MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
    } catch (...) {
        ShowDialogMessage(QStringLiteral("Unknown error in the service module"),
                          TranslateAplText(QStringLiteral("rstrNotification")),
                          MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
    }
}

void TServiceItem::WindowClosed(TServiceForm *sender, QCloseEvent *event)
{
    try {
        GetManager()->SetTitle(QString());
    } catch (const std::exception &e) {
        qCWarning(lcServices) << "closing" << Guid() << "- the title is not cleared:" << ExceptionMessage(e);
    }
    try {
        const TServiceForm::TCloseHandler kept = m_savedClose;
        if (kept)
            kept(sender, event);
    } catch (const std::exception &e) {
        // The window closes all the same: a module's error must not keep it open.
        qCWarning(lcServices) << "the close handler of" << Guid() << "in" << DllName()
                              << "failed:" << ExceptionMessage(e);
    } catch (...) {
        qCWarning(lcServices) << "the close handler of" << Guid() << "in" << DllName() << "failed";
    }
}

void TServiceItem::Find()
{
    if (!m_hasFormEntry)
        return ObjectCommand(saFind);
    IsValidInterface();
    m_form->show();
    m_zandrellRef->Find();
}

void TServiceItem::Sort()
{
    if (!m_hasFormEntry)
        return ObjectCommand(saSort);
    IsValidInterface();
    m_form->show();
    m_zandrellRef->Sort();
}

void TServiceItem::Report()
{
    if (!m_hasFormEntry)
        return ObjectCommand(saReport);
    IsValidInterface();
    m_form->show();
    m_zandrellRef->Report();
}

void TServiceItem::Filter()
{
    if (!m_hasFormEntry)
        return ObjectCommand(saFilter);
    IsValidInterface();
    m_form->show();
    m_zandrellRef->Filter();
}

void TServiceItem::ObjectCommand(TServiceAction action)
{
    if (!FService) {
        ShowDialogMessage(QStringLiteral("The Form is not created"), QStringLiteral("Error"), MB_ICONSTOP);
        return;
    }
    TServiceForm *window = FService->GetForm();
    if (!window)
        return;
    if (action == saSort || action == saReport)
        ShowWindowInFront(window);
    else
        window->show();
    TServiceForm::PostMessage(window, WM_SERVICE_COMMAND, 0, action);
}

int32_t TServiceItem::ExecCmd(uint8_t command)
{
    if (m_hasFormEntry ? !m_form : !FService)
        return scrNoObject;
    int32_t result = scrOther;
    switch (command) {
    case scCloseService:
        if (m_hasFormEntry) {
            IsValidInterface();
            m_zandrellRef->CloseService();
        } else {
            FService->Close();
        }
        result = scrDone;
        break;
    case scForgetObjects:
        ForgetObjects();
        result = scrDone;
        break;
    case scFreeOthers:
        GetManager()->FreeOthers(this);
        break;
    default:
        break;
    }
    LeaveActive();
    return result;
}

void TServiceItem::LeaveActive()
{
    if (FManager && FManager->ActiveItem() == this)
        FManager->SetActiveItem(nullptr);
}

void TServiceItem::FreeObjects()
{
    QPointer<TServiceForm> window;
    try {
        window = Window();
    } catch (const std::exception &e) {
        // An object whose window cannot be asked for is freed all the same.
        qCWarning(lcServices) << "the window of" << Guid() << "in" << DllName() << "is unknown:" << ExceptionMessage(e);
    } catch (...) {
        qCWarning(lcServices) << "the window of" << Guid() << "in" << DllName() << "is unknown";
    }
    // The tool-bar commands must not reach a window that is gone.
    if ((FService || window) && FManager && FManager->ActiveItem() == this)
        FManager->SetActiveItem(nullptr);
    TServiceObject *service = std::exchange(FService, nullptr);
    m_zandrellRef = nullptr;
    TServiceForm *form = m_form;
    m_form = nullptr;
    delete service;
    delete form;
    // An object-style window that its service object left behind.
    delete window.data();
    UnhookWindow();
}

void TServiceItem::ForgetObjects()
{
    QPointer<TServiceForm> window = Window();
    UnhookWindow();
    if (window)
        m_forgotten.append(window.data());
    FService = nullptr;
    m_zandrellRef = nullptr;
    m_form = nullptr;
}

// ---------------------------------------------------------------------------
// TServiceManager

TServiceManager::TServiceManager() = default;

TServiceManager::~TServiceManager()
{
    for (TServiceItem *item : std::as_const(m_items))
        item->FManager = nullptr;
    if (m_callback)
        m_callback->SetHandler(nullptr);
}

void TServiceManager::Add(TServiceItem *service)
{
    const QString key = service->Guid().toCaseFolded();
    if (m_byGuid.contains(key))
        throw EServiceError(Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_ObjectExsts")),
                                Fmt(TranslateAplText(QStringLiteral("rstr_fmt_AplService")), service->Caption())));
    service->FManager = this;
    if (m_callback)
        service->SetCallback(m_callback);
    if (m_session)
        service->SetSession(m_session);
    if (!m_scheme.isEmpty())
        service->SetSchemeName(m_scheme);
    m_items.append(service);
    m_byGuid.insert(key, service);
}

void TServiceManager::Remove(TServiceItem *service)
{
    // A service is registered once, and a menu frees its services about in the
    // order they were registered: the search from the front is short.
    const qsizetype at = m_items.indexOf(service);
    if (at >= 0) {
        m_items.removeAt(at);
        if (service->FManager == this)
            service->FManager = nullptr;
    }
    const auto found = m_byGuid.constFind(service->Guid().toCaseFolded());
    if (found != m_byGuid.cend() && found.value() == service)
        m_byGuid.erase(found);
    if (m_activeItem == service)
        m_activeItem = nullptr;
}

TServiceItem *TServiceManager::FindByGuid(const QString &guid) const { return m_byGuid.value(guid.toCaseFolded()); }

TServiceItem *TServiceManager::Items(int index) const
{
    if (index < 0 || index >= m_items.size())
        ListIndexError(index);
    return m_items[index];
}

void TServiceManager::Clear()
{
    for (TServiceItem *item : std::as_const(m_items))
        if (item->FManager == this)
            item->FManager = nullptr;
    m_items.clear();
    m_byGuid.clear();
    m_activeItem = nullptr;
}

void TServiceManager::SetCallback(TCallback *callback)
{
    m_callback = callback;
    if (callback)
        callback->SetHandler([this](const char *guid, const char *altGuid, uint8_t command) {
            return ExecCommand(guid, altGuid, command);
        });
    for (TServiceItem *item : std::as_const(m_items))
        item->SetCallback(callback);
}

void TServiceManager::SetSession(TOraSession *session)
{
    m_session = session;
    for (TServiceItem *item : std::as_const(m_items))
        item->SetSession(session);
}

void TServiceManager::SetScheme(const QString &scheme)
{
    m_scheme = scheme;
    for (TServiceItem *item : std::as_const(m_items))
        item->SetSchemeName(scheme);
}

void TServiceManager::FreeOthers(TServiceItem *service)
{
    const QList<TServiceItem *> items = m_items;
    for (TServiceItem *item : items)
        if (item != service)
            item->FreeObjects();
}

int32_t TServiceManager::ExecCommand(const char *guid, const char *altGuid, uint8_t command)
{
    const char *id = guid ? guid : altGuid;
    TServiceItem *item = id ? FindByGuid(QString::fromUtf8(id)) : nullptr;
    return item ? item->ExecCmd(command) : scrUnknownService;
}

void TServiceManager::Find()
{
    if (m_activeItem)
        m_activeItem->Find();
}

void TServiceManager::Sort()
{
    if (m_activeItem)
        m_activeItem->Sort();
}

void TServiceManager::Report()
{
    if (m_activeItem)
        m_activeItem->Report();
}

void TServiceManager::Filter()
{
    if (m_activeItem)
        m_activeItem->Filter();
}

void TServiceManager::SetTitle(const QString &title) const
{
    if (TitleHook)
        TitleHook(title);
}
