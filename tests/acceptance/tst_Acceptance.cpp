// The console as its users drive it: the installed program started as its own
// process on a virtual display with a window manager, real key presses sent
// to the X server, the unattended protocol where a window must be read back,
// two consoles on one scheme where two users are involved.
#include "tests/acceptance/AcceptanceDesktop.h"
#include "tests/acceptance/ConsoleRun.h"
#include "tests/common/InstallationCopy.h"
#include "tests/common/PdfText.h"
#include "tests/common/PgTestCluster.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kOrdersMenu = u"Документы/Заказы/Заказы"_s;

// A window of the dump's WINDOW lines: its caption and status byte (2 shown, 32 active).
struct TWindowState {
    bool listed = false;
    int status = 0;
};
TWindowState windowState(const QStringList &dump, const QString &caption)
{
    for (const QString &line : LinesStartingWith(dump, u"WINDOW "_s + caption + u'|'))
        return {true, line.section(u'|', -1).toInt()};
    return {};
}
bool windowActive(const QStringList &dump, const QString &caption)
{
    const TWindowState state = windowState(dump, caption);
    return state.listed && (state.status & 2) && (state.status & 32);
}

// The cells of a grid's rows in a window dump.
QList<QStringList> gridRows(const QStringList &dump, const QString &grid)
{
    QList<QStringList> rows;
    for (const QString &line : LinesStartingWith(dump, u"ROW "_s + grid + u' '))
        rows << line.section(u'|', 1).split(u'|');
    return rows;
}
QStringList gridColumns(const QStringList &dump, const QString &grid)
{
    const QStringList cols = LinesStartingWith(dump, u"COLS "_s + grid + u'|');
    return cols.isEmpty() ? QStringList() : cols.first().section(u'|', 1).split(u'|');
}
// The current row of a grid, from 1 ("W <grid> QTableView 1 #n"); 0 without one.
int currentRow(const QStringList &dump, const QString &grid)
{
    const QStringList w = LinesStartingWith(dump, u"W "_s + grid + u' ');
    return w.isEmpty() ? 0 : w.first().section(u'#', -1).toInt();
}

// An amount as a grid or a listing shows it in either language ("125,400.00", "125 400,00").
double amountOf(QString text)
{
    text.remove(QRegularExpression(u"[\\s\\x{00A0}\\x{202F}]"_s));
    const qsizetype decimal = text.size() >= 3 && (text.at(text.size() - 3) == u'.' || text.at(text.size() - 3) == u',')
                                  ? text.size() - 3
                                  : -1;
    QString digits;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == decimal)
            digits += u'.';
        else if (text.at(i).isDigit() || text.at(i) == u'-')
            digits += text.at(i);
    }
    return digits.toDouble();
}

QList<double> amountsOf(const QList<QStringList> &rows, qsizetype column)
{
    QList<double> amounts;
    for (const QStringList &row : rows)
        amounts << amountOf(row.value(column));
    return amounts;
}

// What a command wrote when it found nothing or could not run.
QStringList refusals(const QStringList &lines)
{
    static const QRegularExpression refused(u"^(NOTFOUND|DISABLED|ERROR) "_s);
    return lines.filter(refused);
}

bool ascending(const QList<double> &values) { return std::is_sorted(values.begin(), values.end()); }

// The texts a person reads in a protocol line. Data is left out: a grid's, list's or tree's
// rows, the quoted values of the status panels, the values of edits and combo boxes.
QString shownText(const QString &line)
{
    static const QRegularExpression quoted(u"'[^']*'"_s);
    static const QStringList captionKinds{u"QLabel"_s,    u"QPushButton"_s, u"QCheckBox"_s,  u"QRadioButton"_s,
                                          u"QGroupBox"_s, u"QToolButton"_s, u"QTabWidget"_s, u"QTextBrowser"_s};
    if (line.startsWith(u"MENU "_s))
        return line.mid(5).trimmed();
    if (line.startsWith(u"BUTTON "_s))
        return line.mid(7);
    if (line.startsWith(u"STATUS "_s))
        return line.section(u'|', 1).remove(quoted);
    if (line.startsWith(u"CAPTION "_s))
        return line.mid(8);
    if (line.startsWith(u"MODAL "_s) || line.startsWith(u"MSGBOX "_s) || line.startsWith(u"COLS "_s))
        return line.section(u'|', 1);
    if (line.startsWith(u"WINDOW "_s))
        return line.mid(7).section(u'|', 0, -2);
    if (line.startsWith(u"ACTION "_s))
        return line.section(u' ', 4);
    if (line.startsWith(u"W "_s) && captionKinds.contains(line.section(u' ', 2, 2)))
        return line.section(u' ', 4);
    return QString();
}

// Shown texts in Cyrillic (an English session).
QStringList cyrillicOutsideData(const QStringList &lines)
{
    static const QRegularExpression cyrillic(u"[\\x{0400}-\\x{04FF}]"_s);
    QStringList found;
    for (const QString &line : lines)
        if (shownText(line).contains(cyrillic))
            found << line;
    return found;
}

