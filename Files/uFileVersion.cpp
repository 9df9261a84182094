#include "Files/uFileVersion.h"

#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/SessionLocale.h"
#include "Files/uVersionInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

const TFieldDef kFields[kFileVersionFieldCount] = {
    {"Модуль", "FileName", 100, "Module"},
    {"Версия", "ProductVersion", 46, "Version"},
    {"Проект", "ProductName", 100, "Project"},
    {"Описание", "FileDescription", 170, "Description"},
    {"Размер", "FileSize", 54, "Size"},
    {"Время создания", "CreateDate", 110, "Created"},
    {"Последнее изменение", "LastChange", 110, "Last change"},
};

// The keys read from the version block, in this order.
const char *const kVersionKeys[] = {"FileDescription", "ProductVersion", "ProductName"};

QString VersionPath(const char *key)
{
    return QStringLiteral("\\StringFileInfo\\%1\\%2").arg(QLatin1String(kVersionBlock), QLatin1String(key));
}

// 100-nanosecond ticks since 1 January 1601 of a local time, as the two
// halves that a conversion error names; 0 when the file system gave no time.
quint64 LocalFileTime(const QDateTime &time)
{
    if (!time.isValid())
        return 0;
    const QDateTime local = time.toLocalTime();
    const qint64 msecs = local.toMSecsSinceEpoch() + qint64(local.offsetFromUtc()) * 1000;
    return quint64(msecs + 11644473600000LL) * 10000u;
}

// The creation time: the file system's birth time where it keeps one, else the last status change.
QDateTime CreationTimeOf(const QFileInfo &info)
{
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.metadataChangeTime();
}

QDateTime CheckedLocalTime(const QDateTime &time, const char *prefix)
{
    if (!time.isValid()) {
        const quint64 ticks = LocalFileTime(time);
        throw EConvertError(QStringLiteral("TFileVersion.FormVersionData: %1%2high = %3")
                                .arg(QLatin1String(prefix))
                                .arg(quint32(ticks))
                                .arg(quint32(ticks >> 32)));
    }
    return time.toLocalTime();
}

} // namespace

const TFieldDef &FileVersionField(int index)
{
    Z_ASSERT(index >= 0 && index < kFileVersionFieldCount,
             QStringLiteral("FileVersionField: index %1 out of range").arg(index));
    return kFields[index];
}

QString FileVersionCaption(int index)
{
    const TFieldDef &field = FileVersionField(index);
    return PackAplText(QString::fromUtf8(field.Caption), QString::fromLatin1(field.EnCaption));
}

QString FormatFileSize(quint64 size)
{
    if (size == 0)
        return QString();
    QLocale locale = SessionLocale();
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(size);
}

QString FormatFileTime(const QDateTime &time)
{
    const QLocale locale = SessionLocale();
    return locale.toString(time.date(), DateFormatOf(locale)) + QLatin1Char(' ') +
           locale.toString(time.time(), locale.timeFormat(QLocale::ShortFormat));
}

TFileVersion::TFileVersion(const QString &fileName) : FileName(fileName) { FormVersionData(fileName); }

QString TFileVersion::Value(const QString &name) const
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &line : Values)
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size());
    return QString();
}

bool TFileVersion::FormVersionData(const QString &fileName)
{
    Values.append(QStringLiteral("FileName=") + QFileInfo(fileName).fileName());
    try {
        ReadFileFacts(fileName);
        Values.append(QStringLiteral("FileSize=") + FormatFileSize(FileSize));
        Values.append(QStringLiteral("CreateDate= ") + FormatFileTime(CreationTime));
        Values.append(QStringLiteral("LastChange= ") + FormatFileTime(LastWriteTime));
        ReadVersionStrings(fileName);
        return true;
    } catch (const std::exception &e) {
        ShowDialogMessage(ExceptionMessage(e).trimmed(), TranslateAplText(QStringLiteral("rstrNotification")),
                          MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
        return false;
    }
}

void TFileVersion::ReadFileFacts(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EOSError(QStringLiteral("\"%1\": %2").arg(fileName, file.errorString()));
    FileSize = quint32(quint64(file.size()) & 0xFFFFFFFFu);
    const QFileInfo info(fileName);
    CreationTime = CheckedLocalTime(CreationTimeOf(info), "ConvertError1: FileTimeToSystemTime low = ");
    LastWriteTime = CheckedLocalTime(info.lastModified(), "ConvertError2: FileTimeToSystemTimelow = ");
}

void TFileVersion::ReadVersionStrings(const QString &fileName)
{
    std::optional<TVersionInfo> info;
    try {
        info = TVersionInfo::FromFile(fileName);
    } catch (const EExeError &e) {
        throw EExeError(QStringLiteral("could not load info: ") + e.message());
    }
    for (const char *key : kVersionKeys) {
        const QString value = info ? info->Value(VersionPath(key)) : QString();
        const bool translated = qstrcmp(key, "ProductVersion") != 0;
        Values.append(QLatin1String(key) + QLatin1Char('=') + (translated ? TranslateAplText(value) : value));
    }
    if (!info)
        return;
    BuildKind = 3;
    if (info->Exists(VersionPath("SpecialBuild")))
        BuildKind = 1;
    if (info->Exists(VersionPath("PrivateBuild")))
        BuildKind = 2;
}

TFileVersionMgr::TFileVersionMgr() = default;
TFileVersionMgr::~TFileVersionMgr() = default;

void TFileVersionMgr::Refresh()
{
    m_items.clear();
    for (const QString &name : FileNames)
        m_items.push_back(std::make_unique<TFileVersion>(name));
}

TFileVersion *TFileVersionMgr::Items(int index) const
{
    Z_ASSERT(index >= 0 && index < Count(), QStringLiteral("TFileVersionMgr.Items: index %1 out of range").arg(index));
    return m_items[size_t(index)].get();
}
