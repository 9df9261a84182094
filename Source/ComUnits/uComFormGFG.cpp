#include "Source/ComUnits/uComFormGFG.h"

#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "Core/TextCodec.h"
#include "Core/TextFormat.h"
#include "DataAccess/OraDataSet.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uComLog.h"
#include "Source/ComUnits/uQueryOrdering.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <dlfcn.h>
#include <memory>
#include <typeinfo>

namespace {

std::unique_ptr<TIniFile> g_gridSettings;

QString userKeyDefault(const QString &key) { return key + QStringLiteral("_def"); }

TMacro *orderFieldMacro(TOraDataSet *query)
{
    return HasOrderMacros(query) ? query->FindMacro(QStringLiteral("FIELD")) : nullptr;
}

// The fields the query gives: those it has, else those its select list names;
// a query whose list cannot be read is opened once to learn them.
QStringList fieldNamesOf(TOraDataSet *query)
{
    if (query->FieldCount() > 0)
        return query->FieldNames();
    const QStringList selected = SelectedFieldNames(SelectListOf(query->SQLText()));
    if (!selected.isEmpty())
        return selected;
    query->Open();
    const QStringList names = query->FieldNames();
    query->Close();
    return names;
}

void reportRefusedOrdering(QWidget *form, const QString &item)
{
    MsgBoxCaptioned(form,
                    QStringLiteral("TBaseForm.NotFindFieldForOrder: ") +
                        FormatText(TranslateAplText(QStringLiteral("rstr_fmtmsg_IncorrectSortingField")), {item}),
                    TranslateAplText(QStringLiteral("rstrError")), 1);
}

} // namespace

TIniFile &ComFormGFGIni()
{
    const QString fileName = QDir(ProgramFolder()).filePath(QStringLiteral("ComFormGFG.INI"));
    if (!g_gridSettings || g_gridSettings->FileName() != fileName)
        g_gridSettings = std::make_unique<TIniFile>(fileName);
    return *g_gridSettings;
}

QString QuerySqlChecksum(const QString &sqlText)
{
    // The text as a Windows console holds it: every line ended by CR LF, one blank appended.
    QString text;
    const QStringList lines = sqlText.isEmpty() ? QStringList() : sqlText.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        text += line + QStringLiteral("\r\n");
    }
    const QByteArray bytes = EncodeWindows1251(text + QLatin1Char(' '));
    unsigned sum = 0;
    // Positions from 1 to length - 1; a NUL followed by a NUL adds nothing.
    for (qsizetype i = 1; i < bytes.size(); ++i) {
        const auto current = static_cast<unsigned char>(bytes[i - 1]);
        const auto next = static_cast<unsigned char>(bytes[i]);
        if (current != 0 || next != 0)
            sum ^= current + static_cast<unsigned>(i);
    }
    return QStringLiteral("%1").arg(sum, 4, 16, QLatin1Char('0'));
}

QString QueryKey(const TOraDataSet *query)
{
    const QString owner = query->parent() ? query->parent()->objectName() : QString();
    return owner + QLatin1Char('.') + query->Name() + QLatin1Char('.') + QuerySqlChecksum(query->SQLText());
}

