#include "Source/ComUnits/Lang/uLangComp.h"

#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSet>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>

namespace {

const QString kSegmentSeparator = QStringLiteral(" | ");
// The accelerator is looked for among the first characters of a caption only.
constexpr int kAccelSearchLength = 10;

bool isBlankChar(QChar c) { return c.unicode() <= 32; }

bool isBlank(const QString &text) { return std::all_of(text.cbegin(), text.cend(), isBlankChar); }

// Lines end with CR LF, LF or CR.
QStringList splitLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
}

// The first accelerator "&" among the first characters; "&&" is a literal ampersand.
int accelPosition(const QString &text)
{
    const int limit = std::min<int>(int(text.size()), kAccelSearchLength);
    for (int i = 0; i < limit; ++i) {
        if (text.at(i) != u'&')
            continue;
        if (i + 1 < text.size() && text.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

QString translateSegment(const QString &segment, quint8 flags, bool accel,
                         const std::function<void(QString &)> &translate)
{
    qsizetype begin = 0;
    qsizetype end = segment.size();
    while (begin < end && isBlankChar(segment.at(begin)))
        ++begin;
    while (end > begin && isBlankChar(segment.at(end - 1)))
        --end;
    QString core = segment.mid(begin, end - begin);
    if (core.isEmpty())
        return segment;
    if (core.startsWith(QStringLiteral("//")) && (flags & (lfDropMarked | lfStripMarker))) {
        core = (flags & lfDropMarked) ? QString() : core.mid(2);
    } else {
        const int accelAt = accel && core.size() > 1 ? accelPosition(core) : -1;
        if (accelAt >= 0)
            core.remove(accelAt, 1);
        if (translate)
            translate(core);
        // A shorter translation gets the ampersand at its end.
        if (accelAt >= 0 && !core.isEmpty())
            core.insert(std::min<qsizetype>(accelAt, core.size()), u'&');
    }
    return segment.left(begin) + core + segment.mid(end);
}

bool hasHighChar(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 127; });
}

// The dynamic property "tag" that the console's menus and tool buttons carry; a
// menu without one of its own has the tag of the action that stands for it in its parent menu.
int componentTag(const QObject *component)
{
    if (!component)
        return 0;
    const QVariant tag = component->property("tag");
    if (!tag.isValid())
        if (auto *menu = qobject_cast<const QMenu *>(component))
            return menu->menuAction()->property("tag").toInt();
    return tag.toInt();
}

// Qt's own parts of its widgets (a calendar's month buttons, a tab widget's bar) carry names beginning "qt_".
bool isQtPart(const QObject *component) { return component->objectName().startsWith(QStringLiteral("qt_")); }

// Widgets whose children are their own parts (a combo box's line edit, a calendar's month menu), not components.
bool hasOwnParts(const QObject *component)
{
    return qobject_cast<const QComboBox *>(component) || qobject_cast<const QAbstractSpinBox *>(component) ||
           qobject_cast<const QCalendarWidget *>(component);
}

bool isMenu(const QObject *object)
{
    return qobject_cast<const QMenu *>(object) || qobject_cast<const QMenuBar *>(object);
}

bool isInMenu(const QAction *action)
{
    const QList<QObject *> holders = action->associatedObjects();
    return std::any_of(holders.cbegin(), holders.cend(), isMenu);
}

// The action that stands for a submenu in its parent menu is represented by the submenu itself.
QObject *menuEntry(QAction *action)
{
    if (QMenu *menu = action->menu())
        return menu;
    return action;
}

QTabWidget *tabWidgetOf(const QWidget *page, int *index)
{
    const QWidget *stack = page->parentWidget();
    auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
    if (!tabs)
        return nullptr;
    *index = tabs->indexOf(page);
    return *index >= 0 ? tabs : nullptr;
}

bool showsWindowTitle(const QWidget *widget) { return widget->isWindow() || qobject_cast<const QDockWidget *>(widget); }

bool hasHint(const QObject *component) { return component->isWidgetType() || qobject_cast<const QAction *>(component); }

bool hasCaption(const QObject *component)
{
    if (qobject_cast<const QAction *>(component) || qobject_cast<const QMenu *>(component) ||
        qobject_cast<const QLabel *>(component) || qobject_cast<const QAbstractButton *>(component) ||
        qobject_cast<const QGroupBox *>(component))
        return true;
    auto *widget = qobject_cast<const QWidget *>(component);
    int index = -1;
    return widget && (showsWindowTitle(widget) || tabWidgetOf(widget, &index));
}

bool hasTextProp(const QObject *component)
{
    return qobject_cast<const QLineEdit *>(component) || qobject_cast<const QComboBox *>(component) ||
           qobject_cast<const QPlainTextEdit *>(component) || qobject_cast<const QTextEdit *>(component);
}

// The text that a widget adapter translates; a combo box that cannot be edited has
// none besides its items.
QString controlText(const QWidget *widget)
{
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *memo = qobject_cast<const QPlainTextEdit *>(widget))
        return memo->toPlainText();
    if (auto *memo = qobject_cast<const QTextEdit *>(widget))
        return memo->toPlainText();
    if (auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->isEditable() ? combo->currentText() : QString();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *group = qobject_cast<const QGroupBox *>(widget))
        return group->title();
    int index = -1;
    if (QTabWidget *tabs = tabWidgetOf(widget, &index))
        return tabs->tabText(index);
    return showsWindowTitle(widget) ? widget->windowTitle() : QString();
}