// Shown texts with a Latin word that is no proper name, file or key (a Russian session).
QStringList latinOutsideData(const QStringList &lines)
{
    // Words between blanks and punctuation; one that holds a digit, "_", "@", "." or "/" is a name
    // of a thing (a user, a scheme, a file, a folder), not a word of the language.
    static const QRegularExpression word(u"[^\\s,;:!?()\"«»'|*+]+"_s);
    static const QRegularExpression latinWord(u"^[A-Za-z]{2,}$"_s);
    // Proper names, and the keys of the keyboard.
    static const QSet<QString> names{u"KorConsole"_s, u"Zandrell"_s, u"ZANDRELL"_s, u"Oracle"_s, u"Home"_s,
                                     u"GUID"_s,       u"Qt"_s,       u"GNU"_s,      u"LGPL"_s,   u"Default"_s,
                                     u"Ctrl"_s,       u"Alt"_s,      u"Esc"_s,      u"Enter"_s};
    QStringList found;
    for (const QString &line : lines) {
        const QString text = shownText(line).replace(u"\\n"_s, u" "_s);
        for (const QRegularExpressionMatch &m : word.globalMatch(text)) {
            if (latinWord.match(m.captured()).hasMatch() && !names.contains(m.captured())) {
                found << m.captured() + u": "_s + line.left(200);
                break;
            }
        }
    }
    return found;
}

// The caption paths of every item of the main menu ("Файл / Язык", "Файл / Язык / Русский").
QSet<QString> menuPaths(const QStringList &dump)
{
    QSet<QString> paths;
    QStringList path;
    for (const QString &line : LinesStartingWith(dump, u"MENU "_s)) {
        const QString item = line.mid(5);
        const qsizetype level = (item.size() - item.trimmed().size()) / 2;
        path = path.mid(0, level) << item.trimmed();
        paths << path.join(u" / "_s);
    }
    return paths;
}

// The menu paths the guide quotes ("File / Reload menu").
QStringList guidePaths(const QString &guide, bool russian)
{
    static const QRegularExpression ru(u"«([^»]+ / [^»]+)»"_s), en(u"“([^”]+ / [^”]+)”"_s);
    QStringList paths;
    for (const QRegularExpressionMatch &m : (russian ? ru : en).globalMatch(guide))
        paths << m.captured(1).simplified();
    return paths;
}

} // namespace

class TestAcceptance : public QObject {
    Q_OBJECT

    TAcceptanceDesktop desktop;
    QTemporaryDir runtime;
    std::unique_ptr<InstallationCopy> installation;
    std::vector<std::unique_ptr<TConsoleRun>> consoles;
    QElapsedTimer journey;
    PgTestCluster *cluster = nullptr;
    QString database; // the journey's PostgreSQL database, when it has one

    // The journey's consoles log in to a PostgreSQL scheme of its own (the alias
    // ZANDRELL_PG); false when no server can run here (the journey is skipped).
    bool usePostgres()
    {
        if (!PgTestCluster::Require(&cluster))
            return false;
        database = cluster->MakeDatabase();
        cluster->WriteAlias(installation->path(u"Servers.ini"_s), u"ZANDRELL_PG"_s, database);
        return true;
    }
    TConsoleRun *startPostgresConsole(const QString &user)
    {
        consoles.push_back(std::make_unique<TConsoleRun>(*installation, desktop.Display(), runtime.path()));
        TConsoleRun *console = consoles.back().get();
        return console->Start(loginPostgres(user)) ? console : nullptr;
    }
    static QStringList loginPostgres(const QString &user)
    {
        return {u"/server=ZANDRELL_PG"_s, u"/user="_s + user, u"/password=demo"_s};
    }
    // Rows of the journey's PostgreSQL database, asked as its administrator.
    int countRows(const QString &sql) { return cluster->Admin(database)->Scalar(sql).toInt(); }

    // A console of this journey's installation, logged in as the user; null when it did not reach READY.
    TConsoleRun *startConsole(const QString &user, const QStringList &extra = {}, const QStringList &environment = {},
                              const QStringList &earlyLines = {})
    {
        consoles.push_back(std::make_unique<TConsoleRun>(*installation, desktop.Display(), runtime.path()));
        TConsoleRun *console = consoles.back().get();
        return console->Start(InstallationCopy::login(user) + extra, environment, earlyLines) ? console : nullptr;
    }

