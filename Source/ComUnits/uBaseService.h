#pragma once
// The records through which the console talks about services: a service
// entry (TBaseService), the rights that can be granted on it (TAccessItem in a
// TAccessList), the reports its module declares (TReportItem in a
// TReportList), and an owning list of entries (TBaseServiceList).
//
// The rights string of a menu entry has one character per right plus a
// leading "1": character i + 1 is "1" when right i (from 1) is granted, "0"
// when not. It is at most 255 characters long, so a list holds at most 254
// rights.
#include "Core/Exceptions.h"
#include "Core/PlatformExport.h"
#include "Source/ComUnits/ZandrellInterface.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

class TBaseService;
class TOraPackage;
class TOraDataSet;

// Rewrites a text in place into its translation.
using TTranslateProc = void (*)(QString &text);

// The rights string of a menu entry: "1", then one character per right in the
// rights' order, "1" granted and "0" refused; at most 255 characters. The one
// place that writes and reads the format.
PLATFORM_EXPORT QString RightsString(const QList<bool> &granted);
// Whether the string is a rights string at all (it starts with "1").
PLATFORM_EXPORT bool IsRightsString(const QString &rights);
// Whether right n (from 1) is granted; a string that ends before it grants nothing there.
PLATFORM_EXPORT bool RightGranted(const QString &rights, int n);

// An index outside an owning list.
ZANDRELL_EXCEPTION_CLASS(EListError, Exception)

// "List index out of bounds (5)".
[[noreturn]] PLATFORM_EXPORT void ListIndexError(int index);

// An owning list of objects: it frees its items when cleared or destroyed.
template <typename T>
class TOwnedList {
public:
    TOwnedList() = default;
    TOwnedList(const TOwnedList &) = delete;
    TOwnedList &operator=(const TOwnedList &) = delete;
    virtual ~TOwnedList() = default;

    int Count() const { return int(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    T *Items(int index) const
    {
        if (index < 0 || index >= Count())
            ListIndexError(index);
        return m_items[size_t(index)].get();
    }
    T *operator[](int index) const { return Items(index); }
    int IndexOf(const T *item) const
    {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].get() == item)
                return int(i);
        return -1;
    }
    void Clear() { m_items.clear(); }
    void Delete(int index)
    {
        Items(index);
        m_items.erase(m_items.begin() + index);
    }
    // Takes the item out of the list without freeing it; null when it is not there.
    std::unique_ptr<T> Extract(const T *item)
    {
        const int index = IndexOf(item);
        if (index < 0)
            return nullptr;
        std::unique_ptr<T> taken = std::move(m_items[size_t(index)]);
        m_items.erase(m_items.begin() + index);
        return taken;
    }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

protected:
    int Append(std::unique_ptr<T> item)
    {
        m_items.push_back(std::move(item));
        return Count() - 1;
    }

private:
    std::vector<std::unique_ptr<T>> m_items;
};

// One operation of a service that a right can be granted for.
class PLATFORM_EXPORT TAccessItem {
public:
    // Fails a consistency check when the ID is below 1 or GUID or Caption is null.
    TAccessItem(const TAccessRec2 &rec, TTranslateProc translateFunc);
    // The same from a record without IsLang: not translated.
    static std::unique_ptr<TAccessItem> CreateShort(const TAccessRec &rec);
    TAccessItem(const TAccessItem &source);
    TAccessItem &operator=(const TAccessItem &) = delete;

    bool IsLang() const { return m_isLang; }
    void SetIsLang(bool value);
    TTranslateProc TranslateFunc() const { return m_translateFunc; }
    void SetTranslateFunc(TTranslateProc value);
    // Caption, translated when IsLang is set and there is a translate function.
    const QString &DisplayCaption() const { return m_displayCaption; }
    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    int ID() const { return m_id; }
    const QString &GUID() const { return m_guid; }
    bool Checked() const { return m_checked; }
    void SetChecked(bool value) { m_checked = value; }

private:
    void UpdateDisplayCaption();

    bool m_isLang = false;
    TTranslateProc m_translateFunc = nullptr;
    QString m_displayCaption;
    QString m_caption;
    int m_id = 0;
    QString m_guid;
    bool m_checked = false;
};

// One report a service's module offers.
class PLATFORM_EXPORT TReportItem {
public:
    // Fails a consistency check when one of the texts is null.
    explicit TReportItem(const TReportRec &rec);
    TReportItem(const TReportItem &source) = default;
    TReportItem &operator=(const TReportItem &) = delete;

    const QString &RGuid() const { return m_rGuid; }
    const QString &RName() const { return m_rName; }
    const QString &RDesc() const { return m_rDesc; }

private:
    QString m_rGuid;
    QString m_rName;
    QString m_rDesc;
};

// The rights of one service entry, read from and written to the database as a rights string.
class PLATFORM_EXPORT TAccessList : public TOwnedList<TAccessItem> {
public:
    static constexpr int MaxCount = 254;

    explicit TAccessList(TBaseService *owner);
    ~TAccessList() override;

