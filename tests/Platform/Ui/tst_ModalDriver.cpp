// The driver of modal windows in the unattended mode: a small window with one
// named widget of each kind, driven by command lines fed to the protocol
// input; what it writes is caught, and the window's own reactions are kept in
// a label that "dump" shows.
#include "Core/DialogService.h"
#include "Core/ProtocolInput.h"
#include "Ui/ModalDriver.h"
#include "Ui/WindowDialogService.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
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
        add(new QPlainTextEdit, "memNote");
        add(new QSpinBox, "seCount")->setRange(0, 100);
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

        // A report view: a tree without root decoration and child rows is a list.
        auto *lvRights = add(new QTreeWidget, "lvRights");
        lvRights->setRootIsDecorated(false);
        lvRights->setHeaderHidden(true);
        for (const char *text : {"Read", "Write"}) {
            auto *item = new QTreeWidgetItem(lvRights, {QLatin1String(text)});
            item->setCheckState(0, lvRights->topLevelItemCount() == 2 ? Qt::Checked : Qt::Unchecked);
        }
        auto *pcTabs = add(new QTabWidget, "pcTabs");
        pcTabs->addTab(new QWidget, u"&First"_s);
        pcTabs->addTab(new QWidget, u"Second"_s);

        auto *btnApply = add(new QPushButton(u"Apply"_s), "btnApply");
        auto *btnNested = add(new QPushButton(u"Nested"_s), "btnNested");
        add(new QPushButton(u"Off"_s), "btnOff")->setEnabled(false);
        lblLog = add(new QLabel, "lblLog");

        connect(edName, &QLineEdit::textEdited, this, [this](const QString &text) { log("edited:"_L1 + text); });
        connect(edName, &QLineEdit::editingFinished, this, [this] { log(u"left"_s); });
        connect(btnApply, &QPushButton::clicked, this,
                [this] { log("answer:"_L1 + QString::number(ShowDialogMessage(u"Apply?"_s, u"Cap"_s, MB_YESNO))); });
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
        QTest::newRow("typing into an edit")
            << QByteArray("set edName John Smith\ndump\nok\n")
            << u"W edName QLineEdit 1 John Smith\nW edSecret QLineEdit 1 **\nW lblLog QLabel 1 edited:John Smith;left\n"
               u"CLOSED TTestWindow 1"_s
            << ok;
        QTest::newRow("memo, spin box, check box and tabs")
            << QByteArray("set memNote one\\ntwo\nset seCount 42\ncheck chActive\nselect pcTabs Second\ndump\nok\n")
            << u"W memNote QPlainTextEdit 1 one\\ntwo\nW seCount QSpinBox 1 42\nW chActive QCheckBox 1 1 Active\n"
               u"W pcTabs QTabWidget 1 Second"_s
            << ok;
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
        QTest::newRow("nothing found or disabled")
            << QByteArray("set noSuch x\nset edHidden x\nselect tvMenu Root/None\ncheck lvRights #9\nclick btnOff\n"
                          "drop tvMenu Root => Nowhere\nreply yes\nquit\ndump\n")
            << u"NOTFOUND set noSuch x\nNOTFOUND set edHidden x\nNOTFOUND select tvMenu Root/None\nNOTFOUND check "
               u"lvRights #9\nDISABLED btnOff\nNOTFOUND drop tvMenu Root => Nowhere\nNOTFOUND reply yes\nERROR unknown "
               u"command quit\nW lblLog QLabel 1 "_s
            << cancel;
        // A reply answers the next box only, and only with a button the box has.
        QTest::newRow("box answered by reply")
            << QByteArray("reply 7\nclick btnApply\nclick btnApply\nreply 2\nclick btnApply\ndump\n")
            << u"W lblLog QLabel 1 answer:7;answer:6;answer:6"_s << cancel;
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
};

QTEST_MAIN(TestModalDriver)
#include "tst_ModalDriver.moc"
