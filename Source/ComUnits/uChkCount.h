#pragma once
// Record counters of a form's data sets: one watcher per data set, and a
// status text with the record count of the active data set (and of its master
// for a detail) kept up to date whenever a count or a current record changes.
#include "Core/PlatformExport.h"
#include "DataAccess/DataSet.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAbstractItemView;
class QLabel;
class TChkStateList;
class TDataSource;

// The count texts made from a translation of rstr_fmtmsg_ReadDBRecords: a
// blank, then the translation with "%d" (one count) or "%d (%d)" (a detail's
// and its master's count) in its place. A translation that does not give
// exactly one "%d" is not used: the built-in text is.
PLATFORM_EXPORT QString CountFormat(const QString &translation, const QString &builtIn, bool detail);

// One watched data set: opening, closing, refreshing, scrolling, posting and
// deleting end in the list's update for it.
class PLATFORM_EXPORT TChkState {
public:
    using TUpdateEvent = std::function<void(TDataSet *)>;
    TChkState(TDataSet *dataSet, int state, TUpdateEvent pUpdEv, TChkStateList *list);
    ~TChkState();
    TChkState(const TChkState &) = delete;
    TChkState &operator=(const TChkState &) = delete;

    TDataSet *DataSet() const { return m_dataSet; }
    int State() const { return m_state; }
    TChkStateList *List() const { return m_list; }

private:
    class TWatch;
    QPointer<TDataSet> m_dataSet;
    int m_state;
    TUpdateEvent m_update;
    TChkStateList *m_list;
    std::unique_ptr<TDataSource> m_source;
    std::unique_ptr<TWatch> m_watch;
};

class PLATFORM_EXPORT TChkStateList {
public:
    using TGridFinder = std::function<QAbstractItemView *(TDataSet *)>;
    TChkStateList(TGridFinder gridFinder, QObject *owner);
    ~TChkStateList();
    TChkStateList(const TChkStateList &) = delete;
    TChkStateList &operator=(const TChkStateList &) = delete;

    // Watches a data set (once); the first one becomes the active one.
    TChkState *Add(TDataSet *dataSet, int state = 0);
    // Makes the data set's watcher the active one and updates; an unwatched data set changes nothing.
    void SetActive(TDataSet *dataSet);
    void UpdateState();

    TChkState *ActiveItem() const { return m_activeItem; }
    int Count() const { return int(m_items.size()); }
    TChkState *Find(const TDataSet *dataSet) const;
    QObject *Owner() const { return m_owner; }

    // Optional: the control that shows the text and hint.
    void SetStatusControl(QLabel *control);
    const QString &Text() const { return m_text; }
    const QString &Hint() const { return m_hint; }
    // Runs before each update of the text.
    std::function<void(TDataSet *, int)> OnUpdate;

private:
    void watchedChanged(TDataSet *dataSet);

    std::vector<std::unique_ptr<TChkState>> m_items;
    TChkState *m_activeItem = nullptr;
    TGridFinder m_gridFinder;
    QPointer<QObject> m_owner;
    QPointer<QLabel> m_statusControl;
    QString m_text;
    QString m_hint;
};