QString FormModuleName(const QObject *form)
{
    // The type information of the form's own class lies in the module that defines it
    // (a form class needs no meta-object of its own, so that says nothing).
    Dl_info info{};
    if (form && dladdr(static_cast<const void *>(&typeid(*form)), &info) && info.dli_fname && *info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName();
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

QString OrderSection(const QString &scheme, const QString &module)
{
    return scheme.toUpper() + QLatin1Char('/') + module + QStringLiteral("/OrderBy");
}

bool OrderingsSaved(const QString &scheme)
{
    return ComFormGFGIni().ReadBool(scheme.toUpper() + QStringLiteral("_ORDERBY"), QStringLiteral("SAVE"), true);
}

bool HasOrderMacros(TOraDataSet *query)
{
    const TMacro *order = query->FindMacro(QStringLiteral("ORDER"));
    return order && query->FindMacro(QStringLiteral("FIELD")) &&
           order->Value().trimmed().startsWith(QLatin1String("ORDER"), Qt::CaseInsensitive);
}

namespace {

const QRegularExpression &orderItemPattern()
{
    static const QRegularExpression item(
        QStringLiteral("^(?:[A-Za-z_][A-Za-z0-9_$#]*\\.)?([A-Za-z_][A-Za-z0-9_$#]*)(?:\\s+(ASC|DESC))?$"),
        QRegularExpression::CaseInsensitiveOption);
    return item;
}

} // namespace

QString OrderingAsSelected(const QString &ordering, const QString &sqlText)
{
    const QList<TSelectItem> list = SelectListOf(sqlText);
    QStringList items;
    for (const QString &raw : ordering.split(QLatin1Char(','))) {
        const QString text = raw.trimmed();
        const QRegularExpressionMatch match = orderItemPattern().match(text);
        const QString selected = match.hasMatch() ? OrderExpressionOf(list, match.captured(1)) : QString();
        if (selected.isEmpty()) {
            items << text;
            continue;
        }
        items << (match.captured(2).isEmpty() ? selected : selected + QLatin1Char(' ') + match.captured(2).toUpper());
    }
    return items.join(QStringLiteral(", "));
}

bool IsOrderingOf(const QString &ordering, const QStringList &fieldNames, QString *badItem)
{
    const QRegularExpression &item = orderItemPattern();
    const QStringList items = ordering.split(QLatin1Char(','));
    for (const QString &raw : items) {
        const QString text = raw.trimmed();
        const QRegularExpressionMatch match = item.match(text);
        if (!match.hasMatch() || !fieldNames.contains(match.captured(1), Qt::CaseInsensitive)) {
            if (badItem)
                *badItem = text;
            return false;
        }
    }
    return true;
}

QString QueryOrdering(TOraDataSet *query)
{
    const TMacro *field = orderFieldMacro(query);
    return field ? field->Value().trimmed() : QString();
}

void RestoreQueryOrdering(QWidget *form, const QString &module, const QString &scheme, TOraDataSet *query)
{
    TMacro *field = orderFieldMacro(query);
    if (!field || !OrderingsSaved(scheme))
        return;
    TIniFile &ini = ComFormGFGIni();
    const QString section = OrderSection(scheme, module);
    const QString key = QueryKey(query);
    try {
        if (!ini.ValueExists(section, key))
            return;
        const QString stored = ini.ReadString(section, key, QString()).trimmed();
        QString badItem;
        if (!IsOrderingOf(stored, fieldNamesOf(query), &badItem)) {
            reportRefusedOrdering(form, badItem);
            ini.DeleteKey(section, key);
            return;
        }
        query->MacroByName(QStringLiteral("ORDER")).SetActive(true);
        field->SetActive(true);
        const bool wasOpen = query->Active();
        if (wasOpen)
            query->Close();
        field->SetValue(OrderingAsSelected(stored, query->SQLText()));
        if (wasOpen)
            query->Open();
    } catch (const EIniWriteError &e) {
        qCWarning(lcCom) << "the grid settings were not written:" << e.FileName() << e.SystemText();
    } catch (const std::exception &e) {
        // The query could not tell its fields: the stored ordering waits for a later run.
        qCWarning(lcCom) << "ordering of" << key << "not restored:" << ExceptionMessage(e);
    }
}

void StoreQueryOrdering(const QString &module, const QString &scheme, TOraDataSet *query, const QString &designOrdering)
{
    TMacro *field = orderFieldMacro(query);
    if (!field || !OrderingsSaved(scheme))
        return;
    const QString section = OrderSection(scheme, module);
    const QString key = QueryKey(query);
    const QString current = field->Value().trimmed();
    try {
        ComFormGFGIni().Update([&](TIniFile::TEdit &edit) {
            if (current != designOrdering.trimmed())
                edit.WriteString(section, key, current);
            else
                edit.DeleteKey(section, key);
            edit.DeleteKey(section, userKeyDefault(key));
        });
    } catch (const std::exception &e) {
        // Closing the form goes on: only the ordering is not remembered.
        qCWarning(lcCom) << "the ordering of" << key << "was not stored:" << ExceptionMessage(e);
    }
}

namespace {

QString columnsSection(const QString &module) { return module + QStringLiteral("/Columns"); }

} // namespace

QString StoredColumns(const QString &module, const QString &key)
{
    return ComFormGFGIni().ReadString(columnsSection(module), key, QString());
}

void StoreColumns(const QString &module, const QString &key, const QString &layout)
{
    try {
        ComFormGFGIni().Update([&](TIniFile::TEdit &edit) {
            if (layout.isEmpty())
                edit.DeleteKey(columnsSection(module), key);
            else
                edit.WriteString(columnsSection(module), key, layout);
        });
    } catch (const std::exception &e) {
        qCWarning(lcCom) << "the columns of" << key << "were not stored:" << ExceptionMessage(e);
    }
}
