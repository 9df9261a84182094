#include "DataAccess/OraDataSet.h"

#include "DataAccess/OraSession.h"
#include "DataAccess/SqlLexer.h"

class TOraDataSet::MasterLink : public TDataLink {
public:
    explicit MasterLink(TOraDataSet *detail) : m_detail(detail) {}
    void DataSetChanged() override { m_detail->MasterChanged(); }
    void DataSetScrolled() override { m_detail->MasterChanged(); }
    void RecordChanged(TField *field) override
    {
        if (!field)
            m_detail->MasterChanged();
    }

private:
    TOraDataSet *m_detail;
};

namespace {

QStringList splitNames(const QString &names)
{
    QStringList out;
    for (const QString &n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            out.append(n.trimmed());
    return out;
}

// The statement up to its first WHERE, GROUP BY, ORDER BY or similar clause at the outer level.
QString CutBeforeWhere(const QString &sql)
{
    int depth = 0;
    for (const TSqlToken &t : LexSql(sql)) {
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        else if (depth == 0 && (t.isWord("WHERE") || t.isWord("ORDER") || t.isWord("GROUP") || t.isWord("HAVING") ||
                                t.isWord("CONNECT") || t.isWord("UNION")))
            return sql.left(t.pos);
    }
    return sql;
}

} // namespace

TOraDataSet::TOraDataSet(QObject *owner) : TDataSet(owner) {}

TOraDataSet::~TOraDataSet()
{
    if (m_masterSource && m_masterLink)
        m_masterSource->RemoveLink(m_masterLink.get());
    if (m_session)
        m_session->DetachDataSet(this);
}

void TOraDataSet::SetSession(TOraSession *session)
{
    if (m_session == session)
        return;
    if (m_session)
        m_session->DetachDataSet(this);
    m_session = session;
    if (m_session) {
        m_session->AttachDataSet(this);
        connect(m_session, &QObject::destroyed, this, [this](QObject *gone) {
            if (m_session == gone)
                m_session = nullptr;
        });
    }
}

void TOraDataSet::SetSQL(const QStringList &lines)
{
    if (Active())
        Close();
    m_sql = lines;
    m_prepared = false;
    SyncMacrosAndParams();
}

void TOraDataSet::SetSQLText(const QString &text) { SetSQL(text.split(QLatin1Char('\n'))); }

void TOraDataSet::SyncMacrosAndParams()
{
    const QString text = SQLText();
    if (text != m_syncedText) {
        m_macros.ParseFrom(text);
        m_syncedText = text;
        m_prepared = false;
    }
    const QString final = m_macros.Expand(text);
    if (final != m_syncedFinal) {
        m_params.Rebuild(SqlParamNames(final));
        m_syncedFinal = final;
        m_prepared = false;
    }
}

QString TOraDataSet::FinalSQL() const
{
    const_cast<TOraDataSet *>(this)->SyncMacrosAndParams();
    return m_syncedFinal;
}

TMacros &TOraDataSet::Macros()
{
    SyncMacrosAndParams();
    return m_macros;
}

TMacro &TOraDataSet::MacroByName(const QString &name)
{
    SyncMacrosAndParams();
    TMacro *m = m_macros.FindMacro(name);
    if (!m)
        throw EDatabaseError(QStringLiteral("%1: Macro '%2' not found").arg(Name(), name));
    return *m;
}

TMacro *TOraDataSet::FindMacro(const QString &name)
{
    SyncMacrosAndParams();
    return m_macros.FindMacro(name);
}

TOraParams &TOraDataSet::Params()
{
    EnsureStatement();
    SyncMacrosAndParams();
    return m_params;
}

TOraParam &TOraDataSet::ParamByName(const QString &name)
{
    EnsureStatement();
    SyncMacrosAndParams();
    TOraParam *p = m_params.FindParam(name);
    if (!p)
        throw EDAError(0, QStringLiteral("%1: Parameter '%2' not found").arg(Name(), name));
    return *p;
}

TOraParam *TOraDataSet::FindParam(const QString &name)
{
    EnsureStatement();
    SyncMacrosAndParams();
    return m_params.FindParam(name);
}

bool TOraDataSet::IsPLSQL() const { return IsPlsqlBlock(FinalSQL()); }

bool TOraDataSet::IsQuery() const
{
    const QList<TSqlToken> toks = SignificantTokens(FinalSQL());
    return !toks.isEmpty() && (toks.first().isWord("SELECT") || toks.first().isWord("WITH") || toks.first().isOp("("));
}

TExecResult TOraDataSet::Run(const QString &sql, TOraParams &params)
{
    TOraSession *session = m_session ? m_session : TOraSession::DefaultSession();
    if (!session)
        throw EDatabaseError(QStringLiteral("%1: Session is not assigned").arg(Name()));
    session->EnsureConnected();
    return session->Execute(sql, params);
}

void TOraDataSet::Prepare()
{
    SyncMacrosAndParams();
    if (m_prepared)
        return;
    TOraSession *session = m_session ? m_session : TOraSession::DefaultSession();
    if (!session)
        throw EDatabaseError(QStringLiteral("%1: Session is not assigned").arg(Name()));
    session->EnsureConnected();
    const QString sql = OpenStatement();
    if (!IsPlsqlBlock(sql))
        session->PrepareStatement(sql);
    m_prepared = true;
}

void TOraDataSet::UnPrepare() { m_prepared = false; }

void TOraDataSet::ExecSQL()
{
    SyncMacrosAndParams();
    BindMasterValues();
    const TExecResult result = Run(OpenStatement(), m_params);
    m_rowsAffected = result.rowsAffected;
}

QString TOraDataSet::OpenStatement() { return FinalSQL(); }

TResultSet TOraDataSet::RowsOf(TExecResult &result)
{
    if (!result.hasRows)
        throw EDatabaseError(QStringLiteral("%1: The statement returns no rows").arg(Name()));
    return std::move(result.rows);
}

TResultSet TOraDataSet::InternalOpen()
{
    SyncMacrosAndParams();
    BindMasterValues();
    TExecResult result = Run(OpenStatement(), m_params);
    m_prepared = true;
    return RowsOf(result);
}

// ---------------------------------------------------------------- master-detail

void TOraDataSet::SetMasterSource(TDataSource *source)
{
    if (m_masterSource == source)
        return;
    if (m_masterSource && m_masterLink)
        m_masterSource->RemoveLink(m_masterLink.get());
    m_masterSource = source;
    m_lastMasterValues.clear();
    if (m_masterSource) {
        if (!m_masterLink)
            m_masterLink = std::make_unique<MasterLink>(this);
        m_masterSource->AddLink(m_masterLink.get());
        connect(m_masterSource, &QObject::destroyed, this, [this](QObject *gone) {
            if (m_masterSource == gone)
                m_masterSource = nullptr;
        });
    }
}

TDataSet *TOraDataSet::MasterDataSet() const { return m_masterSource ? m_masterSource->DataSet() : nullptr; }

QList<QPair<int, QVariant>> TOraDataSet::MasterValues()
{
    QList<QPair<int, QVariant>> out;
    TDataSet *master = MasterDataSet();
    if (!master)
        return out;
    const QStringList masterNames = splitNames(MasterFields);
    const QStringList detailNames = splitNames(DetailFields);
    const QStringList &pairing = detailNames.isEmpty() ? masterNames : detailNames;
    for (int i = 0; i < m_params.Count(); ++i) {
        const TOraParam &p = m_params[i];
        QString masterName = p.Name();
        if (!masterNames.isEmpty()) {
            int pos = -1;
            for (int k = 0; k < pairing.size(); ++k)
                if (pairing[k].compare(p.Name(), Qt::CaseInsensitive) == 0)
                    pos = k;
            if (pos < 0 || pos >= masterNames.size())
                continue;
            masterName = masterNames[pos];
        }
        TField *f = master->FindField(masterName);
        if (!f)
            continue;
        out.append({i, master->Active() && !master->IsEmpty() ? f->Value() : QVariant()});
    }
    return out;
}

void TOraDataSet::BindMasterValues()
{
    if (!MasterDataSet())
        return;
    const QList<QPair<int, QVariant>> values = MasterValues();
    for (const auto &v : values)
        m_params[v.first].SetAsVariant(v.second);
    m_lastMasterValues = values;
}

void TOraDataSet::MasterChanged()
{
    if (!Active() || State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert || !MasterDataSet())
        return;
    // Re-open only when the values the detail depends on changed.
    SyncMacrosAndParams();
    if (MasterValues() == m_lastMasterValues)
        return;
    Close();
    Open();
}

// ---------------------------------------------------------------- updates

void TOraDataSet::BindRecord(TOraParams &params, const QVector<QVariant> &values,
                             const QVector<QVariant> &oldValues) const
{
    for (int i = 0; i < params.Count(); ++i) {
        TOraParam &p = params[i];
        QString name = p.Name();
        bool old = false;
        if (name.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive) && !FindField(name)) {
            name = name.mid(4);
            old = true;
        }
        if (TField *f = FindField(name)) {
            const QVector<QVariant> &src = (old && !oldValues.isEmpty()) ? oldValues : values;
            p.SetAsVariant(src.value(f->Index()));
            continue;
        }
        if (const TOraParam *own = m_params.FindParam(p.Name()))
            p.SetAsVariant(own->AsVariant());
    }
}

