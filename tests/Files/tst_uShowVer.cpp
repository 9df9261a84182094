// The versions window: grid filling, colours, the export with its column
// widths, closing, dragging, the maximised placement, ShowVersions and the
// program files of a folder.
#include "FakeLanguages.h"
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "RecordingDialogService.h"
#include "ResourcePack.h"
#include "uShowVer.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

namespace {

const QString Russian = QStringLiteral("041904E3");

QByteArray VersionedPe(const QList<QPair<QString, QString>> &strings)
{
    PeBuilder builder;
    builder.Add(16, 1, PeBuilder::Version(0x00010000, 0, {{Russian, strings}}));
    return builder.Build();
}

int ExportWidth()
{
    int width = 0;
    for (int w : kExportWidths)
        width += w;
    return width;
}

// Runs the test in a folder of its own, the folder the export writes to.
class CurrentFolder {
public:
    CurrentFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

} // namespace

class TestShowVer : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordingDialogService *dialogs = nullptr;

private slots:
    void init() { dialogs = new RecordingDialogService; }
    void cleanup() { delete dialogs; }

    void exportCellIsCutAndPadded_data();
    void exportCellIsCutAndPadded();
    void exportLinesOfRows();
    void emptyListGivesOneEmptyRow();
    void gridShowsEveryFile();
    void headerCaptionsAreTranslated();
    void cellColours();
    void exportWritesTheFileAndSaysSo();
    void exportFailureIsReportedWithoutTheNotice();
    void closeButtons();
    void dragByTheTitle();
    void maximisedPlacement();
    void showVersionsRunsTheWindowModally();
    void programFilesOfFolder();
};

void TestShowVer::exportCellIsCutAndPadded_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("cell");
    QTest::newRow("shorter") << "abc" << 6 << "abc   ";
    QTest::newRow("exactly as wide") << "abcdef" << 6 << "abcde ";
    QTest::newRow("wider") << "abcdefgh" << 6 << "abcde ";
    QTest::newRow("empty") << "" << 4 << "    ";
    QTest::newRow("one shorter") << "abcde" << 6 << "abcde ";
}

void TestShowVer::exportCellIsCutAndPadded()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, cell);
    QCOMPARE(FitExportCell(text, width), cell);
    QCOMPARE(FitExportCell(text, width).size(), width);
}

void TestShowVer::exportLinesOfRows()
{
    // A module name exactly as wide as its column still leaves a blank before the next column.
    const QString name(kExportWidths[0], QLatin1Char('m'));
    const QStringList lines = VersionExportLines({{"H1", "H2"}, {name, "1.0"}});
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].size(), ExportWidth());
    QCOMPARE(lines[1], QString(lines[0].size(), QLatin1Char('*')));
    QCOMPARE(lines[2].mid(0, kExportWidths[0]), name.left(kExportWidths[0] - 1) + QLatin1Char(' '));
    QCOMPARE(lines[2].mid(kExportWidths[0], kExportWidths[1]), QStringLiteral("1.0").leftJustified(kExportWidths[1]));
    QCOMPARE(lines[2].size(), ExportWidth());
}

void TestShowVer::emptyListGivesOneEmptyRow()
{
    TShowVer window;
    window.FillGrid();
    QCOMPARE(window.Grid->columnCount(), kFileVersionFieldCount);
    QCOMPARE(window.Grid->rowCount(), 1);
    for (int c = 0; c < kFileVersionFieldCount; ++c) {
        QCOMPARE(window.Grid->horizontalHeaderItem(c)->text(), QString::fromUtf8(FileVersionField(c).Caption));
        QVERIFY(window.Grid->columnWidth(c) >= FileVersionField(c).Width);
        QVERIFY(!window.Grid->item(0, c));
    }
    const QStringList lines = window.ExportLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[1], QString(lines[0].size(), QLatin1Char('*')));
    QCOMPARE(lines[2], QString(ExportWidth(), QLatin1Char(' ')));
    QVERIFY(lines[0].startsWith(QString::fromUtf8(FileVersionField(0).Caption)));
    QVERIFY(dialogs->boxes.isEmpty());
}

