#pragma once
// The shared table of message texts and colours that the themed controls
// read (their dialogs' texts, the colours of entries 98 and 99), and the
// component that hands it to them: every control of a form that has a
// property "SourceReference" gets the form's TLumSourcesReference in it.
#include "Core/PlatformExport.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class PLATFORM_EXPORT TLumDefSources : public QObject {
    Q_OBJECT
public:
    explicit TLumDefSources(QObject *owner = nullptr);
    ~TLumDefSources() override;

    void SetSource(int index, const QString &text) { m_sources.insert(index, text); }
    // The text of an entry; empty when it is not set.
    QString Source(int index) const { return m_sources.value(index); }
    bool HasSource(int index) const { return m_sources.contains(index); }
    QList<int> Indexes() const { return m_sources.keys(); }

private:
    QMap<int, QString> m_sources;
};

class PLATFORM_EXPORT TLumSourcesReference : public QObject {
    Q_OBJECT
public:
    explicit TLumSourcesReference(QObject *owner = nullptr);
    ~TLumSourcesReference() override;

    TLumDefSources *Sources() const { return m_sources; }
    void SetSources(TLumDefSources *sources) { m_sources = sources; }

private:
    QPointer<TLumDefSources> m_sources;
};

// The one table of the application (owned by the application object), made on first use.
PLATFORM_EXPORT TLumDefSources *ApplicationDefSources();
// Fills the table: entries 98 and 99 the colour 0xFF0000, 101 to 145 the translated resource strings.
PLATFORM_EXPORT void FillDefSources(TLumDefSources *sources);
// The application table's text of a resource string that the table holds;
// a null string when the table has no entry for it or was never filled.
PLATFORM_EXPORT QString DefSourceText(const QString &id);
