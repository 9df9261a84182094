#pragma once
// TDataSet: a client-side record set with the behaviour of the Delphi data
// sets the console was written against: fields, a current record and
// navigation, filters of the form "FIELD=value", Locate and Lookup,
// bookmarks, Edit/Insert/Delete/Post/Cancel with their before- and
// after-events, and notification of the data sources that show it.
//
// A before-event cancels its operation by throwing EAbort: the operation is
// left undone and the EAbort goes on to the caller, which ignores it at the
// boundary of the user action (a silent cancel).
//
// Derived classes fill the records (TOraDataSet runs a statement) and may send
// changes somewhere (an update statement); the base keeps them locally.
#include "Core/Exceptions.h"
#include "Core/PlatformExport.h"
#include "DataAccess/Field.h"
#include "DataAccess/ResultSet.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TDataSource;

// A misuse of a data set (an unknown field, a post outside edit state, ...).
ZANDRELL_EXCEPTION_CLASS(EDatabaseError, Exception)

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;

// A bookmark names one record for as long as the record exists; 0 names none.
using TBookmark = qint64;

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet *)>;
using TFilterRecordEvent = std::function<bool(TDataSet *)>;

class PLATFORM_EXPORT TDataSet : public QObject {
    Q_OBJECT
public:
    explicit TDataSet(QObject *owner = nullptr);
    ~TDataSet() override;

    // The component's name (QObject::objectName).
    QString Name() const { return objectName(); }
    void SetName(const QString &name) { setObjectName(name); }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    // --- opening and state
    void Open();
    void Close();
    bool Active() const { return m_state != TDataSetState::dsInactive; }
    void SetActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return m_state; }
    // Runs the statement again and keeps the current record where it can.
    void Refresh();
    bool IsEmpty() const { return RecordCount() == 0; }

    // --- fields
    int FieldCount() const { return int(m_fields.size()); }
    TField *Fields(int i) const;
    TField *FieldByName(const QString &name) const; // raises EDatabaseError when missing
    TField *FindField(const QString &name) const;   // null when missing
    QStringList FieldNames() const;
    // Declares a persistent field (before opening): only declared fields are
    // kept, in declaration order; a declared field missing from the result is an error.
    TField *AddField(const QString &name, TFieldType type, int size = 0, bool required = false);
    void ClearPersistentFields();
    bool HasPersistentFields() const { return m_persistentFields; }
    // Creates the fields and records directly (an in-memory table).
    void LoadFrom(const TResultSet &result);
    // The rows as they stand (all records, ignoring the filter), for saving elsewhere.
    TResultSet ToResultSet() const;

    // --- navigation over the visible (filtered) records
    int RecordCount() const { return int(m_view.size()); }
    // 1-based position of the current record; 0 when there is none.
    int RecNo() const { return m_cur < 0 ? 0 : m_cur + 1; }
    void SetRecNo(int recNo);
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    // The value of a field in a visible record (row from 0) without moving there.
    QVariant ValueAt(int row, int fieldIndex) const;

    // --- filter
    QString Filter() const { return m_filter; }
    void SetFilter(const QString &filter);
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool filtered);
    TFilterRecordEvent OnFilterRecord;

    // --- order: the records sorted by these fields ("ITEMID;SORT_ORDER"); empty keeps the source order
    QString IndexFieldNames() const { return m_indexFieldNames; }
    void SetIndexFieldNames(const QString &fields);

    // --- searching; key fields are separated by ";" and values given in the same order
    bool Locate(const QString &keyFields, const QVariant &keyValues, TLocateOptions options = 0);
    // The result fields ("A;B;C") of the first record with these keys, without
    // moving: one field gives its value, several give a QVariantList, no record gives null.
    QVariant Lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields);

    // --- bookmarks
    TBookmark GetBookmark() const;
    TBookmark Bookmark() const { return GetBookmark(); }
    void GotoBookmark(TBookmark bookmark); // raises EDatabaseError when the record is gone
    bool BookmarkValid(TBookmark bookmark) const;
    void FreeBookmark(TBookmark) {}
    int CompareBookmarks(TBookmark a, TBookmark b) const;

    // --- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // --- changes
    void Edit();
    void Insert();
    void Append();
    void Delete();
    void Post();
    void Cancel();
    // Re-reads the current record (TOraDataSet: through its refresh text).
    void RefreshRecord();
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool Modified() const { return m_modified; }
    bool CanModify() const { return Active() && !m_readOnly; }

    // Key fields ("ID;NAME") that find the current record again after a Refresh;
    // without them the record with the same values, else the same position.
    QString KeyFields;

    // --- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh, OnNewRecord;

    // --- data sources showing this data set (kept by TDataSource)
    const QList<TDataSource *> &DataSources() const { return m_sources; }
    // A detail's master data set, or null (TOraDataSet with a MasterSource).
    virtual TDataSet *MasterDataSet() const { return nullptr; }

    // The field value of the current record as stored (used by TField).
    QVariant CurrentValue(int fieldIndex) const;
    QVariant CurrentOldValue(int fieldIndex) const;
    void SetCurrentValue(int fieldIndex, const QVariant &value);

