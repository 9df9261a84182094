// A service module for the tests of registration from module files. One
// source, built into several modules by definitions; the services of module
// TMR_NAME are "{TMR-<name>-1}" and "{TMR-<name>-2}".
//   TMR_LIST        exports GetServiceList (two services)
//   TMR_NULL_LIST   GetServiceList answers null
//   TMR_LONG_ID     the second service's identifier has 60 characters
//   TMR_ACCESS2     exports GetAccessList2 (rights 1, 2)
//   TMR_ACCESS1     exports GetAccessList (rights 1, 2, 3)
//   TMR_NULL_ACCESS the access lists answer null for the second service
//   TMR_ZERO_FIRST  the access lists begin with ID 0
//   TMR_GAP         the second service has rights 1 and 3
//   TMR_MANY        300 rights
//   TMR_LONG_CAPTION the second service's second right has a caption of 61 characters
//   TMR_REPORTS     exports GetReportList (two reports for the first service, none for the second)
//   TMR_THROW       the attribute call fails for the second service
//   TMR_NO_ICON     the services have no icon
//   TMR_FAULT       a broken module, broken as its file name says:
//                   "<any>_<how>_<where>.so"; its services are named after the
//                   file ("{TMR-<file name>-1}"). how: segv, abort, exit, hang
//                   (ends or stalls the process); freed (a text in memory it
//                   has unmapped, an icon it has deleted), unowned (an icon it
//                   does not own), wild (a pointer to nowhere), garbage (a text
//                   that is not UTF-8). where: load (a static constructor),
//                   list, attribute, access, reports.
#include "Source/ComUnits/ZandrellInterface.h"

#include <QIcon>
#include <QPixmap>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <numeric>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

#define TMR_TEXT2(x) #x
#define TMR_TEXT(x) TMR_TEXT2(x)

// The module's name: TMR_NAME, or for a broken module its file's name.
const std::string &Name()
{
    static const std::string name = [] {
#ifdef TMR_FAULT
        Dl_info info{};
        dladdr(reinterpret_cast<void *>(&Name), &info);
        std::string file = info.dli_fname ? info.dli_fname : "";
        file = file.substr(file.find_last_of('/') + 1);
        return file.substr(0, file.rfind('.'));
#else
        return std::string(TMR_TEXT(TMR_NAME));
#endif
    }();
    return name;
}

[[maybe_unused]] const std::string &Service1()
{
    static const std::string id = "{TMR-" + Name() + "-1}";
    return id;
}

const std::string &Service2()
{
#ifdef TMR_LONG_ID
    static const std::string id = "{TMR-" + Name() + "-2-" + std::string(60 - 9 - Name().size(), 'X') + "}";
#else
    static const std::string id = "{TMR-" + Name() + "-2}";
#endif
    return id;
}

bool IsSecond(const char *guid) { return guid && Service2() == guid; }

// True when the broken module is to break in the way at the place.
[[maybe_unused]] bool BreaksAt([[maybe_unused]] const char *how, [[maybe_unused]] const char *where)
{
#ifdef TMR_FAULT
    return Name().size() > std::strlen(how) + std::strlen(where) + 2 &&
           Name().substr(Name().size() - std::strlen(how) - std::strlen(where) - 2) ==
               std::string("_") + how + "_" + where;
#else
    return false;
#endif
}

// Ends or stalls the process when the module is to do so at the place.
void EndsAt(const char *where)
{
    if (BreaksAt("segv", where))
        std::raise(SIGSEGV);
    if (BreaksAt("abort", where))
        std::abort();
    if (BreaksAt("exit", where))
        std::exit(3);
    if (BreaksAt("hang", where))
        for (;;)
            ::pause();
}

// The text, or the bad pointer the module hands back at the place instead.
const char *TextAt(const char *text, const char *where)
{
    if (BreaksAt("garbage", where))
        return "\xC3\x28 not UTF-8";
    if (BreaksAt("wild", where))
        return reinterpret_cast<const char *>(quintptr(0x10));
    if (BreaksAt("freed", where)) {
        void *page = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        std::strcpy(static_cast<char *>(page), text);
        ::munmap(page, 4096);
        return static_cast<const char *>(page);
    }
    return text;
}

