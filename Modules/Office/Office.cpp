// Office.so: a form-style module with two services over the demo scheme: a
// report of sales by customer and the list of the console's users with their
// access groups. Each window implements IZandrell like the other demo services.
#include "DataAccess/OraQuery.h"
#include "Modules/DemoServices/uDemoDataForm.h"
#include "Modules/DemoServices/uDemoIcon.h"
#include "Source/ComUnits/ZandrellInterface.h"

#include <cstring>

namespace {

const char kSalesGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A04}";
const char kUsersGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A05}";
const char *const kServices[] = {kSalesGuid, kUsersGuid, nullptr};

bool IsUsers(const char *guid) { return guid && qstricmp(guid, kUsersGuid) == 0; }

// The number of orders and their sum per customer, the largest sum first.
class TSalesForm : public TDemoDataForm {
public:
    explicit TSalesForm(const QString &mode) : TDemoDataForm(QStringLiteral("Продажи по клиентам"), mode)
    {
        setObjectName(QStringLiteral("fmSales"));
        sqSales = AddQuery(QStringLiteral("sqSales"),
                           QStringLiteral("SELECT C.NAME AS CUSTOMER, COUNT(*) AS ORDERS, SUM(O.AMOUNT) AS AMOUNT\n"
                                          "FROM &shema.DEMO_ORDERS O, &shema.DEMO_CUSTOMERS C\n"
                                          "WHERE C.ID = O.CUSTOMER_ID GROUP BY C.NAME\n"
                                          "&ORDER &FIELD"),
                           QStringLiteral("3 DESC"));
        AddGrid(QStringLiteral("grdSales"), QStringLiteral("DemoSales"), sqSales);
    }

    TOraQuery *sqSales;

protected:
    void AssignMainDataSet() override { MainQuery = sqSales; }

    void ShowFields() override
    {
        ShowField(sqSales, QStringLiteral("CUSTOMER"), QStringLiteral("Клиент"));
        ShowField(sqSales, QStringLiteral("ORDERS"), QStringLiteral("Заказов"));
        ShowMoney(sqSales, QStringLiteral("AMOUNT"), QStringLiteral("Сумма"), GuardedColumnsGranted());
    }
};

// The console's accounts with their access groups.
class TUsersForm : public TDemoDataForm {
public:
    explicit TUsersForm(const QString &mode) : TDemoDataForm(QStringLiteral("Пользователи консоли"), mode)
    {
        setObjectName(QStringLiteral("fmUsers"));
        sqUsers = AddQuery(QStringLiteral("sqUsers"),
                           QStringLiteral("SELECT U.LOGIN, U.NAME, A.NAME AS ACCESS_GROUP\n"
                                          "FROM &shema.SYSUSER U, &shema.ACCESSLIST A\n"
                                          "WHERE A.ACCESSID = U.ACCESSID\n"
                                          "&ORDER &FIELD"),
                           QStringLiteral("U.LOGIN"));
        AddGrid(QStringLiteral("grdUsers"), QStringLiteral("DemoUsers"), sqUsers);
    }

    TOraQuery *sqUsers;

protected:
    // Right 1: the report.
    void AddAccessFuncs() override
    {
        AccessFuncsList().Add([this](bool on) { pReport->setEnabled(on); });
    }

    void AssignMainDataSet() override { MainQuery = sqUsers; }

    void ShowFields() override
    {
        ShowField(sqUsers, QStringLiteral("LOGIN"), QStringLiteral("Учетная запись"));
        ShowField(sqUsers, QStringLiteral("NAME"), QStringLiteral("Пользователь"));
        ShowField(sqUsers, QStringLiteral("ACCESS_GROUP"), QStringLiteral("Группа доступа"));
    }
};

} // namespace

ZANDRELL_MODULE_EXPORT const char *const *GetServiceList() { return kServices; }

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
    const bool users = IsUsers(guid);
    attribute->Caption = users ? "Пользователи консоли" : "Продажи по клиентам";
    attribute->Description = users ? "Учетные записи и их группы доступа" : "Число заказов и сумма по каждому клиенту";
    attribute->Icon = new QIcon(users ? DemoIcon(QColor(0x6a, 0x1b, 0x9a), TDemoPicture::People)
                                      : DemoIcon(QColor(0xef, 0x6c, 0x00), TDemoPicture::Chart));
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
    if (IsUsers(guid))
        return TBaseForm::Create<TUsersForm>(rights).release();
    return TBaseForm::Create<TSalesForm>(rights).release();
}
