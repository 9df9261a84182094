#include "Source/ComUnits/uBaseService.h"

#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraDataSet.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/uComLog.h"

namespace {

// The data module's rights procedures (SetRightsProcedures).
TOraDataSet *g_rightsCurrent = nullptr;
TOraDataSet *g_rightsOlder = nullptr;

} // namespace

void ListIndexError(int index) { throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index)); }

QString LangPackAplText(const QString &text)
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return text;
    const QString translated = languages->GET_RESOURCE_APL_TXT(text);
    return translated.isEmpty() ? text : translated;
}

void LangPackApplyAplText(QString &text) { text = LangPackAplText(text); }

void LangPackApplyAplEnText(QString &text)
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return;
    const QString translated = languages->GET_RESOURCE_APL_EN_TXT(text);
    if (!translated.isEmpty())
        text = translated;
}

// ---------------------------------------------------------------------------
// TAccessItem

TAccessItem::TAccessItem(const TAccessRec2 &rec, TTranslateProc translateFunc)
{
    Z_ASSERT(rec.ID >= 1, QStringLiteral("TAccessItem.Create: AccessItem.ID < 1"));
    Z_ASSERT(rec.GUID, QStringLiteral("TAccessItem.Create: AccessItem.GUID = nil"));
    Z_ASSERT(rec.Caption, QStringLiteral("TAccessItem.Create: AccessItem.Caption = nil"));
    m_id = rec.ID;
    m_guid = QString::fromUtf8(rec.GUID);
    m_caption = QString::fromUtf8(rec.Caption);
    m_isLang = rec.IsLang;
    m_translateFunc = translateFunc;
    UpdateDisplayCaption();
}

std::unique_ptr<TAccessItem> TAccessItem::CreateShort(const TAccessRec &rec)
{
    return std::make_unique<TAccessItem>(TAccessRec2{rec.ID, rec.GUID, rec.Caption, false}, nullptr);
}

TAccessItem::TAccessItem(const TAccessItem &source)
    : m_isLang(source.m_isLang), m_translateFunc(source.m_translateFunc), m_caption(source.m_caption),
      m_id(source.m_id), m_guid(source.m_guid), m_checked(source.m_checked)
{
    UpdateDisplayCaption();
}

void TAccessItem::SetIsLang(bool value)
{
    m_isLang = value;
    UpdateDisplayCaption();
}

void TAccessItem::SetTranslateFunc(TTranslateProc value)
{
    m_translateFunc = value;
    UpdateDisplayCaption();
}

void TAccessItem::SetCaption(const QString &value)
{
    m_caption = value;
    UpdateDisplayCaption();
}

void TAccessItem::UpdateDisplayCaption()
{
    m_displayCaption = m_caption;
    if (m_isLang && m_translateFunc)
        m_translateFunc(m_displayCaption);
}

// ---------------------------------------------------------------------------
// TReportItem

TReportItem::TReportItem(const TReportRec &rec)
{
    Z_ASSERT(rec.RGuid, QStringLiteral("TReportItem.Create: s.RGuid = nil"));
    Z_ASSERT(rec.RName, QStringLiteral("TReportItem.Create: s.RName = nil"));
    Z_ASSERT(rec.RDesc, QStringLiteral("TReportItem.Create: s.RDesc = nil"));
    m_rGuid = QString::fromUtf8(rec.RGuid);
    m_rName = QString::fromUtf8(rec.RName);
    m_rDesc = QString::fromUtf8(rec.RDesc);
}

// ---------------------------------------------------------------------------
// TAccessList

TAccessList::TAccessList(TBaseService *owner) : m_owner(owner) {}

TAccessList::~TAccessList() = default;

int TAccessList::Add(std::unique_ptr<TAccessItem> &&item)
{
    if (Count() >= MaxCount) {
        ShowDialogMessage(QStringLiteral("TAccessList.Add: AccessList is large (maximum size = %1)").arg(MaxCount),
                          TranslateAplText(QStringLiteral("rstrError")), MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
        return -1;
    }
    return Append(std::move(item));
}

void TAccessList::Assign(const TAccessList &source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto &item : source)
        Add(std::make_unique<TAccessItem>(*item));
}

QString RightsString(const QList<bool> &granted)
{
    QString rights(granted.size() + 1, QLatin1Char('0'));
    rights[0] = QLatin1Char('1');
    for (qsizetype i = 0; i < granted.size(); ++i)
        if (granted.at(i))
            rights[i + 1] = QLatin1Char('1');
    return rights;
}

bool IsRightsString(const QString &rights) { return rights.startsWith(QLatin1Char('1')); }

bool RightGranted(const QString &rights, int n)
{
    return n >= 1 && n < rights.size() && rights.at(n) == QLatin1Char('1');
}

QString TAccessList::GetMode() const
{
    if (IsEmpty())
        return m_mode;
    QList<bool> granted;
    for (int i = 0; i < Count(); ++i)
        granted << Items(i)->Checked();
    return RightsString(granted);
}

void TAccessList::SetMode(const QString &mode)
{
    // The leading character is not examined; a short string refuses the rest.
    for (int i = 0; i < Count(); ++i)
        Items(i)->SetChecked(RightGranted(mode, i + 1));
    m_mode = mode;
}

void SetRightsProcedures(TOraDataSet *current, TOraDataSet *older)
{
    g_rightsCurrent = current;
    g_rightsOlder = older;
}

