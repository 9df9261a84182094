// The real program, started unattended from a copy of the installation folder.
#include "InstallationCopy.h"
#include "IniFile.h"

#include <QTest>

class TestKorConsoleProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_proc_" + QByteArray::number(getpid())); }

    void helpBoxInRussianAndEnglish()
    {
        InstallationCopy dist;
        QVERIFY(dist.isValid());
        auto result = dist.run({"/?"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.size(), 1);
        QVERIFY(result.lines.first().startsWith(QStringLiteral("MSGBOX 64|Параметры|</?> - Справка по параметрам;\\n")));
        QVERIFY(result.lines.first().endsWith(QStringLiteral("\\n\\nПорядок и количество параметров не важны.")));

        dist.write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        result = dist.run({"/?"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.size(), 1);
        QVERIFY(result.lines.first().startsWith(QStringLiteral("MSGBOX 64|Parameters|</?> - Help on parameters;\\n")));
    }

    void toolModesShowTheirWindowAndEnd()
    {
        InstallationCopy dist;
        auto result = dist.run({"/scheme"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines, QStringList{"MODAL TShemaForm|Схемы БД"});
        result = dist.run({"/home"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines, QStringList{"MODAL TfmHomeTuning|Oracle Home"});

        dist.write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        result = dist.run({"/SCHEME"});
        QCOMPARE(result.lines, QStringList{"MODAL TShemaForm|DB schemes"});
    }

    void schemeSwitchIsStored()
    {
        InstallationCopy dist;
        dist.write(QStringLiteral("Console.ini"), "[SCHEMES]\nZANDRELL5=1\nTARVEL=1\n");
        auto result = dist.run({"/scheme=ABC"});
        QVERIFY(result.finished);
        TIniFile ini(dist.path(QStringLiteral("Console.ini")));
        QCOMPARE(ini.ReadSection("SCHEMES"), (QStringList{"ZANDRELL5", "TARVEL", "ABC"}));
        QCOMPARE(ini.ReadString("SCHEMES", "ABC", ""), QStringLiteral("1"));
        QCOMPARE(ini.ReadString("SCHEMES", "ZANDRELL5", ""), QStringLiteral("0"));
        QCOMPARE(ini.ReadString("SCHEMES", "TARVEL", ""), QStringLiteral("0"));
    }

    void badSwitchesAreReportedAndStartUpGoesOn()
    {
        InstallationCopy dist;
        auto result = dist.run({"/langid=x9", "/home=7"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.lines.size() >= 2);
        QCOMPARE(result.lines.at(0), QStringLiteral("MSGBOX 16|Параметры|Параметр \"langid\"(x9) - не корректен"));
        QCOMPARE(result.lines.at(1), QStringLiteral("MSGBOX 16|Параметры|Параметр \"Oracle Home\"(7) - не корректен"));
    }

    void administratorAndOperatorSeeTheirMenus()
    {
        InstallationCopy dist;
        auto admin = dist.run({"/server=ZANDRELL", "/user=ZL_USER", "/password=demo"}, "dump\nquit\n");
        QVERIFY(admin.finished);
        QCOMPARE(admin.exitCode, 0);
        QCOMPARE(admin.lines.first(), QStringLiteral("READY"));
        // READY, its dump, then the same dump again for the "dump" command.
        QCOMPARE(admin.lines.size() % 2, 1);
        const QStringList adminDump = admin.lines.mid(1, (admin.lines.size() - 1) / 2);
        QVERIFY(adminDump.contains(QStringLiteral("MENU   Настройка меню")));
        QVERIFY(adminDump.contains(QStringLiteral("MENU Документы")));
        QVERIFY(adminDump.contains(QStringLiteral("MENU     Заказы")));
        QVERIFY(adminDump.contains(QStringLiteral("MENU   Клиенты")));
        QVERIFY(adminDump.contains(QStringLiteral("STATUS 4|Пользователь: 'Администратор системы'")));
        QVERIFY(adminDump.contains(QStringLiteral("STATUS 5|Допуск: 'Администраторы'")));
        // The "dump" command repeats what READY wrote.
        QCOMPARE(admin.lines.mid(1 + adminDump.size(), adminDump.size()), adminDump);

        // The first successful connect stored the server and the user, never the password.
        const QByteArray ini = dist.read(QStringLiteral("Console.ini"));
        QVERIFY(ini.contains("server=ZANDRELL"));
        QVERIFY(ini.contains("user=ZL_USER"));
        QVERIFY(!ini.contains("demo"));

        auto op = dist.run({"/server=ZANDRELL", "/user=OPERATOR", "/password=demo"}, "quit\n");
        QCOMPARE(op.exitCode, 0);
        QCOMPARE(op.lines.first(), QStringLiteral("READY"));
        QVERIFY(!op.lines.contains(QStringLiteral("MENU   Настройка меню")));
        QVERIFY(!op.lines.contains(QStringLiteral("MENU   Настройка схем")));
        QVERIFY(!op.lines.contains(QStringLiteral("MENU Администрирование")));
        QVERIFY(op.lines.contains(QStringLiteral("STATUS 5|Допуск: 'Операторы'")));
        QVERIFY(op.lines.filter(QStringLiteral("MENU ")).size() < adminDump.filter(QStringLiteral("MENU ")).size());
    }

    void serviceOpensAndTheMenuReloads()
    {
        InstallationCopy dist;
        auto result = dist.run({"/server=ZANDRELL", "/user=ZL_USER", "/password=demo"},
                               "click Документы/Заказы/Заказы\nbutton 9\nclick Файл/Обновить меню\nclick Нет/Такого\n"
                               "click Справка/Список сервисов текущей конфигурации\nquit\n");
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.count(QStringLiteral("READY")), 2);
        QVERIFY(result.lines.contains(QStringLiteral("ERROR no menu item Нет/Такого")));
        QVERIFY(result.lines.contains(QStringLiteral("MODAL TShowVer|Список сервисов текущей конфигурации")));
        QCOMPARE(result.lines.filter(QStringLiteral("MSGBOX")), QStringList());
    }

    void lockedUserAndWrongPassword()
    {
        InstallationCopy dist;
        auto locked = dist.run({"/server=ZANDRELL", "/user=LOCKED", "/password=demo"});
        QCOMPARE(locked.exitCode, 0);
        QCOMPARE(locked.lines, QStringList{"MSGBOX 0|Соединение по схеме \"ZANDRELL5\"|\"EDAError\":Ora-Error: 28000 -> 942 -> "
                                           "Пользователь заблокирован"});
        // A typo with the dialog: three attempts with the given values, then the readable text.
        auto typo = dist.run({"/server=ZANDRELL", "/user=ZL_USER"});
        QCOMPARE(typo.lines.filter(QStringLiteral("MODAL")).size(), 3);
        QVERIFY(typo.lines.last().endsWith(QStringLiteral("\"EDAError\":Пароль не введен")));
    }

    void missingOptionalFiles()
    {
        InstallationCopy dist;
        QFile::remove(dist.path(QStringLiteral("ComformLibs.so")));
        QFile::remove(dist.path(QStringLiteral("Res/Langs.ini")));
        auto result = dist.run({"/?"});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.size(), 3);
        QCOMPARE(result.lines.at(0),
                 QStringLiteral("MSGBOX 0|KorConsole|KoConsole: uConsoleFunctions.ComFormLibLoad: ComformLibs.so library is not found"));
        QVERIFY(result.lines.at(1).startsWith(QStringLiteral("MSGBOX 48||Файл \"")));
        QVERIFY(result.lines.at(1).endsWith(QStringLiteral("/Res/Langs.ini\" не найден")));
        QVERIFY(result.lines.at(2).startsWith(QStringLiteral("MSGBOX 64|")));
    }
};

QTEST_GUILESS_MAIN(TestKorConsoleProcess)
#include "tst_KorConsoleProcess.moc"
