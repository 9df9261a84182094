#pragma once
// Run-time translation of a form's texts. Forms are designed with Russian
// captions; when the user's application language differs, a TLang walks the
// form's components, makes one TLangItem per component that has texts, and
// writes every text back through the callback that its owner supplies.
//
// Each item owns an adapter of the TComponentExt family that knows where the
// texts of its kind of component live: a data set's field (display label), a
// menu item (a QAction in a menu, or a QMenu's title), an action (any other
// QAction), memos (QPlainTextEdit, QTextEdit), edits (QLineEdit), combo boxes,
// list widgets, labels, buttons, and any other widget (window or dock title,
// group box title, tab text). The hint of a component is its tool tip, its
// tag the dynamic property "tag". Adapters write through the components'
// setters and skip a component that has been destroyed meanwhile.
//
// TFormTranslation is the once-per-form translation that a base form runs
// when it is first shown, with TranslatePackText as the text callback.
#include "Core/PlatformExport.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QObject;
class QWidget;
class TDataSet;
class TField;
class TLang;
class TLangItem;

// Components that a walk leaves out. A destroyed component matches nothing.
using TComponentList = QList<QPointer<QObject>>;

// A caption or text whose component carries this tag is never translated (its hint still is).
constexpr int kLangNoTranslateTag = 2147483647;

// Text-handling flags of an item.
enum : quint8 {
    lfMultiLine = 1,   // every line by itself, the lines joined again
    lfSegments = 2,    // " | " separates segments translated one by one and joined by one blank
    lfDropMarked = 4,  // a segment that begins with "//" becomes empty
    lfStripMarker = 8, // a segment that begins with "//" loses the marker and stays as it is
    lfAccel = 32,      // the accelerator "&" is taken out before translation and put back after
};

// Walk flags of TLang::AddComponents.
enum : quint8 {
    // The components the component owns (its children; a data set's fields).
    lwOwned = 1,
    // Its parts: child widgets and the actions a widget lists, a menu's items, an action group's
    // actions, a data set's fields; a label outside a layout then fits its translated text.
    lwParts = 2,
    // Not the component itself, only what the walk finds below it.
    lwNotSelf = 4,
};

// Translates one text by the rules of the flags, handing each translatable
// piece to `translate` (null: nothing is translated). A text that is blank, or
// one line equal to the component's name, stays as it is.
PLATFORM_EXPORT QString TranslateItemText(const QString &text, quint8 flags, const QString &componentName,
                                          const std::function<void(QString &)> &translate);

// ---------------------------------------------------------------------------
// Adapters.

class PLATFORM_EXPORT TComponentExt {
public:
    using TTranslateTextProc = std::function<void(TComponentExt &ext, QString &text)>;
    using TChangedProc = std::function<void(TComponentExt &ext)>;

    virtual ~TComponentExt();
    TComponentExt(const TComponentExt &) = delete;
    TComponentExt &operator=(const TComponentExt &) = delete;

    // The object adapted; null once it has been destroyed, and for a field.
    virtual QObject *Component() const { return m_component.data(); }
    // The field adapted, or null.
    virtual TField *Field() const { return nullptr; }
    // False once the component has been destroyed: the adapter then does nothing.
    virtual bool Alive() const { return !m_component.isNull(); }
    // The component's name (a field's name for a field).
    virtual QString Name() const;
    // The component's tag when the adapter was made.
    int Tag() const { return m_tag; }
    bool HasHint() const { return m_hasHint; }
    bool HasCaption() const { return m_hasCaption; }
    bool HasTextProp() const { return m_hasTextProp; }

    // The component's main text.
    virtual QString GetText() const = 0;
    // Translates every text of the component and writes back those that changed.
    virtual void Translate() = 0;