    // Appends the item and returns its index. A list that already holds
    // MaxCount items refuses it with an error box and returns -1; the caller
    // then still owns the item.
    int Add(std::unique_ptr<TAccessItem> &&item);
    // Clears, then appends a copy of every item of the source.
    void Assign(const TAccessList &source);

    // The rights string of the items, or the stored Mode while the list is empty.
    QString GetMode() const;
    // Checks the items by the rights string and stores it as Mode.
    void SetMode(const QString &mode);
    const QString &Mode() const { return m_mode; }

    // Loads the rights of menu entry ID_CFG through AccessProc when the list is empty.
    void FetchIsNeed();
    // Writes the rights string of menu entry ID_CFG through FPack (UPD_RIGHT) and commits.
    // seenMode: the rights string the entry had when it was read; the package
    // refuses the write when another session changed it meanwhile.
    void UpdateData(const QString &seenMode = QString());

    TOraDataSet *AccessProc = nullptr;
    TOraPackage *FPack = nullptr;
    int ID_CFG = 0;
    TBaseService *Owner() const { return m_owner; }

private:
    TBaseService *m_owner;
    QString m_mode;
};

// The data module's current and older rights procedures: when opening the
// current one fails, an access list falls back to the older one, whose result
// has only RCHECK and NAME.
PLATFORM_EXPORT void SetRightsProcedures(TOraDataSet *current, TOraDataSet *older);

class PLATFORM_EXPORT TReportList : public TOwnedList<TReportItem> {
public:
    explicit TReportList(TBaseService *owner);
    ~TReportList() override;
    int Add(std::unique_ptr<TReportItem> &&item);
    // Clears, then appends a copy of every item of the source.
    void Assign(const TReportList &source);
    TBaseService *Owner() const { return m_owner; }

private:
    TBaseService *m_owner;
};

// A service entry: filled from the menu configuration or from a module's exports.
class PLATFORM_EXPORT TBaseService {
public:
    TBaseService();
    TBaseService(const TBaseService &) = delete;
    TBaseService &operator=(const TBaseService &) = delete;
    virtual ~TBaseService();

    const QString &Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    const QString &DisplayCaption() const { return m_displayCaption; }
    const QString &ModuleCaption() const { return m_moduleCaption; }
    void SetModuleCaption(const QString &value) { m_moduleCaption = value; }
    const QString &Description() const { return m_description; }
    void SetDescription(const QString &value);
    const QString &DisplayDescription() const { return m_displayDescription; }
    const QString &DllName() const { return m_dllName; }
    void SetDllName(const QString &value) { m_dllName = value; }
    const QString &Guid() const { return m_guid; }
    void SetGuid(const QString &value) { m_guid = value; }
    bool CreateBtn() const { return m_createBtn; }
    void SetCreateBtn(bool value) { m_createBtn = value; }
    TAccessList &AccessList() const { return *m_accessList; }
    int SortOrder() const { return m_sortOrder; }
    void SetSortOrder(int value) { m_sortOrder = value; }
    int MenuGroup() const { return m_menuGroup; }
    void SetMenuGroup(int value) { m_menuGroup = value; }
    TReportList &ReportList() const { return *m_reportList; }
    bool TranslateCaption() const { return m_translateCaption; }
    void SetTranslateCaption(bool value);
    bool TranslateDescription() const { return m_translateDescription; }
    void SetTranslateDescription(bool value);
    TTranslateProc TranslateFunc() const { return m_translateFunc; }
    void SetTranslateFunc(TTranslateProc value);

    QString GetMode() const { return m_accessList->GetMode(); }
    void SetMode(const QString &mode) { m_accessList->SetMode(mode); }

    // Copies the entry, its rights (with their state) and its reports. The
    // sort order and the access list's database fields are not copied.
    void Assign(const TBaseService &source);

private:
    void UpdateDisplayCaption();
    void UpdateDisplayDescription();

    QString m_caption;
    QString m_displayCaption;
    QString m_moduleCaption;
    QString m_description;
    QString m_displayDescription;
    QString m_dllName;
    QString m_guid;
    bool m_createBtn = false;
    std::unique_ptr<TAccessList> m_accessList;
    int m_sortOrder = -1;
    int m_menuGroup = -1;
    std::unique_ptr<TReportList> m_reportList;
    bool m_translateCaption = false;
    bool m_translateDescription = false;
    TTranslateProc m_translateFunc = nullptr;
};

// An owning list of service entries.
class PLATFORM_EXPORT TBaseServiceList : public TOwnedList<TBaseService> {
public:
    ~TBaseServiceList() override;
    int Add(std::unique_ptr<TBaseService> &&service) { return Append(std::move(service)); }
};

// One row of the service catalogue, as the menu editor carries it.
struct TSrvItem {
    int ItemId = 0;
    bool CreateBtn = false;
    QString GUID;
    QString DLLNAME;
    QString SrvName;
};

// The language pack's application text of a text, or the text itself when no
// language pack is in use or it has no translation.
PLATFORM_EXPORT QString LangPackAplText(const QString &text);
// In-place translations for translate functions: the application text, and
// the text keyed by the English text.
PLATFORM_EXPORT void LangPackApplyAplText(QString &text);
PLATFORM_EXPORT void LangPackApplyAplEnText(QString &text);
