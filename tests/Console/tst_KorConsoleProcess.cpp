// The real program, started unattended from a copy of the installation folder:
// one start per flow (help, tool mode, a session, a refused login); the
// details of each flow are the unit tests' business.
#include "InstallationCopy.h"

#include <QRegularExpression>
#include <QTest>

class TestKorConsoleProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_proc_" + QByteArray::number(getpid())); }

    void helpWithoutTheOptionalFiles()
    {
        InstallationCopy dist;
        QVERIFY(dist.isValid());
        QFile::remove(dist.path(QStringLiteral("ComformLibs.so")));
        QFile::remove(dist.path(QStringLiteral("Res/Langs.ini")));
        const auto result = dist.run({"/?"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.size(), 3);
        QVERIFY(result.lines.at(0).endsWith(QStringLiteral("ComformLibs.so library is not found")));
        QVERIFY(result.lines.at(1).endsWith(QStringLiteral("/Res/Langs.ini\" не найден")));
        QVERIFY(result.lines.at(2).startsWith(QStringLiteral("MSGBOX 64|Параметры|</?> - Справка по параметрам;\\n")));
    }

    void toolModeShowsItsWindowAndEnds()
    {
        InstallationCopy dist;
        const auto result = dist.run({"/scheme"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines, QStringList{"MODAL TShemaForm|Схемы БД"});
    }

    void sessionOpensAServiceAndReloads()
    {
        InstallationCopy dist;
        const auto result = dist.run({"/server=ZANDRELL", "/user=ZL_USER", "/password=demo"},
                                     "dump\nclick Документы/Заказы/Заказы\nbutton 9\nclick Файл/Обновить меню\n"
                                     "click Нет/Такого\nclick Справка/Список сервисов текущей конфигурации\nquit\n");
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.first(), QStringLiteral("READY"));
        // READY's dump (its last line is the caption), the same again for "dump", a second READY after the reload.
        const QStringList dump = result.lines.mid(1, result.lines.indexOf(QRegularExpression(QStringLiteral("CAPTION .*"))));
        QCOMPARE(result.lines.mid(1 + dump.size(), dump.size()), dump);
        QVERIFY(dump.contains(QStringLiteral("MENU     Заказы")));
        QVERIFY(dump.contains(QStringLiteral("STATUS 5|Допуск: 'Администраторы'")));
        QCOMPARE(result.lines.count(QStringLiteral("READY")), 2);
        QVERIFY(result.lines.contains(QStringLiteral("ERROR no menu item Нет/Такого")));
        QVERIFY(result.lines.contains(QStringLiteral("MODAL TShowVer|Список сервисов текущей конфигурации")));
        QCOMPARE(result.lines.filter(QStringLiteral("MSGBOX")), QStringList());
        // The connect that succeeded is stored for the next run, never the password.
        const QByteArray ini = dist.read(QStringLiteral("Console.ini"));
        QVERIFY(ini.contains("user=ZL_USER") && !ini.contains("demo"));
    }

    void refusedLoginEnds()
    {
        InstallationCopy dist;
        const auto locked = dist.run({"/server=ZANDRELL", "/user=LOCKED", "/password=demo"});
        QCOMPARE(locked.exitCode, 0);
        QCOMPARE(locked.lines, QStringList{"MSGBOX 0|Соединение по схеме \"ZANDRELL5\"|\"EDAError\":Ora-Error: 28000 -> 942 -> "
                                           "Пользователь заблокирован"});
    }
};

QTEST_GUILESS_MAIN(TestKorConsoleProcess)
#include "tst_KorConsoleProcess.moc"
