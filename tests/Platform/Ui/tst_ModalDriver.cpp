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
        setWindowTitle(u"Inner"_s);
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
        setWindowTitle(u"Test"_s);
        auto *layout = new QVBoxLayout(this);
        auto add = [&](auto *widget, const char *name) {
            widget->setObjectName(QLatin1String(name));
            layout->addWidget(widget);
            return widget;
        };
        auto *edName = add(new QLineEdit, "edName");
        add(new QLineEdit(u"pw"_s), "edSecret")->setEchoMode(QLineEdit::Password);
        add(new QLineEdit, "edHidden")->hide();
        add(new QLabel(u"unnamed"_s), "");
        add(new QPlainTextEdit, "memNote");
        add(new QSpinBox, "seCount")->setRange(0, 100);
        auto *cbKind = add(new QComboBox, "cbKind");
        cbKind->addItems({u"Alpha"_s, u"Beta"_s});
        add(new QCheckBox(u"&Active"_s), "chActive");

        auto *tvMenu = add(new QTreeWidget, "tvMenu");
        tvMenu->setDragDropMode(QAbstractItemView::InternalMove);
        auto *root = new QTreeWidgetItem(tvMenu, {u"Root"_s});
        new QTreeWidgetItem(new QTreeWidgetItem(root, {u"Group"_s}), {u"Leaf"_s});
        new QTreeWidgetItem(root, {u"Other"_s});

        // A model view takes the drop itself; the dragging view then removes what moved.
        auto *tree = new QStandardItemModel(this);
        auto *x = new QStandardItem(u"X"_s);
        x->appendRow(new QStandardItem(u"Y"_s));
        tree->appendRow({x});
        tree->appendRow({new QStandardItem(u"Z"_s)});
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
        model->setHorizontalHeaderLabels({u"Name"_s, u"Amount"_s});
        for (const auto &[name, amount] : {std::pair{"A", "10"}, std::pair{"B", "20"}}) {
            auto *first = new QStandardItem(QLatin1String(name));
            first->setCheckable(true);
            model->appendRow({first, new QStandardItem(QLatin1String(amount))});
        }
        add(new QTableView, "dbgRows")->setModel(model);
        auto *pcTabs = add(new QTabWidget, "pcTabs");
        pcTabs->addTab(new QWidget, u"&First"_s);
        pcTabs->addTab(new QWidget, u"Second"_s);

        auto *btnApply = add(new QPushButton(u"Apply"_s), "btnApply");
        auto *btnAsk = add(new QPushButton(u"Ask"_s), "btnAsk");
        auto *btnNested = add(new QPushButton(u"Nested"_s), "btnNested");
        add(new QPushButton(u"Off"_s), "btnOff")->setEnabled(false);
        lblLog = add(new QLabel, "lblLog");
        auto *acSave = new QAction(u"&Save"_s, this);
        auto *acLocked = new QAction(this);
        SetObjectNames({{acSave, "acSave"}, {acLocked, "acLocked"}});
        acLocked->setEnabled(false);

        connect(edName, &QLineEdit::textEdited, this, [this](const QString &text) { log("edited:"_L1 + text); });
        connect(edName, &QLineEdit::editingFinished, this, [this] { log(u"left"_s); });
        connect(cbKind, &QComboBox::textActivated, this, [this](const QString &text) { log("activated:"_L1 + text); });
        connect(acSave, &QAction::triggered, this, [this] { log(u"saved"_s); });
        connect(acLocked, &QAction::triggered, this, [this] { log(u"locked"_s); });
        connect(btnApply, &QPushButton::clicked, this,
                [this] { log("answer:"_L1 + QString::number(ShowDialogMessage(u"Apply?"_s, u"Cap"_s, MB_YESNO))); });
        connect(btnAsk, &QPushButton::clicked, this, [this] {
            QInputDialog query;
            query.setWindowTitle(u"Query"_s);
            log(ExecInputQueryDialog(&query) == QDialog::Accepted ? "input:"_L1 + query.textValue() : u"no input"_s);
        });
        connect(btnNested, &QPushButton::clicked, this, [this] {
            TInnerWindow inner;
            const int result = ExecModalDialog(&inner);
            log(u"inner:%1:%2"_s.arg(result).arg(inner.edInner->text()));
        });
        SetDrivenUnattended(this);
    }
    // Every reaction comes while the window's loop runs: the program knows it must not free the window's owner.
    void log(QString event)
    {
        if (!ModalLoopsRunning())
            event += u" outside the loop"_s;
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

    // Each script ends with "dump"; the expected lines, one a line, must come in this order among what the run writes.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("result");
        const int ok = QDialog::Accepted, cancel = QDialog::Rejected;
        QTest::newRow("dump: the visible named widgets in tab order, a password masked")
            << QByteArray("select tvMenu Root/Group\ndump\n")
            << u"MODAL TTestWindow|Test\nW edName QLineEdit 1 \nW edSecret QLineEdit 1 **\nW memNote QPlainTextEdit 1 "
               u"\nW tvMenu QTreeWidget 1 Root/Group\nNODE tvMenu   *Group\nW lvRights QTreeWidget 1 \nROW lvRights 2 "
               u"1|Write\nCOLS dbgRows|Name|Amount\nW btnOff QPushButton 0 Off\nACTION acSave 1 0 Save\nACTION acLocked 0 0"_s
            << cancel;
        QTest::newRow("typing into an edit")
            << QByteArray("set edName John Smith\ndump\nok\n")
            << u"W edName QLineEdit 1 John Smith\nW lblLog QLabel 1 edited:John Smith;left\nCLOSED TTestWindow 1"_s
            << ok;
        QTest::newRow("memo, spin box and check box")
            << QByteArray("set memNote one\\ntwo\nset seCount 42\ncheck chActive\ndump\nok\n")
            << u"W memNote QPlainTextEdit 1 one\\ntwo\nW seCount QSpinBox 1 42\nW chActive QCheckBox 1 1 Active"_s
            << ok;
        QTest::newRow("drop-down list")
            << QByteArray("set cbKind beta\nset cbKind Gamma\ndump\n")
            << u"NOTFOUND set cbKind Gamma\nW cbKind QComboBox 1 Beta\nW lblLog QLabel 1 activated:Beta"_s << cancel;
        QTest::newRow("list, grid and tabs")
            << QByteArray("select lvChecks #2\ncheck lvChecks #1\nselect dbgRows B\ncheck dbgRows #2\nselect pcTabs "
                          "Second\ndump\n")
            << u"W lvChecks QListWidget 1 #2\nROW lvChecks 1 1|One\nW dbgRows QTableView 1 #2\nROW dbgRows 2 1|B|20\nW "
               u"pcTabs QTabWidget 1 Second"_s
            << cancel;
        QTest::newRow("report view") << QByteArray("check lvRights #1\nselect lvRights #2\ncheck lvRights #2\ndump\n")
                                     << u"W lvRights QTreeWidget 1 #2\nROW lvRights 1 1|Read\nROW lvRights 2 0|Write"_s
                                     << cancel;
        QTest::newRow("a branch dropped onto another node")
            << QByteArray("drop tvMenu Root/Group => Root/Other\ndump\n")
            << u"NODE tvMenu Root\nNODE tvMenu   Other\nNODE tvMenu     *Group\nNODE tvMenu       Leaf"_s << cancel;
        QTest::newRow("a model's drop") << QByteArray("drop tvModel X => Z\ndump\n")
                                        << u"NODE tvModel *Z\nNODE tvModel   X\nNODE tvModel     Y"_s << cancel;
        QTest::newRow("a node dropped into its own branch stays")
            << QByteArray("drop tvMenu Root/Group => Root/Group/Leaf\ndump\n")
            << u"NODE tvMenu   Group\nNODE tvMenu     Leaf\nNODE tvMenu   Other"_s << cancel;
        QTest::newRow("actions") << QByteArray("action acSave\naction acLocked\ndump\n")
                                 << u"DISABLED acLocked\nW lblLog QLabel 1 saved"_s << cancel;
        QTest::newRow("nothing found or disabled")
            << QByteArray("set noSuch x\nset edHidden x\nselect tvMenu Root/None\ncheck dbgRows #9\nclick btnOff\n"
                          "drop tvMenu Root => Nowhere\nreply yes\nquit\ndump\n")
            << u"NOTFOUND set noSuch x\nNOTFOUND set edHidden x\nNOTFOUND select tvMenu Root/None\nNOTFOUND check "
               u"dbgRows #9\nDISABLED btnOff\nNOTFOUND drop tvMenu Root => Nowhere\nNOTFOUND reply yes\nERROR unknown "
               u"command quit\nW lblLog QLabel 1 "_s
            << cancel;
        QTest::newRow("box answered by default")
            << QByteArray("click btnApply\ndump\n") << u"MSGBOX 4|Cap|Apply?\nW lblLog QLabel 1 answer:6"_s << cancel;
        // A reply answers the next box only, and only with a button the box has.
        QTest::newRow("box answered by reply")
            << QByteArray("reply 7\nclick btnApply\nclick btnApply\nreply 2\nclick btnApply\ndump\n")
            << u"W lblLog QLabel 1 answer:7;answer:6;answer:6"_s << cancel;
        QTest::newRow("input answered, then cancelled")
            << QByteArray("input two words\nclick btnAsk\nclick btnAsk\ninput\nclick btnAsk\ndump\n")
            << u"MODAL QInputDialog|Query\nMODAL QInputDialog|Query\nW lblLog QLabel 1 input:two words;no input;no "
               u"input"_s
            << cancel;
        QTest::newRow("nested window takes the lines until it closes")
            << QByteArray("click btnNested\nset edInner hi\nset edName x\nok\ndump\nok\n")
            << u"MODAL TInnerWindow|Inner\nNOTFOUND set edName x\nCLOSED TInnerWindow 1\nW lblLog QLabel 1 "
               u"inner:1:hi\nCLOSED TTestWindow 1"_s
            << ok;
        QTest::newRow("end of input cancels the inner window, then the outer")
            << QByteArray("click btnNested\nset edInner hi\n")
            << u"MODAL TInnerWindow|Inner\nCLOSED TInnerWindow 2\nCLOSED TTestWindow 2"_s << cancel;
    }
    void commands()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        QFETCH(int, result);
        TTestWindow window;
        QCOMPARE(drive(window, script), result);
        QVERIFY(!ModalLoopsRunning());
        qsizetype at = 0;
        for (const QString &line : expected.split(u'\n')) {
            at = out.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable("missing \""_L1 + line + "\" in:\n"_L1 + out.join(u'\n')));
        }
        QCOMPARE(out.last(), u"CLOSED TTestWindow %1"_s.arg(result == QDialog::Accepted ? 1 : 2));
        QVERIFY(out.filter(u"W edHidden"_s).isEmpty()); // hidden widgets are not listed
    }

    void windowThatDoesNotAskIsCancelledAtOnce()
    {
        QDialog plain;
        plain.setWindowTitle(u"Plain"_s);
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
