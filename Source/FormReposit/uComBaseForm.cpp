#include "Source/FormReposit/uComBaseForm.h"

#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/SessionLocale.h"
#include "Source/ComUnits/Lang/uLangCapture.h"
#include "Source/ComUnits/Lang/uLangComp.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uComLog.h"
#include "Source/ComUnits/uDBGInt.h"
#include "Source/ComUnits/uLumSources.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QDir>
#include <QVariant>

TComBaseForm::TComBaseForm(QWidget *parent) : TVariantForm(parent)
{
    if (TLanguagesDM *languages = GetComLanguages()) {
        if (languages->IsNecessaryAplTrans())
            m_langFlags |= lfAplTrans;
        if (languages->IsNecessaryRepTrans())
            m_langFlags |= lfRepTrans;
    }
    if (m_langFlags & lfAplTrans)
        m_noTranslate = std::make_unique<QList<QPointer<QObject>>>();

    LumSourcesReference = new TLumSourcesReference(this);
    LumSourcesReference->setObjectName(QStringLiteral("LumSourcesReference"));
    acDBGExist = new QAction(this);
    acDBGExist->setObjectName(QStringLiteral("acDBGExist"));
    acDBGExist->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12));
    acDBGExist->setShortcutContext(Qt::WindowShortcut);
    acDBGExist->setEnabled(DBGInt::DBGLoaded());
    addAction(acDBGExist);
    connect(acDBGExist, &QAction::triggered, this, [this] { acDBGExistExecute(); });
    // Closing through done() (OK, Cancel, Esc) is a close as much as the window's close button.
    connect(this, &QDialog::finished, this, [this] { formClosed(); });
    // Run modally, every form of the house is worked through by a script in
    // the unattended mode rather than cancelled.
    SetDrivenUnattended(this);
}

TComBaseForm::~TComBaseForm() = default;

void TComBaseForm::Build()
{
    BeforeCreateEvent();
    if (OldCreateOrder())
        runCreateEvent();
    if (ResourceLibraryLoaded())
        LoadGlyphs();
    SetSources();
    if (!OldCreateOrder())
        runCreateEvent();
    AfterCreateEvent();
    m_constructed = true;
}

void TComBaseForm::runCreateEvent()
{
    m_closed = false;
    ExtraPhrases.clear();
    prepareControls(this);
    FormCreate();
}

// Depth first through the child controls: the sources table to those that
// read it, the locale's formats to date and time editors.
void TComBaseForm::prepareControls(QWidget *parent)
{
    const QObjectList children = parent->children();
    for (QObject *child : children) {
        auto *control = qobject_cast<QWidget *>(child);
        if (!control)
            continue;
        if (control->metaObject()->indexOfProperty("SourceReference") >= 0) {
            control->setProperty("SourceReference", QVariant::fromValue<QObject *>(LumSourcesReference));
            if (qstrcmp(control->metaObject()->className(), "TScrollDateTime") == 0)
                AddNoTranslate(control);
        }
        if (auto *editor = qobject_cast<QDateTimeEdit *>(control)) {
            editor->setLocale(SessionLocale());
            editor->setDisplayFormat(LocaleFormatFor(editor->displayFormat()));
        }
        prepareControls(control);
    }
}

void TComBaseForm::SetSources()
{
    if (!m_defSources) {
        // One table for the whole application, filled with the texts of the language now in use.
        m_defSources = ApplicationDefSources();
        FillDefSources(m_defSources);
    }
    LumSourcesReference->SetSources(m_defSources);
    AddNoTranslate(LumSourcesReference);
}

void TComBaseForm::AddNoTranslate(QObject *component)
{
    if (m_noTranslate && component && !IsNoTranslate(component))
        m_noTranslate->append(component);
}

bool TComBaseForm::IsNoTranslate(const QObject *component) const
{
    if (!m_noTranslate)
        return false;
    for (const QPointer<QObject> &held : std::as_const(*m_noTranslate))
        if (held == component)
            return true;
    return false;
}

