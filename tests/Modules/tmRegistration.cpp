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
//   TMR_REPORTS     exports GetReportList (two reports for the first service, none for the second)
//   TMR_THROW       the attribute call fails for the second service
//   TMR_NO_ICON     the services have no icon
#include "Source/ComUnits/ZandrellInterface.h"

#include <QIcon>
#include <QPixmap>

#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

#define TMR_TEXT2(x) #x
#define TMR_TEXT(x) TMR_TEXT2(x)
const std::string kName = TMR_TEXT(TMR_NAME);
const std::string kService1 = "{TMR-" + kName + "-1}";
#ifdef TMR_LONG_ID
const std::string kService2 = "{TMR-" + kName + "-2-" + std::string(60 - 9 - kName.size(), 'X') + "}";
#else
const std::string kService2 = "{TMR-" + kName + "-2}";
#endif
// The identifiers as the registration reads them: an array ended by a null pointer.
const char *const g_ids[] = {kService1.c_str(), kService2.c_str(), nullptr};

bool IsSecond(const char *guid) { return guid && kService2 == guid; }

// The service's rights, ended by an empty record.
template <typename Rec>
const Rec *AccessOf([[maybe_unused]] const char *guid)
{
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
    static std::vector<Rec> rights;
    rights.assign(ids.size() + 1, Rec{});
    for (size_t i = 0; i < ids.size(); ++i) {
        rights[i].ID = ids[i];
        rights[i].GUID = "RIGHT";
        rights[i].Caption = ids[i] == 1 ? "Просмотр" : ids[i] == 2 ? "Изменение" : "Удаление";
    }
    return rights.data();
}

} // namespace

#ifdef TMR_LIST
ZANDRELL_MODULE_EXPORT const char *const *GetServiceList()
{
#ifdef TMR_NULL_LIST
    return nullptr;
#else
    return g_ids;
#endif
}
#endif

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
#ifdef TMR_THROW
    if (IsSecond(guid))
        throw std::runtime_error("Test module: no attributes for the second service");
#endif
    QIcon *icon = nullptr;
#ifndef TMR_NO_ICON
    QPixmap pixmap(16, 16);
    pixmap.fill(IsSecond(guid) ? Qt::darkRed : Qt::darkGreen);
    icon = new QIcon(pixmap);
#endif
    *attribute = {IsSecond(guid) ? "Registration 2" : "Registration 1",
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
    static const TReportRec reports[] = {
        {"{R-1}", "Отчет 1", "Первый отчет"}, {"{R-2}", "Отчет 2", "Второй отчет"}, {nullptr, nullptr, nullptr}};
    return IsSecond(guid) ? nullptr : reports;
}
#endif
