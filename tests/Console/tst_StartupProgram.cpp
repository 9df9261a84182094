// The program block: its steps, switches, tool modes and exit paths; the
// updater launch with a double that answers 1, 0 or never; the products'
// version stamps and the splash window.
#include "Console/KorConsoleProgram.h"
#include "Console/uAtom.h"
#include "Console/uAutoUpdate.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleDM.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleInfo.h"
#include "Console/uConsoleVersion.h"
#include "Console/uSplash.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/TextCodec.h"
#include "Core/TextFormat.h"
#include "Files/uVerList.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TempExeDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QtEndian>
#include <QtTest>

#include <bit>
#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct DataModuleLog {
    QStringList calls;
    bool loginResult = true;
    bool throwOnLogin = false;
    bool throwOnServer = false;
    int atomCountAtLogin = -1;
};

class FakeDataModule : public IConsoleDataModule {
public:
    explicit FakeDataModule(DataModuleLog &calls) : log(calls) {}
    DataModuleLog &log;
    void SetServer(const QString &v) override
    {
        if (log.throwOnServer)
            throw Exception(u"  server refused  "_s);
        log.calls << "server=" + v;
    }
    void SetUserName(const QString &v) override { log.calls << "user=" + v; }
    void SetPassword(const QString &v) override { log.calls << "password=" + v; }
    void SetConnectPrompt(bool v) override { log.calls << u"prompt=%1"_s.arg(v); }
    void SetHomeIndex(int v) override { log.calls << u"home=%1"_s.arg(v); }
    void SetStoreLogInfo(bool v) override { log.calls << u"store=%1"_s.arg(v); }
    bool Login(const QString &scheme, const QString &lang) override
    {
        log.calls << "login " + scheme + " " + lang;
        log.atomCountAtLogin = ConsoleAtomCount();
        if (log.throwOnLogin)
            throw Exception(u" listener down "_s);
        return log.loginResult;
    }
    bool LoggedIn() const override { return false; }
};

class RecordingProgram : public TKorConsoleProgram {
public:
    DataModuleLog dmLog;
    QStringList hooks;
    QString schemeChoice = u"ZANDRELL5"_s;
    bool realUpdater = false;

protected:
    void InitializeUnits() override { hooks << "init"; }
    void FinalizeUnits() override { hooks << "final"; }
    bool LaunchAutoUpdate(int langId) override
    {
        hooks << u"updater %1"_s.arg(langId);
        return realUpdater && TKorConsoleProgram::LaunchAutoUpdate(langId);
    }
    int ShowHomeDialog() override
    {
        hooks << "home";
        return 0;
    }
    QString ShowSchemeDialog() override
    {
        hooks << "scheme";
        if (schemeChoice.isEmpty())
            return schemeChoice;
        SetActiveScheme(schemeChoice);
        return schemeChoice;
    }
    std::unique_ptr<IConsoleDataModule> CreateDataModule() override
    {
        hooks << "dm";
        return std::make_unique<FakeDataModule>(dmLog);
    }
    void RunMainWindow(const QString &scheme, bool disableReconnect) override
    {
        hooks << u"main %1 %2"_s.arg(scheme).arg(disableReconnect);
    }
};

// The current layout: name in 52 bytes, four 32-bit numbers at 52, the date at 72.
QByteArray Stamp80(const QByteArray &name, const QList<qint32> &numbers, double days)
{
    QByteArray bytes(80, '\0');
    std::memcpy(bytes.data(), name.constData(), size_t(qMin<qsizetype>(name.size(), 52)));
    for (int i = 0; i < 4; ++i)
        qToLittleEndian(numbers[i], bytes.data() + 52 + 4 * i);
    qToLittleEndian(quint32(0xDEADBEEF), bytes.data() + 68); // reserved: never read
    qToLittleEndian(std::bit_cast<quint64>(days), bytes.data() + 72);
    return bytes;
}

// The older layout: name in 51 bytes, four version bytes at 51, the date at 56.
QByteArray Stamp64(const QByteArray &name, const QList<quint8> &numbers, double days)
{
    QByteArray bytes(64, '\0');
    std::memcpy(bytes.data(), name.constData(), size_t(qMin<qsizetype>(name.size(), 51)));
    for (int i = 0; i < 4; ++i)
        bytes[51 + i] = char(numbers[i]);
    bytes[55] = char(0x7F); // reserved
    qToLittleEndian(std::bit_cast<quint64>(days), bytes.data() + 56);
    return bytes;
}

