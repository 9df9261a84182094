// Orders.so: a form-style module with two services over the demo scheme,
// orders and customers. Each window implements IZandrell, so the console
// hands it the session and the scheme and forwards find, sort, report and
// filter to it.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Modules/DemoServices/uDemoGridForm.h"
#include "Modules/DemoServices/uDemoIcon.h"

#include <cstring>

namespace {

const char kOrdersGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}";
const char kCustomersGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A02}";
const char *const kServices[] = {kOrdersGuid, kCustomersGuid, nullptr};

bool IsCustomers(const char *guid) { return guid && qstricmp(guid, kCustomersGuid) == 0; }

TDemoGridSpec OrdersSpec()
{
    TDemoGridSpec spec;
    spec.title = QStringLiteral("Заказы");
    spec.sql = QStringLiteral("SELECT o.ID, o.ORDER_DATE, c.NAME AS CUSTOMER, o.AMOUNT, o.STATUS "
                              "FROM &shema.DEMO_ORDERS o, &shema.DEMO_CUSTOMERS c "
                              "WHERE c.ID = o.CUSTOMER_ID ORDER BY o.ID");
    spec.columns = {{QStringLiteral("ID"), QStringLiteral("Номер"), 0},
                    {QStringLiteral("ORDER_DATE"), QStringLiteral("Дата"), 0},
                    {QStringLiteral("CUSTOMER"), QStringLiteral("Клиент"), 0},
                    {QStringLiteral("AMOUNT"), QStringLiteral("Сумма"), 1},
                    {QStringLiteral("STATUS"), QStringLiteral("Состояние"), 0}};
    spec.reportRight = 2;
    spec.reportTitle = QStringLiteral("Список заказов");
    return spec;
}

TDemoGridSpec CustomersSpec()
{
    TDemoGridSpec spec;
    spec.title = QStringLiteral("Клиенты");
    spec.sql = QStringLiteral("SELECT ID, NAME, CITY, PHONE FROM &shema.DEMO_CUSTOMERS ORDER BY NAME");
    spec.columns = {{QStringLiteral("ID"), QStringLiteral("Код"), 0},
                    {QStringLiteral("NAME"), QStringLiteral("Клиент"), 0},
                    {QStringLiteral("CITY"), QStringLiteral("Город"), 0},
                    {QStringLiteral("PHONE"), QStringLiteral("Телефон"), 1}};
    spec.reportRight = 2;
    spec.reportTitle = QStringLiteral("Список клиентов");
    return spec;
}

} // namespace

ZANDRELL_MODULE_EXPORT const char *const *GetServiceList() { return kServices; }

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
    const bool customers = IsCustomers(guid);
    attribute->Caption = customers ? "Клиенты" : "Заказы";
    attribute->Description = customers ? "Справочник клиентов" : "Заказы клиентов";
    attribute->Icon = new QIcon(customers ? DemoIcon(QColor(0x2e, 0x7d, 0x32), QStringLiteral("К"))
                                          : DemoIcon(QColor(0x15, 0x65, 0xc0), QStringLiteral("З")));
    attribute->IconName = "";
    attribute->TranslateCaption = true;
    attribute->TranslateDescription = true;
}

ZANDRELL_MODULE_EXPORT const TAccessRec2 *GetAccessList2(const char *guid)
{
    static const TAccessRec2 orderRights[] = {{1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B11}", "Просмотр сумм", false},
                                              {2, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B12}", "Печать отчетов", false},
                                              {0, nullptr, nullptr, false}};
    static const TAccessRec2 customerRights[] = {
        {1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B21}", "Просмотр телефонов", false},
        {2, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B22}", "Печать отчетов", false},
        {0, nullptr, nullptr, false}};
    return IsCustomers(guid) ? customerRights : orderRights;
}

ZANDRELL_MODULE_EXPORT const TReportRec *GetReportList(const char *guid)
{
    static const TReportRec orderReports[] = {
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C11}", "Список заказов", "Все заказы с клиентами и суммами"},
        {nullptr, nullptr, nullptr}};
    static const TReportRec customerReports[] = {
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C21}", "Список клиентов", "Все клиенты с городами и телефонами"},
        {nullptr, nullptr, nullptr}};
    return IsCustomers(guid) ? customerReports : orderReports;
}

ZANDRELL_MODULE_EXPORT TServiceForm *InitServiceForm(const char *guid, const char *mode, TICallback *)
{
    const QString rights = QString::fromUtf8(mode ? mode : "");
    return new TDemoServiceForm(IsCustomers(guid) ? CustomersSpec() : OrdersSpec(), rights);
}

