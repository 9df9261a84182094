// The base forms over a fresh demo database: rights, session and scheme, the
// grid actions through the form library, the check column and its stored
// marks, the prepare diagnostic, the developer warnings, date editors,
// closing and maximising.
#include "Core/ResourcePack.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/uComFormLibInt.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/ComUnits/uTDBGridInterface_IMPL.h"
#include "Source/FormReposit/uBaseForm.h"
#include "Source/FormReposit/uComBaseForm.h"
#include "Ui/DataSetModel.h"
#include "Ui/ResourceColors.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/FormFixture.h"
#include "tests/common/TestServer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

// An in-memory table: ID, NAME and a check column of the given kind.
TResultSet checkTable(TFieldType checkType, const QVariantList &checks)
{
    TResultSet rows;
    rows.columns = {{u"ID"_s, TFieldType::ftInteger}, {u"NAME"_s, TFieldType::ftString, 20}, {u"RCHECK"_s, checkType}};
    for (int i = 0; i < checks.size(); ++i)
        rows.rows.append({i + 1, u"row %1"_s.arg(i + 1), checks[i]});
    return rows;
}

// `count` unmarked rows with a text check column.
TResultSet unmarked(int count) { return checkTable(TFieldType::ftString, QVariantList(count, u"-"_s)); }

// A data form with an edit and one grid over an in-memory table.
class TGridForm : public TBaseForm {
public:
    explicit TGridForm(const TResultSet &rows, const QString &hint = u"grdMain"_s,
                       const std::function<void(TDataSet *)> &prepare = {})
        : TBaseForm(nullptr)
    {
        setObjectName(u"fmGrid"_s);
        data = new TDataSet(this);
        data->SetName(u"mdData"_s);
        source = new TDataSource(this, data);
        edit = new QLineEdit(this);
        edit->setObjectName(u"edName"_s);
        grid = new TDBGrid(this);
        grid->setObjectName(u"grdMain"_s);
        grid->SetHint(hint);
        grid->SetDataSource(source);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(edit);
        layout->addWidget(grid);
        data->LoadFrom(rows);
        if (prepare)
            prepare(data);
        MainDataSet = data;
        resize(500, 300);
    }

    TDataSet *data;
    TDataSource *source;
    QLineEdit *edit;
    TDBGrid *grid;
};

// A data form whose query names a table that does not exist.
class TBadForm : public TBaseForm {
public:
    explicit TBadForm(TOraSession *session) : TBaseForm(nullptr, session, u"ZANDRELL5"_s)
    {
        setObjectName(u"fmBad"_s);
        sqBad = new TOraQuery(this);
        sqBad->setObjectName(u"sqBad"_s);
        sqBad->SetSQLText(u"SELECT * FROM &Shema.NO_SUCH_TABLE"_s);
        auto *grid = new TDBGrid(this);
        grid->SetHint(u"Bad"_s);
        grid->SetDataSource(new TDataSource(this, sqBad));
    }
    TOraQuery *sqBad;
};

// A form whose grid is a plain table view over a data set; it may know the view's interface class.
class TViewForm : public TBaseForm {
public:
    explicit TViewForm(bool knowsClass) : TBaseForm(nullptr), m_knowsClass(knowsClass)
    {
        auto *table = new TDataSet(this);
        table->LoadFrom(unmarked(1));
        view = new QTableView(this);
        view->setModel(new TDataSetModel(new TDataSource(this, table), this));
    }
    QTableView *view;

protected:
    std::unique_ptr<TGridInterfaced> DynamicAssignGridIntClass(QAbstractItemView *grid) override
    {
        return m_knowsClass ? std::make_unique<TGridInterfaced>(grid) : nullptr;
    }

private:
    bool m_knowsClass;
};

// A form with one access function per character of `states`, which records the calls.
class TRightsForm : public TBaseForm {
public:
    TRightsForm(int functions, const QString &mode) : TBaseForm(nullptr, nullptr, QString(), mode)
    {
        states = QString(functions, u'?');
        ++alive;
    }
    ~TRightsForm() override { --alive; }

