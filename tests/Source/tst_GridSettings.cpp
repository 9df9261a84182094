// The grid settings of the data forms over a fresh demo database: the query
// key, the ordering a user chose kept across closing and reopening a form, and
// what the settings file refuses.
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/uComFormGFG.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/FormReposit/uBaseForm.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kScheme = u"ZANDRELL5"_s;

// A form over the demo orders whose query keeps its ordering in the macros ORDER and FIELD.
class TSortedForm : public TBaseForm {
public:
    explicit TSortedForm(TOraSession *session) : TBaseForm(nullptr, session, kScheme)
    {
        setObjectName(u"fmSorted"_s);
        sqOrders = new TOraQuery(this);
        sqOrders->setObjectName(u"sqOrders"_s);
        sqOrders->SetSQL({u"SELECT O.ID, O.STATUS, O.AMOUNT FROM &Shema.DEMO_ORDERS O"_s, u"&ORDER &FIELD"_s});
        sqOrders->MacroByName(u"ORDER"_s).SetValue(u"ORDER BY"_s);
        sqOrders->MacroByName(u"FIELD"_s).SetValue(u"O.ID"_s);
        grid = new TDBGrid(this);
        grid->setObjectName(u"grdOrders"_s);
        grid->SetHint(u"Orders"_s);
        grid->SetDataSource(new TDataSource(this, sqOrders));
        (new QVBoxLayout(this))->addWidget(grid);
    }

    // What the sort dialog does: a new ordering, the query reopened.
    void sortBy(const QString &ordering)
    {
        sqOrders->Close();
        sqOrders->MacroByName(u"FIELD"_s).SetValue(ordering);
        sqOrders->Open();
    }
    QString ordering() { return sqOrders->MacroByName(u"FIELD"_s).Value(); }

    TOraQuery *sqOrders;
    TDBGrid *grid;

protected:
    void FormCreate() override { sqOrders->Open(); }
};

QString section() { return OrderSection(kScheme, u"tst_GridSettings"_s); }

} // namespace

class TestGridSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingDialogService> dialogs;
    std::unique_ptr<QTemporaryDir> programDir;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<TOraSession> session;

    std::unique_ptr<TSortedForm> openForm() { return TBaseForm::Create<TSortedForm>(session.get()); }

    QString storedKey()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        form.reset();
        return key;
    }

    int refusals() const
    {
        int count = 0;
        for (const RecordedBox &box : dialogs->boxes)
            count += box.text.startsWith(u"TBaseForm.NotFindFieldForOrder: "_s);
        return count;
    }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void init()
    {
        dialogs = std::make_unique<RecordingDialogService>();
        programDir = std::make_unique<QTemporaryDir>();
        SetProgramFolderForTests(programDir->path());
        server = std::make_unique<TestServer>();
        session = server->Connect();
    }

    void cleanup()
    {
        TIniFile::SetWriteFaultForTests({});
        QFile::setPermissions(programDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        session.reset();
        server.reset();
        SetProgramFolderForTests(QString());
        programDir.reset();
        dialogs.reset();
    }

    void checksum_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("checksum");
        // Worked by hand over the Windows bytes of each line plus CR LF, then a blank.
        QTest::newRow("one line") << u"AB"_s << u"0018"_s;
        QTest::newRow("two lines") << u"A\nB"_s << u"0004"_s;
        QTest::newRow("a Russian letter is its Windows-1251 byte") << u"Я"_s << u"00e2"_s;
        QTest::newRow("NUL NUL adds nothing, NUL before a letter adds its place") << QString(u"A\0\0B"_s) << u"0005"_s;
    }
    void checksum()
    {
        QFETCH(QString, sql);
        QFETCH(QString, checksum);
        QCOMPARE(QuerySqlChecksum(sql), checksum);
    }

    void queryKeyFollowsTheText()
    {
        QObject owner;
        owner.setObjectName(u"fmOwner"_s);
        TOraQuery query(&owner);
        query.setObjectName(u"sqItems"_s);
        query.SetSQLText(u"AB"_s);
        QCOMPARE(QueryKey(&query), u"fmOwner.sqItems.0018"_s);
        query.SetSQLText(u"AB "_s);
        QVERIFY(QueryKey(&query) != u"fmOwner.sqItems.0018"_s);
    }

    void orderingCycle()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        QVERIFY(key.startsWith(u"fmSorted.sqOrders."_s));
        QCOMPARE(ComFormGFGIni().ReadString(section(), key + u"_def"_s, {}), u"O.ID"_s);
        form->sortBy(u"O.AMOUNT DESC"_s);
        QVERIFY(form->close());
        QCOMPARE(ComFormGFGIni().ReadString(section(), key, {}), u"O.AMOUNT DESC"_s);
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key + u"_def"_s));
        form.reset();

        form = openForm();
        QCOMPARE(form->ordering(), u"O.AMOUNT DESC"_s);
        QVERIFY(form->sqOrders->Active());
        const double first = form->sqOrders->FieldByName(u"AMOUNT"_s)->AsFloat();
        form->sqOrders->Next();
        QVERIFY(first >= form->sqOrders->FieldByName(u"AMOUNT"_s)->AsFloat());

        // Back to the design ordering: nothing is kept.
        form->sortBy(u"O.ID"_s);
        QVERIFY(form->close());
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key));
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key + u"_def"_s));
        QCOMPARE(dialogs->boxes.size(), 0);
    }

    void freedWithoutClosingStoresToo()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        form->sortBy(u"STATUS"_s);
        form.reset();
        QCOMPARE(ComFormGFGIni().ReadString(section(), key, {}), u"STATUS"_s);
    }

    void saveSwitchedOff()
    {
        const QString key = storedKey();
        ComFormGFGIni().WriteBool(kScheme + u"_ORDERBY"_s, u"SAVE"_s, false);
        ComFormGFGIni().WriteString(section(), key, u"O.AMOUNT"_s);
        auto form = openForm();
        QCOMPARE(form->ordering(), u"O.ID"_s);
        form->sortBy(u"STATUS"_s);
        QVERIFY(form->close());
        QCOMPARE(ComFormGFGIni().ReadString(section(), key, {}), u"O.AMOUNT"_s);
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key + u"_def"_s));
    }

    void storedOrdering_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("applied");
        QTest::newRow("field with direction and prefix") << u"STATUS DESC, O.ID"_s << true;
        QTest::newRow("lower case") << u"amount asc"_s << true;
        QTest::newRow("dropped column") << u"O.DISCOUNT"_s << false;
        QTest::newRow("a second statement") << u"ID; DROP TABLE DEMO_ORDERS"_s << false;
        QTest::newRow("a sub-query") << u"(SELECT 1 FROM DUAL)"_s << false;
        QTest::newRow("a comment") << u"ID --"_s << false;
        QTest::newRow("an empty item") << u"ID,"_s << false;
        QTest::newRow("two directions") << u"ID ASC DESC"_s << false;
        QTest::newRow("empty") << u""_s << false;
    }
    void storedOrdering()
    {
        QFETCH(QString, stored);
        QFETCH(bool, applied);
        const QString key = storedKey();
        ComFormGFGIni().WriteString(section(), key, stored);
        auto form = openForm();
        QCOMPARE(form->ordering(), applied ? stored : u"O.ID"_s);
        QVERIFY(form->sqOrders->Active());
        QCOMPARE(refusals(), applied ? 0 : 1);
        QCOMPARE(ComFormGFGIni().ValueExists(section(), key), applied);
        if (!applied) {
            QCOMPARE(dialogs->boxes.first().caption, TranslateAplText(u"rstrError"_s));
            QVERIFY(dialogs->boxes.first().text.contains(stored.trimmed().isEmpty() ? u"\"\""_s : u"\""_s));
            // Forgotten: the next opening says nothing.
            QVERIFY(form->close());
            form = openForm();
            QCOMPARE(refusals(), 1);
        }
    }

    void unwritableFolderDoesNotStopClosing()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        form->sortBy(u"STATUS"_s);
        QVERIFY(QFile::setPermissions(programDir->path(), QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(programDir->path()).isWritable()) // the super-user writes anywhere
            TIniFile::SetWriteFaultForTests({0, false});
        QVERIFY(form->close());
        QVERIFY(form->Closed());
        TIniFile::SetWriteFaultForTests({});
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key));
    }
};

QTEST_MAIN(TestGridSettings)
#include "tst_GridSettings.moc"