// 25 March 2024, half past one in the afternoon.
const double kSampleDays = 45376.0 + 13.5 / 24.0;

} // namespace

class TestStartupProgram : public QObject {
    Q_OBJECT

    TempExeDir *exeDir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    QString logFile() const { return exeDir->filePath(u"updater.log"_s); }
    void installDouble(const char *answer)
    {
        QVERIFY(QFile::copy(QStringLiteral(AUTOUPDATE_DOUBLE), AutoUpdatePath()));
        QVERIFY(QFile::setPermissions(AutoUpdatePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("AUTOUPDATE_DOUBLE_ANSWER", answer);
        qputenv("AUTOUPDATE_DOUBLE_LOG", logFile().toUtf8());
    }
    QStringList updaterArguments() const
    {
        // The double runs on its own: wait until it has written its arguments.
        QFile file(logFile());
        for (int i = 0; i < 500 && !file.exists(); ++i)
            QTest::qWait(10);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    }

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_test_" + QByteArray::number(getpid())); }
    void init()
    {
        exeDir = new TempExeDir;
        exeDir->write(u"Res/Langs.ini"_s, "[LANGS]\n25=Ru\n9=En\n");
        exeDir->write(u"Res/En.ini"_s, "[WRD_WORDS]\n");
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        FreeSplash();
        QLocale::setDefault(QLocale::system());
        delete dialogs;
        CloseConsoleIni();
        delete exeDir;
        qunsetenv("AUTOUPDATE_DOUBLE_ANSWER");
        qunsetenv("AUTOUPDATE_DOUBLE_LOG");
    }

    // The switches (blank-separated): the exit path, the data module's calls and the box shown.
    void switches_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("exitPath");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("box");
        const auto row = [](const char *args, const char *exitPath, const QString &calls, const QString &box = {}) {
            QTest::newRow(args) << QString::fromUtf8(args) << QString::fromLatin1(exitPath) << calls << box;
        };
        const QString login = u"prompt=1; login ZANDRELL5 25"_s;
        const QString notExtracted = u"Параметр \"%1\" не извлечен из строки \"%2\""_s;
        const QString notCorrect = u"Параметр \"%1\"(%2) - не корректен"_s;
        // Help and the tool modes only alone and exactly written.
        row("/?", "help", {}, RussianHelpText());
        row("/? /user=x", "loop", u"user=x; prompt=1; store=0; login ZANDRELL5 25"_s);
        row("/HELP", "loop", login);
        row("/home", "home", {});
        row("/HOME", "loop", login, notExtracted.arg("home", "/HOME"));
        row("/SCHEME", "scheme", {});
        // Oracle homes 0 to 6; anything else is reported and home 0 is used.
        row("/home=6", "loop", u"prompt=1; home=6; login ZANDRELL5 25"_s);
        row("/home=0", "loop", u"prompt=1; home=0; login ZANDRELL5 25"_s);
        row("/home=7", "loop", u"prompt=1; home=0; login ZANDRELL5 25"_s, notCorrect.arg("Oracle Home", "7"));
        row("/home=-1", "loop", login); // -1 is no home given
        // The connection: the last "=" and the last switch count; the dialog unless all three are given.
        row("/server=a=b /user=u1 /password=secret /user=u2", "loop",
            u"server=b; user=u2; password=secret; prompt=0; store=0; login ZANDRELL5 25"_s);
        row("/server=S /user=U", "loop", u"server=S; user=U; prompt=1; store=0; login ZANDRELL5 25"_s);
        row("/user=-1 /password=pw", "loop", u"password=pw; prompt=1; login ZANDRELL5 25"_s);
        row("/user", "loop", login, notExtracted.arg("user", "/user"));
        // Schemes: named, old spelling, chosen in the window, empty.
        row("/scheme=ABC", "loop", u"prompt=1; login ABC 25"_s);
        row("/shema=OLD", "loop", u"prompt=1; login OLD 25"_s);
        row("/scheme=?", "loop", u"prompt=1; login CHOSEN 25"_s);
        row("/scheme=", "loop", login, notCorrect.arg("scheme", ""));
        // A name that would break Console.ini: the other switches still apply.
        row("/server=SRV /scheme=[X /home=3", "loop", u"server=SRV; prompt=1; home=3; store=0; login ZANDRELL5 25"_s,
            notCorrect.arg("scheme", "[X"));
        // Languages: only the first /langid counts.
        row("/langid=9 /langid=25", "loop", u"prompt=1; login ZANDRELL5 9"_s);
        row("/langid=abc /langid=9", "loop", login, notCorrect.arg("langid", "abc"));
    }
    void switches()
    {
        QFETCH(QString, args);
        QFETCH(QString, exitPath);
        QFETCH(QString, calls);
        QFETCH(QString, box);
        RecordingProgram p;
        p.schemeChoice = u"CHOSEN"_s;
        QCOMPARE(p.Run(args.split(QLatin1Char(' '))), 0);
        QCOMPARE(p.ExitPath, exitPath);
        QCOMPARE(p.hooks.first(), u"init"_s);
        QCOMPARE(p.hooks.last(), u"final"_s);
        // The tool window of /home and /scheme, and of /scheme=?.
        const QString tool = args.endsWith(u"=?"_s) ? u"scheme"_s : exitPath;
        QCOMPARE(p.hooks.contains("home") || p.hooks.contains("scheme"), tool == u"home"_s || tool == u"scheme"_s);
        QVERIFY(p.hooks.contains(tool) || tool == u"help"_s || tool == u"loop"_s);
        QCOMPARE(p.hooks.contains("dm"), !calls.isEmpty());
        QCOMPARE(p.dmLog.calls.join(u"; "_s), calls);
        QCOMPARE(dialogs->texts(), box.isEmpty() ? QStringList() : QStringList{box});
        for (const RecordedBox &shown : dialogs->boxes)
            QCOMPARE(shown.flags, unsigned(exitPath == u"help"_s ? MB_ICONINFORMATION : MB_ICONERROR));
    }

    // The switch picks the language of the run and the updater gets it; the help comes in the stored
    // language, a language file's help with its comma items as lines; the switch overrides what is stored.
    void languageOfTheRun()
    {
        RecordingProgram p;
        p.Run({"/langid=9"});
        QCOMPARE(p.hooks.at(1), u"updater 9"_s);
        exeDir->write(u"Console.ini"_s, "[START]\nLangID=9\n");
        dialogs->clear();
        RecordingProgram english;
        english.Run({"/?"});
        QCOMPARE(dialogs->boxes.last().text, EnglishHelpText());
        exeDir->write(u"Res/En.ini"_s, "[WRD_HELP]\nrstr_HelpText=\"/? - help\",\"/home - homes\"\n");
        RecordingProgram fromFile;
        fromFile.Run({"/?"});
        QCOMPARE(dialogs->boxes.last().text, u"/? - help\r\n/home - homes\r\n"_s);
        RecordingProgram russian;
        russian.Run({"/langid=25"});
        QCOMPARE(russian.LangIdText + russian.LangName, u"25Ru"_s);
        QVERIFY(LanguageFile() == nullptr);
    }

    // A scheme named with blanks around it is the scheme Console.ini knows by that name.
    void schemeSwitchWithBlanks()
    {
        exeDir->write(u"Console.ini"_s, "[SCHEMES]\nZANDRELL5=0\nABC=1\n");
        RecordingProgram p;
        p.Run({"/scheme= ZANDRELL5 "});
        QVERIFY2(p.dmLog.calls.contains(u"login ZANDRELL5 25"_s), qPrintable(p.dmLog.calls.join(u';')));
        QCOMPARE(exeDir->read(u"Console.ini"_s), QByteArray("[SCHEMES]\nZANDRELL5=1\nABC=0\n"));
    }

    // The exit paths: the main window's loop, a refused or failing login, a failing parameter pass
    // that goes on to the login. The console is counted while it runs, and only then.
    void exitPaths_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("failure"); // 1: the login refused, 2: it throws, 3: the server switch throws
        QTest::addColumn<QString>("exitPath");
        QTest::addColumn<QString>("box");
        QTest::addColumn<unsigned>("flags");
        const auto row = [](const char *tag, const char *args, int failure, const char *exitPath, const char *box,
                            unsigned flags) { QTest::newRow(tag) << args << failure << exitPath << box << flags; };
        row("main window", "/disable_reconnect", 0, "loop", "", 0);
        row("login refused", "", 1, "login", "", 0);
        row("login fails", "", 2, "error", "listener down", MB_ICONERROR);
        row("parameter pass fails", "/server=X", 3, "loop", "server refused", MB_ICONINFORMATION);
    }
    void exitPaths()
    {
        QFETCH(QString, args);
        QFETCH(int, failure);
        QFETCH(QString, exitPath);
        QFETCH(QString, box);
        QFETCH(unsigned, flags);
        const int before = ConsoleAtomCount();
        {
            RecordingProgram p;
            p.dmLog.loginResult = failure != 1;
            p.dmLog.throwOnLogin = failure == 2;
            p.dmLog.throwOnServer = failure == 3;
            p.Run(args.split(u' ', Qt::SkipEmptyParts));
            QCOMPARE(p.ExitPath, exitPath);
            QCOMPARE(p.dmLog.atomCountAtLogin, before + 1);
            QCOMPARE(p.hooks.filter("main"), exitPath == u"loop"_s
                                                 ? QStringList{u"main ZANDRELL5 %1"_s.arg(int(failure == 0))}
                                                 : QStringList());
            QVERIFY(ConsoleDataModule() == nullptr);
            QCOMPARE(dialogs->texts(), box.isEmpty() ? QStringList() : QStringList{box});
            for (const RecordedBox &shown : dialogs->boxes)
                QVERIFY(shown.flags == flags && (failure != 3 || shown.caption.isEmpty()));
        }
        QCOMPARE(ConsoleAtomCount(), before);
    }

