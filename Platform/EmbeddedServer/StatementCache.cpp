#include "EmbeddedServer/StatementCache.h"

#include <sqlite3.h>

TStatementCache::~TStatementCache()
{
    for (auto &entry : m_entries)
        sqlite3_finalize(entry.second.st);
}

TCachedStatement *TStatementCache::Take(const QString &sql, bool unrestricted)
{
    if (m_recent && m_recent->first.unrestricted == unrestricted &&
        m_recent->first.sql.constData() == sql.constData() && m_recent->first.sql.size() == sql.size() &&
        !m_recent->second.inUse)
        return Use(*m_recent);
    Key key{sql, unrestricted};
    const auto found = m_entries.find(key);
    if (found != m_entries.end()) {
        if (!found->second.inUse)
            return Use(*found);
        // The text runs already, further up the stack: this run gets a statement of its own.
        return TemporaryStatement();
    }
    if (m_capacity <= 0)
        return TemporaryStatement();
    if (int(m_entries.size()) >= m_capacity)
        EvictLeastRecentlyUsed();
    return Use(*m_entries.emplace(std::move(key), TCachedStatement()).first);
}

TCachedStatement *TStatementCache::Use(Entries::value_type &entry)
{
    entry.second.inUse = true;
    m_recent = &entry;
    return &entry.second;
}

TCachedStatement *TStatementCache::TemporaryStatement()
{
    auto *own = new TCachedStatement;
    own->kept = false;
    own->inUse = true;
    return own;
}

void TStatementCache::Give(TCachedStatement *statement, bool succeeded)
{
    if (!statement)
        return;
    if (!succeeded || !statement->kept || !statement->st) {
        Drop(statement);
        return;
    }
    // A reset statement holds no read transaction and no lock.
    sqlite3_reset(statement->st);
    sqlite3_clear_bindings(statement->st);
    statement->inUse = false;
    statement->lastUse = ++m_clock;
}

void TStatementCache::Drop(TCachedStatement *statement)
{
    sqlite3_finalize(statement->st);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (&it->second == statement) {
            if (m_recent == &*it)
                m_recent = nullptr;
            m_entries.erase(it);
            return;
        }
    delete statement; // a statement of its own, never kept
}

void TStatementCache::Clear()
{
    m_recent = nullptr;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.inUse) {
            it->second.kept = false;
            ++it;
        } else {
            sqlite3_finalize(it->second.st);
            it = m_entries.erase(it);
        }
    }
}

void TStatementCache::EvictLeastRecentlyUsed()
{
    auto oldest = m_entries.end();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (!it->second.inUse && (oldest == m_entries.end() || it->second.lastUse < oldest->second.lastUse))
            oldest = it;
    if (oldest == m_entries.end())
        return; // every statement runs: the cache grows for a while
    sqlite3_finalize(oldest->second.st);
    if (m_recent == &*oldest)
        m_recent = nullptr;
    m_entries.erase(oldest);
}