void TOraDataSet::RunUpdateText(const QStringList &text, const QVector<QVariant> &values,
                                const QVector<QVariant> &oldValues)
{
    const QString sql = m_macros.Expand(text.join(QLatin1Char('\n')));
    TOraParams params;
    params.Rebuild(SqlParamNames(sql));
    BindRecord(params, values, oldValues);
    Run(sql, params);
    // Out values (a new id) go back into the fields of the same name.
    TRecord *r = CurrentRecordMutable();
    if (!r)
        return;
    for (int i = 0; i < params.Count(); ++i)
        if (TField *f = FindField(params[i].Name()))
            if (params[i].AsVariant() != r->values.value(f->Index()) && !params[i].IsNull())
                r->values[f->Index()] = f->Coerce(params[i].AsVariant());
}

void TOraDataSet::InternalPost(const QVector<QVariant> &values, const QVector<QVariant> &oldValues, bool inserting)
{
    if (m_options.LocalUpdate)
        return;
    const QStringList &text = inserting ? SQLInsert : SQLUpdate;
    if (text.join(QString()).trimmed().isEmpty())
        return;
    RunUpdateText(text, values, oldValues);
}

void TOraDataSet::InternalDelete(const QVector<QVariant> &values)
{
    if (m_options.LocalUpdate || SQLDelete.join(QString()).trimmed().isEmpty())
        return;
    RunUpdateText(SQLDelete, values, values);
}