    // No updater, or one that cannot start: no wait; only the second is reported.
    void noUpdaterToRun()
    {
        QVERIFY(!LaunchAutoUpdate(25));
        QVERIFY(dialogs->boxes.isEmpty());
        exeDir->write(u"AutoUpdate"_s, "not a program");
        QVERIFY(QFile::setPermissions(AutoUpdatePath(), QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(!LaunchAutoUpdate(25));
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_ICONWARNING));
    }

    // The updater answers 1 (close the console) or never: after eight seconds the console goes on and says so.
    // It gets the console's server where a window handle was, the current-process value and the language.
    void updaterAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("1") << QByteArray("1");
        QTest::newRow("never") << QByteArray("never");
    }
    void updaterAnswers()
    {
        QFETCH(QByteArray, answer);
        const bool never = answer == "never";
        TConsoleInfoServer server;
        QVERIFY(server.Listen());
        SetConsoleInfoServer(&server);
        installDouble(answer.constData());
        QVERIFY(LaunchAutoUpdate(9));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(WaitAutoUpdateReply(), !never);
        QCOMPARE(updaterArguments(), (QStringList{server.ServerName(), u"-1"_s, u"9"_s}));
        QVERIFY(!server.OnUserMessage); // the server's own handler is back after the wait
        QVERIFY2(!never || timer.elapsed() >= 8000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(dialogs->texts(), never ? QStringList{ConsoleText(ctWaitingTimeExpired)} : QStringList());
        for (const RecordedBox &shown : dialogs->boxes)
            QCOMPARE(shown.flags, unsigned(MB_ICONWARNING));
    }

    // The program block makes its own server for the run, and ends only when the updater asks.
    void programBlockClosesOnlyWhenAsked()
    {
        installDouble("1");
        RecordingProgram closing;
        closing.realUpdater = true;
        QCOMPARE(closing.Run({}), 0);
        QCOMPARE(closing.ExitPath, u"updater"_s);
        QVERIFY(!closing.hooks.contains("dm"));
        QCOMPARE(updaterArguments().value(1), u"-1"_s);
        QVERIFY(!ConsoleInfoServer());
        QFile::remove(logFile());
        qputenv("AUTOUPDATE_DOUBLE_ANSWER", "0");
        RecordingProgram goingOn;
        goingOn.realUpdater = true;
        goingOn.dmLog.loginResult = false;
        goingOn.Run({});
        QCOMPARE(goingOn.ExitPath, u"login"_s);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    // Products and a picture size the window. No picture, one that does not decode, a damaged stamp: the designed
    // window, an empty list.
    void splash_data()
    {
        QTest::addColumn<QByteArray>("picture"); // "JPEG": a 300x200 picture
        QTest::addColumn<QByteArray>("stamp");   // "good": two products' stamps; other bytes: one beside a damaged one
        QTest::addColumn<QString>("products");
        QTest::addColumn<QString>("versions");
        QTest::newRow("products and picture")
            << QByteArray("JPEG") << QByteArray("good") << u"Beta\nAlpha"_s << u"3.4.0.1\n1.2.0.1"_s;
        QTest::newRow("no picture") << QByteArray() << QByteArray() << QString() << QString();
        QTest::newRow("damaged stamp") << QByteArray() << QByteArray("short") << QString() << QString();
    }
    void splash()
    {
        QFETCH(QByteArray, picture);
        QFETCH(QByteArray, stamp);
        QFETCH(QString, products);
        QFETCH(QString, versions);
        if (!stamp.isEmpty()) {
            exeDir->write(u"Data/a.ver"_s, Stamp80("Alpha", {1, 2, 0, 1}, 45376.0));
            exeDir->write(stamp == "good" ? u"Data/b.ver"_s : u"Data/bad.ver"_s,
                          stamp == "good" ? Stamp80("Beta", {3, 4, 0, 1}, 45376.0) : stamp);
        }
        const bool decodes = picture == "JPEG";
        QImage jpeg(300, 200, QImage::Format_RGB32);
        jpeg.fill(Qt::darkBlue);
        if (decodes)
            QVERIFY(jpeg.save(exeDir->filePath(u"Data/WaitPic.jpg"_s), "JPEG"));
        else if (!picture.isEmpty())
            exeDir->write(u"Data/WaitPic.jpg"_s, picture);
        const TWaitScr designed;
        TWaitScr *splash = GetSplash();
        splash->MinShowTime = 0; // no wait when it is freed
        QVERIFY(splash->isVisible());
        const int count = int(products.split(u'\n', Qt::SkipEmptyParts).size());
        QCOMPARE(splash->mProduct->text(), products);
        QCOMPARE(splash->mVersion->text(), versions);
        QCOMPARE(splash->mDate->text().split(u'\n', Qt::SkipEmptyParts).size(), count);
        QCOMPARE(splash->pProductList->height(), ProductPanelHeight(count));
        QVERIFY(!splash->Image1->pixmap().isNull());
        QCOMPARE(splash->Image1->pixmap().size(), decodes ? jpeg.size() : designed.Image1->pixmap().size());
        QCOMPARE(splash->width(), decodes ? 300 : designed.width());
        QVERIFY(!decodes || splash->height() == 200 + ProductPanelHeight(2));
        // One window per process.
        QCOMPARE(GetSplash(), splash);
        FreeSplash();
        QVERIFY(!CurrentSplash());
        SetSplashStatus(nullptr, u"nowhere"_s); // no window: nothing happens
        FreeSplash();                           // nothing left to free
    }

    void installationCarriesStampsAndPicture()
    {
        const QString data = qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/Data"_s;
        const TVerList products(data);
        QVERIFY(products.Count() >= 2);
        QStringList versions;
        for (int i = 0; i < products.Count(); ++i) {
            QVERIFY(!products.Items(i).Name.isEmpty() && products.Items(i).Date.isValid());
            versions.append(products.Items(i).Version);
        }
        // Read from the program's own version resource.
        const TConsoleVersionInfo info =
            ConsoleVersionInfoOf(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/KorConsole"_s);
        QCOMPARE(info.InternalName, u"KorConsole"_s);
        QCOMPARE(info.FileVersion.split(QLatin1Char('.')).size(), 4);
        QVERIFY2(versions.contains(info.FileVersion), qPrintable(versions.join(' ')));
        QVERIFY(!QImage(data + u"/WaitPic.jpg"_s).isNull());
    }

    // The two layouts: name, version and date; a date that is no number is no date. A file of another size than
    // a stamp's, or none at all, is refused with its name (no version given).
    void stamps_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QDateTime>("date");
        const QDateTime sample(QDate(2024, 3, 25), QTime(13, 30)), dayZero(QDate(1899, 12, 30), QTime(0, 0));
        const QByteArray longName(60, 'N');
        const auto row = [](const char *tag, const QByteArray &bytes, const QString &name, const char *version,
                            const QDateTime &date) {
            QTest::newRow(tag) << bytes << name << QString::fromLatin1(version) << date;
        };
        row("80 bytes", Stamp80(EncodeWindows1251(u"Заказы"_s), {5, 0, 2, 1}, kSampleDays), u"Заказы"_s, "5.0.2.1",
            sample);
        // The numbers are signed 32-bit values.
        row("80 bytes, big numbers", Stamp80("Big", {70000, -1, 0, 2147483647}, 0), u"Big"_s, "70000.-1.0.2147483647",
            dayZero);
        row("64 bytes", Stamp64("Stock", {1, 2, 0, 255}, kSampleDays), u"Stock"_s, "1.2.0.255", sample);
        row("80 bytes, full name", Stamp80(longName, {1, 0, 0, 0}, 0), QString(51, 'N'), "1.0.0.0", dayZero);
        row("no name", Stamp80(QByteArray(), {1, 0, 0, 0}, 1.25), QString(), "1.0.0.0",
            QDateTime(QDate(1899, 12, 31), QTime(6, 0)));
        for (double days : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300})
            QTest::addRow("date %g", days) << Stamp80("x", {1, 2, 3, 4}, days) << u"x"_s << u"1.2.3.4"_s << QDateTime();
        row("no file", QByteArray(), QString(), "", QDateTime());
        for (int size : {0, 63, 65, 79, 81, 100000})
            QTest::addRow("%d bytes", size) << QByteArray(size, 'v') << QString() << QString() << QDateTime();
    }
    void stamps()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(QDateTime, date);
        if (version.isEmpty()) {
            QTemporaryDir dir;
            const QString path = dir.filePath(u"odd.ver"_s);
            if (!bytes.isNull())
                WriteTestFile(dir, u"odd.ver"_s, bytes);
            const QString error = MessageOf<EVerFileError>([&] { TVerItem item(path); });
            QVERIFY2(error.startsWith(u"TVerItem.Create: "_s) && error.contains(path), qPrintable(error));
            if (!bytes.isNull())
                QCOMPARE(MessageOf<EVerFileError>([&] { TVerItem item(bytes, path); }), error);
            return;
        }
        const TVerItem item(bytes, u"x.ver"_s);
        QCOMPARE(item.Name, name);
        QCOMPARE(item.Version, version);
        QCOMPARE(item.Date, date);
        QCOMPARE(item.DateText.isEmpty(), !date.isValid());
        // The stamp tool writes the days the other way round.
        if (date.isValid())
            QCOMPARE(DateTimeFromDays(DaysFromDateTime(date)), date);
    }

    // The .ver files of the folder, in reverse search order, and the list's three texts.
    void listOfAFolder()
    {
        QTemporaryDir dir;
        WriteTestFile(dir, u"a.ver"_s, Stamp80(EncodeWindows1251(u"Консоль"_s), {5, 0, 0, 1}, kSampleDays));
        // A name shows as the language pack has it, as the main menu shows the services.
        WriteTestFile(dir, u"b.ver"_s, Stamp64(EncodeWindows1251(u"Склад"_s), {1, 2, 0, 255}, kSampleDays + 1));
        FakeLanguages languages;
        languages.apl.insert(u"Склад"_s, u"Stock"_s);
        WriteTestFile(dir, u"a.ver.bak"_s, "not a stamp");
        QVERIFY(QDir(dir.path()).mkdir(u"folder.ver"_s));
        QCOMPARE(TVerList::FindVerFiles(dir.path()), QStringList({dir.filePath("a.ver"), dir.filePath("b.ver")}));
        const TVerList list(dir.path());
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Names(), u"Stock\r\nКонсоль\r\n"_s);
        QCOMPARE(list.Versions(), u"1.2.0.255\r\n5.0.0.1\r\n"_s);
        QCOMPARE(list.Dates(), list.Items(0).DateText + "\r" + list.Items(1).DateText + "\r");
        QVERIFY(list.Items(0).DateText != list.Items(1).DateText);
        // A missing folder gives an empty list; a bad file stops it.
        const TVerList none(dir.filePath(u"missing"_s));
        QCOMPARE(none.Count(), 0);
        QCOMPARE(none.Names() + none.Versions() + none.Dates(), QString());
        WriteTestFile(dir, u"c.ver"_s, QByteArray(70, 'x'));
        const QString error = MessageOf<EVerFileError>([&] { TVerList damaged(dir.path()); });
        QVERIFY2(error.startsWith(u"TVerItem.Create: "_s) && error.contains(dir.filePath("c.ver")), qPrintable(error));
    }
};

QTEST_MAIN(TestStartupProgram)
#include "tst_StartupProgram.moc"