    // Waits until the window manager has made the window of that caption the active one.
    bool activeIs(const QString &caption)
    {
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            if (desktop.ActiveWindowName() == caption)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    // Types the text with real keys into the focused edit of a driven window and reads it back:
    // the display maps each Cyrillic letter to a spare key while it types, which a busy
    // machine can outrun, so a text that came out wrong is typed again.
    bool typeInto(TConsoleRun &console, const QString &edit, const QString &text)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!desktop.Key(u"ctrl+a"_s) || !desktop.Key(u"BackSpace"_s) || !desktop.Type(text))
                return false;
            if (console.PollUntil(
                    u"dump"_s,
                    [&](const QStringList &dump) { return dump.contains(u"W %1 QLineEdit 1 %2"_s.arg(edit, text)); },
                    1000))
                return true;
        }
        return false;
    }

    // Opens Orders with the hot key of its tool button, as a person does, and waits until it is active.
    bool openOrdersByKey(TConsoleRun &console)
    {
        console.Command(u"dump"_s); // the main window is the active one before the key
        return desktop.Key(u"alt+1"_s) &&
               console.PollUntil(u"dump"_s, [](const QStringList &dump) { return windowActive(dump, u"Заказы"_s); }) &&
               desktop.WaitActive(u"Заказы"_s);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(runtime.isValid());
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (!desktop.Start())
            QFAIL(qPrintable(desktop.Error()));
    }

    void init()
    {
        installation = std::make_unique<InstallationCopy>();
        QVERIFY(installation->isValid());
        journey.start();
    }

    void cleanup()
    {
        const QString name = QString::fromLatin1(QTest::currentTestFunction());
        if (QTest::currentTestFailed()) {
            // What a person would have seen, and what each console wrote.
            const QString folder = qEnvironmentVariable("ZANDRELL_BINARY_DIR") + u"/acceptance-failures/"_s + name;
            QDir().mkpath(folder);
            desktop.Screenshot(folder + u"/screen.png"_s);
            for (size_t i = 0; i < consoles.size(); ++i)
                consoles[i]->SaveOutput(folder + u"/console-%1.txt"_s.arg(i + 1));
            qWarning("%s: screenshot and console output in %s", qPrintable(name), qPrintable(folder));
        }
        for (const auto &console : consoles)
            console->Quit(5000);
        consoles.clear();
        installation.reset();
        if (!database.isEmpty()) {
            cluster->DropDatabase(database);
            database.clear();
        }
        qInfo("%s took %lld ms", qPrintable(name), journey.elapsed());
    }

    void cleanupTestCase() { desktop.Stop(); }

    // Every command completes before the next line is read: a menu choice and at once
    // the find button open the find dialog over Orders, under the window manager and
    // offscreen, a hundred times in a row.
    void commandsTakeEffectBeforeTheNextLine_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::newRow("window manager") << u"xcb"_s;
        QTest::newRow("offscreen") << u"offscreen"_s;
    }
    void commandsTakeEffectBeforeTheNextLine()
    {
        QFETCH(QString, platform);
        TConsoleRun *admin = startConsole(u"ZL_USER"_s, {}, {u"QT_QPA_PLATFORM="_s + platform});
        QVERIFY(admin);
        for (int round = 1; round <= 100; ++round) {
            admin->Command(u"click "_s + kOrdersMenu);
            const QStringList found = admin->Command(u"button 4"_s);
            if (!found.contains(u"MODAL TFindDlg|Поиск"_s))
                QFAIL(qPrintable(u"round %1: the find dialog did not open: "_s.arg(round) + found.join(u" / "_s)));
            QVERIFY(admin->Command(u"cancel"_s).contains(u"CLOSED TFindDlg 2"_s));
            QCOMPARE(refusals(admin->Command(u"form close"_s)), QStringList());
        }
    }

    // The administrator finds a customer with Ctrl+F and sorts by amount with Ctrl+S; after a
    // restart of the console Orders opens sorted by amount.
    void ordersFindAndSortByKeysAndTheOrderingIsRemembered()
    {
        TConsoleRun *admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        QVERIFY(openOrdersByKey(*admin));

        QVERIFY(desktop.Key(u"ctrl+f"_s));
        QVERIFY(!admin->WaitFor(u"MODAL TFindDlg"_s, 15000).isEmpty());
        admin->Command(u"set cmbField Клиент"_s);
        QVERIFY(typeInto(*admin, u"edText"_s, u"Тайга"_s));
        QVERIFY(desktop.Key(u"Return"_s));
        QVERIFY(!admin->WaitFor(u"CLOSED TFindDlg 1"_s).isEmpty());
        QStringList dump = admin->Command(u"form dump"_s);
        const QList<QStringList> rows = gridRows(dump, u"grdOrders"_s);
        const int found = currentRow(dump, u"grdOrders"_s);
        QVERIFY(found > 0);
        QVERIFY2(rows.value(found - 1).join(u'|').contains(u"Тайга"_s), qPrintable(rows.value(found - 1).join(u'|')));

        // The window manager gives the keys back to Orders when the dialog has gone.
        QVERIFY(desktop.WaitActive(u"Заказы"_s));
        QVERIFY(desktop.Key(u"ctrl+s"_s));
        QVERIFY(!admin->WaitFor(u"MODAL TSortDlg"_s, 15000).isEmpty());
        // The ordering by number gives way to the amount.
        QCOMPARE(refusals(admin->Command(u"select lbOrder Номер"_s)), QStringList());
        QCOMPARE(refusals(admin->Command(u"click btnRemove"_s)), QStringList());
        QCOMPARE(refusals(admin->Command(u"select lbFields Сумма"_s)), QStringList());
        QCOMPARE(refusals(admin->Command(u"click btnAdd"_s)), QStringList());
        QVERIFY(desktop.Key(u"Return"_s));
        QVERIFY(!admin->WaitFor(u"CLOSED TSortDlg 1"_s).isEmpty());
        dump = admin->Command(u"form dump"_s);
        const qsizetype amount = gridColumns(dump, u"grdOrders"_s).indexOf(u"Сумма"_s);
        QVERIFY(amount >= 0);
        QVERIFY(ascending(amountsOf(gridRows(dump, u"grdOrders"_s), amount)));

        // Closed by the window manager's Alt+F4, the console quit and started again.
        QVERIFY(desktop.Key(u"alt+F4"_s));
        QVERIFY(admin->PollUntil(u"dump"_s,
                                 [](const QStringList &d) { return !(windowState(d, u"Заказы"_s).status & 2); }));
        QVERIFY(admin->Quit());
        admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        QVERIFY(openOrdersByKey(*admin));
        dump = admin->Command(u"form dump"_s);
        QVERIFY(ascending(amountsOf(gridRows(dump, u"grdOrders"_s), amount)));
    }

    // A line ticked in one console keeps no other console from logging in and reading Orders,
    // and stays ticked in the first.
    void aTickedLineBlocksNoOtherConsole()
    {
        TConsoleRun *first = startConsole(u"ZL_USER"_s);
        QVERIFY(first);
        first->Command(u"click "_s + kOrdersMenu);
        QCOMPARE(refusals(first->Command(u"form select grdLines #1"_s)), QStringList());
        QVERIFY(desktop.Key(u"space"_s));
        const auto ticked = [](const QStringList &dump) {
            return gridRows(dump, u"grdLines"_s).value(0).value(0) == u"+"_s;
        };
        QVERIFY(first->PollUntil(u"form dump"_s, ticked));

        TConsoleRun *second = startConsole(u"OPERATOR"_s);
        QVERIFY(second);
        QVERIFY2(second->ReadyMs() < 8000, "the log-in waited for another console's uncommitted work");
        QCOMPARE(LinesStartingWith(second->Output(), u"MSGBOX"_s), QStringList());
        second->Command(u"click "_s + kOrdersMenu);
        QVERIFY(!gridRows(second->Command(u"form dump"_s), u"grdOrders"_s).isEmpty());
        QVERIFY(ticked(first->Command(u"form dump"_s)));
    }

    // The operator's menu is the smaller one; Report in Orders is refused, amounts are hidden.
    void theOperatorSeesLessAndMayNotReport()
    {
        TConsoleRun *admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        const QStringList adminMenu = LinesStartingWith(admin->Command(u"dump"_s), u"MENU "_s);
        QVERIFY(admin->Quit());
        TConsoleRun *op = startConsole(u"OPERATOR"_s);
        QVERIFY(op);
        const QStringList opMenu = LinesStartingWith(op->Command(u"dump"_s), u"MENU "_s);
        QVERIFY(opMenu.size() < adminMenu.size());
        QVERIFY(!opMenu.contains(u"MENU   Настройка меню"_s));
        QVERIFY(opMenu.contains(u"MENU     Заказы"_s));

        op->Command(u"click "_s + kOrdersMenu);
        QVERIFY(!gridColumns(op->Command(u"form dump"_s), u"grdOrders"_s).contains(u"Сумма"_s));
        QVERIFY(desktop.WaitActive(u"Заказы"_s));
        QVERIFY(desktop.Key(u"ctrl+r"_s));
        QVERIFY(op->WaitFor(u"MSGBOX"_s, 15000).contains(u"нет права"_s));
        QVERIFY(LinesStartingWith(op->Output(), u"MODAL TQRPreviewDlg"_s).isEmpty());
    }

    // The administrator adds a menu group and a service with a right to the operators' menu;
    // the operator's console sees both after reloading its menu, with the new rights string.
    void anAdministratorsChangeReachesTheOperator()
    {
        TConsoleRun *op = startConsole(u"OPERATOR"_s);
        QVERIFY(op);
        TConsoleRun *admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        QVERIFY(admin->Command(u"click Файл/Настройка меню"_s).contains(u"MODAL TMenuConfig|Настройка меню"_s));
        for (const QString &line : {u"select dbgAccess Операторы"_s, u"input Касса"_s, u"action acInsMenu"_s,
                                    u"select tvMenu Конфигурация меню/Касса"_s})
            QCOMPARE(refusals(admin->Command(line)), QStringList());
        QVERIFY(!LinesStartingWith(admin->Command(u"action acAddService"_s), u"MODAL TSelSrv|"_s).isEmpty());
        const QStringList offered = gridRows(admin->Command(u"dump"_s), u"DBGrid1"_s).value(0);
        QVERIFY(!offered.isEmpty());
        const QString service = offered.value(1);
        QCOMPARE(refusals(admin->Command(u"check DBGrid1 #1"_s)), QStringList());
        QCOMPARE(refusals(admin->Command(u"check RightList #1"_s)), QStringList());
        QString rights = u"1"_s;
        for (const QString &row : LinesStartingWith(admin->Command(u"dump"_s), u"ROW RightList "_s))
            rights += row.section(u' ', 3, 3).left(1);
        QVERIFY(admin->Command(u"ok"_s).contains(u"CLOSED TSelSrv 1"_s));
        QCOMPARE(admin->Command(u"reply 6"_s), QStringList());
        QVERIFY(!LinesStartingWith(admin->Command(u"click btnClose"_s), u"CLOSED TMenuConfig "_s).isEmpty());

        const QStringList reloaded = op->Command(u"click Файл/Обновить меню"_s);
        QVERIFY(reloaded.contains(u"MENU Касса"_s));
        QVERIFY(reloaded.contains(u"MENU   "_s + service));
        QVERIFY(op->Command(u"rights"_s).contains(u"RIGHTS Касса/%1|%2"_s.arg(service, rights)));
    }

    // Three consoles on one PostgreSQL scheme at once: while two operators work
    // in Orders with ticked lines, the administrator adds a group to their menu
    // and grants them a right. Nobody waits for another's work, every console
    // goes on, and the operators see the change after "Обновить меню".
    void threeConsolesShareOneScheme()
    {
        if (!usePostgres())
            return;
        std::vector<TConsoleRun *> started;
        for (const QString &user : {u"ZL_USER"_s, u"OPERATOR"_s, u"OPERATOR"_s}) {
            consoles.push_back(std::make_unique<TConsoleRun>(*installation, desktop.Display(), runtime.path()));
            QVERIFY(consoles.back()->Launch(loginPostgres(user)));
            started.push_back(consoles.back().get());
        }
        for (TConsoleRun *console : started) {
            QVERIFY(console->WaitReady());
            QVERIFY2(console->ReadyMs() < 8000, "a log-in waited for another console");
        }
        TConsoleRun *admin = started[0];
        const std::vector<TConsoleRun *> operators{started[1], started[2]};
        const auto ticked = [](const QStringList &dump) {
            return gridRows(dump, u"grdLines"_s).value(0).value(0) == u"+"_s;
        };
        for (TConsoleRun *op : operators) {
            op->Command(u"click "_s + kOrdersMenu);
            QCOMPARE(refusals(op->Command(u"form check grdLines #1"_s)), QStringList());
            QVERIFY(ticked(op->Command(u"form dump"_s)));
            QVERIFY(op->Command(u"rights"_s).contains(u"RIGHTS "_s + kOrdersMenu + u"|100"_s));
        }

        // The administrator's changes answer at once, whatever the operators hold.
        QElapsedTimer editing;
        editing.start();
        QVERIFY(admin->Command(u"click Файл/Настройка меню"_s).contains(u"MODAL TMenuConfig|Настройка меню"_s));
        for (const QString &line : {u"select dbgAccess Операторы"_s, u"input Касса"_s, u"action acInsMenu"_s,
                                    u"select tvMenu Конфигурация меню/Документы/Заказы/Заказы"_s})
            QCOMPARE(refusals(admin->Command(line)), QStringList());
        QVERIFY(!LinesStartingWith(admin->Command(u"action acChgRights"_s), u"MODAL TRightsEdit|"_s).isEmpty());
        QCOMPARE(refusals(admin->Command(u"check lvRightList #1"_s)), QStringList());
        QVERIFY(admin->Command(u"ok"_s).contains(u"CLOSED TRightsEdit 1"_s));
        QCOMPARE(admin->Command(u"reply 6"_s), QStringList());
        QVERIFY(!LinesStartingWith(admin->Command(u"click btnClose"_s), u"CLOSED TMenuConfig "_s).isEmpty());
        QVERIFY2(editing.elapsed() < 10000, "the administrator waited for the operators");
        QCOMPARE(LinesStartingWith(admin->Output(), u"MSGBOX 16"_s), QStringList());

        for (TConsoleRun *op : operators) {
            const QStringList reloaded = op->Command(u"click Файл/Обновить меню"_s);
            QVERIFY(reloaded.contains(u"MENU Касса"_s));
            QVERIFY(op->Command(u"rights"_s).contains(u"RIGHTS "_s + kOrdersMenu + u"|110"_s));
            // The session goes on: Orders opens again with the line still ticked.
            op->Command(u"click "_s + kOrdersMenu);
            const QStringList dump = op->Command(u"form dump"_s);
            QVERIFY(!gridRows(dump, u"grdOrders"_s).isEmpty());
            QVERIFY(ticked(dump));
        }
        admin->Command(u"click "_s + kOrdersMenu);
        QVERIFY(!gridRows(admin->Command(u"form dump"_s), u"grdOrders"_s).isEmpty());
    }

    // A console killed in the middle of deleting a large branch of the menu
    // leaves the scheme consistent: no entry without its group, no lock behind;
    // another console logs in at once and deletes what is left.
    void aConsoleKilledInTheMiddleOfAChange()
    {
        if (!usePostgres())
            return;
        // A branch of 400 groups under a new top-level group of the administrators' menu.
        cluster->AdminExec(
            database,
            u"WITH g AS (INSERT INTO zandrell5.menucfg (id_cfg, accessid, owner, isgroup, menuname, sort_order) "
            "VALUES (nextval('zandrell5.menucfg_seq'), 1, 0, 1, 'Архив', 990) RETURNING id_cfg) "
            "INSERT INTO zandrell5.menucfg (id_cfg, accessid, owner, isgroup, menuname, sort_order) "
            "SELECT nextval('zandrell5.menucfg_seq'), 1, g.id_cfg, 1, 'Папка ' || n, n FROM g, "
            "generate_series(1, 400) n"_s);
        const int rows = countRows(u"SELECT count(*) FROM zandrell5.menucfg"_s);
        const QString orphans = u"SELECT count(*) FROM zandrell5.menucfg m WHERE m.owner <> 0 AND NOT EXISTS "
                                "(SELECT 1 FROM zandrell5.menucfg o WHERE o.id_cfg = m.owner)"_s;
        const auto deleteBranch = [](TConsoleRun &console, bool wait) {
            QVERIFY(console.Command(u"click Файл/Настройка меню"_s).contains(u"MODAL TMenuConfig|Настройка меню"_s));
            QCOMPARE(refusals(console.Command(u"select tvMenu Конфигурация меню/Архив"_s)), QStringList());
            QCOMPARE(console.Command(u"reply 6"_s), QStringList());
            if (wait)
                QCOMPARE(refusals(console.Command(u"action acDelMenu"_s, 60000)), QStringList());
            else
                console.Send(u"action acDelMenu"_s);
        };

        TConsoleRun *killed = startPostgresConsole(u"ZL_USER"_s);
        QVERIFY(killed);
        deleteBranch(*killed, false);
        QTest::qWait(400);
        killed->Kill();
        QCOMPARE(countRows(orphans), 0);

        qInfo(
            "%d rows of the branch left when the console was killed",
            countRows(u"SELECT count(*) FROM zandrell5.menucfg WHERE menuname LIKE 'Папка %' OR menuname = 'Архив'"_s));
        TConsoleRun *next = startPostgresConsole(u"ZL_USER"_s);
        QVERIFY(next);
        QVERIFY2(next->ReadyMs() < 8000, "the log-in waited for the killed console");
        if (countRows(u"SELECT count(*) FROM zandrell5.menucfg WHERE menuname = 'Архив'"_s) > 0) {
            deleteBranch(*next, true);
            next->Command(u"reply 7"_s); // no menu rebuild
            QVERIFY(!LinesStartingWith(next->Command(u"click btnClose"_s), u"CLOSED TMenuConfig "_s).isEmpty());
        }
        QCOMPARE(countRows(orphans), 0);
        QCOMPARE(countRows(u"SELECT count(*) FROM zandrell5.menucfg"_s), rows - 401);
    }

    // Orders' listing written through its preview: every amount whole on one line.
    void theListingPrintsAmountsWhole()
    {
        TConsoleRun *admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        admin->Command(u"click "_s + kOrdersMenu);
        const QStringList dump = admin->Command(u"form dump"_s);
        const qsizetype amount = gridColumns(dump, u"grdOrders"_s).indexOf(u"Сумма"_s);
        QVERIFY(amount >= 0);
        QVERIFY(admin->Command(u"button 6"_s).contains(u"MODAL TQRPreviewDlg|Заказы"_s));
        const QString pdf = installation->path(u"orders.pdf"_s);
        QVERIFY(LinesStartingWith(admin->Command(u"pdf "_s + pdf), u"PDF "_s).value(0).startsWith(u"PDF "_s + pdf));
        QVERIFY(admin->Command(u"cancel"_s).contains(u"CLOSED TQRPreviewDlg 2"_s));
        // Group separators may come out of the PDF as plain spaces.
        const QString text = PdfPages(pdf, true).join(u'\n').replace(QChar(0x00A0), u' ').replace(QChar(0x202F), u' ');
        QVERIFY(!text.isEmpty());
        QVERIFY(text.contains(u"Сумма"_s));
        for (const QStringList &row : gridRows(dump, u"grdOrders"_s)) {
            const QString shown = row.value(amount).replace(QChar(0x00A0), u' ').replace(QChar(0x202F), u' ');
            QVERIFY2(text.contains(shown), qPrintable(shown));
        }
    }

    // Every window of the session in its language: the main window, every window its menu reaches
    // (the versions windows, help and the about box among them), the service windows with their
    // pop-up menus and the form library's dialogs, and the not-loaded window. An English session
    // shows no Cyrillic outside data, a Russian one no Latin word but proper names. The guide quotes
    // only menu paths that the main menu has.
    void anEnglishSessionShowsNoRussian() { walkEveryWindow(u"9"_s); }
    void aRussianSessionShowsNoEnglish() { walkEveryWindow(u"25"_s); }

