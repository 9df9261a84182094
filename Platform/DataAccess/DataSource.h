#pragma once
// TDataSource: connects a data set to what shows it (a grid's model, a detail
// data set). It passes on the data set's changes to its links while it is
// enabled and the data set's controls are not disabled.
#include "Core/PlatformExport.h"

#include <QList>
#include <QObject>

#include <functional>

class TDataSet;
class TField;
class TDataSource;

// Something that follows a data source: a grid model, a detail data set.
class PLATFORM_EXPORT TDataLink {
public:
    virtual ~TDataLink();
    // Opened, closed, refreshed, filtered, records added or removed.
    virtual void DataSetChanged() {}
    // The current record moved to another record.
    virtual void DataSetScrolled() {}
    // Values of the current record changed (field null: the whole record).
    virtual void RecordChanged(TField *) {}
    virtual void StateChanged() {}
    // The fields changed (new statement, persistent fields).
    virtual void LayoutChanged() {}
};

class PLATFORM_EXPORT TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject *owner = nullptr, TDataSet *dataSet = nullptr);
    ~TDataSource() override;

    QString Name() const { return objectName(); }
    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    void AddLink(TDataLink *link);
    void RemoveLink(TDataLink *link);

    // Events in the Delphi manner: data changed (field null: whole record or
    // current record moved), state changed.
    std::function<void(TDataSource *, TField *)> OnDataChange;
    std::function<void(TDataSource *)> OnStateChange;

private:
    friend class TDataSet;
    void DataSetGone();
    void SendDataSetChanged();
    void SendScrolled();
    void SendRecordChanged(TField *field);
    void SendStateChanged();
    void SendLayoutChanged();

    TDataSet *m_dataSet = nullptr;
    bool m_enabled = true;
    QList<TDataLink *> m_links;
};

// The Oracle-flavoured name the forms use for the same thing.
class PLATFORM_EXPORT TOraDataSource : public TDataSource {
    Q_OBJECT
public:
    using TDataSource::TDataSource;
};