void setControlText(QWidget *widget, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(text);
    else if (auto *plainMemo = qobject_cast<QPlainTextEdit *>(widget))
        plainMemo->setPlainText(text);
    else if (auto *richMemo = qobject_cast<QTextEdit *>(widget))
        richMemo->setPlainText(text);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setEditText(text);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        group->setTitle(text);
    else if (int index = -1; QTabWidget *tabs = tabWidgetOf(widget, &index))
        tabs->setTabText(index, text);
    else
        widget->setWindowTitle(text);
}

bool layoutHolds(const QLayout *layout, const QWidget *widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == widget || (item->layout() && layoutHolds(item->layout(), widget)))
            return true;
    }
    return false;
}

bool isLaidOut(const QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    return parent && parent->layout() && layoutHolds(parent->layout(), widget);
}

bool isLeftOut(const TComponentList &leaveOut, const QObject *component)
{
    return std::any_of(leaveOut.cbegin(), leaveOut.cend(),
                       [component](const QPointer<QObject> &left) { return left.data() == component; });
}

// True when nothing that holds the action is left out: the menus it is in and
// those above them, the widgets that list it, its action group.
bool holdersAdmitted(const QAction *action, const TComponentList &leaveOut, QSet<const QObject *> &seen)
{
    if (action->actionGroup() && isLeftOut(leaveOut, action->actionGroup()))
        return false;
    for (const QObject *holder : action->associatedObjects()) {
        if (seen.contains(holder))
            continue;
        seen.insert(holder);
        if (isLeftOut(leaveOut, holder))
            return false;
        auto *menu = qobject_cast<const QMenu *>(holder);
        if (menu && !holdersAdmitted(menu->menuAction(), leaveOut, seen))
            return false;
    }
    return true;
}

bool holdersAdmitted(const QObject *component, const TComponentList &leaveOut)
{
    QSet<const QObject *> seen;
    if (auto *action = qobject_cast<const QAction *>(component))
        return holdersAdmitted(action, leaveOut, seen);
    if (auto *menu = qobject_cast<const QMenu *>(component))
        return holdersAdmitted(menu->menuAction(), leaveOut, seen);
    return true;
}

// The parts of a component: a menu's items, an action group's actions, a
// widget's child widgets and the actions it lists.
QList<QObject *> partsOf(QObject *component)
{
    QList<QObject *> parts;
    if (isMenu(component)) {
        for (QAction *action : static_cast<QWidget *>(component)->actions())
            parts.append(menuEntry(action));
    } else if (auto *group = qobject_cast<QActionGroup *>(component)) {
        for (QAction *action : group->actions())
            parts.append(action);
    } else if (auto *widget = qobject_cast<QWidget *>(component)) {
        if (!hasOwnParts(widget))
            for (QObject *child : widget->children())
                if (child->isWidgetType())
                    parts.append(child);
        for (QAction *action : widget->actions())
            parts.append(menuEntry(action));
    }
    return parts;
}

template <class TExt>
std::unique_ptr<TComponentExt> makeIf(QObject *component)
{
    if (!TExt::CanTranslate(component))
        return nullptr;
    return std::make_unique<TExt>(component);
}

} // namespace

QString TranslateItemText(const QString &text, quint8 flags, const QString &componentName,
                          const std::function<void(QString &)> &translate)
{
    if (isBlank(text))
        return text;
    const QStringList lines = (flags & lfMultiLine) ? splitLines(text) : QStringList{text};
    if (lines.size() == 1 && lines.front() == componentName)
        return text;
    bool accel = flags & lfAccel;
    QStringList translatedLines;
    for (const QString &line : lines) {
        const QStringList segments = (flags & lfSegments)
                                         ? line.split(kSegmentSeparator)
                                         : QStringList{QString(line).replace(kSegmentSeparator, QStringLiteral(" "))};
        QStringList translatedSegments;
        for (const QString &segment : segments) {
            translatedSegments.append(translateSegment(segment, flags, accel, translate));
            accel = false; // the accelerator belongs to the first segment of the text
        }
        translatedLines.append(translatedSegments.join(u' '));
    }
    return translatedLines.join(u'\n');
}

