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
