#include "Console/uShemaForm.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/ResourceLibrary.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

TShemaForm::TShemaForm(QWidget *parent) : QDialog(parent)
{
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("SchemeForm"));
    setObjectName(QStringLiteral("ShemaForm"));
    lblActiveScheme = new QLabel(QStringLiteral("Active scheme"), this);
    StaticText1 = new QLabel(this);
    QFont bold = StaticText1->font();
    bold.setBold(true);
    StaticText1->setFont(bold);
    tvSchemeList = new QTreeWidget(this);
    tvSchemeList->setHeaderHidden(true);
    tvSchemeList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    btnNewScheme = new QPushButton(QStringLiteral("New scheme"), this);
    btnActivateScheme = new QPushButton(QStringLiteral("Activate"), this);
    btnDelScheme = new QPushButton(QStringLiteral("Delete"), this);
    btnExit = new QPushButton(QStringLiteral("Exit"), this);
    for (QPushButton *b : {btnNewScheme, btnActivateScheme, btnDelScheme, btnExit})
        b->setAutoDefault(false);
    SetObjectNames({{lblActiveScheme, "lblActiveScheme"},
                    {StaticText1, "StaticText1"},
                    {tvSchemeList, "tvSchemeList"},
                    {btnNewScheme, "btnNewScheme"},
                    {btnActivateScheme, "btnActivateScheme"},
                    {btnDelScheme, "btnDelScheme"},
                    {btnExit, "btnExit"}});
    SetDrivenUnattended(this);
    btnActivateScheme->setEnabled(false);
    btnDelScheme->setEnabled(false);

    auto *top = new QHBoxLayout;
    top->addWidget(lblActiveScheme);
    top->addWidget(StaticText1, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnNewScheme);
    buttons->addWidget(btnActivateScheme);
    buttons->addWidget(btnDelScheme);
    buttons->addStretch();
    buttons->addWidget(btnExit);
    auto *body = new QHBoxLayout;
    body->addWidget(tvSchemeList, 1);
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body);

    // The window keeps the golden ratio of its height.
    resize(static_cast<int>(300 * 1.618), 300);
    if (ResourceLibraryLoaded()) {
        const QPixmap glyph = ResourceBitmap(53);
        if (!glyph.isNull())
            btnExit->setIcon(glyph);
    }

    connect(tvSchemeList, &QTreeWidget::itemSelectionChanged, this, &TShemaForm::updateButtons);
    connect(tvSchemeList, &QTreeWidget::itemDoubleClicked, this, [this] { ActivateSelectedScheme(); });
    connect(btnNewScheme, &QPushButton::clicked, this, &TShemaForm::NewScheme);
    connect(btnDelScheme, &QPushButton::clicked, this, &TShemaForm::DeleteSelectedScheme);
    connect(btnActivateScheme, &QPushButton::clicked, this, &TShemaForm::ActivateSelectedScheme);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::accept);

    // Every character typed anywhere in the window sounds the beep.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    setTexts();
}

void TShemaForm::setTexts()
{
    setWindowTitle(WordText(QStringLiteral("rstrShemesDB"), QStringLiteral("DB schemes")));
    btnNewScheme->setText(WordText(QStringLiteral("rstrNewSheme"), QStringLiteral("New scheme")));
    btnDelScheme->setText(WordText(QStringLiteral("rstr_to_Delete"), QStringLiteral("Delete")));
    btnActivateScheme->setText(WordText(QStringLiteral("rstr_to_Activate"), QStringLiteral("Activate")));
    btnExit->setText(WordText(QStringLiteral("rstrExit"), QStringLiteral("Exit")));
    lblActiveScheme->setText(WordText(QStringLiteral("rstrActiveSheme"), QStringLiteral("Active scheme")));
}

void TShemaForm::showEvent(QShowEvent *event)
{
    FillSchemes();
    QDialog::showEvent(event);
}

