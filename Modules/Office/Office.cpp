// Office.so: a form-style module with two services over the demo scheme: a
// report of sales by customer and the list of the console's users with their
// access groups. Each window implements IZandrell like the other demo services.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Modules/DemoServices/uDemoGridForm.h"
#include "Modules/DemoServices/uDemoIcon.h"

#include <cstring>

namespace {

const char kSalesGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A04}";
const char kUsersGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A05}";
const char *const kServices[] = {kSalesGuid, kUsersGuid, nullptr};

bool IsUsers(const char *guid) { return guid && qstricmp(guid, kUsersGuid) == 0; }

TDemoGridSpec SalesSpec()
{
    TDemoGridSpec spec;
    spec.title = QStringLiteral("Продажи по клиентам");
    spec.sql = QStringLiteral("SELECT c.NAME AS CUSTOMER, COUNT(*) AS ORDERS, SUM(o.AMOUNT) AS AMOUNT "
                              "FROM &shema.DEMO_ORDERS o, &shema.DEMO_CUSTOMERS c "
                              "WHERE c.ID = o.CUSTOMER_ID GROUP BY c.NAME ORDER BY 3 DESC");
    spec.columns = {{QStringLiteral("CUSTOMER"), QStringLiteral("Клиент"), 0},
                    {QStringLiteral("ORDERS"), QStringLiteral("Заказов"), 0},
                    {QStringLiteral("AMOUNT"), QStringLiteral("Сумма"), 1}};
    spec.reportRight = 2;
    spec.reportTitle = QStringLiteral("Продажи по клиентам");
    return spec;
}

TDemoGridSpec UsersSpec()
{
    TDemoGridSpec spec;
    spec.title = QStringLiteral("Пользователи консоли");
    spec.sql = QStringLiteral("SELECT u.LOGIN, u.NAME, a.NAME AS ACCESS_GROUP "
                              "FROM &shema.SYSUSER u, &shema.ACCESSLIST a "
                              "WHERE a.ACCESSID = u.ACCESSID ORDER BY u.LOGIN");
    spec.columns = {{QStringLiteral("LOGIN"), QStringLiteral("Учетная запись"), 0},
                    {QStringLiteral("NAME"), QStringLiteral("Пользователь"), 0},
                    {QStringLiteral("ACCESS_GROUP"), QStringLiteral("Группа доступа"), 0}};
    spec.reportRight = 1;
    spec.reportTitle = QStringLiteral("Пользователи консоли");
    return spec;
}

} // namespace

ZANDRELL_MODULE_EXPORT const char *const *GetServiceList() { return kServices; }

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
    const bool users = IsUsers(guid);
    attribute->Caption = users ? "Пользователи консоли" : "Продажи по клиентам";
    attribute->Description = users ? "Учетные записи и их группы доступа" : "Число заказов и сумма по каждому клиенту";
    attribute->Icon = new QIcon(users ? DemoIcon(QColor(0x6a, 0x1b, 0x9a), QStringLiteral("П"))
                                      : DemoIcon(QColor(0xef, 0x6c, 0x00), QStringLiteral("О")));
    attribute->IconName = "";
    attribute->TranslateCaption = true;
    attribute->TranslateDescription = true;
}

ZANDRELL_MODULE_EXPORT const TAccessRec2 *GetAccessList2(const char *guid)
{
    static const TAccessRec2 salesRights[] = {{1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B41}", "Просмотр сумм", false},
                                              {2, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B42}", "Печать отчетов", false},
                                              {0, nullptr, nullptr, false}};
    static const TAccessRec2 userRights[] = {{1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B51}", "Печать отчетов", false},
                                             {0, nullptr, nullptr, false}};
    return IsUsers(guid) ? userRights : salesRights;
}

ZANDRELL_MODULE_EXPORT const TReportRec *GetReportList(const char *guid)
{
    static const TReportRec salesReports[] = {
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C41}", "Продажи по клиентам", "Число заказов и сумма по каждому клиенту"},
        {nullptr, nullptr, nullptr}};
    static const TReportRec userReports[] = {
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C51}", "Пользователи консоли", "Учетные записи и их группы доступа"},
        {nullptr, nullptr, nullptr}};
    return IsUsers(guid) ? userReports : salesReports;
}

ZANDRELL_MODULE_EXPORT TServiceForm *InitServiceForm(const char *guid, const char *mode, TICallback *)
{
    const QString rights = QString::fromUtf8(mode ? mode : "");
    return new TDemoServiceForm(IsUsers(guid) ? UsersSpec() : SalesSpec(), rights);
}

