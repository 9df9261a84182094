// Stock.so: an object-style module with one service, the goods in stock of
// the demo scheme. The console gets the window from the service object and
// posts its tool-bar commands to it as messages.
#include "DataAccess/OraQuery.h"
#include "Modules/DemoServices/uDemoDataForm.h"
#include "Modules/DemoServices/uDemoIcon.h"
#include "Source/ComUnits/ZandrellInterface.h"

#include <QPointer>

namespace {

const char kStockGuid[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A03}";
const char *const kServices[] = {kStockGuid, nullptr};

class TStockForm : public TDemoDataForm {
public:
    explicit TStockForm(const QString &mode) : TDemoDataForm(QStringLiteral("Склад"), mode)
    {
        setObjectName(QStringLiteral("fmStock"));
        sqGoods = AddQuery(QStringLiteral("sqGoods"),
                           QStringLiteral("SELECT ID, NAME, QUANTITY, PRICE FROM &shema.DEMO_GOODS\n"
                                          "&ORDER &FIELD"),
                           QStringLiteral("NAME"));
        AddGrid(QStringLiteral("grdGoods"), QStringLiteral("DemoGoods"), sqGoods);
    }

    TOraQuery *sqGoods;

protected:
    void AssignMainDataSet() override { MainQuery = sqGoods; }

    void ShowFields() override
    {
        ShowField(sqGoods, QStringLiteral("ID"), QStringLiteral("Код"));
        ShowField(sqGoods, QStringLiteral("NAME"), QStringLiteral("Товар"));
        ShowField(sqGoods, QStringLiteral("QUANTITY"), QStringLiteral("Остаток"));
        ShowMoney(sqGoods, QStringLiteral("PRICE"), QStringLiteral("Цена"), GuardedColumnsGranted());
    }
};

// The service object: the console takes the window from it and posts its
// tool-bar commands to the window.
class TStockService : public TServiceObject {
public:
    explicit TStockService(const QString &mode) : m_window(TBaseForm::Create<TStockForm>(mode).release()) {}
    ~TStockService() override { delete m_window.data(); }

    TServiceForm *GetForm() override { return m_window; }
    void SetContext(TOraSession *session, const QString &scheme) override
    {
        if (!m_window)
            return;
        m_window->SetSession(session);
        m_window->SetScheme(scheme);
    }
    void Close() override
    {
        if (m_window)
            m_window->close();
    }

private:
    QPointer<TStockForm> m_window;
};

} // namespace

ZANDRELL_MODULE_EXPORT const char *const *GetServiceList() { return kServices; }

ZANDRELL_MODULE_EXPORT void GetServiceAttribute2(TServiceAttribute2 *attribute, const char *)
{
    attribute->Caption = "Склад";
    attribute->Description = "Остатки товаров на складе";
    attribute->Icon = new QIcon(DemoIcon(QColor(0xef, 0x6c, 0x00), TDemoPicture::Box));
    attribute->IconName = "";
    attribute->TranslateCaption = true;
    attribute->TranslateDescription = true;
}

ZANDRELL_MODULE_EXPORT const TAccessRec2 *GetAccessList2(const char *)
{
    static const TAccessRec2 rights[] = {{1, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B31}", "Просмотр цен", false},
                                         {2, "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7B32}", "Печать отчетов", false},
                                         {0, nullptr, nullptr, false}};
    return rights;
}

ZANDRELL_MODULE_EXPORT const TReportRec *GetReportList(const char *)
{
    static const TReportRec reports[] = {
        {"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C31}", "Остатки на складе", "Товары с остатками и ценами"},
        {nullptr, nullptr, nullptr}};
    return reports;
}

ZANDRELL_MODULE_EXPORT TServiceObject *InitService(const char *, const char *mode, TICallback *)
{
    return new TStockService(QString::fromUtf8(mode ? mode : ""));
}
