#pragma once
// What a connection learns once from the server's catalogue: the routines of
// the scheme's packages (a package is a schema of functions: an Oracle
// procedure is a function with OUT parameters, an Oracle function one that
// returns its value, a function returning rows one that returns a cursor),
// which schemes offer which package (sys.server_objects, as ALL_OBJECTS
// lists them), the scheme's session tables (sys.session_tables) and the
// packages that change only those (sys.session_packages).
#include "Core/PlatformExport.h"
#include "DataAccess/OraSession.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

class TPgConnection;

struct TPgRoutine {
    QString schema; // PostgreSQL's names, lower case
    QString name;
    QList<TProcArgInfo> args; // RESULT first for a function, then the parameters in order
    bool function = false;    // returns a value (":RESULT := ...")
    bool returnsRows = false; // returns a cursor
    bool writes = false;      // may change the scheme (VOLATILE): runs inside the session's transaction

    bool IsFunction() const { return function; }
    // The parameters after RESULT.
    QList<TProcArgInfo> Parameters() const { return function ? args.mid(1) : args; }
};

class PLATFORM_EXPORT TPgCatalog {
public:
    explicit TPgCatalog(TPgConnection &connection) : m_connection(connection) {}

    // The routine a dotted name of the console names ("S.MENUPACK.INS_ACCESS",
    // "S.GET_CURRCONFIG", "MENUPACK.UPD_RIGHT"); PLS-00201 when the scheme
    // does not offer it.
    const TPgRoutine &Routine(const QString &dottedName);
    // "SCHEME.TABLE" of every session table of the server.
    const QSet<QString> &SessionTables();
    // Forgets everything learnt (after the server's definitions changed).
    void Forget();

private:
    void LoadObjects();
    TPgRoutine Describe(const QString &schema, const QString &name, const QString &shownName);

    TPgConnection &m_connection;
    bool m_objectsLoaded = false;
    QHash<QString, QSet<QString>> m_offers; // scheme -> its packages and procedures (upper case)
    QHash<QString, TPgRoutine> m_routines;  // by the dotted name, upper case
    std::optional<QSet<QString>> m_sessionTables;
};
