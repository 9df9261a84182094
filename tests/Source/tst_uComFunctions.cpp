// The help file of a form and F1: the name resolved beside the program, the
// topic opened at its keyword, and the installed guide holding every topic.
#include "uComFunctions.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

class tst_uComFunctions : public QObject {
    Q_OBJECT
public slots:
    void openUrl(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase()
    {
        const QDir program(QCoreApplication::applicationDirPath());
        QVERIFY(program.mkpath(QStringLiteral("Help")));
        m_guide = program.filePath(QStringLiteral("Help/ZzHelpTest.html"));
        QFile file(m_guide);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><body id=\"Topic\"></body></html>");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QFile::remove(m_guide);
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("missing") << "Nowhere.hlp" << false;
        QTest::newRow("hlp stands for html") << "ZzHelpTest.hlp" << true;
        QTest::newRow("html as it is") << "ZzHelpTest.html" << true;
        QTest::newRow("Windows folder dropped") << ".\\Help\\ZzHelpTest.hlp" << true;
        QTest::newRow("folder dropped") << "/elsewhere/ZzHelpTest.hlp" << true;
        QTest::newRow("only a folder") << "Help/" << false;
    }

    void resolve()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        QCOMPARE(ResolveHelpFile(name), found ? m_guide : QString());
    }

    void f1OpensTheTopicOfTheWindow()
    {
        m_opened.clear();
        QWidget window;
        SetHelpTopic(&window, QStringLiteral("ZzHelpTest.hlp"), QStringLiteral("Topic"));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first().toLocalFile(), m_guide);
        QCOMPARE(m_opened.first().fragment(), QStringLiteral("Topic"));

        // No help file: nothing opens.
        QVERIFY(!ShowHelpTopic(QStringLiteral("Nowhere.hlp"), QStringLiteral("Topic")));
        QCOMPARE(m_opened.size(), 1);
    }

    void installedGuideHoldsEveryTopic()
    {
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        QFile guide(QDir(dist).filePath(QStringLiteral("Help/KorConsole.html")));
        QVERIFY2(guide.open(QIODevice::ReadOnly), qPrintable(guide.fileName()));
        const QString html = QString::fromUtf8(guide.readAll());
        QStringList anchors;
        static const QRegularExpression id(QStringLiteral("id=\"([^\"]+)\""));
        for (auto it = id.globalMatch(html); it.hasNext();)
            anchors << it.next().captured(1);
        // The keywords the console's windows give F1.
        for (const char *keyword : {"MainForm", "SchemeForm", "HomeTuning", "ConsoleConfig", "configmenuform",
                                    "selectserviceform", "notloadedservice", "aboutserviceform"})
            QVERIFY2(anchors.contains(QLatin1String(keyword)), keyword);
        QCOMPARE(anchors.size(), QSet<QString>(anchors.begin(), anchors.end()).size());
    }

private:
    QString m_guide;
    QList<QUrl> m_opened;
};

QTEST_MAIN(tst_uComFunctions)
#include "tst_uComFunctions.moc"
