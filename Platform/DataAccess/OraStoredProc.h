#pragma once
// TOraStoredProc: runs one stored procedure or function, or an anonymous
// block given in SQL. StoredProcName ("SCHEME.PACKAGE.NAME" or "SCHEME.NAME")
// with PrepareSQL builds the call from the server's description of the
// procedure: its parameters by name, and ":RESULT" for a function's result.
// A function that returns a cursor can be opened as a data set: its rows are
// the cursor's rows.
#include "DataAccess/OraDataSet.h"

class PLATFORM_EXPORT TOraStoredProc : public TOraDataSet {
    Q_OBJECT
public:
    using TOraDataSet::TOraDataSet;
    ~TOraStoredProc() override;

    QString StoredProcName() const { return m_procName; }
    // A new name drops the generated call; PrepareSQL builds it again.
    void SetStoredProcName(const QString &name);
    // Asks the server for the procedure's arguments and builds the call
    // "begin [:RESULT := ]NAME(:A, :B); end;". Parameters already set keep their values.
    void PrepareSQL();
    // Runs the procedure (or the block in SQL); out parameters get their values.
    void ExecProc();

protected:
    // The parameters of a named procedure exist once the session can describe it.
    void EnsureStatement() override;
    QString OpenStatement() override;
    TResultSet RowsOf(TExecResult &result) override;

private:
    QString m_procName;
    bool m_generated = false;
    bool m_preparing = false;
};