private:
    void walkEveryWindow(const QString &langId)
    {
        const bool russian = langId == u"25"_s;
        // A module that cannot be loaded: the not-loaded window opens before READY, is read and closed.
        installation->write(u"Office.so"_s, "not a module");
        TConsoleRun *admin = startConsole(u"ZL_USER"_s, {u"/langid="_s + langId}, {}, {u"dump"_s, u"cancel"_s});
        QVERIFY(admin);
        QStringList seen = admin->Output();
        QVERIFY2(!LinesStartingWith(seen, u"MODAL TSrvList|"_s).isEmpty(), qPrintable(seen.join(u'\n')));
        QVERIFY(!LinesStartingWith(seen, u"COLS ListView1|"_s).isEmpty());
        const QStringList dump = admin->Command(u"dump"_s);
        seen << dump;
        // The leaves of the main menu, by their caption paths.
        QStringList leaves, path;
        const QStringList menu = LinesStartingWith(dump, u"MENU "_s);
        for (qsizetype i = 0; i < menu.size(); ++i) {
            const QString item = menu.at(i).mid(5);
            const qsizetype level = (item.size() - item.trimmed().size()) / 2;
            path = path.mid(0, level) << item.trimmed();
            const bool hasChildren = i + 1 < menu.size() &&
                                     menu.at(i + 1).mid(5).size() - menu.at(i + 1).mid(5).trimmed().size() > level * 2;
            if (!hasChildren)
                leaves << path.join(u'/');
        }
        // Commands that end the session or change it, and the arrangement of windows, are not windows to look at.
        static const QRegularExpression notWindows(
            u"^(File|Файл)/(Exit|Change connection|Reload menu|Language/|Выход|Изменение соединения|Обновить меню|"
            "Язык/)|^(Windows|Окна)/"_s);
        QStringList opened;
        for (const QString &leaf : std::as_const(leaves)) {
            if (notWindows.match(leaf).hasMatch())
                continue;
            const QStringList shown = admin->Command(u"click "_s + leaf);
            seen << shown;
            const QString modal = LinesStartingWith(shown, u"MODAL "_s).value(0);
            if (!modal.isEmpty() && !shown.contains(u"CLOSED "_s + modal.mid(6).section(u'|', 0, 0))) {
                // A driven window: read it back and close it.
                opened << modal.mid(6).section(u'|', 0, 0);
                seen << admin->Command(u"dump"_s) << admin->Command(u"cancel"_s);
                continue;
            }
            const QStringList after = admin->Command(u"dump"_s);
            if (LinesStartingWith(after, u"WINDOW "_s).isEmpty())
                continue;
            // A service window: its texts, then each dialog of its pop-up menu.
            seen << after << admin->Command(u"form dump"_s);
            for (const QString &action : {u"pFind"_s, u"pSort"_s, u"pFilter"_s, u"pReport"_s}) {
                const QStringList dialog = admin->Command(u"form action "_s + action);
                seen << dialog;
                if (!LinesStartingWith(dialog, u"MODAL "_s).isEmpty() &&
                    LinesStartingWith(dialog, u"CLOSED "_s).isEmpty())
                    seen << admin->Command(u"dump"_s) << admin->Command(u"cancel"_s);
            }
            admin->Command(u"form close"_s);
        }
        // The windows the walk must have read back.
        for (const char *window : {"TShowVer", "THelpWindow", "TAboutBox", "TfmConfigConsole", "TShemaForm"})
            QVERIFY2(opened.contains(QLatin1String(window)), window);
        const QStringList foreign = russian ? latinOutsideData(seen) : cyrillicOutsideData(seen);
        QVERIFY2(foreign.isEmpty(), qPrintable(foreign.join(u'\n')));

        // The guide of the session's language names only menu paths that exist.
        const QString guide =
            QString::fromUtf8(installation->read(russian ? u"Help/KorConsole.html"_s : u"Help/KorConsole.en.html"_s));
        const QSet<QString> paths = menuPaths(dump);
        const QStringList quoted = guidePaths(guide, russian);
        QVERIFY(quoted.size() > 10);
        QStringList missing;
        for (const QString &quotedPath : quoted)
            if (!paths.contains(quotedPath))
                missing << quotedPath;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }

private slots:
    // Windows on the screen under the window manager: the main window across the top, every window
    // the console opens framed inside the screen (title bar included), a dialog over the main
    // window and the service windows cascaded one after the other.
    void windowsAreFramedInsideTheScreen()
    {
        TConsoleRun *admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        const QRect screen = desktop.ScreenRect();
        const auto framed = [&](const QString &caption) {
            // The window manager frames the window a moment after it shows; the console then places
            // it: the place is the one that holds for a second.
            QRect frame, last;
            int same = 0;
            const QDeadlineTimer deadline(5000);
            while (activeIs(caption) && !deadline.hasExpired()) {
                frame = desktop.ActiveWindowFrame();
                same = frame == last ? same + 1 : 0;
                if (!frame.isNull() && same == 5 && screen.contains(frame))
                    break;
                last = frame;
                QThread::msleep(200);
            }
            return std::make_pair(frame, !frame.isNull() && screen.contains(frame));
        };
        admin->Command(u"dump"_s);
        const auto main = framed(u"Отчеты"_s);
        QVERIFY2(main.second && main.first.top() == 0 && main.first.width() == screen.width(),
                 qPrintable(u"%1,%2 %3x%4"_s.arg(main.first.x())
                                .arg(main.first.y())
                                .arg(main.first.width())
                                .arg(main.first.height())));
        for (const auto &[command, caption] :
             {std::pair{u"click Файл/Настройки"_s, u"Настройки"_s},
              std::pair{u"click Файл/Настройка схем"_s, u"Схемы БД"_s},
              std::pair{u"click Справка/О программе"_s, u"О программе"_s},
              std::pair{u"click Справка/Руководство пользователя"_s, u"Руководство пользователя"_s},
              std::pair{u"click Справка/Список всех библиотек"_s, u"Список всех библиотек"_s}}) {
            QVERIFY(!LinesStartingWith(admin->Command(command), u"MODAL "_s).isEmpty());
            const auto window = framed(caption);
            QVERIFY2(window.second, qPrintable(caption + u": %1,%2 %3x%4"_s.arg(window.first.x())
                                                             .arg(window.first.y())
                                                             .arg(window.first.width())
                                                             .arg(window.first.height())));
            admin->Command(u"cancel"_s);
        }
        // Two service windows: the second one a step down and to the right of the first.
        QRect first, second;
        for (const auto &[item, caption, frame] : {std::tuple{kOrdersMenu, u"Заказы"_s, &first},
                                                   std::tuple{u"Справочники/Клиенты"_s, u"Клиенты"_s, &second}}) {
            admin->Command(u"click "_s + item);
            const auto window = framed(caption);
            QVERIFY2(window.second, qPrintable(caption));
            *frame = window.first;
        }
        const auto text = [](const QRect &r) {
            return u"%1,%2 %3x%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        };
        QVERIFY2(second.left() > first.left() && second.top() > first.top() && first.top() > main.first.bottom(),
                 qPrintable(text(main.first) + u" / "_s + text(first) + u" / "_s + text(second)));
    }

    // The keyboard reaches the console's commands: a menu by its mnemonic, F1 for the guide at the
    // window's topic, Ctrl+Q to quit.
    void theKeyboardReachesTheCommands()
    {
        TConsoleRun *admin = startConsole(u"ZL_USER"_s, {u"/langid=9"_s});
        QVERIFY(admin);
        admin->Command(u"dump"_s);
        QVERIFY(activeIs(u"Reports"_s));
        QVERIFY(desktop.Key(u"alt+f"_s) && desktop.Key(u"s"_s));
        QVERIFY(!admin->WaitFor(u"MODAL TfmConfigConsole|Settings"_s, 15000).isEmpty());
        admin->Command(u"cancel"_s);
        QVERIFY(activeIs(u"Reports"_s));
        QVERIFY(desktop.Key(u"F1"_s));
        QVERIFY(!admin->WaitFor(u"MODAL THelpWindow|User's guide"_s, 15000).isEmpty());
        QVERIFY(admin->Command(u"cancel"_s).contains(u"CLOSED THelpWindow 2"_s));
        QVERIFY(activeIs(u"Reports"_s));
        QVERIFY(desktop.Key(u"ctrl+q"_s));
        QVERIFY(admin->WaitForEnd(5000));
    }

    // A language chosen in File/Language holds across a change of connection: the new log-in, and
    // the next start, work in it.
    void theLanguageChoiceHoldsAcrossAReconnect()
    {
        TConsoleRun *admin = startConsole(u"ZL_USER"_s, {u"/langid=25"_s});
        QVERIFY(admin);
        const QStringList chosen = admin->Command(u"click Файл/Язык/Английский"_s);
        QVERIFY2(!LinesStartingWith(chosen, u"MSGBOX 64|"_s).isEmpty(), qPrintable(chosen.join(u'\n')));
        const QStringList again = admin->Command(u"click Файл/Изменение соединения"_s);
        QVERIFY2(again.contains(u"MENU File"_s) && again.contains(u"MENU   Change connection"_s),
                 qPrintable(again.join(u'\n')));
        QVERIFY2(cyrillicOutsideData(again).isEmpty(), qPrintable(cyrillicOutsideData(again).join(u'\n')));
        QVERIFY(admin->Quit());
        admin = startConsole(u"ZL_USER"_s);
        QVERIFY(admin);
        QVERIFY(admin->Command(u"dump"_s).contains(u"MENU File"_s));
    }
};

QTEST_GUILESS_MAIN(TestAcceptance)
#include "tst_Acceptance.moc"