// ---------------------------------------------------------------------------

TComponentExt::TComponentExt(QObject *component, int tag)
    : m_component(component), m_tag(tag), m_hasHint(component && hasHint(component)),
      m_hasCaption(component && hasCaption(component)), m_hasTextProp(component && hasTextProp(component))
{
}

TComponentExt::~TComponentExt() = default;

QString TComponentExt::Name() const { return m_component ? m_component->objectName() : QString(); }

bool TComponentExt::TranslateText(QString &text)
{
    const QString before = text;
    if (OnTranslateText)
        OnTranslateText(*this, text);
    return text != before;
}

void TComponentExt::TranslateActionHint(QAction *action)
{
    QAction derived;
    derived.setText(action->text());
    QString hint = action->toolTip();
    if (hint == derived.toolTip())
        return; // the tool tip follows the caption
    if (TranslateText(hint))
        action->setToolTip(hint);
}

TFieldExt::TFieldExt(TField *field) : TComponentExt(nullptr, field->Tag()), m_dataSet(field->DataSet()), m_field(field)
{
}

bool TFieldExt::CanTranslate(const TField *) { return true; }

TField *TFieldExt::Field() const
{
    // A data set that has made its fields again no longer holds this one.
    if (!m_dataSet)
        return nullptr;
    for (int i = 0; i < m_dataSet->FieldCount(); ++i)
        if (m_dataSet->Fields(i) == m_field)
            return m_field;
    return nullptr;
}

QString TFieldExt::Name() const
{
    TField *field = Field();
    return field ? field->FieldName() : QString();
}

QString TFieldExt::GetText() const
{
    TField *field = Field();
    return field ? field->DisplayLabel() : QString();
}

void TFieldExt::Translate()
{
    TField *field = Field();
    if (!field)
        return;
    QString label = field->DisplayLabel();
    if (TranslateText(label))
        field->SetDisplayLabel(label);
}

TMenuItemExt::TMenuItemExt(QObject *component) : TComponentExt(component, componentTag(component)) {}

bool TMenuItemExt::CanTranslate(const QObject *component)
{
    auto *action = qobject_cast<const QAction *>(component);
    return qobject_cast<const QMenu *>(component) || (action && !action->menu());
}

QAction *TMenuItemExt::action() const
{
    if (auto *menu = qobject_cast<QMenu *>(Component()))
        return menu->menuAction();
    return qobject_cast<QAction *>(Component());
}

QString TMenuItemExt::GetText() const
{
    QAction *item = action();
    return item ? item->text() : QString();
}

void TMenuItemExt::Translate()
{
    QAction *item = action();
    if (!item)
        return;
    TranslateActionHint(item);
    if (Tag() == kLangNoTranslateTag)
        return;
    QString caption = item->text();
    if (TranslateText(caption))
        item->setText(caption);
}

TCustomActionExt::TCustomActionExt(QObject *component) : TComponentExt(component, componentTag(component)) {}

bool TCustomActionExt::CanTranslate(const QObject *component)
{
    auto *action = qobject_cast<const QAction *>(component);
    return action && !action->menu();
}

QString TCustomActionExt::GetText() const
{
    auto *action = qobject_cast<QAction *>(Component());
    return action ? action->text() : QString();
}

void TCustomActionExt::Translate()
{
    auto *action = qobject_cast<QAction *>(Component());
    if (!action)
        return;
    TranslateActionHint(action);
    QString caption = action->text();
    if (TranslateText(caption))
        action->setText(caption);
}

TConrolExt::TConrolExt(QObject *component) : TComponentExt(component, componentTag(component))
{
    Z_ASSERT(component && component->isWidgetType(),
             QStringLiteral("TConrolExt.Create: %1(%2) not is TControl")
                 .arg(component ? component->objectName() : QString(),
                      component ? QString::fromLatin1(component->metaObject()->className()) : QStringLiteral("nil")));
}

QWidget *TConrolExt::Control() const { return qobject_cast<QWidget *>(Component()); }

void TConrolExt::Translate()
{
    QWidget *control = Control();
    if (!control)
        return;
    QString hint = control->toolTip();
    if (TranslateText(hint))
        control->setToolTip(hint);
}

TConrolTxtExt::TConrolTxtExt(QObject *component) : TConrolExt(component) {}