void TestShowVer::gridShowsEveryFile()
{
    TShowVer window;
    window.Manager().FileNames = {
        WriteTestFile(dir, QStringLiteral("Orders.dll"),
                      VersionedPe({{"FileDescription", "Заказы"}, {"ProductVersion", "5.1"}, {"ProductName", "Учёт"},
                                   {"SpecialBuild", "x"}})),
        dir.filePath(QStringLiteral("gone.dll")),
        WriteTestFile(dir, QStringLiteral("notes.txt"), "text"),
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.Grid->rowCount(), 3);
    QCOMPARE(window.Grid->item(0, 0)->text(), QStringLiteral("Orders.dll"));
    QCOMPARE(window.Grid->item(0, 1)->text(), QStringLiteral("5.1"));
    QCOMPARE(window.Grid->item(0, 2)->text(), QStringLiteral("Учёт"));
    QCOMPARE(window.Grid->item(0, 3)->text(), QStringLiteral("Заказы"));
    QVERIFY(window.Grid->item(0, 5)->text().startsWith(QLatin1Char(' ')));
    QCOMPARE(window.Grid->item(0, 0)->data(Qt::UserRole).toInt(), 1);
    // The file that cannot be read keeps only its module name, and was reported once.
    QCOMPARE(window.Grid->item(1, 0)->text(), QStringLiteral("gone.dll"));
    for (int c = 1; c < kFileVersionFieldCount; ++c)
        QVERIFY(!window.Grid->item(1, c));
    QCOMPARE(dialogs->boxes.size(), 1);
    QCOMPARE(window.Grid->item(2, 0)->data(Qt::UserRole).toInt(), 0);
    QCOMPARE(window.Grid->item(2, 4)->text(), QStringLiteral("4"));
    // Filled once per showing.
    window.hide();
    window.show();
    QCOMPARE(dialogs->boxes.size(), 1);

    int widths = 0;
    for (int c = 0; c < kFileVersionFieldCount; ++c)
        widths += window.Grid->columnWidth(c);
    // Never wider than the screen.
    QCOMPARE(window.width(),
             qMin(widths + 25 + window.pnlGrid->frameWidth() + 20, window.screen()->availableGeometry().width()));
    QVERIFY(window.Grid->verticalHeader()->defaultSectionSize() >= QFontMetrics(window.font()).height());
    QVERIFY(window.Grid->verticalHeader()->isHidden());
}

void TestShowVer::headerCaptionsAreTranslated()
{
    FakeLanguages languages;
    languages.apl.insert(QString::fromUtf8(FileVersionField(0).Caption), QStringLiteral("Module"));
    languages.apl.insert(QStringLiteral("Экспорт в текстовый файл"), QStringLiteral("Export to a text file"));
    TShowVer window;
    window.FillGrid();
    QCOMPARE(window.Grid->horizontalHeaderItem(0)->text(), QStringLiteral("Module"));
    QCOMPARE(window.Grid->horizontalHeaderItem(1)->text(), QString::fromUtf8(FileVersionField(1).Caption));
    QCOMPARE(window.actExportToFile->text(), QStringLiteral("Export to a text file"));
}

void TestShowVer::cellColours()
{
    QCOMPARE(VersionCellTextColour(1), QColor(Qt::blue));
    for (int kind : {0, 2, 3})
        QCOMPARE(VersionCellTextColour(kind), QColor(Qt::black));
}

void TestShowVer::exportWritesTheFileAndSaysSo()
{
    CurrentFolder folder;
    TShowVer window;
    window.setWindowTitle(QStringLiteral("Список всех библиотек"));
    window.Manager().FileNames = {WriteTestFile(dir, QStringLiteral("a.dll"), VersionedPe({{"ProductVersion", "2.0"}}))};
    window.FillGrid();
    QCOMPARE(window.actExportToFile->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    QCOMPARE(window.ExportFileName(), QStringLiteral("Список всех библиотек.txt"));
    // An older export is replaced.
    WriteTestFile(dir, QStringLiteral("unused"), "x");
    {
        QFile old(folder.path(window.ExportFileName()));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'o'));
    }
    window.actExportToFile->trigger();
    QFile file(folder.path(window.ExportFileName()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines, window.ExportLines());
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].startsWith(QStringLiteral("a.dll")));
    QCOMPARE(dialogs->boxes.size(), 1);
    QCOMPARE(dialogs->boxes[0].text, QLatin1Char('"') + window.ExportFileName() + QLatin1Char('"'));
    QCOMPARE(dialogs->boxes[0].caption, TranslateAplText(QStringLiteral("rstrNotification")));
    QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_OK));

    // A caption never leads the export into another folder.
    window.setWindowTitle(QStringLiteral("../up/and away"));
    QVERIFY(!window.ExportFileName().contains(QLatin1Char('/')));
}

void TestShowVer::exportFailureIsReportedWithoutTheNotice()
{
    CurrentFolder folder;
    TShowVer window;
    window.setWindowTitle(QStringLiteral("Versions"));
    window.FillGrid();
    QVERIFY(QDir(folder.path(QString())).mkdir(window.ExportFileName()));
    QVERIFY_THROWS_EXCEPTION(EOSError, window.ExportToFile(window.ExportFileName()));
    window.actExportToFile->trigger();
    QCOMPARE(dialogs->boxes.size(), 1);
    QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_ICONERROR));
    QVERIFY(dialogs->boxes[0].text.contains(window.ExportFileName()));
}

void TestShowVer::closeButtons()
{
    QCOMPARE(TShowVer().btClose->text(), TranslateAplText(QStringLiteral("rstr_to_Close")));
    for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        TShowVer window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key(key));
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }
    TShowVer window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.Button1->text(), QStringLiteral("X"));
    window.Button1->click();
    QVERIFY(!window.isVisible());
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(TShowVer::HelpKeyword(), QStringLiteral("aboutserviceform"));
}

