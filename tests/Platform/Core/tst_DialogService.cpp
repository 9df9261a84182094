// The dialog service: Windows flags and result codes, and the unattended
// mode's protocol lines.
#include "DialogService.h"

#include <QTest>

class TestDialogService : public QObject {
    Q_OBJECT
private slots:
    void buttonsOfEachFlagSet()
    {
        QCOMPARE(MessageBoxButtons(MB_OK), (QList<int>{IDOK}));
        QCOMPARE(MessageBoxButtons(MB_OKCANCEL | MB_ICONERROR), (QList<int>{IDOK, IDCANCEL}));
        QCOMPARE(MessageBoxButtons(MB_YESNO | MB_ICONQUESTION), (QList<int>{IDYES, IDNO}));
        QCOMPARE(MessageBoxButtons(MB_YESNOCANCEL), (QList<int>{IDYES, IDNO, IDCANCEL}));
        QCOMPARE(MessageBoxButtons(MB_ABORTRETRYIGNORE), (QList<int>{IDABORT, IDRETRY, IDIGNORE}));
        QCOMPARE(MessageBoxButtons(MB_RETRYCANCEL), (QList<int>{IDRETRY, IDCANCEL}));
    }

    void defaultButtonIsTheFirstUnlessNamed()
    {
        QCOMPARE(DefaultMessageBoxResult(MB_ICONINFORMATION), IDOK);
        QCOMPARE(DefaultMessageBoxResult(MB_YESNO | MB_ICONQUESTION), IDYES);
        QCOMPARE(DefaultMessageBoxResult(MB_YESNO | MB_DEFBUTTON2), IDNO);
        QCOMPARE(DefaultMessageBoxResult(MB_OK | MB_DEFBUTTON3), IDOK);
    }

    void protocolLineFlattensLineBreaks()
    {
        QCOMPARE(MessageBoxLine(QStringLiteral("one\r\ntwo\nthree"), QStringLiteral("Cap"), MB_ICONERROR | MB_TASKMODAL),
                 QStringLiteral("MSGBOX 8208|Cap|one\\ntwo\\nthree"));
        QCOMPARE(MessageBoxLine(QString(), QString(), 0), QStringLiteral("MSGBOX 0||"));
    }
};

QTEST_MAIN(TestDialogService)
#include "tst_DialogService.moc"
