#pragma once
// The prepared statements of one SQLite connection, kept by their text so
// that a statement run again is not compiled again. A statement is marked in
// use while it runs; a server function inside a query may run the same text
// meanwhile, and gets a statement of its own that is not kept. Statements are
// kept apart by the authorization they were prepared under, since the
// authorizer only runs when a statement is prepared. When the cache is full
// the least recently used statement goes.
#include "DataAccess/ResultSet.h"

#include <QHash>
#include <QString>

#include <unordered_map>

struct sqlite3_stmt;

// A prepared statement with the description of its columns, which is read
// once and again only after SQLite prepared the statement anew (a schema change).
struct TCachedStatement {
    sqlite3_stmt *st = nullptr;
    QList<TColumnInfo> columns;
    int describedAt = -1; // the statement's re-prepare count when the columns were read; -1: not read yet

private:
    friend class TStatementCache;
    bool kept = true; // false: finalized after its run
    bool inUse = false;
    quint64 lastUse = 0;
};

class TStatementCache {
public:
    static constexpr int kDefaultCapacity = 100;
    explicit TStatementCache(int capacity = kDefaultCapacity) : m_capacity(capacity) {}
    ~TStatementCache();
    TStatementCache(const TStatementCache &) = delete;
    TStatementCache &operator=(const TStatementCache &) = delete;

    // The statement to run the text with, in use until given back: a kept
    // one, or one whose st is null for the caller to prepare.
    TCachedStatement *Take(const QString &sql, bool unrestricted);
    // Ends a run: a statement that ran well is reset and kept; one that
    // failed, or that the cache no longer keeps, is finalized.
    void Give(TCachedStatement *statement, bool succeeded);
    // Finalizes every statement not in use; those in use are finalized when given back.
    void Clear();
    int Size() const { return int(m_entries.size()); }

private:
    struct Key {
        QString sql;
        bool unrestricted;
        bool operator==(const Key &other) const { return unrestricted == other.unrestricted && sql == other.sql; }
    };
    struct KeyHash {
        size_t operator()(const Key &key) const { return qHash(key.sql) ^ size_t(key.unrestricted); }
    };
    using Entries = std::unordered_map<Key, TCachedStatement, KeyHash>;
    TCachedStatement *Use(Entries::value_type &entry);
    static TCachedStatement *TemporaryStatement();
    void Drop(TCachedStatement *statement);
    void EvictLeastRecentlyUsed();

    // Node-based: a statement keeps its address while others come and go.
    Entries m_entries;
    // The entry taken last: a text run again is mostly the same string, found by its data without hashing it.
    Entries::value_type *m_recent = nullptr;
    int m_capacity;
    quint64 m_clock = 0;
};
