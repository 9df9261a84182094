// The driver of modal windows in the unattended mode: a small window with one
// named widget of each kind, driven by command lines fed to the protocol
// input; what it writes is caught, and the window's own reactions are kept in
// a label that "dump" shows.
#include "Core/DialogService.h"
#include "Core/ProtocolInput.h"
#include "Ui/ModalDriver.h"
#include "Ui/WindowDialogService.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

class TInnerWindow : public QDialog {
    Q_OBJECT
public:
    TInnerWindow()
    {
        setWindowTitle(QStringLiteral("Inner"));
        edInner = new QLineEdit(this);
        SetObjectNames({{edInner, "edInner"}});
        SetDrivenUnattended(this);
    }
    QLineEdit *edInner;
};

class TTestWindow : public QDialog {
    Q_OBJECT
public:
    TTestWindow()
    {
        setWindowTitle(QStringLiteral("Test"));
        auto *layout = new QVBoxLayout(this);
        auto add = [&](auto *widget, const char *name) {
            widget->setObjectName(QLatin1String(name));
            layout->addWidget(widget);
            return widget;
        };
        auto *edName = add(new QLineEdit, "edName");
        add(new QLineEdit(QStringLiteral("pw")), "edSecret")->setEchoMode(QLineEdit::Password);
        add(new QLineEdit, "edHidden")->hide();
        add(new QLabel(QStringLiteral("unnamed")), "");
        add(new QPlainTextEdit, "memNote");
        add(new QSpinBox, "seCount")->setRange(0, 100);
        auto *cbKind = add(new QComboBox, "cbKind");
        cbKind->addItems({QStringLiteral("Alpha"), QStringLiteral("Beta")});
        add(new QCheckBox(QStringLiteral("&Active")), "chActive");

        auto *tvMenu = add(new QTreeWidget, "tvMenu");
        tvMenu->setDragDropMode(QAbstractItemView::InternalMove);
        auto *root = new QTreeWidgetItem(tvMenu, {QStringLiteral("Root")});
        new QTreeWidgetItem(new QTreeWidgetItem(root, {QStringLiteral("Group")}), {QStringLiteral("Leaf")});
        new QTreeWidgetItem(root, {QStringLiteral("Other")});

        // A model view takes the drop itself; the dragging view then removes what moved.
        auto *tree = new QStandardItemModel(this);
        auto *x = new QStandardItem(QStringLiteral("X"));
        x->appendRow(new QStandardItem(QStringLiteral("Y")));
        tree->appendRow({x});
        tree->appendRow({new QStandardItem(QStringLiteral("Z"))});
        auto *tvModel = add(new QTreeView, "tvModel");
        tvModel->setHeaderHidden(true);
        tvModel->setModel(tree);
        tvModel->setDragDropMode(QAbstractItemView::DragDrop);
        tvModel->setDefaultDropAction(Qt::MoveAction);

        auto *lvChecks = add(new QListWidget, "lvChecks");
        for (const char *text : {"One", "Two"}) {
            auto *item = new QListWidgetItem(QLatin1String(text), lvChecks);
            item->setCheckState(lvChecks->count() == 2 ? Qt::Checked : Qt::Unchecked);
        }
        // A report view: a tree without root decoration and child rows is a list.
        auto *lvRights = add(new QTreeWidget, "lvRights");
        lvRights->setRootIsDecorated(false);
        lvRights->setHeaderHidden(true);
        for (const char *text : {"Read", "Write"}) {
            auto *item = new QTreeWidgetItem(lvRights, {QLatin1String(text)});
            item->setCheckState(0, lvRights->topLevelItemCount() == 2 ? Qt::Checked : Qt::Unchecked);
        }
        auto *model = new QStandardItemModel(0, 2, this);
        model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Amount")});
        for (const auto &[name, amount] : {std::pair{"A", "10"}, std::pair{"B", "20"}}) {
            auto *first = new QStandardItem(QLatin1String(name));
            first->setCheckable(true);
            model->appendRow({first, new QStandardItem(QLatin1String(amount))});
        }
        add(new QTableView, "dbgRows")->setModel(model);
        auto *pcTabs = add(new QTabWidget, "pcTabs");
        pcTabs->addTab(new QWidget, QStringLiteral("&First"));
        pcTabs->addTab(new QWidget, QStringLiteral("Second"));

        auto *btnApply = add(new QPushButton(QStringLiteral("Apply")), "btnApply");
        auto *btnAsk = add(new QPushButton(QStringLiteral("Ask")), "btnAsk");
        auto *btnNested = add(new QPushButton(QStringLiteral("Nested")), "btnNested");
        add(new QPushButton(QStringLiteral("Off")), "btnOff")->setEnabled(false);
        lblLog = add(new QLabel, "lblLog");
        auto *acSave = new QAction(QStringLiteral("&Save"), this);
        auto *acLocked = new QAction(this);
        SetObjectNames({{acSave, "acSave"}, {acLocked, "acLocked"}});
        acLocked->setEnabled(false);

        connect(edName, &QLineEdit::textEdited, this, [this](const QString &text) { log("edited:"_L1 + text); });
        connect(edName, &QLineEdit::editingFinished, this, [this] { log(QStringLiteral("left")); });
        connect(cbKind, &QComboBox::textActivated, this, [this](const QString &text) { log("activated:"_L1 + text); });
        connect(acSave, &QAction::triggered, this, [this] { log(QStringLiteral("saved")); });
        connect(acLocked, &QAction::triggered, this, [this] { log(QStringLiteral("locked")); });
        connect(btnApply, &QPushButton::clicked, this,
                [this] { log("answer:"_L1 + QString::number(ShowDialogMessage(u"Apply?"_s, u"Cap"_s, MB_YESNO))); });
        connect(btnAsk, &QPushButton::clicked, this, [this] {
            QInputDialog query;
            query.setWindowTitle(QStringLiteral("Query"));
            log(ExecInputQueryDialog(&query) == QDialog::Accepted ? "input:"_L1 + query.textValue() : u"no input"_s);
        });
        connect(btnNested, &QPushButton::clicked, this, [this] {
            TInnerWindow inner;
            const int result = ExecModalDialog(&inner);
            log(QStringLiteral("inner:%1:%2").arg(result).arg(inner.edInner->text()));
        });
        SetDrivenUnattended(this);
    }
    void log(const QString &event)
    {
        lblLog->setText(lblLog->text().isEmpty() ? event : lblLog->text() + u';' + event);
    }
    QLabel *lblLog;
};