    QString states;
    static inline int alive = 0;

protected:
    void AddAccessFuncs() override
    {
        for (int i = 0; i < states.size(); ++i)
            AccessFuncsList().Add([this, i](bool on) { states[i] = on ? u'1' : u'0'; });
    }
};

// A form with a date editor of the given design format.
class TPlainForm : public TComBaseForm {
public:
    explicit TPlainForm(const QString &dateFormat) : TComBaseForm(nullptr)
    {
        editor = new QDateTimeEdit(this);
        editor->setDisplayFormat(dateFormat);
    }
    QDateTimeEdit *editor;
};

} // namespace

class TestBaseForm : public QObject {
    Q_OBJECT

    std::unique_ptr<FormFixture> fixture;
    RecordingDialogService *dialogs = nullptr;

    // The boxes shown so far, for a failure's message.
    QByteArray shownBoxes() const { return dialogs->texts().join(u"\n---\n"_s).toUtf8(); }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void init()
    {
        fixture = std::make_unique<FormFixture>();
        dialogs = &fixture->dialogs;
    }

    void cleanup()
    {
        ComFormLibs::FreeLibrary();
        fixture.reset();
    }

    void fillAccess_data()
    {
        QTest::addColumn<int>("functions");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("states");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("modeError");
        QTest::newRow("1 without functions") << 0 << u"1"_s << u""_s << false << false;
        QTest::newRow("1,0,1: the second only") << 2 << u"101"_s << u"01"_s << false << false;
        QTest::newRow("1,1 for two: refused") << 2 << u"11"_s << u""_s << true << false;
        QTest::newRow("not starting with 1: nothing granted") << 2 << u"011"_s << u"00"_s << false << true;
        QTest::newRow("empty: nothing granted") << 2 << u""_s << u"00"_s << false << false;
    }

    void fillAccess()
    {
        QFETCH(int, functions);
        QFETCH(QString, mode);
        QFETCH(bool, refused);
        QFETCH(bool, modeError);
        try {
            auto form = TBaseForm::Create<TRightsForm>(functions, mode);
            QVERIFY(!refused);
            QTEST(form->states, "states");
            QVERIFY(form->Built() && form->CanClose);
        } catch (const Exception &e) {
            QVERIFY2(refused && e.message().startsWith(TranslateAplText(u"rstr_msg_IncorrectAccessRights"_s)),
                     qPrintable(e.message()));
        }
        QCOMPARE(TRightsForm::alive, 0); // a refused form is gone
        const QString modeBox = TranslateAplText(u"rstr_msg_IncorrectAccessMode"_s) + u": FMode = \"%1\""_s.arg(mode);
        QCOMPARE(dialogs->texts(), modeError ? QStringList{modeBox} : QStringList());
    }

    // The scheme given, else the session's user; without either the form says so.
    void sessionAndScheme_data()
    {
        QTest::addColumn<bool>("session");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("expected");
        QTest::newRow("scheme given") << true << u"ZANDRELL5"_s << u"ZANDRELL5"_s;
        QTest::newRow("no scheme: the session's user") << true << u""_s << u"ZL_USER"_s;
        QTest::newRow("neither") << false << u""_s << u""_s;
    }
    void sessionAndScheme()
    {
        QFETCH(bool, session);
        QFETCH(QString, scheme);
        TestServer server;
        auto connection = server.Connect(u"  ZL_USER "_s);
        auto form = TBaseForm::Create<TBaseForm>(nullptr, session ? connection.get() : nullptr, scheme);
        QCOMPARE(form->BindDb(), session);
        QTEST(form->OraQuery1->MacroByName(u"shema"_s).Value(), "expected");
        QTEST(form->GetShema(), "expected");
        QCOMPARE(dialogs->boxes.size(), session ? 0 : 1); // asked for none, it says so
    }