bool TConrolTxtExt::CanTranslate(const QObject *component)
{
    return hasHint(component) || hasCaption(component) || hasTextProp(component);
}

bool TConrolTxtExt::HasText() const { return HasCaption() || HasTextProp(); }

bool TConrolTxtExt::TextTranslated() const { return HasText() && Tag() != kLangNoTranslateTag; }

QString TConrolTxtExt::GetText() const
{
    QWidget *control = Control();
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->currentText();
    return control ? controlText(control) : QString();
}

void TConrolTxtExt::Translate()
{
    TConrolExt::Translate();
    QWidget *control = Control();
    if (!control || !TextTranslated())
        return;
    QString text = controlText(control);
    if (TranslateText(text))
        setControlText(control, text);
}

void TCustomComboBoxExt::Translate()
{
    TCustomEditExt::Translate();
    auto *combo = qobject_cast<QComboBox *>(Control());
    if (!combo || !TextTranslated())
        return;
    const int index = combo->currentIndex();
    for (int i = 0; i < combo->count(); ++i) {
        QString item = combo->itemText(i);
        if (TranslateText(item))
            combo->setItemText(i, item);
    }
    if (index != -1 && combo->currentIndex() != index)
        combo->setCurrentIndex(index);
}

bool TCustomListBoxExt::CanTranslate(const QObject *component) { return hasHint(component); }

void TCustomListBoxExt::Translate()
{
    TConrolExt::Translate();
    auto *list = qobject_cast<QListWidget *>(Control());
    if (!list)
        return;
    for (int i = 0; i < list->count(); ++i) {
        QString item = list->item(i)->text();
        if (TranslateText(item))
            list->item(i)->setText(item);
    }
}

bool TButtonControlExt::CanTranslate(const QObject *component)
{
    auto *toolButton = qobject_cast<const QToolButton *>(component);
    return !(toolButton && toolButton->defaultAction()) && TConrolTxtExt::CanTranslate(component);
}

std::unique_ptr<TComponentExt> CreateComponentExt(QObject *component)
{
    if (!component || isQtPart(component))
        return nullptr;
    if (auto *action = qobject_cast<QAction *>(component))
        return isInMenu(action) ? makeIf<TMenuItemExt>(action) : makeIf<TCustomActionExt>(action);
    if (qobject_cast<QMenu *>(component))
        return makeIf<TMenuItemExt>(component);
    if (qobject_cast<QPlainTextEdit *>(component) || qobject_cast<QTextEdit *>(component))
        return makeIf<TCustomMemoExt>(component);
    if (qobject_cast<QLineEdit *>(component))
        return makeIf<TCustomEditExt>(component);
    if (qobject_cast<QComboBox *>(component))
        return makeIf<TCustomComboBoxExt>(component);
    if (qobject_cast<QListWidget *>(component))
        return makeIf<TCustomListBoxExt>(component);
    if (qobject_cast<QLabel *>(component))
        return makeIf<TCustomLabelExt>(component);
    if (qobject_cast<QAbstractButton *>(component))
        return makeIf<TButtonControlExt>(component);
    if (component->isWidgetType())
        return makeIf<TConrolTxtExt>(component);
    return nullptr;
}

// ---------------------------------------------------------------------------

TLangItem::TLangItem(TLang *lang, std::unique_ptr<TComponentExt> ext) : m_lang(lang), m_ext(std::move(ext))
{
    m_flags = lfStripMarker | lfAccel;
    if (dynamic_cast<TCustomEditExt *>(m_ext.get()))
        m_flags &= ~lfAccel;
    if (dynamic_cast<TCustomMemoExt *>(m_ext.get()))
        m_flags |= lfMultiLine | lfSegments;
    if (dynamic_cast<TCustomLabelExt *>(m_ext.get()))
        m_flags |= lfSegments;
}

TLangItem::~TLangItem() = default;

TLang::TLang() = default;

TLang::~TLang()
{
    while (!m_items.empty())
        m_items.pop_back();
}

TLangItem *TLang::addItem(std::unique_ptr<TComponentExt> ext)
{
    if (!ext)
        return nullptr;
    auto item = std::unique_ptr<TLangItem>(new TLangItem(this, std::move(ext)));
    TLangItem *added = item.get();
    added->Ext()->OnTranslateText = [this, added](TComponentExt &, QString &text) { TranslateText(*added, text); };
    added->Ext()->OnChanged = [this](TComponentExt &changed) { itemChanged(changed); };
    m_items.push_back(std::move(item));
    return added;
}