[[maybe_unused]] const struct TLoadFault {
    TLoadFault() { EndsAt("load"); }
} g_loadFault;

// The service's rights, ended by an empty record.
template <typename Rec>
const Rec *AccessOf([[maybe_unused]] const char *guid)
{
    EndsAt("access");
    if (BreaksAt("wild", "access"))
        return reinterpret_cast<const Rec *>(quintptr(0x10));
    std::vector<int> ids = sizeof(Rec) == sizeof(TAccessRec2) ? std::vector<int>{1, 2} : std::vector<int>{1, 2, 3};
#if defined(TMR_NULL_ACCESS)
    if (IsSecond(guid))
        return nullptr;
#elif defined(TMR_ZERO_FIRST)
    ids = {0, 1, 2};
#elif defined(TMR_MANY)
    ids.resize(300);
    std::iota(ids.begin(), ids.end(), 1);
#elif defined(TMR_GAP)
    if (IsSecond(guid))
        ids = {1, 3};
#endif
#if defined(TMR_LONG_CAPTION)
    static const std::string longCaption(61, 'R');
#endif
    static std::vector<Rec> rights;
    rights.assign(ids.size() + 1, Rec{});
    for (size_t i = 0; i < ids.size(); ++i) {
        rights[i].ID = ids[i];
        rights[i].GUID = "RIGHT";
        rights[i].Caption = TextAt(ids[i] == 1 ? "Просмотр" : ids[i] == 2 ? "Изменение" : "Удаление", "access");
#if defined(TMR_LONG_CAPTION)
        if (IsSecond(guid) && ids[i] == 2)
            rights[i].Caption = longCaption.c_str();
#endif
    }
    return rights.data();
}

} // namespace

#ifdef TMR_LIST
ZANDRELL_MODULE_EXPORT const char *const *GetServiceList()
{
    EndsAt("list");
#ifdef TMR_NULL_LIST
    return nullptr;
#else
    // The identifiers as the registration reads them: an array ended by a null pointer.
    static const char *ids[] = {nullptr, nullptr, nullptr};
    ids[0] = TextAt(Service1().c_str(), "list");
    ids[1] = Service2().c_str();
    return ids;
#endif
}
#endif

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
#ifdef TMR_THROW
    if (IsSecond(guid))
        throw std::runtime_error("Test module: no attributes for the second service");
#endif
    EndsAt("attribute");
    QIcon *icon = nullptr;
#ifndef TMR_NO_ICON
    QPixmap pixmap(16, 16);
    pixmap.fill(IsSecond(guid) ? Qt::darkRed : Qt::darkGreen);
    icon = new QIcon(pixmap);
#endif
    static QIcon notOwned;
    if (BreaksAt("unowned", "attribute")) {
        delete icon;
        icon = &notOwned;
    } else if (BreaksAt("freed", "attribute")) {
        delete icon;
    }
    *attribute = {TextAt(IsSecond(guid) ? "Registration 2" : "Registration 1", "attribute"),
                  "A registration test service",
                  icon,
                  nullptr,
                  true,
                  false};
}

#ifdef TMR_ACCESS2
ZANDRELL_MODULE_EXPORT const TAccessRec2 *GetAccessList2(const char *guid) { return AccessOf<TAccessRec2>(guid); }
#endif

#ifdef TMR_ACCESS1
ZANDRELL_MODULE_EXPORT const TAccessRec *GetAccessList(const char *guid) { return AccessOf<TAccessRec>(guid); }
#endif

#ifdef TMR_REPORTS
ZANDRELL_MODULE_EXPORT const TReportRec *GetReportList(const char *guid)
{
    EndsAt("reports");
    static TReportRec reports[] = {
        {"{R-1}", "Отчет 1", "Первый отчет"}, {"{R-2}", "Отчет 2", "Второй отчет"}, {nullptr, nullptr, nullptr}};
    reports[0].RName = TextAt("Отчет 1", "reports");
    return IsSecond(guid) ? nullptr : reports;
}
#endif