    // Connected by the item to its TLang.
    TTranslateTextProc OnTranslateText;
    TChangedProc OnChanged;

protected:
    // The component's tag and kinds of text are read here; `component` may be null for a field.
    TComponentExt(QObject *component, int tag);
    // Passes the text through OnTranslateText; true when it came back changed.
    bool TranslateText(QString &text);
    // The explicit tool tip of an action (the one Qt derives from its text is not the action's own).
    void TranslateActionHint(QAction *action);

private:
    QPointer<QObject> m_component;
    int m_tag;
    bool m_hasHint;
    bool m_hasCaption;
    bool m_hasTextProp;
};

// A data set's field: its display label.
class PLATFORM_EXPORT TFieldExt : public TComponentExt {
public:
    explicit TFieldExt(TField *field);
    static bool CanTranslate(const TField *field);
    QObject *Component() const override { return nullptr; }
    TField *Field() const override;
    bool Alive() const override { return Field() != nullptr; }
    QString Name() const override;
    QString GetText() const override;
    void Translate() override;

private:
    QPointer<TDataSet> m_dataSet;
    TField *m_field;
};

// A menu item: a QAction in a menu, or a QMenu (its title). The hint is
// translated always, the caption unless the tag forbids it.
class PLATFORM_EXPORT TMenuItemExt : public TComponentExt {
public:
    explicit TMenuItemExt(QObject *component);
    static bool CanTranslate(const QObject *component);
    QString GetText() const override;
    void Translate() override;

private:
    QAction *action() const;
};

// An action that is in no menu: its hint, then its caption.
class PLATFORM_EXPORT TCustomActionExt : public TComponentExt {
public:
    explicit TCustomActionExt(QObject *component);
    static bool CanTranslate(const QObject *component);
    QString GetText() const override;
    void Translate() override;
};

// The base of the widget adapters: translates the hint.
class PLATFORM_EXPORT TConrolExt : public TComponentExt {
public:
    // The component must be a widget (a failed assertion otherwise).
    explicit TConrolExt(QObject *component);
    QWidget *Control() const;
    // Whether the control has a caption or text of its own.
    virtual bool HasText() const { return false; }
    QString GetText() const override { return {}; }
    void Translate() override;
};

// A widget with a caption or text: the hint, then the text, unless the tag
// forbids it or the widget has none.
class PLATFORM_EXPORT TConrolTxtExt : public TConrolExt {
public:
    explicit TConrolTxtExt(QObject *component);
    static bool CanTranslate(const QObject *component);
    bool HasText() const override;
    QString GetText() const override;
    void Translate() override;

protected:
    // Whether the text is translated (HasText, and the tag allows it).
    bool TextTranslated() const;
};

class PLATFORM_EXPORT TCustomEditExt : public TConrolTxtExt {
public:
    using TConrolTxtExt::TConrolTxtExt;
};

// A memo: its text line by line; HasText always.
class PLATFORM_EXPORT TCustomMemoExt : public TCustomEditExt {
public:
    using TCustomEditExt::TCustomEditExt;
    bool HasText() const override { return true; }
};

// A combo box: hint, edit text (editable ones), then every item; the current index stays.
class PLATFORM_EXPORT TCustomComboBoxExt : public TCustomEditExt {
public:
    using TCustomEditExt::TCustomEditExt;
    void Translate() override;
};

// A list widget: hint, then every item (the tag does not apply).
class PLATFORM_EXPORT TCustomListBoxExt : public TConrolExt {
public:
    using TConrolExt::TConrolExt;
    static bool CanTranslate(const QObject *component);
    void Translate() override;
};

class PLATFORM_EXPORT TCustomLabelExt : public TConrolTxtExt {
public:
    using TConrolTxtExt::TConrolTxtExt;
};

// A button; a tool button that shows an action takes its texts from the action.
class PLATFORM_EXPORT TButtonControlExt : public TConrolTxtExt {
public:
    using TConrolTxtExt::TConrolTxtExt;
    static bool CanTranslate(const QObject *component);
};

// The adapter for a component, in the order of the family; null when none accepts it.
PLATFORM_EXPORT std::unique_ptr<TComponentExt> CreateComponentExt(QObject *component);

