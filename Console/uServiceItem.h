#pragma once
// Services at run time: a menu entry's service with its module, window and
// service object (TServiceItem), and the manager that knows every service of
// the current menu, the active one and the console's callback
// (TServiceManager).
//
// A form-style module exports InitServiceForm, whose window implements
// IZandrell; an object-style module exports InitService, whose service object
// gives the window and takes the session. The attributes come from the module
// reader (uModuleCache); the module is loaded into the console from the first
// SrvAction until the entry is destroyed.
#include "Console/uModuleLibrary.h"
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uServiceForm.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class TCallback;
class TServiceManager;

// A failure of a service or of its module.
ZANDRELL_EXCEPTION_CLASS(EServiceError, Exception)

// What a module tells about one of its services, copied out of the module.
struct TServiceAttributes {
    QString Caption;
    QString Description;
    QIcon Icon;
    QString IconName;
    bool TranslateCaption = false;
    bool TranslateDescription = false;
};

struct TModuleRecord;

// The attributes of one service of a module file as the module reader read
// them; fails as TServiceItem's constructor does (a missing export, the
// module's own error).
TServiceAttributes ServiceAttributesOf(const TModuleRecord &record, const QString &guid);

// Reads service attributes for one configuration build, from the module
// cache (uModuleCache): no module is loaded into the console for them. The
// files the build needs are read at once, in one run of the module reader,
// before the first service asks. A file that cannot be read (a bad name, a
// crash marker, a load error or a fault of the reader) fails each of its
// services with the same error.
class TModuleAttributeReader {
public:
    TModuleAttributeReader();
    ~TModuleAttributeReader();
    TModuleAttributeReader(const TModuleAttributeReader &) = delete;
    TModuleAttributeReader &operator=(const TModuleAttributeReader &) = delete;

    // Reads what is not known yet of the services' files (module file name, identifier).
    void Prefetch(const QList<QPair<QString, QString>> &services);
    // Fails as TServiceItem's constructor does.
    TServiceAttributes Read(const QString &dllName, const QString &guid);

private:
    struct TFile;
    QHash<QString, std::shared_ptr<TFile>> m_files; // by module file name
};

class TServiceItem : public TBaseService {
public:
    // Reads the module's attributes through the module reader; fails when the
    // module cannot be read.
    TServiceItem(const QString &dllName, const QString &guid);
    // A menu entry: takes the attributes from the build's reader. The entry shows `caption` instead of
    // the module's caption and has no translation until its menu sets one.
    TServiceItem(const QString &dllName, const QString &guid, const QString &caption, TModuleAttributeReader &reader);
    ~TServiceItem() override;

    void LoadAttributes();
    void SetLoaded(bool flag);
    // The click of the service's menu item and tool button: loads the module,
    // creates the window once, and shows, hides or brings it to the front.
    void SrvAction();
    // The window's status byte (TServiceForm::fsVisible, fsActivated).
    quint8 GetStatus() const;
    // Fails unless the form-style window and its interface exist.
    void IsValidInterface() const;
    TServiceManager *GetManager() const;

    // The tool-bar commands (the main window calls them on the active service).
    void Find();
    void Sort();
    void Report();
    void Filter();

    // A command of the callback (TServiceCommand); returns TServiceCommandResult.
    int32_t ExecCmd(uint8_t command);
    // Frees the service object and the window.
    void FreeObjects();
    // Forgets the service object and the window without freeing them: the module keeps them.
    void ForgetObjects();

    void *Handle() const { return m_library.Handle(); }
    bool Loaded() const { return m_loaded; }
    bool HasFormEntry() const { return m_hasFormEntry; }
    TServiceObject *Service() const { return FService; }
    TServiceForm *Form() const { return m_form; }
    IZandrell *ZandrellRef() const { return m_zandrellRef; }
    // The window in use: Form, or the service object's window.
    TServiceForm *Window() const;

