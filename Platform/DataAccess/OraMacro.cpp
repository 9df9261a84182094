#include "DataAccess/OraMacro.h"

#include "DataAccess/DataSet.h"
#include "DataAccess/SqlLexer.h"

namespace {

// Calls f(start, end, name) for every "&name" outside literals and comments.
template <typename F>
void ForEachMacro(const QString &text, F f)
{
    const QList<TSqlToken> toks = LexSql(text);
    for (int i = 0; i + 1 < toks.size(); ++i) {
        const TSqlToken &amp = toks[i];
        const TSqlToken &next = toks[i + 1];
        if (amp.isOp("&") && next.kind == TSqlTok::Ident && next.pos == amp.pos + 1)
            f(amp.pos, int(next.pos + next.text.size()), next.text);
    }
}

} // namespace

TMacros::TMacros(const TMacros &other) { *this = other; }

TMacros &TMacros::operator=(const TMacros &other)
{
    if (this == &other)
        return *this;
    m_items.clear();
    for (const auto &m : other.m_items)
        m_items.push_back(std::make_unique<TMacro>(*m));
    return *this;
}

TMacro *TMacros::FindMacro(const QString &name) const
{
    for (const auto &m : m_items)
        if (m->Name().compare(name, Qt::CaseInsensitive) == 0)
            return m.get();
    return nullptr;
}

TMacro &TMacros::MacroByName(const QString &name) const
{
    TMacro *m = FindMacro(name);
    if (!m)
        throw EDatabaseError(QStringLiteral("Macro '%1' not found").arg(name));
    return *m;
}

QStringList TMacros::NamesIn(const QString &sqlText)
{
    QStringList names;
    ForEachMacro(sqlText, [&](int, int, const QString &name) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    });
    return names;
}

void TMacros::ParseFrom(const QString &sqlText)
{
    std::vector<std::unique_ptr<TMacro>> items;
    for (const QString &name : NamesIn(sqlText)) {
        std::unique_ptr<TMacro> kept;
        for (auto &m : m_items)
            if (m && m->Name().compare(name, Qt::CaseInsensitive) == 0)
                kept = std::move(m);
        items.push_back(kept ? std::move(kept) : std::make_unique<TMacro>(name));
    }
    m_items = std::move(items);
}

QString TMacros::Expand(const QString &sqlText) const
{
    if (m_items.empty())
        return sqlText; // nothing to replace: no need to read the text
    QString out;
    int last = 0;
    ForEachMacro(sqlText, [&](int start, int end, const QString &name) {
        out += sqlText.mid(last, start - last);
        const TMacro *m = FindMacro(name);
        if (!m)
            out += sqlText.mid(start, end - start);
        else if (m->Active())
            out += m->Value();
        last = end;
    });
    out += sqlText.mid(last);
    return out;
}
