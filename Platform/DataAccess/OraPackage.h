#pragma once
// TOraPackage: calls the procedures and functions of one server package
// ("SCHEME.PACKAGE"). ExecProc passes the values in the order given; the
// procedure's parameters (named as the server declares them) stay readable
// afterwards, so out parameters such as PID are read with ParamByName.
#include "Core/PlatformExport.h"
#include "DataAccess/OraParam.h"

#include <QObject>
#include <QVariant>

class TOraSession;

class PLATFORM_EXPORT TOraPackage : public QObject {
    Q_OBJECT
public:
    explicit TOraPackage(QObject *owner = nullptr);
    ~TOraPackage() override;

    QString Name() const { return objectName(); }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    TOraSession *Session() const { return m_session; }
    void SetSession(TOraSession *session) { m_session = session; }
    QString PackageName() const { return m_packageName; }
    void SetPackageName(const QString &name) { m_packageName = name; }

    // Calls PACKAGE.name with the values in order (missing trailing values are
    // null); returns the function's result, or null for a procedure.
    QVariant ExecProc(const QString &name, const QVariantList &values = {});
    // The parameters of the last call.
    TOraParams &Params() { return m_params; }
    TOraParam &ParamByName(const QString &name) { return m_params.ParamByName(name); }

private:
    TOraSession *m_session = nullptr;
    QString m_packageName;
    TOraParams m_params;
    int m_tag = 0;
};
