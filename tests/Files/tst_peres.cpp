// The peres tool: its listing of built files, compared with the exact text.
#include "FilesTestSupport.h"
#include "PeBuilder.h"

#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out;
};

Run Peres(const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(PERES_EXECUTABLE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput()};
}

} // namespace

class TestPeres : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void listsEveryKind_data()
    {
        QTest::addColumn<bool>("pe32Plus");
        QTest::newRow("PE32") << false;
        QTest::newRow("PE32+") << true;
    }
    void listsEveryKind()
    {
        QFETCH(bool, pe32Plus);
        PeBuilder builder;
        builder.pe32Plus = pe32Plus;
        builder.Add("MYDATA", "FIRST", "data");
        builder.AddCursorGroup(2, {{32, 32}}, 1);
        builder.Add(2, 1, PeBuilder::Bitmap(4, 4, 8));
        builder.Add(4, 1, PeBuilder::Menu({{0x90, 0, QStringLiteral("&File")}, {0x80, 101, QStringLiteral("E&xit")}}));
        builder.Add(6, 2, PeBuilder::StringBlock({QStringLiteral("Первая"), QString(), QStringLiteral("Третья")}));
        IconSpec small;
        small.width = small.height = 16;
        builder.AddIconGroup(QStringLiteral("MAINICON"), {IconSpec(), small}, 1);
        builder.Add(17, 5, "seventeen");
        builder.Add(16, 1,
                    PeBuilder::Version(0x20000, 0, {{QStringLiteral("041904E3"),
                                                     {{QStringLiteral("FileDescription"), QStringLiteral("Описание")},
                                                      {QStringLiteral("ProductVersion"), QStringLiteral("2.0.0.0")}}}}));
        const QString name = QStringLiteral("пример файла.dll");
        WriteTestFile(m_dir, name, builder.Build());
        const Run run = Peres({name}, m_dir.path());
        QCOMPARE(run.status, 0);
        QCOMPARE(QString::fromUtf8(run.out), QStringLiteral("пример файла.dll\n"
                                                            "  MYDATA\n"
                                                            "    FIRST\n"
                                                            "  Bitmap\n"
                                                            "    1\n"
                                                            "      BMP 1094 1078\n"
                                                            "  Menu\n"
                                                            "    1\n"
                                                            "      POPUP \"&File\"\n"
                                                            "        MENUITEM \"E&xit\",  101\n"
                                                            "      ENDPOPUP\n"
                                                            "  String\n"
                                                            "    2\n"
                                                            "      16,  \"Первая\"\n"
                                                            "      18,  \"Третья\"\n"
                                                            "  Cursor\n"
                                                            "    2\n"
                                                            "      32 X 32 1 Bit(s)\n"
                                                            "  Icon\n"
                                                            "    MAINICON\n"
                                                            "      32 X 32 16 Colors\n"
                                                            "      16 X 16 16 Colors\n"
                                                            "  Version\n"
                                                            "    1\n"
                                                            "  17\n"
                                                            "    5\n"
                                                            "  FileDescription=Описание\n"
                                                            "  ProductVersion=2.0.0.0\n"
                                                            "  ProductName=\n"));
    }

    // A file that cannot be read ends its listing with the error; the next file is listed all the same.
    void errorEndsTheListing()
    {
        WriteTestFile(m_dir, QStringLiteral("notes.txt"), "plain text");
        PeBuilder bare;
        bare.withResourceSection = false;
        WriteTestFile(m_dir, QStringLiteral("bare.dll"), bare.Build());
        // Without a version resource the values are empty.
        PeBuilder plain;
        plain.Add(10, 1, "x");
        WriteTestFile(m_dir, QStringLiteral("plain.dll"), plain.Build());
        const Run run = Peres({"missing.dll", "notes.txt", "bare.dll", "plain.dll"}, m_dir.path());
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, "missing.dll\n  ERROR Couldn't open: missing.dll\n"
                          "notes.txt\n  ERROR unrecognized file format\n"
                          "bare.dll\n  ERROR No resources in this file.\n"
                          "plain.dll\n  RCData\n    1\n  FileDescription=\n  ProductVersion=\n  ProductName=\n");
        QCOMPARE(Peres({"plain.dll"}, m_dir.path()).status, 0);
    }

    void noArgumentsShowsUsage()
    {
        QProcess process;
        process.start(QStringLiteral(PERES_EXECUTABLE), {});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().startsWith("usage: peres"));
    }
};

QTEST_MAIN(TestPeres)
#include "tst_peres.moc"