void TComBaseForm::TranslateText(QString &text) const { TranslatePackText(text); }

void TComBaseForm::showEvent(QShowEvent *event)
{
    TVariantForm::showEvent(event);
    if (!m_constructed)
        qCWarning(lcCom) << metaObject()->className() << "is shown without having been built by TComBaseForm::Create";
    FormShow();
    translateOnFirstShow();
}

void TComBaseForm::translateOnFirstShow()
{
    if (m_closed || !(m_langFlags & lfAplTrans) || !m_noTranslate)
        return;
    try {
        translateComponents();
        AfterTranslate();
    } catch (const std::exception &e) {
        // The event loop lets nothing through: the failure is shown, and the form stays as it is.
        MsgBoxKind(this, ExceptionMessage(e).trimmed(), 1);
    }
    m_noTranslate.reset();
}

// Every component the form owns, and the form itself, except those it keeps as they are.
void TComBaseForm::translateComponents()
{
    TLang lang;
    lang.SkipDuplicateCheck = true;
    lang.OnTranslateText = [this](TLang &, TLangItem &, QString &text) { TranslateText(text); };
    lang.AddComponents(this, *m_noTranslate, lwOwned);
    lang.TranslateAll();
}

void TComBaseForm::closeEvent(QCloseEvent *event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    TVariantForm::closeEvent(event);
    if (event->isAccepted())
        formClosed();
}

void TComBaseForm::done(int result)
{
    if (!CloseQuery())
        return;
    TVariantForm::done(result);
}

void TComBaseForm::formClosed()
{
    m_closed = true;
    BeforeCloseEvent();
    FormClose();
}

// --- the language-pack capture

namespace {

constexpr int kRussian = 25;

void showPlainMessage(const QString &text) { ShowDialogMessage(text, QApplication::applicationDisplayName(), MB_OK); }

} // namespace

void TComBaseForm::acDBGExistExecute()
{
    if (!DBGInt::DBGLoaded())
        return;
    showPlainMessage(QStringLiteral("Библиотека \"") + QDir::toNativeSeparators(DBGInt::LibraryPath()) +
                     QStringLiteral("\" загружена"));
    TLanguagesDM *languages = GetComLanguages();
    if (!languages || !languages->Connection())
        return; // no language pack in use: nowhere to write
    try {
        if (languages->GET_USER_APL_LANG_ID() != kRussian) {
            showPlainMessage(QStringLiteral("Запустите русскую версию!"));
            return;
        }
        TPhraseList phrases;
        phrases.AddRussian(windowTitle());
        CollectPhrases(this, phrases);
        for (const QString &extra : std::as_const(ExtraPhrases))
            phrases.Add(extra);
        TLangPackWriter writer(languages->Connection());
        const QVariant formId = writer.FormId(writer.ModuleId(LangPackModuleOf(this)), FormClassName(this));
        writer.SavePhrases(formId, phrases.Items());
    } catch (const std::exception &e) {
        MsgBoxKind(this, ExceptionMessage(e).trimmed(), 1);
        return;
    }
    showPlainMessage(QStringLiteral("Слова скопированы"));
}

// --- the locale's formats: the session's, whatever the process's language

QString GetLocaleDateFormat() { return SessionDateFormat(); }

QString GetLocaleTimeFormat() { return SessionTimeFormat(); }

QString GetLocaleDateTimeFormat() { return GetLocaleDateFormat() + QLatin1Char(' ') + GetLocaleTimeFormat(); }

QString LocaleFormatFor(const QString &designFormat)
{
    const QString upper = designFormat.toUpper();
    if (!upper.contains(QLatin1Char('H')))
        return GetLocaleDateFormat();
    if (!upper.contains(QLatin1Char('D')))
        return GetLocaleTimeFormat();
    return GetLocaleDateTimeFormat();
}
