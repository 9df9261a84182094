#include "Console/uMenuRows.h"

#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"

#include <QStringList>

#include <algorithm>

namespace {

int fieldIndex(const TDataSet *dataSet, const QString &name)
{
    const TField *field = dataSet->FindField(name);
    return field ? field->Index() : -1;
}

// A number field of a row; nothing when the field is missing, null or not a number.
std::optional<qint64> integerAt(const TDataSet *dataSet, int row, int field)
{
    const QVariant value = dataSet->ValueAt(row, field);
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? std::optional<qint64>(qint64(number)) : std::nullopt;
}

QString textAt(const TDataSet *dataSet, int row, int field) { return dataSet->ValueAt(row, field).toString(); }

// Works out the tree: one level per expanded group, in the order of a walk
// that reads a whole level and then goes down into its groups one by one.
class TShaper {
public:
    explicit TShaper(const std::vector<TMenuRow> &rows) : m_rows(rows), m_placed(rows.size(), false)
    {
        for (int row = 0; row < int(rows.size()); ++row)
            if (rows[size_t(row)].Owner)
                m_children[*rows[size_t(row)].Owner].push_back(row);
    }

    TMenuShape Run()
    {
        m_expanded.insert(0, -1);
        VisitLevel(-1, 0);
        while (!m_pending.empty()) {
            const int group = m_pending.back();
            m_pending.pop_back();
            VisitLevel(group, *m_rows[size_t(group)].Id);
        }
        NameUnreachedRows();
        std::sort(m_shape.LeftOut.begin(), m_shape.LeftOut.end(),
                  [](const TLeftOutRow &a, const TLeftOutRow &b) { return a.Row < b.Row; });
        return std::move(m_shape);
    }

private:
    // The rows are checked in reading order, so that of two groups with one
    // number the first one stays; then they are put in visiting order.
    void VisitLevel(int groupRow, qint64 number)
    {
        TMenuLevel level{groupRow, m_children.value(number)};
        std::vector<int> groups;
        std::erase_if(level.Rows, [&](int row) {
            m_placed[size_t(row)] = true;
            const TMenuRow &r = m_rows[size_t(row)];
            if (!r.IsGroup)
                return false;
            const QString problem = GroupNumberProblem(r, groupRow);
            if (!problem.isEmpty()) {
                m_shape.LeftOut.push_back({row, problem});
                return true;
            }
            m_expanded.insert(*r.Id, row);
            groups.push_back(row);
            return false;
        });
        // The first group visited is taken next.
        if (groupRow < 0) {
            std::reverse(level.Rows.begin(), level.Rows.end());
            m_pending.insert(m_pending.end(), groups.begin(), groups.end());
        } else {
            m_pending.insert(m_pending.end(), groups.rbegin(), groups.rend());
        }
        m_shape.Levels.push_back(std::move(level));
    }

    // Why a group row inside the group of groupRow cannot be expanded; empty when it can.
    QString GroupNumberProblem(const TMenuRow &group, int groupRow) const
    {
        if (!group.Id)
            return QStringLiteral("The menu group has no ID_CFG");
        const qint64 number = *group.Id;
        if (number == 0)
            return QStringLiteral(
                "The menu group's ID_CFG is 0, the number of the top level: the group would contain itself");
        if (!m_expanded.contains(number))
            return QString();
        for (int row = groupRow; row >= 0; row = m_expanded.value(*m_rows[size_t(row)].Owner, -1))
            if (*m_rows[size_t(row)].Id == number)
                return QStringLiteral("The menu group's ID_CFG %1 is the number of a group it lies in: the group would "
                                      "contain itself")
                    .arg(number);
        return QStringLiteral("The menu group's ID_CFG %1 is used by another menu group").arg(number);
    }

    // Rows the walk did not reach hang below an owner that is no group or
    // below a cycle of groups: the first row of such a chain and each row of
    // a cycle are named, the rows below them go with them.
    void NameUnreachedRows()
    {
        QHash<qint64, int>
            unreachedGroups; // by number; from the last row back, so that the first row of a number stays
        for (int row = int(m_rows.size()) - 1; row >= 0; --row)
            if (!m_placed[size_t(row)] && m_rows[size_t(row)].IsGroup && m_rows[size_t(row)].Id)
                unreachedGroups.insert(*m_rows[size_t(row)].Id, row);
        auto parentOf = [&](int row) {
            const std::optional<qint64> &owner = m_rows[size_t(row)].Owner;
            return owner ? unreachedGroups.value(*owner, -1) : -1;
        };
        enum { kUnseen, kOnPath, kDone };
        std::vector<char> state(m_rows.size(), kUnseen);
        for (int start = 0; start < int(m_rows.size()); ++start) {
            if (m_placed[size_t(start)] || state[size_t(start)] != kUnseen)
                continue;
            std::vector<int> path;
            int row = start;
            while (row >= 0 && state[size_t(row)] == kUnseen) {
                state[size_t(row)] = kOnPath;
                path.push_back(row);
                row = parentOf(row);
            }
            if (row < 0)
                m_shape.LeftOut.push_back({path.back(), OwnerProblem(m_rows[size_t(path.back())])});
            else if (state[size_t(row)] == kOnPath)
                NameCycle(std::vector<int>(std::find(path.begin(), path.end(), row), path.end()));
            for (int onPath : path)
                state[size_t(onPath)] = kDone;
        }
    }