void TShemaForm::FillSchemes()
{
    const QString rootText = m_root || tvSchemeList->topLevelItemCount() == 0
                                 ? WordText(QStringLiteral("rstrEnableShemes"), QStringLiteral("Available schemes"))
                                 : WordText(QStringLiteral("rstrShemesDB"), QStringLiteral("DB schemes"));
    tvSchemeList->clear();
    Schemes.clear();
    GetSchemes(&Schemes);
    m_root = new QTreeWidgetItem(tvSchemeList, QStringList{rootText});
    for (const QString &name : Schemes)
        new QTreeWidgetItem(m_root, QStringList{name});
    StaticText1->setText(GetActiveScheme());
    m_root->setExpanded(true);
    updateButtons();
}

QTreeWidgetItem *TShemaForm::selectedScheme() const
{
    const QList<QTreeWidgetItem *> selected = tvSchemeList->selectedItems();
    if (selected.isEmpty() || !selected.first()->parent())
        return nullptr;
    return selected.first();
}

void TShemaForm::updateButtons()
{
    const bool isScheme = selectedScheme() != nullptr;
    btnActivateScheme->setEnabled(isScheme);
    btnDelScheme->setEnabled(isScheme);
}

void TShemaForm::NewScheme()
{
    const QString title = WordText(QStringLiteral("rstrTitle"), QStringLiteral("Title"));
    QString name;
    if (!lumInputQuery(btnNewScheme->text(), title, WordText(QStringLiteral("rstr_to_Apply"), QStringLiteral("Apply")),
                       WordText(QStringLiteral("rstr_to_Cancel"), QStringLiteral("Cancel")), name, -1))
        return;
    name = name.trimmed();
    if (!IsCorrectSchemeName(name)) {
        ShowMessageBox(ParamNotCorrectText(title, name), windowTitle(), MB_ICONERROR);
        return;
    }
    // A scheme that is already there keeps its value (the active one stays active) and its one node.
    if (!AddScheme(name, false))
        return;
    const bool listed = std::any_of(Schemes.cbegin(), Schemes.cend(),
                                    [&](const QString &have) { return have.compare(name, Qt::CaseInsensitive) == 0; });
    if (listed)
        return;
    Schemes.append(name);
    if (m_root)
        new QTreeWidgetItem(m_root, QStringList{name});
}

void TShemaForm::DeleteSelectedScheme()
{
    QTreeWidgetItem *item = selectedScheme();
    if (!item)
        return;
    const QString name = item->text(0);
    // The question names its action and its object; the buttons say what they do.
    const QString question =
        Fmt(SelectText(QStringLiteral("Удалить схему «%s»?"), QStringLiteral("Delete the scheme «%s»?")), name);
    if (ShowDialogMessage(question,
                          WordText(QStringLiteral("rstr_act_DeletingScheme"), QStringLiteral("Scheme deletion")),
                          MB_ICONQUESTION | MB_YESNO,
                          {WordText(QStringLiteral("rstr_to_Delete"), QStringLiteral("Delete")),
                           WordText(QStringLiteral("rstr_to_Cancel"), QStringLiteral("Cancel"))}) != IDYES)
        return;
    if (!DeleteScheme(name))
        return;
    delete item;
    Schemes.clear();
    GetSchemes(&Schemes);
    updateButtons();
}

void TShemaForm::ActivateSelectedScheme()
{
    QTreeWidgetItem *item = selectedScheme();
    if (!item)
        return;
    const QString name = item->text(0);
    try {
        if (!SetActiveScheme(name))
            return;
    } catch (const Exception &e) {
        ShowMessageBox(e.message().trimmed(), windowTitle(), MB_ICONERROR);
        return;
    }
    ActivatedScheme = name;
    StaticText1->setText(name);
    accept();
}

bool TShemaForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            QApplication::beep();
        if (watched == tvSchemeList && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            ActivateSelectedScheme();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TShemaForm::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        QApplication::beep();
    // Esc leaves the window like the Exit button does.
    if (event->key() == Qt::Key_Escape) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString ShowSchemeDialog()
{
    QString activated;
    {
        TShemaForm form;
        ExecModalDialog(&form);
        activated = form.ActivatedScheme;
    }
    return activated.isEmpty() ? GetActiveScheme() : activated;
}