// Takes lines below the windows, as the main window does; "open" opens a driven window.
class TBaseReader : public IProtocolReader {
public:
    void ProtocolLine(const QString &line) override
    {
        lines << line;
        if (line == QLatin1String("open")) {
            TTestWindow window;
            ExecModalDialog(&window);
        }
    }
    void ProtocolEnd() override { ++ends; }
    QStringList lines;
    int ends = 0;
};

} // namespace

class TestModalDriver : public QObject {
    Q_OBJECT
    QStringList out;

    // Runs the window with the script as the whole input; returns its result.
    int drive(QDialog &window, const QByteArray &script)
    {
        TProtocolInput::Instance().Feed(script);
        TProtocolInput::Instance().EndInput();
        return ExecModalDialog(&window);
    }

private slots:
    void initTestCase()
    {
        qputenv("KORCONSOLE_HEADLESS", "1");
        UseWindowedDialogs();
        SetProtocolSink([this](const QString &line) { out << line; });
    }
    void init()
    {
        TProtocolInput::Instance().Reset();
        out.clear();
    }

    void dumpListsVisibleNamedWidgetsInTabOrder()
    {
        TTestWindow window;
        QCOMPARE(drive(window, "select tvMenu Root/Group\ndump\n"), int(QDialog::Rejected));
        QCOMPARE(out, (QStringList{"MODAL TTestWindow|Test",
                                   "W edName QLineEdit 1 ",
                                   "W edSecret QLineEdit 1 **",
                                   "W memNote QPlainTextEdit 1 ",
                                   "W seCount QSpinBox 1 0",
                                   "W cbKind QComboBox 1 Alpha",
                                   "W chActive QCheckBox 1 0 Active",
                                   "W tvMenu QTreeWidget 1 Root/Group",
                                   "NODE tvMenu Root",
                                   "NODE tvMenu   *Group",
                                   "NODE tvMenu     Leaf",
                                   "NODE tvMenu   Other",
                                   "W tvModel QTreeView 1 ",
                                   "NODE tvModel X",
                                   "NODE tvModel   Y",
                                   "NODE tvModel Z",
                                   "W lvChecks QListWidget 1 ",
                                   "ROW lvChecks 1 0|One",
                                   "ROW lvChecks 2 1|Two",
                                   "W lvRights QTreeWidget 1 ",
                                   "ROW lvRights 1 0|Read",
                                   "ROW lvRights 2 1|Write",
                                   "W dbgRows QTableView 1 ",
                                   "COLS dbgRows|Name|Amount",
                                   "ROW dbgRows 1 0|A|10",
                                   "ROW dbgRows 2 0|B|20",
                                   "W pcTabs QTabWidget 1 First",
                                   "W btnApply QPushButton 1 Apply",
                                   "W btnAsk QPushButton 1 Ask",
                                   "W btnNested QPushButton 1 Nested",
                                   "W btnOff QPushButton 0 Off",
                                   "W lblLog QLabel 1 ",
                                   "ACTION acSave 1 0 Save",
                                   "ACTION acLocked 0 0",
                                   "CLOSED TTestWindow 2"}));
    }

