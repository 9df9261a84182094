#include "Console/uSelGroup.h"

#include "Console/uEditorTexts.h"
#include "Core/DialogService.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kSourceRole = Qt::UserRole + 1;

void addGroups(QTreeWidgetItem *into, const QTreeWidgetItem *from, const QTreeWidgetItem *moved,
               const std::function<bool(const QTreeWidgetItem *)> &group)
{
    for (int i = 0; i < from->childCount(); ++i) {
        const QTreeWidgetItem *child = from->child(i);
        if (child == moved || !group(child))
            continue;
        auto *copy = new QTreeWidgetItem(into, {child->text(0)});
        copy->setIcon(0, child->icon(0));
        copy->setData(0, kSourceRole, QVariant::fromValue(reinterpret_cast<quintptr>(child)));
        addGroups(copy, child, moved, group);
    }
}

} // namespace

TSelGroup::TSelGroup(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TSelGroup"));
    setWindowTitle(EditorText("Переместить в группу", "Move to group"));
    tvGroups = new QTreeWidget(this);
    tvGroups->setHeaderHidden(true);
    btnOk = new QPushButton(AplText("rstr_to_Apply"), this);
    btnCancel = new QPushButton(AplText("rstr_to_Cancel"), this);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, [this] {
        if (tvGroups->currentItem() && (tvGroups->currentItem()->flags() & Qt::ItemIsSelectable))
            accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tvGroups, &QTreeWidget::itemDoubleClicked, btnOk, &QPushButton::click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tvGroups);
    layout->addLayout(buttons);
    SetObjectNames({{tvGroups, "tvGroups"}, {btnOk, "btnOk"}, {btnCancel, "btnCancel"}});
    SetDrivenUnattended(this);
    resize(360, 420);
}

QTreeWidgetItem *ChooseGroup(QTreeWidgetItem *root, const QTreeWidgetItem *moved, bool topLevel,
                             const std::function<bool(const QTreeWidgetItem *)> &group)
{
    TSelGroup form;
    auto *top = new QTreeWidgetItem(form.tvGroups, {root->text(0)});
    top->setIcon(0, root->icon(0));
    top->setData(0, kSourceRole, QVariant::fromValue(reinterpret_cast<quintptr>(root)));
    // The top level holds the groups; it is chosen only when the node may stand there.
    if (!topLevel)
        top->setFlags(Qt::ItemIsEnabled);
    addGroups(top, root, moved, group);
    form.tvGroups->expandAll();
    if (topLevel)
        form.tvGroups->setCurrentItem(top);
    if (ExecModalDialog(&form) != QDialog::Accepted || !form.tvGroups->currentItem())
        return nullptr;
    return reinterpret_cast<QTreeWidgetItem *>(form.tvGroups->currentItem()->data(0, kSourceRole).value<quintptr>());
}
