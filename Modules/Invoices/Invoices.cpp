// Demo services that the demo scheme's catalogue does not hold yet: an
// administrator registers them from their module files. One source, two
// module files:
//   Invoices.so         the invoices: rights with their language flag
//                       (GetAccessList2) and two reports;
//   InvoicePayments.so  (INVOICE_PAYMENTS) the paid orders: rights without
//                       the flag (GetAccessList) and no reports.
// Both are form-style: the window implements IZandrell.
#include "DataAccess/OraQuery.h"
#include "Modules/DemoServices/uDemoDataForm.h"
#include "Modules/DemoServices/uDemoIcon.h"
#include "Source/ComUnits/ZandrellInterface.h"

namespace {

#ifdef INVOICE_PAYMENTS
const char kGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A07}";
const char kCaption[] = "Оплаты";
const char kDescription[] = "Оплаченные заказы";
const char kFilter[] = "WHERE C.ID = O.CUSTOMER_ID AND O.STATUS = 'Выполнен'\n";
#else
const char kGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A06}";
const char kCaption[] = "Счета";
const char kDescription[] = "Счета клиентам";
const char kFilter[] = "WHERE C.ID = O.CUSTOMER_ID\n";
#endif
const char *const kServices[] = {kGuid, nullptr};

// The orders of the demo scheme, seen as invoices or as payments.
class TInvoicesForm : public TDemoDataForm {
public:
    TInvoicesForm(const QString &mode) : TDemoDataForm(QString::fromUtf8(kCaption), mode)
    {
        setObjectName(QStringLiteral("fmInvoices"));
        sqInvoices = AddQuery(QStringLiteral("sqInvoices"),
                              QStringLiteral("SELECT O.ID, O.ORDER_DATE, C.NAME AS CUSTOMER, O.AMOUNT, O.STATUS\n"
                                             "FROM &shema.DEMO_ORDERS O, &shema.DEMO_CUSTOMERS C\n") +
                                  QString::fromUtf8(kFilter) + QStringLiteral("&ORDER &FIELD"),
                              QStringLiteral("O.ID"));
        AddGrid(QStringLiteral("grdInvoices"), QStringLiteral("DemoInvoices"), sqInvoices);
    }

    TOraQuery *sqInvoices;

protected:
    void AssignMainDataSet() override { MainQuery = sqInvoices; }

    void ShowFields() override
    {
        ShowField(sqInvoices, QStringLiteral("ID"), QStringLiteral("Номер"));
        ShowField(sqInvoices, QStringLiteral("ORDER_DATE"), QStringLiteral("Дата"));
        ShowField(sqInvoices, QStringLiteral("CUSTOMER"), QStringLiteral("Клиент"));
        ShowMoney(sqInvoices, QStringLiteral("AMOUNT"), QStringLiteral("Сумма"), GuardedColumnsGranted());
        ShowField(sqInvoices, QStringLiteral("STATUS"), QStringLiteral("Состояние"));
    }
};

} // namespace

ZANDRELL_MODULE_EXPORT const char *const *GetServiceList() { return kServices; }

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *)
{
    attribute->Caption = kCaption;
    attribute->Description = kDescription;
#ifdef INVOICE_PAYMENTS
    attribute->Icon = new QIcon(DemoIcon(QColor(0x6a, 0x1b, 0x9a), TDemoPicture::Coin));
#else
    attribute->Icon = new QIcon(DemoIcon(QColor(0x00, 0x83, 0x8f), TDemoPicture::Invoice));
#endif
    attribute->IconName = "";
    attribute->TranslateCaption = true;
    attribute->TranslateDescription = true;
}

#ifdef INVOICE_PAYMENTS
ZANDRELL_MODULE_EXPORT const TAccessRec *GetAccessList(const char *)
{
    static const TAccessRec rights[] = {{1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B71}", "Просмотр оплат"},
                                        {2, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B72}", "Печать отчетов"},
                                        {0, nullptr, nullptr}};
    return rights;
}
#else
ZANDRELL_MODULE_EXPORT const TAccessRec2 *GetAccessList2(const char *)
{
    static const TAccessRec2 rights[] = {{1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B61}", "Просмотр сумм счетов", true},
                                         {2, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B62}", "Печать счетов", true},
                                         {0, nullptr, nullptr, false}};
    return rights;
}

ZANDRELL_MODULE_EXPORT const TReportRec *GetReportList(const char *)
{
    static const TReportRec reports[] = {
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C61}", "Реестр счетов", "Все счета с клиентами и суммами"},
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C62}", "Неоплаченные счета", "Счета, ожидающие оплаты"},
        {nullptr, nullptr, nullptr}};
    return reports;
}
#endif

ZANDRELL_MODULE_EXPORT TServiceForm *InitServiceForm(const char *, const char *mode, TICallback *)
{
    return TBaseForm::Create<TInvoicesForm>(QString::fromUtf8(mode ? mode : "")).release();
}