protected:
    struct TRecord {
        qint64 id = 0;
        QVector<QVariant> values;
    };

    // Fills the data set: derived classes produce the rows here.
    virtual TResultSet InternalOpen();
    virtual void InternalClose() {}
    // Sends a posted record (inserted or changed) somewhere; the base keeps it locally.
    virtual void InternalPost(const QVector<QVariant> &values, const QVector<QVariant> &oldValues, bool inserting);
    virtual void InternalDelete(const QVector<QVariant> &values);
    // The current record as the source has it now; no row: the record is gone.
    virtual std::optional<QVector<QVariant>> InternalRefreshRecord(const QVector<QVariant> &values);

    void ApplyResult(const TResultSet &result, bool keepFields);
    void CheckActive() const;
    void CheckBrowseMode();
    void NotifyDataSetChanged();
    void NotifyScrolled();
    void NotifyRecordChanged(TField *field);
    void NotifyStateChanged();
    void NotifyLayoutChanged();
    void NotifySources(const std::function<void(TDataSource *)> &send, bool remember = true);
    const TRecord *CurrentRecord() const;
    TRecord *CurrentRecordMutable();
    QVector<QVariant> CurrentValues() const;

private:
    friend class TDataSource;
    void AttachSource(TDataSource *source);
    void DetachSource(TDataSource *source);
    void SetState(TDataSetState state);
    void DoInsert(bool atEnd);
    void RebuildView(qint64 keepId);
    // Reads the filter into conditions on the current fields (none while not filtered); raises for a filter it cannot
    // read.
    void ParseFilter();
    bool RecordPassesFilter(int recordIndex);
    int FindRecord(const QStringList &keyFields, const QVariantList &values, TLocateOptions options);
    void MoveTo(int viewIndex, bool scrollEvents = true);
    void Fire(const TDataSetNotifyEvent &event);
    void ClearRecords();
    // Takes the rows as the open records: the cursor on the first, the links told, the after-events fired.
    void OpenWith(const TResultSet &result);
    QVariantList KeyValuesList(const QVariant &keyValues, int count) const;
    QList<int> FieldIndexes(const QStringList &names) const;

    struct FilterCondition;
    std::vector<std::unique_ptr<TField>> m_fields;
    bool m_persistentFields = false;
    QList<TRecord> m_records;
    QVector<int> m_view; // indexes into m_records of the visible records, in order
    int m_cur = -1;      // index into m_view
    bool m_eof = true;
    bool m_bof = true;
    qint64 m_nextId = 1;
    TDataSetState m_state = TDataSetState::dsInactive;
    QVector<QVariant> m_editOldValues;
    int m_insertedIndex = -1; // m_records index of the record being inserted
    bool m_modified = false;
    bool m_readOnly = false;
    QString m_filter;
    bool m_filtered = false;
    std::shared_ptr<std::vector<FilterCondition>> m_conditions;
    int m_disableCount = 0;
    bool m_changedWhileDisabled = false;
    QList<TDataSource *> m_sources;
    int m_tag = 0;
    int m_filterRecord = -1; // m_records index OnFilterRecord looks at
    QString m_indexFieldNames;
};