    // The module's icon, copied (empty when the module gives none).
    const QIcon &Icon() const { return m_icon; }
    const QString &IconName() const { return m_iconName; }
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index) { m_imageIndex = index; }

    TOraSession *Session() const { return m_session; }
    void SetSession(TOraSession *session) { m_session = session; }
    const QString &SchemeName() const { return m_schemeName; }
    void SetSchemeName(const QString &scheme) { m_schemeName = scheme; }
    TICallback *Callback() const { return m_callback; }
    void SetCallback(TICallback *callback) { m_callback = callback; }

private:
    friend class TServiceManager;

    // Takes the attributes; with a caption given, not the module's caption nor its translation settings.
    void ApplyAttributes(const TServiceAttributes &attributes, const std::optional<QString> &caption = std::nullopt);
    TServiceForm *InitServiceForm();
    TServiceObject *InitService();
    bool OpenFormStyle();
    void OpenObjectStyle();
    void HookWindow(TServiceForm *window);
    void UnhookWindow();
    void WindowActivated(TServiceForm *sender);
    void WindowClosed(TServiceForm *sender, QCloseEvent *event);
    void ShowWindow(TServiceForm *window);
    void ObjectCommand(TServiceAction action);
    void LeaveActive();

    TModuleLibrary m_library;
    TServiceObject *FService = nullptr;
    bool m_loaded = false;
    bool m_hasFormEntry = false;
    QIcon m_icon;
    TServiceForm::TActivateHandler m_savedActivate;
    TServiceForm::TCloseHandler m_savedClose;
    QPointer<TServiceForm> m_hookedWindow;
    TServiceManager *FManager = nullptr;
    IZandrell *m_zandrellRef = nullptr;
    QPointer<TServiceForm> m_form;
    QString m_iconName;
    int m_imageIndex = -1;
    TOraSession *m_session = nullptr;
    QString m_schemeName;
    TICallback *m_callback = nullptr;
    // Windows forgotten with ForgetObjects: the module stays loaded while they live.
    QList<QPointer<QObject>> m_forgotten;
};

class TServiceManager {
public:
    TServiceManager();
    TServiceManager(const TServiceManager &) = delete;
    TServiceManager &operator=(const TServiceManager &) = delete;
    ~TServiceManager();

    // Registers a service (not owned); fails when its identifier is already
    // registered. The identifier must not change while the service is registered.
    void Add(TServiceItem *service);
    // Takes a service out without freeing it.
    void Remove(TServiceItem *service);
    // The first service whose identifier equals guid, ignoring letter case.
    TServiceItem *FindByGuid(const QString &guid) const;
    int Count() const { return int(m_items.size()); }
    TServiceItem *Items(int index) const;
    TServiceItem *operator[](int index) const { return Items(index); }
    const QList<TServiceItem *> &List() const { return m_items; }
    // Empties the list; frees nothing.
    void Clear();

    TServiceItem *ActiveItem() const { return m_activeItem; }
    void SetActiveItem(TServiceItem *item) { m_activeItem = item; }

    // Makes the manager's command handler the callback's handler and gives
    // every service the callback (not owned).
    void SetCallback(TCallback *callback);
    TCallback *Callback() const { return m_callback; }
    void SetSession(TOraSession *session);
    void SetScheme(const QString &scheme);

    void FreeOthers(TServiceItem *service);
    // Frees the windows and service objects of every service.
    void FreeAll() { FreeOthers(nullptr); }
    // The callback's command: identifier (or, when null, the alternative one), command -> result.
    int32_t ExecCommand(const char *guid, const char *altGuid, uint8_t command);

    // The tool-bar commands on the active service; nothing without one.
    void Find();
    void Sort();
    void Report();
    void Filter();

    // Sets the main window's title to a service's caption; an empty text
    // restores the main window's own title.
    std::function<void(const QString &title)> TitleHook;
    void SetTitle(const QString &title) const;

private:
    QList<TServiceItem *> m_items;
    // The registered services by identifier in case-folded form.
    QHash<QString, TServiceItem *> m_byGuid;
    TCallback *m_callback = nullptr;
    TServiceItem *m_activeItem = nullptr;
    TOraSession *m_session = nullptr;
    QString m_scheme;
};