void TAccessList::FetchIsNeed()
{
    Z_ASSERT(AccessProc, QStringLiteral("TAccessList.FetchIsNeed: AccessProc = nil"));
    Z_ASSERT(ID_CFG >= 1, QStringLiteral("TAccessList.FetchIsNeed: ID_CFG = %1").arg(ID_CFG));
    if (!IsEmpty())
        return;

    const auto open = [this] {
        AccessProc->ParamByName(QStringLiteral("PID_CFG")).SetAsInteger(ID_CFG);
        AccessProc->Close();
        AccessProc->Open();
    };
    try {
        open();
    } catch (const Exception &e) {
        // A scheme of an older release: its function returns RCHECK and NAME only.
        if (AccessProc != g_rightsCurrent || !g_rightsOlder)
            throw;
        qCInfo(lcCom) << "rights are read with the older function:" << e.message();
        AccessProc = g_rightsOlder;
        open();
    }

    TField *const check = AccessProc->FieldByName(QStringLiteral("RCHECK"));
    TField *const name = AccessProc->FieldByName(QStringLiteral("NAME"));
    TField *const sourceName = AccessProc->FindField(QStringLiteral("SOURCE_NAME"));
    TField *const isLang = AccessProc->FindField(QStringLiteral("ISLANG"));
    const QByteArray guid = m_owner ? m_owner->Guid().toUtf8() : QByteArray("");
    int row = 0;
    for (AccessProc->First(); !AccessProc->Eof(); AccessProc->Next()) {
        ++row;
        // A row without its source name falls back to the name rather than showing nothing.
        const QString text = sourceName && !sourceName->IsNull() ? sourceName->AsString() : name->AsString();
        const QByteArray caption = LangPackAplText(text).toUtf8();
        const bool lang = isLang && !isLang->IsNull() && isLang->AsInteger() == 1;
        auto item = std::make_unique<TAccessItem>(TAccessRec2{row, guid.constData(), caption.constData(), lang},
                                                  lang ? LangPackApplyAplEnText : nullptr);
        item->SetChecked(check->AsString() == QLatin1String("+"));
        Add(std::move(item));
    }
}

void TAccessList::UpdateData(const QString &seenMode)
{
    Z_ASSERT(FPack, QStringLiteral("TAccessList.UpdateData: FPack = nil"));
    Z_ASSERT(ID_CFG >= 1, QStringLiteral("TAccessList.UpdateData: ID_CFG = %1").arg(ID_CFG));
    Z_ASSERT(FPack->Session(), QStringLiteral("TAccessList.UpdateData: FPack.Session = nil"));
    QVariantList values{ID_CFG, GetMode()};
    if (!seenMode.isEmpty())
        values.append(seenMode);
    FPack->ExecProc(QStringLiteral("UPD_RIGHT"), values);
    FPack->Session()->Commit();
}

// ---------------------------------------------------------------------------
// TReportList

TReportList::TReportList(TBaseService *owner) : m_owner(owner) {}

TReportList::~TReportList() = default;

int TReportList::Add(std::unique_ptr<TReportItem> &&item) { return Append(std::move(item)); }

void TReportList::Assign(const TReportList &source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto &item : source)
        Add(std::make_unique<TReportItem>(*item));
}

// ---------------------------------------------------------------------------
// TBaseService

TBaseService::TBaseService()
    : m_accessList(std::make_unique<TAccessList>(this)), m_reportList(std::make_unique<TReportList>(this))
{
}

TBaseService::~TBaseService() = default;

void TBaseService::SetCaption(const QString &value)
{
    m_caption = value;
    UpdateDisplayCaption();
}

void TBaseService::SetDescription(const QString &value)
{
    m_description = value;
    UpdateDisplayDescription();
}

void TBaseService::SetTranslateCaption(bool value)
{
    m_translateCaption = value;
    UpdateDisplayCaption();
}

void TBaseService::SetTranslateDescription(bool value)
{
    m_translateDescription = value;
    UpdateDisplayDescription();
}

void TBaseService::SetTranslateFunc(TTranslateProc value)
{
    m_translateFunc = value;
    UpdateDisplayCaption();
    UpdateDisplayDescription();
}

void TBaseService::UpdateDisplayCaption()
{
    m_displayCaption = m_caption;
    if (m_translateCaption && m_translateFunc)
        m_translateFunc(m_displayCaption);
}

void TBaseService::UpdateDisplayDescription()
{
    m_displayDescription = m_description;
    if (m_translateDescription && m_translateFunc)
        m_translateFunc(m_displayDescription);
}

void TBaseService::Assign(const TBaseService &source)
{
    if (&source == this)
        return;
    m_dllName = source.m_dllName;
    m_guid = source.m_guid;
    m_translateFunc = source.m_translateFunc;
    m_caption = source.m_caption;
    m_description = source.m_description;
    m_displayCaption = source.m_displayCaption;
    m_moduleCaption = source.m_moduleCaption;
    m_displayDescription = source.m_displayDescription;
    m_translateCaption = source.m_translateCaption;
    m_translateDescription = source.m_translateDescription;
    m_createBtn = source.m_createBtn;
    m_menuGroup = source.m_menuGroup;
    m_accessList->Assign(*source.m_accessList);
    m_reportList->Assign(*source.m_reportList);
    SetMode(source.GetMode());
    UpdateDisplayCaption();
    UpdateDisplayDescription();
}

TBaseServiceList::~TBaseServiceList() = default;