TLangItem *TLang::AddComponent(QObject *component)
{
    if (!component || (!SkipDuplicateCheck && IndexOfComponent(component) >= 0))
        return nullptr;
    return addItem(CreateComponentExt(component));
}

TLangItem *TLang::AddComponent(TField *field)
{
    if (!field || (!SkipDuplicateCheck && IndexOfComponent(field) >= 0) || !TFieldExt::CanTranslate(field))
        return nullptr;
    return addItem(std::make_unique<TFieldExt>(field));
}

int TLang::IndexOfComponent(const QObject *component) const
{
    if (!component)
        return -1;
    for (int i = 0; i < Count(); ++i)
        if (m_items[size_t(i)]->Ext()->Component() == component)
            return i;
    return -1;
}

int TLang::IndexOfComponent(const TField *field) const
{
    if (!field)
        return -1;
    for (int i = 0; i < Count(); ++i)
        if (m_items[size_t(i)]->Ext()->Field() == field)
            return i;
    return -1;
}

TLangItem *TLang::AddComponents(QObject *component, const TComponentList &leaveOut, quint8 flags)
{
    if (!component || isLeftOut(leaveOut, component))
        return nullptr;
    const quint8 below = flags & ~lwNotSelf;
    TLangItem *last = nullptr;
    auto keep = [&last](TLangItem *item) {
        if (item)
            last = item;
    };
    // A data set owns its fields, and they are its parts; it has been admitted, so they are.
    auto *dataSet = qobject_cast<TDataSet *>(component);
    if (flags & lwOwned) {
        if (!hasOwnParts(component))
            for (QObject *child : component->children())
                keep(AddComponents(child, leaveOut, below));
        for (int i = 0; dataSet && i < dataSet->FieldCount(); ++i)
            keep(AddComponent(dataSet->Fields(i)));
    }
    if (flags & lwParts) {
        for (QObject *part : partsOf(component))
            keep(AddComponents(part, leaveOut, below));
        for (int i = 0; dataSet && i < dataSet->FieldCount(); ++i)
            keep(AddComponent(dataSet->Fields(i)));
        if (auto *label = qobject_cast<QLabel *>(component); label && !m_autoSizeLabels.contains(label))
            m_autoSizeLabels.append(label);
    }
    if (!(flags & lwNotSelf) && holdersAdmitted(component, leaveOut))
        keep(AddComponent(component));
    return last;
}

void TLang::TranslateAll()
{
    for (int i = 0; i < Count(); ++i) {
        TComponentExt *ext = Items(i)->Ext();
        if (!ext->Alive())
            continue;
        ext->Translate();
        if (ext->OnChanged)
            ext->OnChanged(*ext);
    }
}

void TLang::TranslateText(TLangItem &item, QString &text)
{
    std::function<void(QString &)> translate;
    if (OnTranslateText)
        translate = [this, &item](QString &piece) { OnTranslateText(*this, item, piece); };
    text = TranslateItemText(text, item.Flags(), item.Ext()->Name(), translate);
}

void TLang::itemChanged(TComponentExt &ext)
{
    // A label outside a layout keeps the size it was designed with unless it is told to fit its new text.
    auto *label = qobject_cast<QLabel *>(ext.Component());
    if (label && m_autoSizeLabels.contains(label) && !isLaidOut(label))
        label->adjustSize();
}

// ---------------------------------------------------------------------------

void TranslatePackText(QString &text)
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages || languages->UntranslatedTexts.contains(text) || !hasHighChar(text))
        return;
    QString translated = text;
    languages->RESOURCE_APL_TXT(translated);
    if (translated.isEmpty())
        text = u'?' + text;
    else if (translated == text)
        text = u'!' + text;
    else
        text = translated;
}

TFormTranslation::TFormTranslation()
{
    TLanguagesDM *languages = GetComLanguages();
    if (languages && languages->IsNecessaryAplTrans())
        m_noTranslate = std::make_unique<TComponentList>();
}

TFormTranslation::~TFormTranslation() = default;

void TFormTranslation::AddNoTranslate(QObject *component)
{
    if (m_noTranslate)
        m_noTranslate->append(component);
}

bool TFormTranslation::TranslateOnce(QObject *form, quint8 flags)
{
    if (!m_noTranslate)
        return false;
    // Taken at once: whatever happens below, the form is not translated a second time.
    const std::unique_ptr<TComponentList> noTranslate = std::move(m_noTranslate);
    TLang lang;
    lang.SkipDuplicateCheck = true;
    lang.OnTranslateText = [](TLang &, TLangItem &, QString &text) { TranslatePackText(text); };
    lang.AddComponents(form, *noTranslate, flags);
    lang.TranslateAll();
    return true;
}