    // Ctrl+R without a focused grid asks for one; with the grid focused it asks the form library
    // (none here); a grid whose data set is no query cannot be sorted.
    void refusalsOnAPlainGrid()
    {
        auto form = TBaseForm::Create<TGridForm>(unmarked(3));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->edit->setFocus();
        QTest::keyClick(form->edit, Qt::Key_R, Qt::ControlModifier);
        form->grid->setFocus();
        QTest::keyClick(form->grid, Qt::Key_R, Qt::ControlModifier);
        form->pSort->trigger();
        QVERIFY2(dialogs->boxes.size() == 3, shownBoxes().constData());
        QCOMPARE(dialogs->boxes[0].text, TranslateAplText(u"rstr_SelectTable"_s));
        QVERIFY2(dialogs->boxes[1].text.contains(ComFormLibs::LibraryPath()), qPrintable(dialogs->boxes[1].text));
        QCOMPARE(dialogs->boxes[2].text, TranslateAplText(u"rstr_msg_ImpossibleDatasForSorting"_s));
    }

    void gridActions_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<bool>("mainQuery");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("box");
        QTest::newRow("find") << u"full"_s << true << u"pFind"_s << u"find|Orders|0"_s << u""_s;
        QTest::newRow("filter of the main query") << u"full"_s << true << u"pFilter"_s << u"filter|Orders|0"_s << u""_s;
        QTest::newRow("filter of another query") << u"full"_s << false << u"pFilter"_s << u"filter|Orders|2"_s << u""_s;
        QTest::newRow("library without the entry")
            << u"empty"_s << true << u"pSort"_s << u""_s
            << u"uComFormLibInt: \"_SortDBGridB\" procedure not found in ComformLibs.so"_s;
        QTest::newRow("no library") << u"none"_s << true << u"pFind"_s << u""_s
                                    << u"uComFormLibInt.LoadLib: \"%1\" library is not found"_s;
    }

    void gridActions()
    {
        QFETCH(QString, library);
        QFETCH(bool, mainQuery);
        QFETCH(QString, action);
        QFETCH(QString, call);
        QFETCH(QString, box);
        if (library != u"none"_s)
            SetProgramFolderForTests(QStringLiteral(FORMLIB_DOUBLE_DIR) + u'/' + library);
        TestServer server;
        auto session = server.Connect();
        auto form = TBaseForm::Create<TOrdersForm>(session.get(), mainQuery);
        form->show();
        form->grid->setFocus();
        form->grid->setCurrentIndex(form->grid->model()->index(2, 0));
        form->findChild<QAction *>(action)->trigger();

        QCOMPARE(form->grid->property("formLibCall").toString(), call);
        if (box.isEmpty()) {
            QVERIFY(dialogs->boxes.isEmpty());
        } else {
            QVERIFY2(dialogs->boxes.size() == (1), shownBoxes().constData());
            const QString expected = box.contains(u"%1"_s) ? box.arg(ComFormLibs::LibraryPath()) : box;
            QVERIFY2(dialogs->boxes[0].text.startsWith(expected), qPrintable(dialogs->boxes[0].text));
        }
        if (!call.isEmpty() && action == u"pFind"_s)
            QCOMPARE(form->SortFields(), QList<TField *>{form->sqOrders->FieldByName(u"STATUS"_s)});
        if (!call.isEmpty() && action == u"pFilter"_s)
            QCOMPARE(form->FilterState, mainQuery);
    }

    void capabilityTags_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("calculated");
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("expected");
        const int text = int(TFieldType::ftString);
        QTest::newRow("shown text") << u"NAME"_s << text << u"Name"_s << true << false << 0 << 255;
        QTest::newRow("the check column") << u"RCHECK"_s << text << u"Mark"_s << true << false << 0 << 252;
        QTest::newRow("hidden, Latin label") << u"CODE"_s << text << u"Code"_s << false << false << 0 << 0;
        QTest::newRow("hidden, Russian label") << u"CODE"_s << text << u"Код"_s << false << false << 0 << 255;
        QTest::newRow("blank label") << u"NAME"_s << text << u" "_s << true << false << 0 << 0;
        QTest::newRow("a tag of its own") << u"NAME"_s << text << u"Name"_s << true << false << 7 << 7;
        QTest::newRow("kind the library cannot use")
            << u"ID"_s << int(TFieldType::ftAutoInc) << u"Id"_s << true << false << 0 << 0;
    }

    void capabilityTags()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QString, label);
        QFETCH(bool, visible);
        QFETCH(bool, calculated);
        QFETCH(int, tag);
        TResultSet rows;
        rows.columns = {{name, TFieldType(type)}};
        auto form = TBaseForm::Create<TGridForm>(rows, u"grdMain"_s, [&](TDataSet *ds) {
            TField *field = ds->Fields(0);
            field->SetDisplayLabel(label);
            field->SetVisible(visible);
            field->SetFieldKind(calculated ? TFieldKind::fkCalculated : TFieldKind::fkData);
            field->SetTag(tag);
        });
        QTEST(form->data->Fields(0)->Tag(), "expected");
    }

    void viewWithoutInterfaceClass_data()
    {
        QTest::addColumn<bool>("knowsClass");
        QTest::newRow("the form knows no class") << false;
        QTest::newRow("the form gives one") << true;
    }

    void viewWithoutInterfaceClass()
    {
        QFETCH(bool, knowsClass);
        auto form = TBaseForm::Create<TViewForm>(knowsClass);
        QVERIFY(form->GridInterface(form->view));
        QCOMPARE(dialogs->boxes.size(), knowsClass ? 0 : 1);
        if (!knowsClass)
            QVERIFY(dialogs->boxes[0].text.startsWith(u"TBaseForm.AssignInterfacedClass: "_s));
    }

    void checkColumn_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariant>("initial");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("checkedAfter");
        QTest::addColumn<QString>("storedAfter");
        const int text = int(TFieldType::ftString);
        QTest::newRow("text - becomes + (click)") << text << QVariant(u"-"_s) << u"click"_s << true << u"+"_s;
        QTest::newRow("Boolean") << int(TFieldType::ftBoolean) << QVariant(true) << u"space"_s << false << u"0"_s;
        QTest::newRow("integer") << int(TFieldType::ftInteger) << QVariant(0) << u"space"_s << true << u"1"_s;
        QTest::newRow("read-only data") << text << QVariant(u"+"_s) << u"read-only"_s << true << u"+"_s;
        QTest::newRow("refused post is cancelled") << text << QVariant(u"+"_s) << u"refused"_s << true << u"+"_s;
    }

    void checkColumn()
    {
        QFETCH(int, type);
        QFETCH(QVariant, initial);
        QFETCH(QString, how);
        auto form = TBaseForm::Create<TGridForm>(checkTable(TFieldType(type), QVariantList(3, initial)));
        form->show();
        TDataSet *ds = form->data;
        form->grid->setCurrentIndex(form->grid->model()->index(1, 0));
        if (how == u"read-only"_s)
            ds->SetReadOnly(true);
        if (how == u"refused"_s)
            ds->BeforePost = [](TDataSet *) { throw EAbort(QString()); };
        if (how == u"click"_s) {
            const QRect cell = form->grid->visualRect(form->grid->model()->index(1, 2));
            QTest::mouseClick(form->grid->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            QTest::keyClick(form->grid, Qt::Key_Space);
        }
        QCOMPARE(ds->RecNo(), 2);
        TField *check = ds->FieldByName(u"RCHECK"_s);
        QTEST(GetCheckFldValue(check), "checkedAfter");
        QTEST(check->AsString(), "storedAfter");
        QCOMPARE(ds->State(), TDataSetState::dsBrowse);
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(CheckValueOf(TFieldType(type), ds->ValueAt(0, 2)), CheckValueOf(TFieldType(type), initial));
    }

    // The pop-up menu of a grid with a check column offers the mass selection,
    // which goes to the form library; every grid's menu offers its columns back as designed.
    void popupOffersMassSelection_data()
    {
        QTest::addColumn<bool>("checkColumn");
        QTest::newRow("with a check column") << true;
        QTest::newRow("without") << false;
    }
    void popupOffersMassSelection()
    {
        QFETCH(bool, checkColumn);
        SetProgramFolderForTests(QStringLiteral(FORMLIB_DOUBLE_DIR) + u"/full"_s);
        TResultSet rows = unmarked(3);
        if (!checkColumn)
            rows.columns.last().name = u"NOTE"_s; // a text column like any other
        auto form = TBaseForm::Create<TGridForm>(rows);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->grid->setFocus();
        QStringList offered;
        QTimer::singleShot(0, form.get(), [&] {
            for (QAction *action : form->PopupMenu1->actions())
                if (action->isVisible() && !action->isSeparator())
                    offered << action->objectName();
            form->PopupMenu1->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), form->grid->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(form.get(), &event);
        const QStringList selection{u"pSelectAll"_s, u"pSelectNone"_s, u"pInvertSelection"_s};
        for (const QString &name : selection)
            QCOMPARE(offered.contains(name), checkColumn);
        QVERIFY(offered.contains(u"pResetColumns"_s) && offered.contains(u"pFind"_s));
        if (!checkColumn)
            return;
        form->pInvertSelection->trigger();
        QCOMPARE(form->grid->property("formLibCall").toString(), u"select|1|RCHECK|1"_s);
    }

    void setRCheckNeedsADataSet()
    {
        auto form = TBaseForm::Create<TGridForm>(unmarked(0));
        QVERIFY_THROWS_EXCEPTION(Exception, form->SetRCheck(nullptr));
        form->SetRCheck(form->data); // no records: nothing to do
        QCOMPARE(form->data->State(), TDataSetState::dsBrowse);
        // A grid without records shows so; one with records does not.
        QCOMPARE(form->grid->viewport()->palette().color(QPalette::Base), clNotRecord);
        form->data->LoadFrom(unmarked(1));
        QVERIFY(form->grid->viewport()->palette().color(QPalette::Base) != clNotRecord);
    }

    void storeSelect_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QList<int>>("toggles");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("ticks");
        QTest::addColumn<bool>("error");
        QTest::newRow("two rows marked, one unmarked")
            << u""_s << u"ZANDRELL5"_s << QList<int>{0, 2, 0, 3} << 2 << u"--++"_s << false;
        QTest::newRow("switched off in Settings.ini")
            << u"[COM_SETTINGS]\nStoreSelect=0\n"_s << u"ZANDRELL5"_s << QList<int>{0, 1} << 0 << u"++--"_s << false;
        QTest::newRow("a scheme that is no plain name")
            << u""_s << u"ZANDRELL5.X; DELETE"_s << QList<int>{1} << 0 << u"----"_s << true;
    }

    void storeSelect()
    {
        QFETCH(QString, settings);
        QFETCH(QString, scheme);
        QFETCH(QList<int>, toggles);
        QFETCH(QString, ticks);
        QFETCH(bool, error);
        QVERIFY(fixture->write(u"Settings.ini"_s, settings.toUtf8()));
        SetProgramFolderForTests(fixture->programDir.path()); // read the settings afresh
        TestServer server;
        auto session = server.Connect();
        auto form = TBaseForm::Create<TOrdersForm>(session.get(), true);
        form->sqOrders->MacroByName(u"Shema"_s).SetValue(scheme);
        for (int row : toggles) {
            form->sqOrders->SetRecNo(row + 1);
            form->SetRCheck(form->sqOrders);
        }
        QTEST(Scalar(session.get(), u"SELECT COUNT(*) FROM ZANDRELL5.TEMP_ORDER_LINES_REPORT"_s).toInt(), "stored");
        // A query without a delete handler of its own refuses to delete, silently.
        QVERIFY_THROWS_EXCEPTION(EAbort, form->sqOrders->Delete());
        QCOMPARE(form->sqOrders->RecordCount(), 12);
        QString shown;
        for (int row = 0; row < ticks.size(); ++row)
            shown += form->sqOrders->ValueAt(row, form->sqOrders->FieldByName(u"RCHECK"_s)->Index()).toString();
        QCOMPARE(shown, ticks);
        QVERIFY2(dialogs->boxes.size() == (error ? 1 : 0), shownBoxes().constData());
        if (error) {
            const RecordedBox &box = dialogs->boxes[0];
            QVERIFY2(
                box.text.startsWith(u"uComFunctions.Set_ORDER_LINES_REPORT: Error execution TEMP_SELECT_PACK.:\n"_s),
                qPrintable(box.text));
            QVERIFY(box.text.endsWith(u"\n\"Settings.ini\": [COM_SETTINGS] StoreSelect=1"_s));
        }
    }

    void prepareDiagnostic_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<bool>("can");
        QTest::newRow("Russian") << false << false;
        QTest::newRow("English, CAN") << true << true;
    }

    void prepareDiagnostic()
    {
        QFETCH(bool, english);
        QFETCH(bool, can);
        std::unique_ptr<FakeLanguages> languages;
        if (english)
            languages = std::make_unique<FakeLanguages>();
        if (can)
            QVERIFY(fixture->write(u"Settings.ini"_s, "[DBG_SETTINGS]\nCAN=1\n"));
        TestServer server;
        auto session = server.Connect();
        auto form = TBaseForm::Create<TBadForm>(session.get());
        QVERIFY2(dialogs->boxes.size() == (1), shownBoxes().constData());
        const QString text = dialogs->boxes[0].text;
        QVERIFY2(text.startsWith(u"\"SQBAD\"\n\nTBaseForm.SettDBGrid: "_s), qPrintable(text));
        QVERIFY2(text.contains(u"942"_s), qPrintable(text)); // the database's own words
        QVERIFY(text.contains(english ? u"Possible reasons of error:"_s : u"Возможные причины ошибки:"_s));
        // The statement and its macros only for a developer.
        QCOMPARE(text.contains(u"SELECT * FROM &Shema.NO_SUCH_TABLE"_s), can);
        QCOMPARE(text.endsWith(u"Shema = ZANDRELL5"_s), can);
    }

    void debugIniHintWarning_data()
    {
        QTest::addColumn<bool>("debugIni");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("warned");
        QTest::newRow("Debug.ini, grid without hint") << true << u""_s << true;
        QTest::newRow("Debug.ini, grid with hint") << true << u"grdMain"_s << false;
        QTest::newRow("no Debug.ini") << false << u""_s << false;
    }

    void debugIniHintWarning()
    {
        QFETCH(bool, debugIni);
        QFETCH(QString, hint);
        QFETCH(bool, warned);
        if (debugIni)
            QVERIFY(fixture->write(u"Debug.ini"_s, ""));
        auto form = TBaseForm::Create<TGridForm>(unmarked(1), hint);
        QCOMPARE(dialogs->texts(), warned ? QStringList{u"grdMain"_s} : QStringList());
    }

    void dateFormats_data()
    {
        QTest::addColumn<QString>("design");
        QTest::addColumn<QString>("expected");
        QTest::newRow("date") << u"dd.MM.yyyy"_s << GetLocaleDateFormat();
        QTest::newRow("hours in lower case") << u"hh:mm"_s << GetLocaleTimeFormat();
        QTest::newRow("date and time") << u"dd.MM.yyyy hh:mm"_s << GetLocaleDateTimeFormat();
    }

    void dateFormats()
    {
        QFETCH(QString, design);
        // The three formats differ, so each editor shows which one it got.
        QCOMPARE(QSet<QString>({GetLocaleDateFormat(), GetLocaleTimeFormat(), GetLocaleDateTimeFormat()}).size(), 3);
        QTEST(TComBaseForm::Create<TPlainForm>(design)->editor->displayFormat(), "expected");
    }

    // The wheel moves one record per notch, the toolbar's moves go where they say; the grid follows.
    void recordMoves_data()
    {
        QTest::addColumn<QStringList>("moves"); // wheel turns in eighths of a degree, or an action's name
        QTest::addColumn<int>("recNo");         // from the third of six
        QTest::newRow("one notch up") << QStringList{u"120"_s} << 2;
        QTest::newRow("one notch down") << QStringList{u"-120"_s} << 4;
        QTest::newRow("three small steps make one") << QStringList{u"40"_s, u"40"_s, u"40"_s} << 2;
        QTest::newRow("two small steps make none") << QStringList{u"40"_s, u"40"_s} << 3;
        QTest::newRow("a turn back starts afresh") << QStringList{u"60"_s, u"-120"_s} << 4;
        QTest::newRow("last, then back twice") << QStringList{u"pLast"_s, u"pPrev"_s, u"pPrev"_s} << 4;
        QTest::newRow("first") << QStringList{u"pFirst"_s} << 1;
    }

    void recordMoves()
    {
        QFETCH(QStringList, moves);
        auto form = TBaseForm::Create<TGridForm>(unmarked(6));
        form->show();
        QCOMPARE(form->focusWidget(), form->grid); // the main data set's grid
        form->data->SetRecNo(3);
        const QPointF at(10, 10);
        for (const QString &move : moves) {
            if (auto *action = form->findChild<QAction *>(move)) {
                action->trigger();
                continue;
            }
            QWheelEvent wheel(at, form->grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, move.toInt()),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(form->grid->viewport(), &wheel);
            QVERIFY(wheel.isAccepted());
        }
        QTEST(form->data->RecNo(), "recNo");
        QCOMPARE(form->grid->currentIndex().row(), form->data->RecNo() - 1);
    }

    void maximizedRect_data()
    {
        QTest::addColumn<QRect>("workArea");
        QTest::addColumn<int>("mainBottom");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("below the main form") << QRect(0, 0, 1280, 1024) << 99 << QRect(0, 100, 1280, 924);
        QTest::newRow("main form low: below it all the same")
            << QRect(0, 0, 1280, 1024) << 700 << QRect(0, 701, 1280, 323);
        QTest::newRow("no main form, tall screen") << QRect(0, 0, 1280, 1200) << -1 << QRect(0, 500, 1280, 600);
        QTest::newRow("no main form, small screen") << QRect(0, 30, 800, 500) << -1 << QRect(0, 30, 800, 500);
    }

    void maximizedRect()
    {
        QFETCH(QRect, workArea);
        QFETCH(int, mainBottom);
        QWidget main;
        main.setGeometry(0, 0, 300, mainBottom + 1);
        QTEST(TBaseForm::MaximizedRect(workArea, mainBottom >= 0 ? &main : nullptr), "expected");
    }

    void closingRefusedWhileBusy()
    {
        auto form = TBaseForm::Create<TGridForm>(unmarked(1));
        form->show();
        form->CanClose = false;
        QVERIFY(!form->close());
        form->reject();
        QVERIFY(form->isVisible() && !form->Closed());
        QCOMPARE(dialogs->boxes.size(), 2); // "busy", each time
        form->CanClose = true;
        QVERIFY(form->close());
        QVERIFY(form->Closed() && form->Closing());
    }

    // A form's own session connected to a server is a superfluous connection, and it says so.
    void mainSessionGuard()
    {
        FakeLanguages languages;
        TestServer server;
        auto form = TBaseForm::Create<TBaseForm>();
        form->MainSession->SetServer(u"ZANDRELL"_s);
        form->MainSession->SetUsername(u"ZL_USER"_s);
        form->MainSession->SetPassword(u"demo"_s);
        form->MainSession->Connect();
        QVERIFY(form->MainSession->Connected());
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes[0].text.contains(u"MainSession"_s), shownBoxes().constData());
    }

    void escClosesOnlyModalWindows_data()
    {
        QTest::addColumn<bool>("modal");
        QTest::newRow("beside the console") << false;
        QTest::newRow("modal") << true;
    }

    void escClosesOnlyModalWindows()
    {
        QFETCH(bool, modal);
        TServiceForm window;
        window.setModal(modal);
        window.show();
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(window.isVisible(), !modal);
        QCOMPARE(bool(window.FormStatus() & TServiceForm::fsVisible), !modal);
    }
};

QTEST_MAIN(TestBaseForm)
#include "tst_BaseForm.moc"