    // Each script ends with "dump"; the lines must come in this order among what the run writes.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("result");
        const int ok = QDialog::Accepted, cancel = QDialog::Rejected;
        QTest::newRow("typing into an edit")
            << QByteArray("set edName John Smith\ndump\nok\n")
            << QStringList{"W edName QLineEdit 1 John Smith", "W lblLog QLabel 1 edited:John Smith;left",
                           "CLOSED TTestWindow 1"}
            << ok;
        QTest::newRow("memo, spin box and check box")
            << QByteArray("set memNote one\\ntwo\nset seCount 42\ncheck chActive\ndump\nok\n")
            << QStringList{"W memNote QPlainTextEdit 1 one\\ntwo", "W seCount QSpinBox 1 42",
                           "W chActive QCheckBox 1 1 Active"}
            << ok;
        QTest::newRow("drop-down list") << QByteArray("set cbKind beta\nset cbKind Gamma\ndump\n")
                                        << QStringList{"NOTFOUND set cbKind Gamma", "W cbKind QComboBox 1 Beta",
                                                       "W lblLog QLabel 1 activated:Beta"}
                                        << cancel;
        QTest::newRow("list, grid and tabs")
            << QByteArray("select lvChecks #2\ncheck lvChecks #1\nselect dbgRows B\ncheck dbgRows #2\nselect pcTabs "
                          "Second\ndump\n")
            << QStringList{"W lvChecks QListWidget 1 #2", "ROW lvChecks 1 1|One", "W dbgRows QTableView 1 #2",
                           "ROW dbgRows 2 1|B|20", "W pcTabs QTabWidget 1 Second"}
            << cancel;
        QTest::newRow("report view") << QByteArray("check lvRights #1\nselect lvRights #2\ncheck lvRights #2\ndump\n")
                                     << QStringList{"W lvRights QTreeWidget 1 #2", "ROW lvRights 1 1|Read",
                                                    "ROW lvRights 2 0|Write"}
                                     << cancel;
        QTest::newRow("a branch dropped onto another node")
            << QByteArray("drop tvMenu Root/Group => Root/Other\ndump\n")
            << QStringList{"NODE tvMenu Root", "NODE tvMenu   Other", "NODE tvMenu     *Group",
                           "NODE tvMenu       Leaf"}
            << cancel;
        QTest::newRow("a model's drop") << QByteArray("drop tvModel X => Z\ndump\n")
                                        << QStringList{"NODE tvModel *Z", "NODE tvModel   X", "NODE tvModel     Y"}
                                        << cancel;
        QTest::newRow("a node dropped into its own branch stays")
            << QByteArray("drop tvMenu Root/Group => Root/Group/Leaf\ndump\n")
            << QStringList{"NODE tvMenu   Group", "NODE tvMenu     Leaf", "NODE tvMenu   Other"} << cancel;
        QTest::newRow("actions") << QByteArray("action acSave\naction acLocked\ndump\n")
                                 << QStringList{"DISABLED acLocked", "W lblLog QLabel 1 saved"} << cancel;
        QTest::newRow("nothing found or disabled")
            << QByteArray("set noSuch x\nset edHidden x\nselect tvMenu Root/None\ncheck dbgRows #9\nclick btnOff\n"
                          "drop tvMenu Root => Nowhere\nreply yes\nquit\ndump\n")
            << QStringList{"NOTFOUND set noSuch x",
                           "NOTFOUND set edHidden x",
                           "NOTFOUND select tvMenu Root/None",
                           "NOTFOUND check dbgRows #9",
                           "DISABLED btnOff",
                           "NOTFOUND drop tvMenu Root => Nowhere",
                           "NOTFOUND reply yes",
                           "ERROR unknown command quit",
                           "W lblLog QLabel 1 "}
            << cancel;
        QTest::newRow("box answered by default")
            << QByteArray("click btnApply\ndump\n") << QStringList{"MSGBOX 4|Cap|Apply?", "W lblLog QLabel 1 answer:6"}
            << cancel;
        QTest::newRow("box answered by reply") << QByteArray("reply 7\nclick btnApply\nclick btnApply\ndump\n")
                                               << QStringList{"W lblLog QLabel 1 answer:7;answer:6"} << cancel;
        QTest::newRow("reply the box has no button for")
            << QByteArray("reply 2\nclick btnApply\ndump\n") << QStringList{"W lblLog QLabel 1 answer:6"} << cancel;
        QTest::newRow("input answered") << QByteArray("input two words\nclick btnAsk\nclick btnAsk\ndump\n")
                                        << QStringList{"MODAL QInputDialog|Query", "MODAL QInputDialog|Query",
                                                       "W lblLog QLabel 1 input:two words;no input"}
                                        << cancel;
        QTest::newRow("input cancelled") << QByteArray("input\nclick btnAsk\ndump\n")
                                         << QStringList{"W lblLog QLabel 1 no input"} << cancel;
        QTest::newRow("nested window takes the lines until it closes")
            << QByteArray("click btnNested\nset edInner hi\nset edName x\nok\ndump\nok\n")
            << QStringList{"MODAL TInnerWindow|Inner", "NOTFOUND set edName x", "CLOSED TInnerWindow 1",
                           "W lblLog QLabel 1 inner:1:hi", "CLOSED TTestWindow 1"}
            << ok;
        QTest::newRow("end of input cancels the inner window, then the outer")
            << QByteArray("click btnNested\nset edInner hi\n")
            << QStringList{"MODAL TInnerWindow|Inner", "CLOSED TInnerWindow 2", "CLOSED TTestWindow 2"} << cancel;
    }
    void commands()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, expected);
        QFETCH(int, result);
        TTestWindow window;
        QCOMPARE(drive(window, script), result);
        qsizetype at = 0;
        for (const QString &line : expected) {
            at = out.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable("missing \""_L1 + line + "\" in:\n"_L1 + out.join(u'\n')));
        }
        QCOMPARE(out.last(), QStringLiteral("CLOSED TTestWindow %1").arg(result == QDialog::Accepted ? 1 : 2));
    }

    void windowThatDoesNotAskIsCancelledAtOnce()
    {
        QDialog plain;
        plain.setWindowTitle(QStringLiteral("Plain"));
        QCOMPARE(drive(plain, "ok\n"), int(QDialog::Rejected));
        QCOMPARE(out, QStringList{"MODAL QDialog|Plain"});
    }

    // A huge value makes no huge box: each line keeps its start, the text its first lines.
    void messageBoxShowsTheStartOfAHugeValue()
    {
        const QString identifier = u"ID-"_s + QString(10 * 1024 * 1024, u'7');
        QCOMPARE(ShowDialogMessage(u"Unknown identifier \"%1\"\nSecond line"_s.arg(identifier), identifier, MB_OK),
                 int(IDOK));
        const QString start = identifier.left(kMaxBoxLineLength);
        QCOMPARE(out,
                 QStringList{u"MSGBOX 0|"_s + start + u"…|"_s +
                             (u"Unknown identifier \""_s + identifier).left(kMaxBoxLineLength) + u"…\\nSecond line"_s});
        out.clear();
        QStringList lines;
        for (int i = 1; i <= 3 * kMaxBoxLines; ++i)
            lines << QString::number(i);
        ShowDialogMessage(lines.join(u'\n'), u"Many"_s, MB_OK);
        QCOMPARE(out, QStringList{u"MSGBOX 0|Many|"_s + lines.mid(0, kMaxBoxLines).join(u"\\n"_s) + u"\\n…"_s});
    }

    // While a window's loop runs, the program knows it must not free the window's owner.
    void modalLoopsAreCounted()
    {
        QVERIFY(!ModalLoopsRunning());
        TTestWindow window;
        bool seenInside = false;
        connect(window.findChild<QLineEdit *>(u"edName"_s), &QLineEdit::textEdited, &window,
                [&] { seenInside = ModalLoopsRunning(); });
        drive(window, "set edName x\nok\n");
        QVERIFY(seenInside);
        QVERIFY(!ModalLoopsRunning());
    }

    // The reader beneath gets the lines after the window's closing one, and the end after the window's.
    void linesGoBackToTheReaderBeneath()
    {
        TBaseReader base;
        TProtocolInput::Instance().Push(&base);
        TProtocolInput::Instance().Feed("first\nopen\nset edName a\ncancel\nafter\n");
        TProtocolInput::Instance().EndInput();
        QTRY_COMPARE(base.ends, 1);
        TProtocolInput::Instance().Remove(&base);
        QCOMPARE(base.lines, (QStringList{"first", "open", "after"}));
        QCOMPARE(out, (QStringList{"MODAL TTestWindow|Test", "CLOSED TTestWindow 2"}));
    }
};

QTEST_MAIN(TestModalDriver)
#include "tst_ModalDriver.moc"
