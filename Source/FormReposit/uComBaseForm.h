#pragma once
// TComBaseForm: the ancestor of the shared data and dialog forms. What a
// derived form does without saying so comes from here:
//
// - at creation it decides whether its texts must be translated (the
//   language pack's application and report translation flags);
// - it hands the shared table of message texts and colours to every control
//   that has a property "SourceReference";
// - its date and time editors show the locale's date, time or date-and-time
//   format, whichever their design format asks for;
// - it translates all its components once, just before it is first shown;
// - it carries the hidden action acDBGExist (Ctrl+Shift+F12), enabled while
//   the debugging library DBG.so is loaded, that copies its Russian texts into
//   the language pack.
//
// Forms are made with Create<T>(...): the constructors build the controls,
// then the steps that call a derived form's overrides run (C++ calls no
// override from a base constructor). An exception while building deletes the
// form and goes on to the caller.
#include "Core/PlatformExport.h"
#include "Source/ComUnits/uLumSources.h"
#include "Source/ComUnits/uServiceForm.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <type_traits>

class QAction;

class PLATFORM_EXPORT TComBaseForm : public TVariantForm {
    Q_OBJECT
public:
    // Bits of LangFlags.
    enum : quint8 { lfAplTrans = 2, lfRepTrans = 4 };

    explicit TComBaseForm(QWidget *parent = nullptr);
    ~TComBaseForm() override;

    template <class T, class... Args>
    static std::unique_ptr<T> Create(Args &&...args)
    {
        static_assert(std::is_base_of_v<TComBaseForm, T>, "Create makes forms derived from TComBaseForm");
        std::unique_ptr<T> form(new T(std::forward<Args>(args)...));
        static_cast<TComBaseForm *>(form.get())->Build();
        return form;
    }

    // Whether the form was made through Create and has been built.
    bool Constructed() const { return m_constructed; }
    // Set when the form has been closed once.
    bool Closed() const { return m_closed; }
    quint8 LangFlags() const { return m_langFlags; }
    // Whether the first showing will translate the form.
    bool TranslationPending() const { return m_noTranslate != nullptr; }
    // Keeps a component's texts as they are (ignored when no translation is pending).
    void AddNoTranslate(QObject *component);
    bool IsNoTranslate(const QObject *component) const;
    // The form's text callback of the translation: texts without a character
    // above code 127, and those the language pack keeps, stay as they are;
    // others become the pack's translation, "?" before the text when the pack
    // has none, "!" before it when the pack gives it back unchanged.
    void TranslateText(QString &text) const;
    TLumDefSources *DefSources() const { return m_defSources; }

    void done(int result) override;

    // Further texts for the language-pack capture.
    QStringList ExtraPhrases;

    // Design components.
    TLumSourcesReference *LumSourcesReference;
    QAction *acDBGExist;

protected:
    // The create, show and close events of a derived form; the bases have done
    // their part of each before it runs.
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual void FormClose() {}
    // After the first-show translation.
    virtual void AfterTranslate() {}
    // The resource library is loaded: the form takes its pictures from it.
    virtual void LoadGlyphs() {}
    // Fills and attaches the sources table; derived forms call the base first.
    virtual void SetSources();
    // Copies the form's Russian texts into the language pack (DBG.so loaded,
    // the user's language Russian): its caption, the texts of its controls and
    // ExtraPhrases, under its module and class.
    virtual void acDBGExistExecute();

    // Building steps of the bases below this one: whether the create event
    // runs before the glyphs and sources (the old creation order), and what
    // runs just before and after it.
    virtual bool OldCreateOrder() const { return false; }
    virtual void BeforeCreateEvent() {}
    virtual void AfterCreateEvent() {}
    // What a base below this one does when the form closes, before the close event.
    virtual void BeforeCloseEvent() {}
    // Whether the form may close now.
    virtual bool CloseQuery() { return true; }

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Build();
    void runCreateEvent();
    void prepareControls(QWidget *parent);
    void translateOnFirstShow();
    void translateComponents();
    void formClosed();

    bool m_constructed = false;
    bool m_closed = false;
    quint8 m_langFlags = 0;
    std::unique_ptr<QList<QPointer<QObject>>> m_noTranslate;
    QPointer<TLumDefSources> m_defSources;
};

// The session's formats for date and time editors (Core/SessionLocale), in the editors' pattern letters.
PLATFORM_EXPORT QString GetLocaleDateFormat();
PLATFORM_EXPORT QString GetLocaleTimeFormat();
PLATFORM_EXPORT QString GetLocaleDateTimeFormat();
// The locale format that suits an editor's design format: without "H" the date
// format, with "H" but no "D" the time format, else the date-and-time format.
PLATFORM_EXPORT QString LocaleFormatFor(const QString &designFormat);
