#include "Source/ComUnits/Lang/uLangCapture.h"

#include "DataAccess/DAError.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/Lang/uLangComp.h"
#include "Source/ComUnits/uComFormGFG.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uComLog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

// --- TPhraseList

void TPhraseList::Add(const QString &text)
{
    const QString phrase = text.trimmed();
    if (phrase.isEmpty())
        return;
    const auto at = std::lower_bound(m_items.begin(), m_items.end(), phrase);
    if (at == m_items.end() || *at != phrase)
        m_items.insert(at, phrase);
}

void TPhraseList::AddRussian(const QString &text)
{
    if (HasHighChar(text))
        Add(text);
}

// --- collecting

namespace {

// The texts a control shows by itself, by property name.
const char *const kTextProperties[] = {"text", "title", "windowTitle", "toolTip"};

// An edit that hides what is typed (a password), and a text that is never
// translated (a count, a name), give no text.
bool keepsItsText(const QWidget *control)
{
    const auto *edit = qobject_cast<const QLineEdit *>(control);
    if (edit && edit->echoMode() != QLineEdit::Normal)
        return true;
    return control->property("tag").toInt() == kLangNoTranslateTag;
}

void addLines(const QString &text, TPhraseList &list)
{
    for (const QString &line : text.split(QLatin1Char('\n')))
        list.AddRussian(line);
}

// Items and lines: combo and list items, tabs, memo lines, column titles of grids.
void addListTexts(QWidget *control, TPhraseList &list)
{
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        for (int i = 0; i < combo->count(); ++i)
            list.AddRussian(combo->itemText(i));
    } else if (auto *listWidget = qobject_cast<QListWidget *>(control)) {
        for (int i = 0; i < listWidget->count(); ++i)
            list.AddRussian(listWidget->item(i)->text());
    } else if (auto *tabs = qobject_cast<QTabBar *>(control)) {
        for (int i = 0; i < tabs->count(); ++i) {
            list.AddRussian(tabs->tabText(i));
            list.AddRussian(tabs->tabToolTip(i));
        }
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
        addLines(memo->toPlainText(), list);
    } else if (auto *textEdit = qobject_cast<QTextEdit *>(control)) {
        addLines(textEdit->toPlainText(), list);
    } else if (auto *view = qobject_cast<QAbstractItemView *>(control)) {
        // A grid's or tree's column titles; a plain list's rows are data, not texts.
        const QAbstractItemModel *model = view->model();
        if (model && (qobject_cast<QTableView *>(view) || qobject_cast<QTreeView *>(view)))
            for (int c = 0; c < model->columnCount(); ++c)
                list.AddRussian(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    }
}

bool givesNothingItself(const QWidget *control)
{
    const char *name = control->metaObject()->className();
    return qstrcmp(name, "TReportSettings") == 0 || qstrcmp(name, "TScrollDateTime") == 0;
}

} // namespace

void CollectPhrases(QWidget *control, TPhraseList &list)
{
    if (!control)
        return;
    const QObjectList children = control->children();
    for (QObject *child : children) {
        auto *c = qobject_cast<QWidget *>(child);
        if (!c)
            continue;
        if (!givesNothingItself(c)) {
            for (const char *name : kTextProperties) {
                if (c->metaObject()->indexOfProperty(name) < 0)
                    continue;
                if (qstrcmp(name, "text") == 0 && keepsItsText(c))
                    continue;
                list.AddRussian(c->property(name).toString());
            }
            addListTexts(c, list);
        }
        CollectPhrases(c, list);
    }
}

// --- names

QString LangPackModuleName(const QString &moduleFile, bool program)
{
    if (program)
        return moduleFile.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) ? moduleFile
                                                                               : moduleFile + QStringLiteral(".exe");
    // Only the extension: a name that holds "dll" or "so" elsewhere keeps it.
    const QString suffix = QFileInfo(moduleFile).suffix();
    const bool moduleSuffix = suffix.compare(QLatin1String("so"), Qt::CaseInsensitive) == 0 ||
                              suffix.compare(QLatin1String("dll"), Qt::CaseInsensitive) == 0;
    const QString base = moduleSuffix ? moduleFile.chopped(suffix.size() + 1) : moduleFile;
    return base + QStringLiteral(".dpr");
}

