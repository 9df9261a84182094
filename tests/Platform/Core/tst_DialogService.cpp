// The dialog service: Windows flags and result codes, the unattended mode's
// protocol lines, and replacing the service in tests.
#include "DialogService.h"
#include "RecordingDialogService.h"

#include <QDialog>
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

    void recorderAnswersAndIsRemovedAgain()
    {
        {
            RecordingDialogService recorder;
            recorder.answers = {IDNO};
            QCOMPARE(ShowDialogMessage(QStringLiteral("Delete?"), QStringLiteral("Q"), MB_YESNO), IDNO);
            QCOMPARE(ShowDialogMessage(QStringLiteral("Again?"), QStringLiteral("Q"), MB_YESNO), IDYES);
            QCOMPARE(recorder.boxes.size(), 2);
            QCOMPARE(recorder.boxes.first().text, QStringLiteral("Delete?"));
            QDialog dialog;
            QCOMPARE(ExecModalDialog(&dialog), int(QDialog::Rejected));
            QCOMPARE(recorder.modalClasses, QStringList{QStringLiteral("QDialog")});
            QCOMPARE(&DialogService(), static_cast<IDialogService *>(&recorder));
        }
        QVERIFY(dynamic_cast<RecordingDialogService *>(&DialogService()) == nullptr);
    }

    void unattendedModeWritesAndAnswers()
    {
        qputenv("KORCONSOLE_HEADLESS", "1");
        QVERIFY(IsUnattended());
        QCOMPARE(ShowDialogMessage(QStringLiteral("Sure?"), QStringLiteral("C"), MB_YESNO), IDYES);
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("Title"));
        QCOMPARE(ExecModalDialog(&dialog), int(QDialog::Rejected));
        QCOMPARE(ExecModalDialog(&dialog, true), int(QDialog::Accepted));
        qunsetenv("KORCONSOLE_HEADLESS");
        QVERIFY(!IsUnattended());
    }
};

QTEST_MAIN(TestDialogService)
#include "tst_DialogService.moc"