    void NameCycle(const std::vector<int> &cycle)
    {
        QStringList numbers;
        for (int row : cycle)
            numbers << QString::number(*m_rows[size_t(row)].Id);
        const QString reason = QStringLiteral("The menu groups with ID_CFG %1 lie inside one another: a cycle")
                                   .arg(numbers.join(QStringLiteral(", ")));
        for (int row : cycle)
            m_shape.LeftOut.push_back({row, reason});
    }

    static QString OwnerProblem(const TMenuRow &row)
    {
        if (!row.Owner)
            return QStringLiteral("The menu row has no OWNER");
        return QStringLiteral("The menu row's OWNER %1 is no menu group").arg(*row.Owner);
    }

    const std::vector<TMenuRow> &m_rows;
    std::vector<bool> m_placed;
    QHash<qint64, std::vector<int>> m_children; // rows by OWNER, in reading order
    QHash<qint64, int> m_expanded;              // expanded group numbers and their rows (-1: the top level)
    std::vector<int> m_pending;                 // groups whose levels come, the next one last
    TMenuShape m_shape;
};

} // namespace

std::vector<TMenuRow> ReadMenuRows(TDataSet *menu)
{
    // The whole configuration is read, whatever filter was left on.
    if (menu->Filtered())
        menu->SetFiltered(false);
    const int id = fieldIndex(menu, QStringLiteral("ID_CFG"));
    const int owner = fieldIndex(menu, QStringLiteral("OWNER"));
    const int isGroup = fieldIndex(menu, QStringLiteral("IsGroup"));
    const int name = fieldIndex(menu, QStringLiteral("MENUNAME"));
    const int mode = fieldIndex(menu, QStringLiteral("ItemMode"));
    const int itemId = fieldIndex(menu, QStringLiteral("ItemID"));
    const int sortOrder = fieldIndex(menu, QStringLiteral("SORT_ORDER"));
    std::vector<TMenuRow> rows;
    rows.reserve(size_t(menu->RecordCount()));
    for (int row = 0; row < menu->RecordCount(); ++row)
        rows.push_back({integerAt(menu, row, id), integerAt(menu, row, owner),
                        integerAt(menu, row, isGroup).value_or(0) != 0, textAt(menu, row, name),
                        textAt(menu, row, mode), integerAt(menu, row, itemId),
                        sortOrder >= 0 ? integerAt(menu, row, sortOrder).value_or(0) : 0});
    return rows;
}

QHash<qint64, TCatalogueRow> ReadCatalogue(TDataSet *catalogue)
{
    const int itemId = fieldIndex(catalogue, QStringLiteral("ITEMID"));
    const int dllName = fieldIndex(catalogue, QStringLiteral("DLLName"));
    const int guid = fieldIndex(catalogue, QStringLiteral("GUID"));
    const int sourceName = fieldIndex(catalogue, QStringLiteral("SOURCE_SRVNAME"));
    const int name = sourceName >= 0 ? sourceName : fieldIndex(catalogue, QStringLiteral("SRVNAME"));
    const int createBtn = fieldIndex(catalogue, QStringLiteral("CreateBtn"));
    const int isLang = fieldIndex(catalogue, QStringLiteral("ISLANG"));
    QHash<qint64, TCatalogueRow> rows;
    rows.reserve(catalogue->RecordCount());
    for (int row = 0; row < catalogue->RecordCount(); ++row) {
        const std::optional<qint64> id = integerAt(catalogue, row, itemId);
        if (id && !rows.contains(*id))
            rows.insert(*id,
                        {textAt(catalogue, row, dllName), textAt(catalogue, row, guid), textAt(catalogue, row, name),
                         integerAt(catalogue, row, createBtn) == 1, integerAt(catalogue, row, isLang) == 1});
    }
    return rows;
}

TMenuShape ShapeMenu(const std::vector<TMenuRow> &rows) { return TShaper(rows).Run(); }
