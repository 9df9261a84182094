#pragma once
// Per-grid settings records of a data form.
//
// TDBGridOfQuery: one per grid whose data set is a prepared query (no PL/SQL
// block). It puts on the grid's corner a small button "<grid>_SQLFilterButton"
// with the letter "F", shown while a filter is in force on the query, whose
// hint is that filter.
#include "Core/PlatformExport.h"
#include "DataAccess/OraDataSet.h"

#include <QAbstractItemView>
#include <QPointer>
#include <QStringList>
#include <QToolButton>

#include <memory>

class TDataSource;

class PLATFORM_EXPORT TDBGridOfQuery {
public:
    TDBGridOfQuery(QObject *AOwner, QAbstractItemView *Grid, TOraDataSet *query);
    ~TDBGridOfQuery();
    TDBGridOfQuery(const TDBGridOfQuery &) = delete;
    TDBGridOfQuery &operator=(const TDBGridOfQuery &) = delete;

    QObject *Owner() const { return m_owner; }
    QAbstractItemView *Grid() const { return m_grid; }
    TOraDataSet *Query() const { return m_query; }
    QToolButton *FilterButton() const { return m_button; }
    // The filter in force on the query; empty when none.
    QString FilterInForce() const;
    // Shows the button and its hint as the query's filter stands.
    void UpdateFilterButton();

private:
    class TWatch;
    void placeButton();

    QPointer<QObject> m_owner;
    QPointer<QAbstractItemView> m_grid;
    QPointer<TOraDataSet> m_query;
    QPointer<QToolButton> m_button;
    std::unique_ptr<TDataSource> m_source;
    std::unique_ptr<TWatch> m_watch;
};

// A sorted list of file names (for sending by e-mail).
class PLATFORM_EXPORT TFilesForEMail {
public:
    void Add(const QString &fileName);
    const QStringList &Files() const { return m_files; }

private:
    QStringList m_files;
};
