// A module that crashes, ends the process or never returns while the console
// loads or calls it. The real console, started unattended from a copy of the
// installation whose demo menus hold the fault module's service, runs into it
// once; the next start lists the service as not loaded and works.
#include "InstallationCopy.h"
#include "OraSession.h"
#include "ServerAliases.h"

#include <QDeadlineTimer>
#include <QTest>

#include <sys/resource.h>

namespace {

const QString kMenuPath = QStringLiteral("Справочники/Сбойный сервис");
const QString kMenuLine = QStringLiteral("MENU   Сбойный сервис");
const QString kNotLoaded = QStringLiteral("MODAL TSrvList|Не загружено");
const QString kModuleFile = QStringLiteral("tmFault.so");

struct Run {
    QStringList lines;
    bool ready = false;
    bool crashed = false;
    bool killedWhileHanging = false;
    int exitCode = -1;
};

// A copy of the installation whose demo menus hold the fault module's service
// in "Справочники", and a runtime folder (0700) of the user's own.
class FaultInstallation {
public:
    bool Prepare()
    {
        QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!m_dist.isValid() || !QFile::copy(QStringLiteral(TEST_MODULE_DIR "/") + kModuleFile, path(kModuleFile)))
            return false;
        SetServersIniPath(path(QStringLiteral("Servers.ini")));
        TOraSession session;
        session.SetConnectPrompt(false);
        session.SetServer(QStringLiteral("ZANDRELL"));
        session.SetUsername(QStringLiteral("ZL_USER"));
        session.SetPassword(QStringLiteral("demo"));
        session.Connect();
        session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
                                       "VALUES (900, 'Сбойный сервис', 'tmFault.so', '{TM-SERVICE-1}', 0, 0)"));
        session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, "
                                       "ITEMMODE, SORT_ORDER) VALUES (900, 1, 4, 0, NULL, 900, '1', 90), "
                                       "(901, 2, 8, 0, NULL, 900, '1', 90)"));
        session.Commit();
        SetServersIniPath(QString());
        return true;
    }
    QString path(const QString &relative) const { return m_dist.path(relative); }

    // One unattended console of the user with TM_FAULT for the fault module; a
    // console whose module says that it hangs is killed, as a user would end it.
    Run run(const QString &user, const QByteArray &fault, const QByteArray &input) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.insert(QStringLiteral("TM_FAULT"), QString::fromLatin1(fault));
        // Under AddressSanitizer a segmentation fault must still end the process by its signal.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("handle_segv=0"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dist.path());
        process.setChildProcessModifier([] {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
        });
        process.start(m_dist.program(), {QStringLiteral("/server=ZANDRELL"), QStringLiteral("/user=") + user,
                                         QStringLiteral("/password=demo")});
        Run run;
        if (!process.waitForStarted())
            return run;
        process.write(input);
        process.closeWriteChannel();
        QByteArray errors;
        const QDeadlineTimer deadline(60000);
        while (!process.waitForFinished(100) && !deadline.hasExpired()) {
            errors += process.readAllStandardError();
            run.killedWhileHanging = errors.contains("TM-HANG");
            if (run.killedWhileHanging)
                break;
        }
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        run.ready = run.lines.contains(QStringLiteral("READY"));
        run.crashed = process.exitStatus() == QProcess::CrashExit;
        run.exitCode = process.exitCode();
        return run;
    }

private:
    InstallationCopy m_dist;
    QTemporaryDir m_runtime;
};

// The menu lines written after the n-th READY (from 1).
QStringList menuAfterReady(const QStringList &lines, int n)
{
    QStringList menu;
    int seen = 0;
    for (const QString &line : lines) {
        if (line == QLatin1String("READY"))
            ++seen;
        else if (seen == n && line.startsWith(QLatin1String("MENU ")))
            menu << line;
    }
    return menu;
}

} // namespace

class TestModuleCrash : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_crash_" + QByteArray::number(getpid())); }

    void faultyModuleIsNotLoadedAtTheNextStart_data()
    {
        QTest::addColumn<QByteArray>("fault");
        for (const char *how : {"segv", "exit", "hang"})
            for (const char *where : {"load", "attribute", "init"}) {
                const QByteArray fault = QByteArray(how) + '@' + where;
                QTest::newRow(fault.constData()) << fault;
            }
    }

    void faultyModuleIsNotLoadedAtTheNextStart()
    {
        QFETCH(QByteArray, fault);
        FaultInstallation installation;
        QVERIFY(installation.Prepare());
        const QByteArray click = "click " + kMenuPath.toUtf8() + "\nquit\n";

        const Run first = installation.run(QStringLiteral("ZL_USER"), fault, click);
        // The service's window is opened by the click; its module is read at start.
        QCOMPARE(first.ready, fault.endsWith("@init"));
        if (fault.startsWith("segv"))
            QVERIFY(first.crashed);
        else if (fault.startsWith("exit"))
            QCOMPARE(first.exitCode, 3);
        else
            QVERIFY(first.killedWhileHanging);

        // The same module, the same fault: the console starts without it.
        const Run next = installation.run(QStringLiteral("ZL_USER"), fault, click);
        QVERIFY2(next.ready, qPrintable(next.lines.join(QLatin1Char('\n'))));
        QVERIFY(!next.crashed && !next.killedWhileHanging);
        QCOMPARE(next.exitCode, 0);
        QCOMPARE(next.lines.first(), kNotLoaded);
        QVERIFY(!next.lines.contains(kMenuLine));
        QVERIFY(next.lines.contains(QStringLiteral("ERROR no menu item ") + kMenuPath));
        QVERIFY(next.lines.contains(QStringLiteral("MENU Справочники")));
        QCOMPARE(next.lines.filter(QStringLiteral("MSGBOX")), QStringList());
    }

    void markerClears_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("loadedAfterReload");
        QTest::newRow("module file changed") << "changed" << "ZL_USER" << true;
        QTest::newRow("administrator reloads") << "reload" << "ZL_USER" << true;
        QTest::newRow("operator reloads") << "reload" << "OPERATOR" << false;
    }

    void markerClears()
    {
        QFETCH(QString, way);
        QFETCH(QString, user);
        QFETCH(bool, loadedAfterReload);
        FaultInstallation installation;
        QVERIFY(installation.Prepare());
        const Run crash = installation.run(user, "segv@attribute", "quit\n");
        QVERIFY(crash.crashed);

        if (way == QLatin1String("changed")) {
            // A new build of the module: the console tries it again.
            QFile module(installation.path(kModuleFile));
            QVERIFY(module.open(QIODevice::Append));
            module.write("new build");
            module.close();
        }
        const Run next =
            installation.run(user, QByteArray(), way == QLatin1String("reload") ? "click Файл/Обновить меню\nquit\n" : "quit\n");
        QCOMPARE(next.exitCode, 0);
        const bool loadedAtStart = way == QLatin1String("changed");
        QCOMPARE(menuAfterReady(next.lines, 1).contains(kMenuLine), loadedAtStart);
        QCOMPARE(next.lines.contains(kNotLoaded), !loadedAtStart);
        if (way == QLatin1String("reload"))
            QCOMPARE(menuAfterReady(next.lines, 2).contains(kMenuLine), loadedAfterReload);

        // What the change or the reload decided holds for the next start too.
        const Run after = installation.run(user, QByteArray(), "quit\n");
        QCOMPARE(menuAfterReady(after.lines, 1).contains(kMenuLine), loadedAtStart || loadedAfterReload);
    }
};

QTEST_GUILESS_MAIN(TestModuleCrash)
#include "tst_ModuleCrash.moc"
