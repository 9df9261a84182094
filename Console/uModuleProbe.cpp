#include "Console/uModuleProbe.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

QDataStream &operator<<(QDataStream &out, const TProbeRequest &request)
{
    return out << request.Path << request.Guids << request.Registration;
}

QDataStream &operator>>(QDataStream &in, TProbeRequest &request)
{
    return in >> request.Path >> request.Guids >> request.Registration;
}

namespace {

QDataStream &operator<<(QDataStream &out, const TProbedAttributes &a);
QDataStream &operator>>(QDataStream &in, TProbedAttributes &a);
QDataStream &operator<<(QDataStream &out, const TProbedRight &r);
QDataStream &operator>>(QDataStream &in, TProbedRight &r);
QDataStream &operator<<(QDataStream &out, const TProbedReport &r);
QDataStream &operator>>(QDataStream &in, TProbedReport &r);
QDataStream &operator<<(QDataStream &out, const TProbedRegistration &r);
QDataStream &operator>>(QDataStream &in, TProbedRegistration &r);

// Lists and tables of what a module handed back. Their counts are checked
// before anything is read: a damaged stream must not make the reader of it
// reserve room for billions of entries.
template <typename T>
void writeList(QDataStream &out, const QList<T> &list)
{
    out << quint32(list.size());
    for (const T &item : list)
        out << item;
}

template <typename T>
void readList(QDataStream &in, QList<T> &list)
{
    list.clear();
    quint32 count = 0;
    in >> count;
    if (count > quint32(ModuleProbe::kMaxListEntries)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        T item;
        in >> item;
        list.append(item);
    }
}

template <typename T>
void writeTable(QDataStream &out, const QHash<QString, T> &table)
{
    out << quint32(table.size());
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        out << it.key() << it.value();
}

template <typename T>
void readTable(QDataStream &in, QHash<QString, T> &table)
{
    table.clear();
    quint32 count = 0;
    in >> count;
    if (count > quint32(ModuleProbe::kMaxListEntries)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString key;
        T value;
        in >> key >> value;
        table.insert(key, value);
    }
}

QDataStream &operator<<(QDataStream &out, const TProbedAttributes &a)
{
    out << a.Error << a.ErrorClass << a.Caption << a.Description << a.IconName;
    writeList(out, a.IconImages);
    return out << a.TranslateCaption << a.TranslateDescription;
}

QDataStream &operator>>(QDataStream &in, TProbedAttributes &a)
{
    in >> a.Error >> a.ErrorClass >> a.Caption >> a.Description >> a.IconName;
    readList(in, a.IconImages);
    return in >> a.TranslateCaption >> a.TranslateDescription;
}

QDataStream &operator<<(QDataStream &out, const TProbedRight &r)
{
    return out << r.ID << r.Guid << r.Caption << r.IsLang;
}
QDataStream &operator>>(QDataStream &in, TProbedRight &r) { return in >> r.ID >> r.Guid >> r.Caption >> r.IsLang; }
QDataStream &operator<<(QDataStream &out, const TProbedReport &r) { return out << r.RGuid << r.RName << r.RDesc; }
QDataStream &operator>>(QDataStream &in, TProbedReport &r) { return in >> r.RGuid >> r.RName >> r.RDesc; }

QDataStream &operator<<(QDataStream &out, const TProbedRegistration &r)
{
    out << r.Error << r.ErrorClass << r.RightsNull << r.ShortRights;
    writeList(out, r.Rights);
    writeList(out, r.Reports);
    return out;
}

QDataStream &operator>>(QDataStream &in, TProbedRegistration &r)
{
    in >> r.Error >> r.ErrorClass >> r.RightsNull >> r.ShortRights;
    readList(in, r.Rights);
    readList(in, r.Reports);
    return in;
}

} // namespace

QDataStream &operator<<(QDataStream &out, const TProbedFile &f)
{
    out << f.LoadError << f.Exports;
    writeTable(out, f.Attributes);
    out << f.Listed << f.ListError << f.ListErrorClass;
    writeList(out, QList<QString>(f.ListedGuids));
    writeTable(out, f.Registration);
    return out;
}

QDataStream &operator>>(QDataStream &in, TProbedFile &f)
{
    in >> f.LoadError >> f.Exports;
    readTable(in, f.Attributes);
    in >> f.Listed >> f.ListError >> f.ListErrorClass;
    QList<QString> guids;
    readList(in, guids);
    f.ListedGuids = guids;
    readTable(in, f.Registration);
    return in;
}

void TProbedFile::Merge(const TProbedFile &other)
{
    if (!other.LoadError.isEmpty())
        LoadError = other.LoadError;
    Exports |= other.Exports;
    Attributes.insert(other.Attributes);
    if (other.Listed) {
        Listed = true;
        ListError = other.ListError;
        ListErrorClass = other.ListErrorClass;
        ListedGuids = other.ListedGuids;
        Registration = other.Registration;
    }
}

namespace ModuleProbe {

QByteArray Frame(TFrameKind kind, qint32 index, const std::function<void(QDataStream &)> &body)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << qint32(kind) << index;
        if (body)
            body(out);
    }
    QByteArray frame(4, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

bool TakeFrame(QByteArray &buffer, QByteArray &payload, bool &tooLarge)
{
    tooLarge = false;
    if (buffer.size() < 4)
        return false;
    const quint32 size = qFromBigEndian<quint32>(buffer.constData());
    if (size > kMaxFrameBytes) {
        tooLarge = true;
        return false;
    }
    if (buffer.size() < 4 + qsizetype(size))
        return false;
    payload = buffer.mid(4, size);
    buffer.remove(0, 4 + size);
    return true;
}

} // namespace ModuleProbe