std::optional<QVector<QVariant>> TOraDataSet::InternalRefreshRecord(const QVector<QVariant> &values)
{
    SyncMacrosAndParams();
    const QString refresh = m_macros.Expand(SQLRefresh.join(QLatin1Char('\n'))).trimmed();
    QString sql;
    if (refresh.isEmpty()) {
        if (KeyFields.trimmed().isEmpty())
            return values; // nothing says which row this record is
        sql = OpenStatement();
    } else {
        const QList<TSqlToken> toks = SignificantTokens(refresh);
        sql = (!toks.isEmpty() && toks.first().isWord("WHERE"))
                  ? CutBeforeWhere(FinalSQL()) + QLatin1Char('\n') + refresh
                  : refresh;
    }
    TOraParams params;
    params.Rebuild(SqlParamNames(sql));
    BindRecord(params, values, values);
    TExecResult result = Run(sql, params);
    if (!result.hasRows)
        throw EDatabaseError(QStringLiteral("%1: The refresh statement returns no rows").arg(Name()));
    const TResultSet &rows = result.rows;
    int match = rows.rows.isEmpty() ? -1 : 0;
    if (refresh.isEmpty()) {
        // The whole statement ran again: pick the row with the same key values.
        match = -1;
        const QStringList keys = splitNames(KeyFields);
        for (int r = 0; r < rows.rows.size() && match < 0; ++r) {
            bool same = true;
            for (const QString &k : keys) {
                TField *f = FindField(k);
                const int c = rows.ColumnIndex(k);
                if (!f || c < 0 || f->Coerce(rows.rows[r][c]) != f->Coerce(values.value(f->Index())))
                    same = false;
            }
            if (same)
                match = r;
        }
    }
    if (match < 0)
        return std::nullopt;
    QVector<QVariant> fresh = values;
    for (int i = 0; i < FieldCount(); ++i) {
        const int c = rows.ColumnIndex(Fields(i)->FieldName());
        if (c >= 0)
            fresh[i] = Fields(i)->Coerce(rows.rows[match][c]);
    }
    return fresh;
}