// ---------------------------------------------------------------------------
// The collection.

class PLATFORM_EXPORT TLangItem {
public:
    ~TLangItem();
    TLangItem(const TLangItem &) = delete;
    TLangItem &operator=(const TLangItem &) = delete;

    TLang *Lang() const { return m_lang; }
    TComponentExt *Ext() const { return m_ext.get(); }
    quint8 Flags() const { return m_flags; }

private:
    friend class TLang;
    TLangItem(TLang *lang, std::unique_ptr<TComponentExt> ext);

    TLang *m_lang;
    std::unique_ptr<TComponentExt> m_ext;
    quint8 m_flags;
};

class PLATFORM_EXPORT TLang {
public:
    using TTranslateTextProc = std::function<void(TLang &sender, TLangItem &item, QString &text)>;

    TLang();
    // Frees the items, last first.
    ~TLang();
    TLang(const TLang &) = delete;
    TLang &operator=(const TLang &) = delete;

    // Gives the words; while it is not set nothing is translated.
    TTranslateTextProc OnTranslateText;
    // When false, a component that an item already holds is not added again.
    bool SkipDuplicateCheck = false;

    int Count() const { return int(m_items.size()); }
    TLangItem *Items(int index) const { return m_items.at(size_t(index)).get(); }

    // The item made for the component, or null when it is held already or no adapter accepts it.
    TLangItem *AddComponent(QObject *component);
    TLangItem *AddComponent(TField *field);
    // The index of the item that holds the component, or -1.
    int IndexOfComponent(const QObject *component) const;
    int IndexOfComponent(const TField *field) const;
    // Walks the component by the walk flags, leaving out the listed components;
    // returns the last item made, or null. An action or a menu is added only
    // when nothing that holds it is left out (the menus it is in and those
    // above them, a widget that lists it, its action group); a field only
    // when its data set is not left out.
    TLangItem *AddComponents(QObject *component, const TComponentList &leaveOut, quint8 flags);
    // Translates every item, in order. What the callback throws passes out.
    void TranslateAll();
    // The text translation behind every adapter: the item's flags, the component's name, OnTranslateText.
    void TranslateText(TLangItem &item, QString &text);

private:
    TLangItem *addItem(std::unique_ptr<TComponentExt> ext);
    TLangItem *addField(TField *field, const TComponentList &leaveOut, quint8 flags);
    void itemChanged(TComponentExt &ext);

    std::vector<std::unique_ptr<TLangItem>> m_items;
    // Labels met by a walk of parts: they size themselves to their translated text.
    QList<QPointer<QLabel>> m_autoSizeLabels;
};

// ---------------------------------------------------------------------------
// A form's translation when it is first shown.

// The text callback of the forms: without a language pack, for a text the
// pack keeps untranslated and for a text without a character above code 127
// the text stays; otherwise the pack's translation, or "?" before the text
// when the pack gives none, or "!" before it when the pack gives it back unchanged.
PLATFORM_EXPORT void TranslatePackText(QString &text);

// Pending from construction when a language pack asks for the application
// texts to be translated; translates the form once and is then done, also
// when the translation failed.
class PLATFORM_EXPORT TFormTranslation {
public:
    TFormTranslation();
    ~TFormTranslation();
    TFormTranslation(const TFormTranslation &) = delete;
    TFormTranslation &operator=(const TFormTranslation &) = delete;

    bool Pending() const { return m_noTranslate != nullptr; }
    // Keeps the component's texts as they are; ignored when nothing is pending.
    void AddNoTranslate(QObject *component);
    // Translates the form (flags lwOwned, or lwOwned | lwNotSelf) with TranslatePackText
    // and returns true; false when nothing is pending. What the language pack
    // throws passes out, and nothing is pending afterwards either way.
    bool TranslateOnce(QObject *form, quint8 flags = lwOwned);

private:
    std::unique_ptr<TComponentList> m_noTranslate;
};