void TestShowVer::dragByTheTitle()
{
    TShowVer window;
    window.stxtTitle->setText(QStringLiteral("Title"));
    window.move(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    const QPoint inTitle(window.width() / 2, window.stxtTitle->height() / 2);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, inTitle);
    QMouseEvent move(QEvent::MouseMove, QPointF(inTitle + QPoint(30, 20)), QPointF(window.mapToGlobal(inTitle) + QPoint(30, 20)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &move);
    QCOMPARE(window.pos(), start + QPoint(30, 20));
    // The window went with the mouse: the button comes up where it was pressed in the window.
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, inTitle);
    QCOMPARE(window.pos(), start + QPoint(30, 20));

    // A press below the title strip does not drag.
    const QPoint inGrid(window.width() / 2, window.height() - 5);
    const QPoint before = window.pos();
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, inGrid);
    QMouseEvent other(QEvent::MouseMove, QPointF(inGrid + QPoint(40, 0)), QPointF(window.mapToGlobal(inGrid) + QPoint(40, 0)),
                      Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &other);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, inGrid);
    QCOMPARE(window.pos(), before);
}

void TestShowVer::maximisedPlacement()
{
    const QRect placed = MaximizedVersionsRect(QRect(0, 0, 1000, 800), QRect(10, 0, 300, 120));
    QCOMPARE(placed.top(), 120);
    QCOMPARE(placed.height(), 800 - 120 - 5);
    QCOMPARE(placed.left(), 0);
    QCOMPARE(placed.width(), 1000);
    try {
        MaximizedVersionsRect(QRect(0, 0, 1000, 800), QRect());
        QFAIL("no main form must raise");
    } catch (const EAssertionFailed &e) {
        QCOMPARE(e.message(), QStringLiteral("TShowVer.OnWM_GETMINMAXINFO: Application.MainForm = null"));
    }
    QVERIFY(!VersionsMainForm());
    // Without a main form maximising keeps the desktop's placement and raises nothing.
    {
        TShowVer window;
        window.show();
        window.setWindowState(Qt::WindowMaximized);
        QVERIFY(window.isVisible());
    }
    // With one, the window goes below it.
    QMainWindow main;
    main.setGeometry(0, 0, 300, 100);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QCOMPARE(VersionsMainForm(), &main);
    TShowVer window;
    window.show();
    window.setWindowState(Qt::WindowMaximized);
    const QRect work = window.screen()->availableGeometry();
    QCOMPARE(window.geometry().top(), main.frameGeometry().bottom() + 1);
    QCOMPARE(window.geometry().height(), work.height() - (main.frameGeometry().bottom() + 1 - work.top()) - 5);
}

void TestShowVer::showVersionsRunsTheWindowModally()
{
    const QStringList files = {WriteTestFile(dir, QStringLiteral("one.dll"), "1"),
                               WriteTestFile(dir, QStringLiteral("two.dll"), "2")};
    QString caption, title;
    QStringList seen;
    int rows = 0;
    dialogs->onModal = [&](QDialog *dialog) {
        auto *window = qobject_cast<TShowVer *>(dialog);
        if (!window)
            return int(QDialog::Rejected);
        caption = window->windowTitle();
        title = window->stxtTitle->text();
        seen = window->Manager().FileNames;
        window->show();
        rows = window->Grid->rowCount();
        window->btClose->click();
        return window->result();
    };
    ShowVersions(QStringLiteral("Caption"), QStringLiteral("Caption: folder"), files);
    QCOMPARE(dialogs->modalClasses, QStringList{QStringLiteral("TShowVer")});
    QCOMPARE(caption, QStringLiteral("Caption"));
    QCOMPARE(title, QStringLiteral("Caption: folder"));
    QCOMPARE(seen, files);
    QCOMPARE(rows, 2);
}

void TestShowVer::programFilesOfFolder()
{
    QTemporaryDir folder;
    auto make = [&](const QString &name, bool executable) {
        const QString path = WriteTestFile(folder, name, "x");
        QFile::setPermissions(path, executable ? QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser
                                               : QFile::ReadOwner | QFile::WriteOwner);
    };
    make(QStringLiteral("KorConsole"), true);
    make(QStringLiteral("AutoUpdate"), true);
    make(QStringLiteral("Orders.so"), true);
    make(QStringLiteral("ComformLibs.so"), false);
    make(QStringLiteral("Console.ini"), false);
    make(QStringLiteral("OLD.DLL"), false);
    make(QStringLiteral("setup.exe"), true);
    make(QStringLiteral("Lum.dll"), false);
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Data")));
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Plugins.so")));
    const QStringList expected = {"AutoUpdate", "KorConsole", "ComformLibs.so", "Orders.so", "Lum.dll", "OLD.DLL",
                                  "setup.exe"};
    QStringList names;
    for (const QString &file : ProgramFilesOfFolder(folder.path())) {
        QCOMPARE(QFileInfo(file).path(), folder.path());
        names.append(QFileInfo(file).fileName());
    }
    QCOMPARE(names, expected);
    QCOMPARE(ProgramFilesOfFolder(folder.filePath(QStringLiteral("missing"))), QStringList());
}

QTEST_MAIN(TestShowVer)
#include "tst_uShowVer.moc"
