#pragma once
// The capture of a form's Russian texts for the language pack: the pack can
// only translate texts it knows, so a developer opens a form in Russian and
// copies what it shows into the pack's tables (TARVEL.DPR, TARVEL.DFM and the
// phrases of LANG_PACK.SAVE_RUSSIAN_PHRASE), under the module and the form's
// class. TComBaseForm runs it on Ctrl+Shift+F12 while DBG.so is loaded.
#include "Core/PlatformExport.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class QObject;
class QWidget;
class TOraQuery;
class TOraSession;

// Phrases sorted, each once.
class PLATFORM_EXPORT TPhraseList {
public:
    // Adds the text without its surrounding blanks; an empty text is left out.
    void Add(const QString &text);
    // Adds it only when it has a character above code 127 (a Russian text).
    void AddRussian(const QString &text);
    const QStringList &Items() const { return m_items; }
    int Count() const { return int(m_items.size()); }

private:
    QStringList m_items;
};

// Adds the Russian texts of every control below the control: texts, titles,
// window titles and tool tips; combo-box, list and tab items; the lines of
// memos; the column titles of grids. The text of an edit that hides what is
// typed (a password), and of a control tagged kLangNoTranslateTag, is left out. Report settings and date scrollers give
// nothing themselves, their children do.
PLATFORM_EXPORT void CollectPhrases(QWidget *control, TPhraseList &list);

// The module's name as the pack's tables hold it, shared with the consoles
// of the other platform: the program as "<name>.exe", a module with its
// extension (.so, .dll) replaced by ".dpr".
PLATFORM_EXPORT QString LangPackModuleName(const QString &moduleFile, bool program);
// The name of the module that holds the form's class, as above.
PLATFORM_EXPORT QString LangPackModuleOf(const QObject *form);
// The form's own class name, without namespaces.
PLATFORM_EXPORT QString FormClassName(const QObject *form);

// Writes phrases into the pack's tables on a session, every value bound. The
// rows of a module and a form are found by name or made with the next free
// id; when another capture made the same row meanwhile (ORA-00001), the row
// is read by its name, else a new id is taken.
class PLATFORM_EXPORT TLangPackWriter {
public:
    explicit TLangPackWriter(TOraSession *session);
    ~TLangPackWriter();
    TLangPackWriter(const TLangPackWriter &) = delete;
    TLangPackWriter &operator=(const TLangPackWriter &) = delete;

    // The id of the module's row; a new row is committed at once.
    QVariant ModuleId(const QString &moduleName);
    // The id of the form's row in the module; a new row is committed at once.
    QVariant FormId(const QVariant &moduleId, const QString &className);
    // Stores each phrase for the form, marks the form as captured and commits.
    // On an error what was not committed is rolled back and the error goes on.
    void SavePhrases(const QVariant &formId, const QStringList &phrases);

    // Runs just before a new row is inserted (tests: another capture gets there first).
    std::function<void()> BeforeInsert;

private:
    QVariant rowId(const QString &findSql, const QString &nextIdSql, const QString &insertSql, const QVariantMap &keys);
    QVariant findRow(const QString &findSql, const QVariantMap &keys);
    void run(const QString &sql, const QVariantMap &params);

    TOraSession *m_session;
    std::unique_ptr<TOraQuery> m_query;
};
