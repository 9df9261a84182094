#pragma once
// What the module reader (the helper program KorModuleProbe) and the console
// tell each other.
//
// Module code that gives a service's attributes or the registration lists may
// crash, hang, or hand back freed or garbage pointers. So the console never
// runs it in its own process to build a menu or fill the registration window:
// it starts the module reader, sends it the files to read, and the reader
// loads each file, calls its exports, copies every text, icon and record into
// the plain records below, unloads the file and sends them back. Only opening
// a service loads its module into the console.
//
// The reader's answer is a stream of frames on its standard output, each a
// 32-bit length and a QDataStream payload: "begin" before it loads file i,
// "result" with the records once the file is unloaded again, or "garbage"
// when the module handed back something that cannot be a valid answer (the
// reader then ends: the module may have damaged its memory). A reader that
// dies or stops answering while a file has begun leaves that file faulty.
#include <QByteArray>
#include <QDataStream>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One file to read: the attributes of the identifiers, and with Registration
// also the service list and each listed service's attributes, rights and reports.
struct TProbeRequest {
    QString Path;
    QStringList Guids;
    bool Registration = false;
};

// A service's attributes as the module gave them. Texts are the module's
// bytes (null for a null pointer); the icon is one PNG picture per size.
struct TProbedAttributes {
    // The call failed: the error's message and class; nothing else is set.
    QString Error;
    QString ErrorClass;
    QByteArray Caption;
    QByteArray Description;
    QByteArray IconName;
    QList<QByteArray> IconImages;
    bool TranslateCaption = false;
    bool TranslateDescription = false;
};

struct TProbedRight {
    qint32 ID = 0;
    QByteArray Guid;
    QByteArray Caption;
    bool IsLang = false;
};

struct TProbedReport {
    QByteArray RGuid;
    QByteArray RName;
    QByteArray RDesc;
};

// What the registration reads of a listed service besides its attributes.
struct TProbedRegistration {
    // An access or report export failed: the error's message and class.
    QString Error;
    QString ErrorClass;
    // The access-list export answered null.
    bool RightsNull = false;
    // Read through GetAccessList (no IsLang) rather than GetAccessList2.
    bool ShortRights = false;
    // The rights up to the end marker; more than a rights string holds are kept, for the reader to refuse.
    QList<TProbedRight> Rights;
    QList<TProbedReport> Reports;
};

// The exports a module file has.
enum TModuleExport : quint32 {
    meServiceList = 1,
    meAttribute = 2,
    meAttribute2 = 4,
    meAccessList = 8,
    meAccessList2 = 16,
    meReportList = 32,
};

// Everything read of one module file.
struct TProbedFile {
    // The file could not be loaded: the system's text; nothing else is set.
    QString LoadError;
    quint32 Exports = 0;
    // By identifier, as asked or listed.
    QHash<QString, TProbedAttributes> Attributes;
    // The service list was read (a file without GetServiceList or without an attribute export has none).
    bool Listed = false;
    QString ListError;
    QString ListErrorClass;
    QStringList ListedGuids;
    QHash<QString, TProbedRegistration> Registration;

    // Takes what another reading of the same file added.
    void Merge(const TProbedFile &other);
};

QDataStream &operator<<(QDataStream &out, const TProbeRequest &request);
QDataStream &operator>>(QDataStream &in, TProbeRequest &request);
QDataStream &operator<<(QDataStream &out, const TProbedFile &file);
QDataStream &operator>>(QDataStream &in, TProbedFile &file);

namespace ModuleProbe {

enum TFrameKind : qint32 { fkBegin = 1, fkResult = 2, fkGarbage = 3 };
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

// Limits of what a module may hand back; beyond them its answer is garbage.
constexpr int kMaxTextBytes = 64 * 1024;
constexpr int kMaxListEntries = 10000;
constexpr int kMaxIconSide = 256;
constexpr qint64 kMaxFrameBytes = 256 * 1024 * 1024;

// The bytes of one frame.
QByteArray Frame(TFrameKind kind, qint32 index, const std::function<void(QDataStream &)> &body = {});
// Takes the first whole frame out of the buffer; false when none is complete yet.
// A frame too large to be one of the reader's is refused (tooLarge set).
bool TakeFrame(QByteArray &buffer, QByteArray &payload, bool &tooLarge);

} // namespace ModuleProbe