QString LangPackModuleOf(const QObject *form)
{
    const QString file = FormModuleName(form);
    return LangPackModuleName(file, file == QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

QString FormClassName(const QObject *form)
{
    if (!form)
        return QString();
    const char *mangled = typeid(*form).name();
    int status = 0;
    char *demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled ? demangled : mangled);
    std::free(demangled);
    // "(anonymous namespace)::TOrdersForm" and "ns::TForm" are TOrdersForm and TForm.
    const qsizetype scope = name.lastIndexOf(QLatin1String("::"));
    return scope >= 0 ? name.mid(scope + 2) : name;
}

// --- writing

namespace {

// Attempts at a row that racing captures keep taking from under us.
constexpr int kRowAttempts = 5;

} // namespace

TLangPackWriter::TLangPackWriter(TOraSession *session) : m_session(session), m_query(std::make_unique<TOraQuery>())
{
    m_query->SetSession(session);
}

TLangPackWriter::~TLangPackWriter() = default;

void TLangPackWriter::run(const QString &sql, const QVariantMap &params)
{
    m_query->Close();
    m_query->SetSQLText(sql);
    for (auto p = params.cbegin(); p != params.cend(); ++p)
        m_query->ParamByName(p.key()).SetAsVariant(p.value());
}

QVariant TLangPackWriter::findRow(const QString &findSql, const QVariantMap &keys)
{
    run(findSql, keys);
    m_query->Open();
    const QVariant id = m_query->Eof() ? QVariant() : m_query->Fields(0)->Value();
    m_query->Close();
    return id;
}

QVariant TLangPackWriter::rowId(const QString &findSql, const QString &nextIdSql, const QString &insertSql,
                                const QVariantMap &keys)
{
    for (int attempt = 1;; ++attempt) {
        if (const QVariant id = findRow(findSql, keys); !id.isNull())
            return id;
        const QVariant id = findRow(nextIdSql, {});
        if (BeforeInsert)
            BeforeInsert();
        QVariantMap values = keys;
        values.insert(QStringLiteral("ID"), id);
        try {
            run(insertSql, values);
            m_query->ExecSQL();
            m_session->Commit();
            return id;
        } catch (const EDAError &e) {
            // Another capture made the row, or took the id, first: look again.
            if (e.ErrorCode() != OraErr::UniqueConstraint || attempt >= kRowAttempts)
                throw;
            qCInfo(lcCom) << "language pack row taken meanwhile, looking again:" << e.message();
        }
    }
}

QVariant TLangPackWriter::ModuleId(const QString &moduleName)
{
    return rowId(QStringLiteral("SELECT id_dpr FROM tarvel.dpr WHERE NAME = :NAME"),
                 QStringLiteral("SELECT (NVL(MAX(id_dpr), 0) + 1) as dpr_id_next FROM tarvel.dpr"),
                 QStringLiteral("INSERT INTO tarvel.dpr (id_dpr, name) VALUES(:ID, :NAME)"),
                 {{QStringLiteral("NAME"), moduleName}});
}

QVariant TLangPackWriter::FormId(const QVariant &moduleId, const QString &className)
{
    return rowId(QStringLiteral("SELECT id_dfm FROM tarvel.dfm WHERE fk_dpr = :FK_DPR AND NAME = :NAME"),
                 QStringLiteral("SELECT (NVL(MAX(id_dfm), 0) + 1) as dfm_id_next FROM tarvel.dfm"),
                 QStringLiteral("INSERT INTO tarvel.dfm (fk_dpr, name, id_dfm,  is_translit) "
                                "VALUES(:FK_DPR, :NAME, :ID, 0)"),
                 {{QStringLiteral("FK_DPR"), moduleId}, {QStringLiteral("NAME"), className}});
}

void TLangPackWriter::SavePhrases(const QVariant &formId, const QStringList &phrases)
{
    try {
        run(QStringLiteral("begin TARVEL.lang_pack.SAVE_RUSSIAN_PHRASE(:text, :id_dfm, ''); end;"),
            {{QStringLiteral("id_dfm"), formId}});
        for (const QString &phrase : phrases) {
            if (phrase.isEmpty())
                continue;
            m_query->ParamByName(QStringLiteral("text")).SetAsVariant(phrase);
            m_query->ExecSQL();
        }
        run(QStringLiteral("UPDATE TARVEL.DFM t SET t.IS_TRANSLIT = 1 WHERE t.ID_DFM = :ID"),
            {{QStringLiteral("ID"), formId}});
        m_query->ExecSQL();
        m_session->Commit();
    } catch (...) {
        // Half a form's phrases must not ride on the session's next commit.
        try {
            m_session->Rollback();
        } catch (const std::exception &e) {
            qCWarning(lcCom) << "rollback of the language pack capture failed:" << ExceptionMessage(e);
        }
        throw;
    }
}
