// The versions window: grid filling, the export with its column widths,
// closing, dragging, the maximised placement, ShowVersions and the program
// files of a folder; its columns in fonts of several sizes, scaled from the
// widths designed for 8 points at 96 dpi, never cutting a header, a size, a
// time or a file name.
#include "FakeLanguages.h"
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "RecordingDialogService.h"
#include "uShowVer.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

namespace {

QByteArray VersionedPe(const QList<QPair<QString, QString>> &strings)
{
    PeBuilder builder;
    builder.Add(16, 1, PeBuilder::Version(0x00010000, 0, {{QStringLiteral("041904E3"), strings}}));
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

    void exportCellIsCutAndPadded_data()
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
    void exportCellIsCutAndPadded()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, cell);
        QCOMPARE(FitExportCell(text, width), cell);
    }

    void exportLinesOfRows()
    {
        // A module name exactly as wide as its column still leaves a blank before the next column.
        const QString name(kExportWidths[0], QLatin1Char('m'));
        const QStringList lines = VersionExportLines({{"H1", "H2"}, {name, "1.0"}});
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QString(ExportWidth(), QLatin1Char('*')));
        QCOMPARE(lines[2].left(kExportWidths[0] + 3), name.chopped(1) + QStringLiteral(" 1.0"));
        QCOMPARE(lines[2].size(), ExportWidth());
        // An empty list gives one empty row.
        TShowVer window;
        window.FillGrid();
        QCOMPARE(window.Grid->columnCount(), kFileVersionFieldCount);
        QCOMPARE(window.Grid->rowCount(), 1);
        QVERIFY(!window.Grid->item(0, 0));
        QCOMPARE(window.ExportLines().value(2), QString(ExportWidth(), QLatin1Char(' ')));
    }

    void gridShowsEveryFile()
    {
        TShowVer window;
        window.Manager().FileNames = {
            WriteTestFile(dir, QStringLiteral("Orders.dll"),
                          VersionedPe({{"FileDescription", "Заказы"}, {"ProductVersion", "5.1"}, {"ProductName", "Учёт"},
                                       {"SpecialBuild", "x"}})),
            dir.filePath(QStringLiteral("gone.dll")), WriteTestFile(dir, QStringLiteral("notes.txt"), "text")};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.Grid->rowCount(), 3);
        QStringList first;
        for (int c = 0; c < 4; ++c)
            first << window.Grid->item(0, c)->text();
        QCOMPARE(first, (QStringList{"Orders.dll", "5.1", "Учёт", "Заказы"}));
        QVERIFY(window.Grid->item(0, 5)->text().startsWith(QLatin1Char(' ')));
        // The kind of build picks the text colour: a special build is shown apart.
        QCOMPARE(window.Grid->item(0, 0)->data(Qt::UserRole).toInt(), 1);
        QCOMPARE(window.Grid->item(2, 0)->data(Qt::UserRole).toInt(), 0);
        QVERIFY(VersionCellTextColour(1) != VersionCellTextColour(0));
        // The file that cannot be read keeps only its module name, and was reported once.
        QCOMPARE(window.Grid->item(1, 0)->text(), QStringLiteral("gone.dll"));
        QVERIFY(!window.Grid->item(1, 1));
        QCOMPARE(window.Grid->item(2, 4)->text(), QStringLiteral("4"));
        // Filled once per showing.
        window.hide();
        window.show();
        QCOMPARE(dialogs->boxes.size(), 1);
        // The column captions and the command go through the language package.
        FakeLanguages languages;
        languages.apl.insert(QString::fromUtf8(FileVersionField(0).Caption), QStringLiteral("Module"));
        languages.apl.insert(QStringLiteral("Экспорт в текстовый файл"), QStringLiteral("Export to a text file"));
        TShowVer translated;
        translated.FillGrid();
        QCOMPARE(translated.Grid->horizontalHeaderItem(0)->text(), QStringLiteral("Module"));
        QCOMPARE(translated.actExportToFile->text(), QStringLiteral("Export to a text file"));
    }

    void exportWritesTheFileAndSaysSo()
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
        QFile old(folder.path(window.ExportFileName()));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(5000, 'o')) == 5000);
        old.close();
        window.actExportToFile->trigger();
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(old.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts), window.ExportLines());
        QVERIFY(window.ExportLines().value(2).startsWith(QStringLiteral("a.dll")));
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].text, QLatin1Char('"') + window.ExportFileName() + QLatin1Char('"'));
        // A caption never leads the export into another folder.
        window.setWindowTitle(QStringLiteral("../up/and away"));
        QVERIFY(!window.ExportFileName().contains(QLatin1Char('/')));
        // A target that cannot be written is reported instead of the notice.
        dialogs->clear();
        QVERIFY(QDir(folder.path(QString())).mkdir(window.ExportFileName()));
        QVERIFY_THROWS_EXCEPTION(EOSError, window.ExportToFile(window.ExportFileName()));
        window.actExportToFile->trigger();
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_ICONERROR));
        QVERIFY(dialogs->boxes[0].text.contains(window.ExportFileName()));
    }

    void closeAndDrag()
    {
        for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), int(Qt::Key_Enter), 0}) {
            TShowVer window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            if (key)
                QTest::keyClick(&window, Qt::Key(key));
            else
                window.Button1->click();
            QVERIFY(!window.isVisible());
            QCOMPARE(window.result(), key ? int(QDialog::Accepted) : int(QDialog::Rejected));
        }
        // The frameless window goes with the mouse pressed in its title strip, and only there.
        TShowVer window;
        window.stxtTitle->setText(QStringLiteral("Title"));
        window.move(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();
        for (const QPoint &at : {QPoint(window.width() / 2, window.height() - 5), QPoint(window.width() / 2, window.stxtTitle->height() / 2)}) {
            QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at);
            QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 20)), QPointF(window.mapToGlobal(at) + QPoint(30, 20)),
                             Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&window, &move);
            QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at);
        }
        QCOMPARE(window.pos(), start + QPoint(30, 20));
    }

    // Maximised, the window goes below the main form, 5 pixels above the bottom of the work area.
    void maximisedBelowTheMainForm()
    {
        QCOMPARE(MaximizedVersionsRect(QRect(0, 0, 1000, 800), QRect(10, 0, 300, 120)), QRect(0, 120, 1000, 800 - 120 - 5));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, MaximizedVersionsRect(QRect(0, 0, 1000, 800), QRect()));
        QVERIFY(!VersionsMainForm());
        QMainWindow main;
        main.show();
        QCOMPARE(VersionsMainForm(), &main);
    }

    void showVersionsRunsTheWindowModally()
    {
        const QStringList files = {WriteTestFile(dir, QStringLiteral("one.dll"), "1"),
                                   WriteTestFile(dir, QStringLiteral("two.dll"), "2")};
        QStringList seen;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *window = qobject_cast<TShowVer *>(dialog);
            window->show();
            seen = QStringList{window->windowTitle(), window->stxtTitle->text(), QString::number(window->Grid->rowCount())} +
                   window->Manager().FileNames;
            window->btClose->click();
            return window->result();
        };
        ShowVersions(QStringLiteral("Caption"), QStringLiteral("Caption: folder"), files);
        QCOMPARE(dialogs->modalClasses, QStringList{QStringLiteral("TShowVer")});
        QCOMPARE(seen, QStringList({"Caption", "Caption: folder", "2"}) + files);
    }

    // Executables and shared objects of the folder, the .dll and .exe files too; no folders, no data.
    void programFilesOfFolder()
    {
        QTemporaryDir folder;
        for (const char *name : {"KorConsole", "AutoUpdate", "Orders.so", "setup.exe"})
            QFile::setPermissions(WriteTestFile(folder, QString::fromLatin1(name), "x"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char *name : {"ComformLibs.so", "Console.ini", "OLD.DLL", "Lum.dll"})
            QFile::setPermissions(WriteTestFile(folder, QString::fromLatin1(name), "x"), QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Data")));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Plugins.so")));
        QStringList names;
        for (const QString &file : ProgramFilesOfFolder(folder.path())) {
            QCOMPARE(QFileInfo(file).path(), folder.path());
            names.append(QFileInfo(file).fileName());
        }
        QCOMPARE(names, (QStringList{"AutoUpdate", "KorConsole", "ComformLibs.so", "Orders.so", "Lum.dll", "OLD.DLL", "setup.exe"}));
        QCOMPARE(ProgramFilesOfFolder(folder.filePath(QStringLiteral("missing"))), QStringList());
    }

    void wholeValuesInEveryFont_data()
    {
        QTest::addColumn<QFont>("font");
        for (int points : {6, 8, 12, 16}) {
            QFont font = QApplication::font();
            font.setPointSize(points);
            QTest::addRow("%d points", points) << font;
        }
        QFont bold = QApplication::font();
        bold.setPointSize(11);
        bold.setBold(true);
        QTest::newRow("11 points bold") << bold;
        QFont pixels = QApplication::font();
        pixels.setPixelSize(20);
        QTest::newRow("20 pixels") << pixels;
    }
    void wholeValuesInEveryFont()
    {
        QFETCH(QFont, font);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QFile big(dir.filePath(QStringLiteral("libZandrellEmbeddedServer-with-a-long-name.so")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(2244000));
        big.close();
        TShowVer window;
        window.setFont(font);
        window.Manager().FileNames = {big.fileName(), WriteTestFile(dir, QStringLiteral("a.so"), "x")};
        window.FillGrid();
        QLocale::setDefault(QLocale::system());
        QCOMPARE(window.Grid->item(0, 4)->text(), QStringLiteral("2,244,000"));
        const QFontMetrics cells(window.Grid->font());
        const QHeaderView *header = window.Grid->horizontalHeader();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        int widths = 0;
        for (int c = 0; c < kFileVersionFieldCount; ++c) {
            const int width = window.Grid->columnWidth(c);
            widths += width;
            QVERIFY(width >= FileVersionField(c).Width);
            const QString caption = window.Grid->horizontalHeaderItem(c)->text();
            QVERIFY2(QFontMetrics(header->font()).horizontalAdvance(caption) + 2 * margin <= width, qPrintable(caption));
            // Cells are written 2 pixels in from the left.
            for (int row = 0; row < window.Grid->rowCount(); ++row) {
                const QString text = window.Grid->item(row, c) ? window.Grid->item(row, c)->text() : QString();
                QVERIFY2(cells.horizontalAdvance(text) + 2 <= width, qPrintable(QStringLiteral("\"%1\" in %2 pixels").arg(text).arg(width)));
            }
        }
        // Never wider than the screen.
        QCOMPARE(window.width(), qMin(widths + 25 + window.pnlGrid->frameWidth() + 20, window.screen()->availableGeometry().width()));
        // The export keeps its character widths and cuts the file name to its 25 characters.
        for (const QString &line : window.ExportLines())
            QCOMPARE(line.size(), ExportWidth());
        QVERIFY(window.ExportLines()[2].startsWith(QStringLiteral("libZandrellEmbeddedServe ")));
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void widthsFollowTheFontSize()
    {
        // 32 pixels are three times 8 points at 96 dpi; never narrower than designed.
        QFont designed = QApplication::font();
        designed.setPixelSize(11);
        QFont larger = designed, smaller = designed;
        larger.setPixelSize(32);
        smaller.setPixelSize(7);
        for (int c = 0; c < kFileVersionFieldCount; ++c) {
            QCOMPARE(ScaledColumnWidth(FileVersionField(c).Width, larger), 3 * FileVersionField(c).Width);
            QCOMPARE(ScaledColumnWidth(FileVersionField(c).Width, smaller), FileVersionField(c).Width);
        }
        QVERIFY(CellTextWidth(QStringLiteral("2,244,000"), larger) > CellTextWidth(QStringLiteral("2,244,000"), designed));
    }
};

QTEST_MAIN(TestShowVer)
#include "tst_uShowVer.moc"
