// Orders.so: a form-style module with two services over the demo scheme,
// orders (with their lines) and customers. Each window is a data form that
// implements IZandrell, so the console hands it the session and the scheme
// and forwards find, sort, report and filter to it.
#include "Core/ResourcePack.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Modules/DemoServices/uDemoDataForm.h"
#include "Modules/DemoServices/uDemoIcon.h"
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uDBGrid.h"

#include <cstring>

namespace {

const char kOrdersGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}";
const char kCustomersGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A02}";
const char *const kServices[] = {kOrdersGuid, kCustomersGuid, nullptr};

bool IsCustomers(const char *guid) { return guid && qstricmp(guid, kCustomersGuid) == 0; }

// The orders and, below them, the lines of the current order. A line can be
// ticked for the order-lines report; the ticks are kept on the server per
// user, service and query, so they survive moving between orders.
class TOrdersForm : public TDemoDataForm {
public:
    TOrdersForm(const QString &mode, TOraSession *session, const QString &scheme)
        : TDemoDataForm(QStringLiteral("Заказы"), mode, session, scheme)
    {
        setObjectName(QStringLiteral("fmOrders"));
        sqOrders = AddQuery(QStringLiteral("sqOrders"),
                            QStringLiteral("SELECT O.ID, O.ORDER_DATE, C.NAME AS CUSTOMER, O.AMOUNT, O.STATUS\n"
                                           "FROM &shema.DEMO_ORDERS O, &shema.DEMO_CUSTOMERS C\n"
                                           "WHERE C.ID = O.CUSTOMER_ID\n"
                                           "&ORDER &FIELD"),
                            QStringLiteral("O.ID"));
        sqLines = AddQuery(
            QStringLiteral("sqLines"),
            QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM &shema.TEMP_ORDER_LINES_REPORT T\n"
                           "                          WHERE T.LOGIN = :PLOGIN AND T.GUID_SERVICE = :PGUID\n"
                           "                            AND T.QUERY_NAME = 'sqLines' AND T.ROWID_QUERY = 'L' || L.ID)\n"
                           "            THEN '+' ELSE '-' END AS RCHECK,\n"
                           "       L.ID, L.LINE_NO, G.NAME AS GOODS, L.QUANTITY, L.PRICE,\n"
                           "       L.QUANTITY * L.PRICE AS AMOUNT, 'L' || L.ID AS ROWID_QUERY\n"
                           "FROM &shema.DEMO_ORDER_LINES L, &shema.DEMO_GOODS G\n"
                           "WHERE G.ID = L.GOODS_ID AND L.ORDER_ID = :ID\n"
                           "&ORDER &FIELD &GUID_SERVICE"),
            QStringLiteral("L.LINE_NO"));
        // The service the ticks belong to; the macro only carries it and adds nothing to the text.
        TMacro &guid = sqLines->MacroByName(QStringLiteral("GUID_SERVICE"));
        guid.SetValue(QString::fromLatin1(kOrdersGuid));
        guid.SetActive(false);
        sqLines->ParamByName(QStringLiteral("PGUID")).SetAsVariant(QString::fromLatin1(kOrdersGuid));
        grdOrders = AddGrid(QStringLiteral("grdOrders"), QStringLiteral("DemoOrders"), sqOrders);
        grdLines = AddGrid(QStringLiteral("grdLines"), QStringLiteral("DemoOrderLines"), sqLines);
        sqLines->SetMasterSource(grdOrders->DataSource());
    }

    TOraQuery *sqOrders;
    TOraQuery *sqLines;
    TDBGrid *grdOrders;
    TDBGrid *grdLines;

protected:
    void AssignMainDataSet() override { MainQuery = sqOrders; }

    void ShowFields() override
    {
        // The ticks are the session user's.
        if (Session())
            sqLines->ParamByName(QStringLiteral("PLOGIN")).SetAsVariant(Session()->Username().trimmed().toUpper());
        ShowField(sqOrders, QStringLiteral("ID"), QStringLiteral("Номер"));
        ShowField(sqOrders, QStringLiteral("ORDER_DATE"), QStringLiteral("Дата"));
        ShowField(sqOrders, QStringLiteral("CUSTOMER"), QStringLiteral("Клиент"));
        ShowMoney(sqOrders, QStringLiteral("AMOUNT"), QStringLiteral("Сумма"), GuardedColumnsGranted());
        ShowField(sqOrders, QStringLiteral("STATUS"), QStringLiteral("Состояние"));
        if (TField *check = sqLines->FindField(QStringLiteral("RCHECK"))) {
            check->SetVisible(true);
            check->SetDisplayLabel(TranslateAplText(QStringLiteral("rstrIntoReport")));
        }
        ShowField(sqLines, QStringLiteral("LINE_NO"), QStringLiteral("Строка"));
        ShowField(sqLines, QStringLiteral("GOODS"), QStringLiteral("Товар"));
        ShowField(sqLines, QStringLiteral("QUANTITY"), QStringLiteral("Количество"));
        ShowMoney(sqLines, QStringLiteral("PRICE"), QStringLiteral("Цена"), GuardedColumnsGranted());
        ShowMoney(sqLines, QStringLiteral("AMOUNT"), QStringLiteral("Сумма"), GuardedColumnsGranted());
    }
};

class TCustomersForm : public TDemoDataForm {
public:
    TCustomersForm(const QString &mode, TOraSession *session, const QString &scheme)
        : TDemoDataForm(QStringLiteral("Клиенты"), mode, session, scheme)
    {
        setObjectName(QStringLiteral("fmCustomers"));
        sqCustomers = AddQuery(QStringLiteral("sqCustomers"),
                               QStringLiteral("SELECT ID, NAME, CITY, PHONE FROM &shema.DEMO_CUSTOMERS\n"
                                              "&ORDER &FIELD"),
                               QStringLiteral("NAME"));
        AddGrid(QStringLiteral("grdCustomers"), QStringLiteral("DemoCustomers"), sqCustomers);
    }

    TOraQuery *sqCustomers;

protected:
    void AssignMainDataSet() override { MainQuery = sqCustomers; }

    void ShowFields() override
    {
        ShowField(sqCustomers, QStringLiteral("ID"), QStringLiteral("Код"));
        ShowField(sqCustomers, QStringLiteral("NAME"), QStringLiteral("Клиент"));
        ShowField(sqCustomers, QStringLiteral("CITY"), QStringLiteral("Город"));
        ShowField(sqCustomers, QStringLiteral("PHONE"), QStringLiteral("Телефон"), GuardedColumnsGranted());
    }
};

} // namespace

ZANDRELL_MODULE_EXPORT const char *const *GetServiceList() { return kServices; }

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *guid)
{
    const bool customers = IsCustomers(guid);
    attribute->Caption = customers ? "Клиенты" : "Заказы";
    attribute->Description = customers ? "Справочник клиентов" : "Заказы клиентов";
    attribute->Icon = new QIcon(customers ? DemoIcon(QColor(0x2e, 0x7d, 0x32), TDemoPicture::Person)
                                          : DemoIcon(QColor(0x15, 0x65, 0xc0), TDemoPicture::Document));
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
    if (IsCustomers(guid))
        return TBaseForm::Create<TCustomersForm>(rights, nullptr, QString()).release();
    return TBaseForm::Create<TOrdersForm>(rights, nullptr, QString()).release();
}
