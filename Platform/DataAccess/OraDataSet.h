#pragma once
// TOraDataSet: a data set filled by a SQL statement on a session. The text is
// kept as lines (SQL); "&name" macros are replaced before the statement is
// prepared and ":NAME" parameters are bound by name.
//
// - SQLInsert, SQLUpdate, SQLDelete: statements run when a record is posted or
//   deleted, with the record's field values bound to the same-named parameters
//   (":OLD_NAME" binds the value before the edit). Without such a text the
//   change stays in the data set (local update).
// - SQLRefresh: how RefreshRecord re-reads the current record. A text that
//   starts with WHERE replaces the WHERE/ORDER BY part of the statement; a
//   whole SELECT is run as it stands.
// - MasterSource: a detail data set re-opens, whenever the master's current
//   record changes, with the master's field values bound to its parameters of
//   the same names.
#include "Core/PlatformExport.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/OraMacro.h"
#include "DataAccess/OraParam.h"
#include "DataAccess/OraSession.h"

#include <QPair>
#include <QStringList>

struct TOraDataSetOptions {
    // Changes are never sent to the database, whatever the update texts say.
    bool LocalUpdate = false;
    // Kept for the forms that set it; all rows are always fetched.
    bool FetchAll = true;
};

class PLATFORM_EXPORT TOraDataSet : public TDataSet {
    Q_OBJECT
public:
    explicit TOraDataSet(QObject *owner = nullptr);
    ~TOraDataSet() override;

    TOraSession *Session() const { return m_session; }
    void SetSession(TOraSession *session);
    TOraSession *Connection() const { return Session(); }
    void SetConnection(TOraSession *session) { SetSession(session); }

    // --- statement text
    QStringList &SQL() { return m_sql; }
    const QStringList &SQL() const { return m_sql; }
    void SetSQL(const QStringList &lines);
    void SetSQLText(const QString &text);
    QString SQLText() const { return m_sql.join(QLatin1Char('\n')); }
    QStringList SQLInsert, SQLUpdate, SQLDelete, SQLRefresh;
    // The text as it is sent: macros replaced.
    QString FinalSQL() const;

    // --- macros and parameters (kept in step with the text)
    TMacros &Macros();
    int MacroCount() { return Macros().Count(); }
    TMacro &MacroByName(const QString &name);
    TMacro *FindMacro(const QString &name);
    TOraParams &Params();
    TOraParam &ParamByName(const QString &name);
    TOraParam *FindParam(const QString &name);
    int ParamCount() { return Params().Count(); }

    // --- running
    void Prepare();
    void UnPrepare();
    bool Prepared() const { return m_prepared; }
    // Runs the statement without opening (DML, a PL/SQL block); out parameters get their values.
    void ExecSQL();
    void Execute() { ExecSQL(); }
    int RowsAffected() const { return m_rowsAffected; }
    // The text is an anonymous PL/SQL block.
    bool IsPLSQL() const;
    bool IsQuery() const;

    // --- master-detail
    TDataSource *MasterSource() const { return m_masterSource; }
    void SetMasterSource(TDataSource *source);
    // Optional explicit pairing "A;B" (master fields) to "A;B" (detail parameters);
    // by default every detail parameter takes the master field of its name.
    QString MasterFields, DetailFields;
    TDataSet *MasterDataSet() const override;

    TOraDataSetOptions &Options() { return m_options; }

protected:
    TResultSet InternalOpen() override;
    void InternalPost(const QVector<QVariant> &values, const QVector<QVariant> &oldValues, bool inserting) override;
    void InternalDelete(const QVector<QVariant> &values) override;
    std::optional<QVector<QVariant>> InternalRefreshRecord(const QVector<QVariant> &values) override;

    // Builds the statement when it is made from something else (a stored procedure's name).
    virtual void EnsureStatement() {}
    // The statement and parameters used to open (a stored procedure builds its call).
    virtual QString OpenStatement();
    // Picks the rows out of a run (a stored procedure takes its cursor parameter).
    virtual TResultSet RowsOf(TExecResult &result);
    TExecResult Run(const QString &sql, TOraParams &params);
    void SyncMacrosAndParams();
    void BindMasterValues();
    // Binds the record's values to a statement's parameters by field name (":OLD_X" to old values).
    void BindRecord(TOraParams &params, const QVector<QVariant> &values, const QVector<QVariant> &oldValues) const;
    void RunUpdateText(const QStringList &text, const QVector<QVariant> &values, const QVector<QVariant> &oldValues);

private:
    class MasterLink;
    friend class MasterLink;
    friend class TOraSession;
    void MasterChanged();
    QList<QPair<int, QVariant>> MasterValues();

    TOraSession *m_session = nullptr;
    QStringList m_sql;
    QString m_syncedText;
    TMacros m_macros;
    QString m_syncedFinal;
    TOraParams m_params;
    bool m_prepared = false;
    int m_rowsAffected = 0;
    TDataSource *m_masterSource = nullptr;
    std::unique_ptr<MasterLink> m_masterLink;
    QList<QPair<int, QVariant>> m_lastMasterValues;
    TOraDataSetOptions m_options;
};
