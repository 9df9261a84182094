// The console information protocol over the console's local server, answered
// to a requester in another process.
#include "uConsoleInfo.h"

#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

class TestConsoleInfo : public QObject {
    Q_OBJECT

    TConsoleInfoServer *server = nullptr;

    // Runs the requester while this process keeps serving.
    QStringList request(const QStringList &arguments)
    {
        QProcess process;
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(CONSOLE_INFO_REQUESTER), arguments);
        loop.exec();
        return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList ask(int code, int infoAnswer, int sessionAnswer, const QString &own = QStringLiteral("requester-1"))
    {
        return request({server->ServerName(), own, QString::number(code), QString::number(infoAnswer), QString::number(sessionAnswer)});
    }

private slots:
    void init()
    {
        server = new TConsoleInfoServer;
        QVERIFY(server->Listen());
        server->VersionInfo = [] {
            TConsoleVersionInfo v;
            v.InternalName = QStringLiteral("KorConsole");
            v.FileVersion = QStringLiteral("5.0.0.1");
            v.Comments = QStringLiteral("Консоль");
            return v;
        };
        server->SessionInfo = [] { return TConsoleSessionInfo{QStringLiteral("ZANDRELL5"), QStringLiteral("ZANDRELL"), QStringLiteral("ZL_USER"), 2}; };
    }
    void cleanup() { delete server; }

    void informationOnly()
    {
        QCOMPARE(ask(kConsoleInfoMessage, 0, 0), (QStringList{"CONNECTED 1", "INFO 1|KorConsole|5.0.0.1|Консоль", "ANSWER 0"}));
        // An answer the console passes back.
        QCOMPARE(ask(kConsoleInfoMessage, kHandledAnswer, 0).last(), QStringLiteral("ANSWER 12345678"));
        QCOMPARE(ask(kConsoleInfoMessage, 7, 0).last(), QStringLiteral("ANSWER 0"));
    }

    void sessionOnly()
    {
        QCOMPARE(ask(kConsoleSessionMessage, 0, kHandledAnswer),
                 (QStringList{"CONNECTED 1", "SESSION ZANDRELL5|ZANDRELL|ZL_USER|2", "ANSWER 12345678"}));
    }

    void informationThenSessionOnRequest()
    {
        QCOMPARE(ask(kConsoleRequest, kAskForSession, 0),
                 (QStringList{"CONNECTED 1", "INFO 1|KorConsole|5.0.0.1|Консоль", "SESSION ZANDRELL5|ZANDRELL|ZL_USER|2", "ANSWER 0"}));
        QCOMPARE(ask(kConsoleRequest, kAskForSession, kAskForSession).last(), QStringLiteral("ANSWER -12345678"));
        // Without the request for more, only the information is sent.
        QCOMPARE(ask(kConsoleRequest, 0, 0), (QStringList{"CONNECTED 1", "INFO 1|KorConsole|5.0.0.1|Консоль", "ANSWER 0"}));
    }

    void requestNamingTheConsoleItselfIsIgnored()
    {
        QCOMPARE(ask(kConsoleRequest, kAskForSession, 0, server->ServerName()), (QStringList{"CONNECTED 1", "ANSWER 0"}));
        QCOMPARE(ask(12345, 0, 0), (QStringList{"CONNECTED 1", "ANSWER 0"}));
    }

    void noConsoleThere()
    {
        QCOMPARE(request({QStringLiteral("no-such-console"), QStringLiteral("r"), QStringLiteral("2025"), QStringLiteral("0"),
                          QStringLiteral("0")}),
                 (QStringList{"CONNECTED 0", "ANSWER 0"}));
    }
};

QTEST_GUILESS_MAIN(TestConsoleInfo)
#include "tst_ConsoleInfo.moc"
