#include "Console/uMenuPreview.h"

#include "Console/uConsoleFunctions.h"
#include "Console/uEditorTexts.h"
#include "Core/DialogService.h"
#include "Core/TextFormat.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Works the plan out in the steps of the main window's build: the tree of
// groups (ShapeMenu), the registration of every service once, group by group
// (a service met again is left out), the main menu, then the tool bar.
class TPlanner {
public:
    TPlanner(const std::vector<TMenuRow> &rows, const QHash<qint64, TCatalogueRow> &catalogue)
        : m_rows(rows), m_catalogue(catalogue)
    {
        for (const TMenuLevel &level : ShapeMenu(rows).Levels)
            m_children.insert(level.GroupRow, level.Rows);
    }

    TMenuPlan Run(bool separators)
    {
        // The top level comes from its last row to its first: the build's root order.
        std::vector<int> roots;
        for (int row : m_children.value(-1))
            if (m_rows[size_t(row)].IsGroup)
                roots.push_back(row);
        for (size_t i = 0; i < roots.size(); ++i)
            Register(roots[i], int(i) + 1);
        TMenuPlan plan;
        for (auto root = roots.rbegin(); root != roots.rend(); ++root)
            plan.menus.push_back(Node(*root, QString(), plan.rights));
        plan.buttons = Buttons(separators);
        return plan;
    }

private:
    struct TRegistered {
        int row;
        int group; // the top-level group's number
    };

    const TCatalogueRow *ServiceOf(int row) const
    {
        const std::optional<qint64> &item = m_rows[size_t(row)].ItemId;
        const auto found = item ? m_catalogue.constFind(*item) : m_catalogue.cend();
        return found == m_catalogue.cend() ? nullptr : &found.value();
    }

    // A group's own services first, then its sub-groups: the registration's order.
    void Register(int groupRow, int number)
    {
        const std::vector<int> children = m_children.value(groupRow);
        for (int row : children) {
            const TCatalogueRow *service = m_rows[size_t(row)].IsGroup ? nullptr : ServiceOf(row);
            if (service && !m_guids.contains(service->Guid.toUpper())) {
                m_guids.insert(service->Guid.toUpper());
                m_registered.insert(row);
                m_order.push_back({row, number});
            }
        }
        for (int row : children)
            if (m_rows[size_t(row)].IsGroup)
                Register(row, number);
    }

    TMenuPlan::TNode Node(int row, const QString &parentPath, QStringList &rights) const
    {
        const TMenuRow &r = m_rows[size_t(row)];
        TMenuPlan::TNode node;
        node.group = r.IsGroup;
        node.caption = r.IsGroup ? TranslateAppText(r.Name) : TranslateAppText(ServiceOf(row)->Name);
        const QString path = parentPath.isEmpty() ? node.caption : parentPath + QLatin1Char('/') + node.caption;
        if (!r.IsGroup) {
            node.rights = r.Mode;
            rights << path + QLatin1Char('|') + r.Mode;
            return node;
        }
        for (int child : m_children.value(row))
            if (m_rows[size_t(child)].IsGroup || m_registered.contains(child))
                node.children.push_back(Node(child, path, rights));
        return node;
    }

    // Group by group from the lowest number, within a group from the last registered service to the first.
    QStringList Buttons(bool separators) const
    {
        std::vector<TRegistered> marked;
        for (const TRegistered &service : m_order)
            if (ServiceOf(service.row)->CreateBtn)
                marked.push_back(service);
        std::reverse(marked.begin(), marked.end());
        std::stable_sort(marked.begin(), marked.end(),
                         [](const TRegistered &a, const TRegistered &b) { return a.group < b.group; });
        QStringList buttons;
        for (size_t i = 0; i < marked.size(); ++i) {
            if (i > 0 && separators && marked[i - 1].group != marked[i].group)
                buttons << QString();
            const TCatalogueRow *service = ServiceOf(marked[i].row);
            QString caption = TranslateAppText(service->Name);
            if (service->IsLang)
                ApplyAplEnText(caption);
            buttons << caption;
        }
        return buttons;
    }

    const std::vector<TMenuRow> &m_rows;
    const QHash<qint64, TCatalogueRow> &m_catalogue;
    QHash<int, std::vector<int>> m_children; // by group row, -1 the top level
    QSet<QString> m_guids;
    QSet<int> m_registered;
    std::vector<TRegistered> m_order;
};

struct TNodeIcons {
    QIcon group, service;
};

void addNodes(QTreeWidgetItem *parent, QTreeWidget *tree, const std::vector<TMenuPlan::TNode> &nodes,
              const TNodeIcons &icons)
{
    for (const TMenuPlan::TNode &node : nodes) {
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, node.caption);
        item->setText(1, node.rights);
        item->setIcon(0, node.group ? icons.group : icons.service);
        addNodes(item, tree, node.children, icons);
    }
}

} // namespace

TMenuPlan PlanMenu(const std::vector<TMenuRow> &rows, const QHash<qint64, TCatalogueRow> &catalogue, bool separators)
{
    return TPlanner(rows, catalogue).Run(separators);
}

TMenuPreview::TMenuPreview(QWidget *parent, const QString &accessName, const TMenuPlan &plan) : QDialog(parent)
{
    setObjectName(QStringLiteral("TMenuPreview"));
    setWindowTitle(Fmt(EditorText("Просмотр меню группы «%s»", "Menu of the group \"%s\""), accessName));
    tbPreview = new QToolBar(this);
    for (const QString &button : plan.buttons) {
        if (button.isEmpty())
            tbPreview->addSeparator();
        else
            tbPreview->addAction(EscapeMnemonics(button));
    }
    tvPreview = new QTreeWidget(this);
    tvPreview->setColumnCount(2);
    tvPreview->setHeaderLabels({EditorText("Меню", "Menu"), ConsoleText(ctAccessRights)});
    addNodes(nullptr, tvPreview, plan.menus,
             {style()->standardIcon(QStyle::SP_DirIcon), style()->standardIcon(QStyle::SP_FileIcon)});
    tvPreview->expandAll();
    tvPreview->resizeColumnToContents(0);
    lvPreviewRights = new QTableWidget(int(plan.rights.size()), 2, this);
    lvPreviewRights->setHorizontalHeaderLabels({EditorText("Пункт меню", "Menu item"), ConsoleText(ctAccessRights)});
    lvPreviewRights->verticalHeader()->setVisible(false);
    lvPreviewRights->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < plan.rights.size(); ++r) {
        lvPreviewRights->setItem(r, 0, new QTableWidgetItem(plan.rights[r].section(QLatin1Char('|'), 0, -2)));
        lvPreviewRights->setItem(r, 1, new QTableWidgetItem(plan.rights[r].section(QLatin1Char('|'), -1)));
    }
    lvPreviewRights->horizontalHeader()->setStretchLastSection(true);
    lvPreviewRights->resizeColumnToContents(0);
    btnClose = new QPushButton(EditorText("Закрыть", "Close"), this);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(tvPreview);
    split->addWidget(lvPreviewRights);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tbPreview);
    layout->addWidget(split);
    layout->addWidget(btnClose, 0, Qt::AlignRight);
    SetObjectNames({{tbPreview, "tbPreview"},
                    {tvPreview, "tvPreview"},
                    {lvPreviewRights, "lvPreviewRights"},
                    {btnClose, "btnClose"}});
    SetDrivenUnattended(this);
    resize(760, 480);
}

void ShowMenuPreview(QWidget *parent, const QString &accessName, const TMenuPlan &plan)
{
    TMenuPreview preview(parent, accessName, plan);
    ExecModalDialog(&preview);
}
