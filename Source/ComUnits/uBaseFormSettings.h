#pragma once
// Per-grid settings records of a data form.
//
// TDBGridOfQuery: one per grid whose data set is a prepared query (no PL/SQL
// block). It puts on the grid's corner a small button "<grid>_SQLFilterButton"
// with the filter's glyph beside the letter "F", shown while a filter is in
// force on the query, whose hint is that filter as the user wrote it (the
// caption the filter dialog gave it), or the filter text when it has none.
#include "Core/PlatformExport.h"
#include "DataAccess/OraDataSet.h"

#include <QAbstractItemView>
#include <QPointer>
#include <QStringList>
#include <QToolButton>

#include <memory>

class TDataSet;
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

// The caption of a data set's filter as the user wrote it ("Сумма >= 100000"),
// kept with the filter text it describes: a filter set otherwise has none.
PLATFORM_EXPORT void SetFilterCaption(TDataSet *dataSet, const QString &filter, const QString &caption);
// The caption of the filter in force, or empty.
PLATFORM_EXPORT QString FilterCaptionOf(const TDataSet *dataSet);

// A sorted list of file names (for sending by e-mail).
class PLATFORM_EXPORT TFilesForEMail {
public:
    void Add(const QString &fileName);
    const QStringList &Files() const { return m_files; }

private:
    QStringList m_files;
};
