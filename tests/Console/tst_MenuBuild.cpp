// Menu rows that cannot be placed: the build leaves them out and names each
// once in the not-loaded list instead of recursing without end (a group
// numbered 0 or NULL, a group inside itself, a cycle), placing a row twice or
// dropping it silently; many rows of one service give one message box.
#include "DataSet.h"
#include "RecordingDialogService.h"
#include "uMenu.h"
#include "uModuleLibrary.h"
#include "uServiceItem.h"

#include <QtTest>

namespace {

QStringList g_failed;

// Menu rows written as "G id owner name" (a group) or "S id owner itemId"
// (a service entry), separated by ";"; "-" stands for NULL.
TResultSet menuRows(const QString &text)
{
    TResultSet rows;
    rows.columns = {{"ID_CFG", TFieldType::ftInteger}, {"OWNER", TFieldType::ftInteger}, {"IsGroup", TFieldType::ftInteger},
                    {"MENUNAME", TFieldType::ftString, 50}, {"ItemID", TFieldType::ftInteger}, {"ItemMode", TFieldType::ftString, 255}};
    auto value = [](const QString &word) { return word == QLatin1String("-") ? QVariant() : QVariant(word.toInt()); };
    for (const QString &row : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = row.simplified().split(QLatin1Char(' '));
        const bool group = w.at(0) == QLatin1String("G");
        rows.rows.append({value(w.at(1)), value(w.at(2)), int(group), group ? QVariant(w.at(3)) : QVariant(),
                          group ? QVariant() : value(w.at(3)), group ? QVariant() : QVariant(QStringLiteral("1"))});
    }
    return rows;
}

// Items 1 and 2: the two services of the test module; item 3: a module file that is missing.
TResultSet catalogue()
{
    TResultSet rows;
    rows.columns = {{"ITEMID", TFieldType::ftInteger},          {"SRVNAME", TFieldType::ftString, 50},
                    {"DLLNAME", TFieldType::ftString, 50},      {"GUID", TFieldType::ftString, 50},
                    {"CREATEBTN", TFieldType::ftInteger},       {"ISLANG", TFieldType::ftInteger},
                    {"SOURCE_SRVNAME", TFieldType::ftString, 50}};
    rows.rows = {{1, "One", "tmForm.so", "{TM-SERVICE-1}", 0, 0, "One"},
                 {2, "Two", "tmForm.so", "{TM-SERVICE-2}", 1, 0, "Two"},
                 {3, "Lost", "tmMissing.so", "{LOST}", 0, 0, "Lost"}};
    return rows;
}

// The tree in menu order: "A(One,B(Two))".
QString render(const TKorMenu &group)
{
    QStringList items;
    for (const TKorMenu::TItem &item : group.Items)
        items << (item.service ? item.service->Caption() : render(*item.group));
    return group.Name + QLatin1Char('(') + items.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString render(const TMenuCfg &menu)
{
    QStringList roots;
    for (auto root = menu.Roots.crbegin(); root != menu.Roots.crend(); ++root)
        roots << render(**root);
    return roots.join(QLatin1Char(','));
}

} // namespace

class TestMenuBuild : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingDialogService> dialogs;
    TDataSet menu, services;

    void load(TMenuCfg &cfg, const QString &rows)
    {
        menu.LoadFrom(menuRows(rows));
        services.LoadFrom(catalogue());
        cfg.Load(&menu, &services);
    }

private slots:
    void init()
    {
        SetModuleFolder(QStringLiteral(TEST_MODULE_DIR));
        dialogs = std::make_unique<RecordingDialogService>();
        g_failed.clear();
        TMenuCfg::ShowFailed = [](const TBaseServiceList &failed) {
            g_failed << QStringLiteral("shown");
            for (const auto &entry : failed)
                g_failed << entry->Caption() + QStringLiteral(": ") + entry->Description();
        };
    }
    void cleanup()
    {
        dialogs.reset();
        SetModuleFolder(QString());
    }

    void rowsThatCannotBePlaced_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("tree");
        // The not-loaded list, shown once: caption and a part of the reason per entry.
        QTest::addColumn<QStringList>("failed");

        QTest::newRow("sound menu") << "G 10 0 A; S 11 10 1; G 12 10 B; S 13 12 2; G 20 0 C" << "A(One,B(Two)),C()"
                                    << QStringList();
        QTest::newRow("group numbered 0") << "G 0 0 Zero; G 10 0 A; S 11 10 1" << "A(One)"
                                          << QStringList{"Zero: ", "ID_CFG is 0"};
        QTest::newRow("group numbered NULL") << "G - 0 NoKey; G 10 0 A; S 11 10 1" << "A(One)"
                                             << QStringList{"NoKey: ", "no ID_CFG"};
        QTest::newRow("group inside itself") << "G 10 0 A; G 10 10 Again; S 11 10 1" << "A(One)"
                                             << QStringList{"Again: ", "group it lies in"};
        QTest::newRow("cycle of groups") << "G 10 0 A; G 20 21 C1; G 21 20 C2; S 22 21 1" << "A()"
                                         << QStringList{"C1: ", "20, 21", "C2: ", "20, 21"};
        QTest::newRow("owner that is no group") << "G 10 0 A; S 11 99 1; G 30 13 Sub; S 13 10 2" << "A(Two)"
                                                << QStringList{"One: ", "OWNER 99", "Sub: ", "OWNER 13"};
        QTest::newRow("group number used twice") << "G 10 0 A; G 10 0 B; S 11 10 1" << "A(One)"
                                                 << QStringList{"B: ", "used by another"};
        QTest::newRow("service not in the catalogue") << "G 10 0 A; S 11 10 7; S 12 10 1" << "A(One)"
                                                      << QStringList{"ITEMID 7: ", "not in the service catalogue"};
        QTest::newRow("module that cannot be loaded") << "G 10 0 A; S 11 10 3; S 12 10 3; S 13 10 1" << "A(One)"
                                                      << QStringList{"Lost: ", "tmMissing.so", "Lost: ", "tmMissing.so"};
    }

    void rowsThatCannotBePlaced()
    {
        QFETCH(QString, rows);
        QFETCH(QString, tree);
        QFETCH(QStringList, failed);
        TMenuCfg cfg;
        load(cfg, rows);
        QCOMPARE(render(cfg), tree);
        QCOMPARE(g_failed.size(), failed.isEmpty() ? 0 : 1 + failed.size() / 2);
        for (int i = 0; i < failed.size(); i += 2) {
            const QString &entry = g_failed.at(1 + i / 2);
            QVERIFY2(entry.startsWith(failed.at(i)) && entry.contains(failed.at(i + 1)), qPrintable(entry));
        }
    }

    void serviceAtTheTopLevelEndsTheBuild()
    {
        TMenuCfg cfg;
        QVERIFY_THROWS_EXCEPTION(Exception, load(cfg, QStringLiteral("G 10 0 A; S 11 0 1")));
    }

    void manyRowsOfOneServiceGiveOneBox()
    {
        QString rows = QStringLiteral("G 10 0 A; G 20 0 B; S 21 20 2");
        for (int i = 0; i < 10000; ++i)
            rows += QStringLiteral("; S %1 10 1").arg(100 + i);
        TMenuCfg cfg;
        load(cfg, rows);
        TServiceManager manager;
        cfg.RegisterAll(manager);
        QCOMPARE(manager.Count(), 2);
        QCOMPARE(render(cfg), QStringLiteral("A(One),B(Two)"));
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Error"));
        QCOMPARE(dialogs->boxes.first().text.count(QLatin1Char('\n')), 0);
        QVERIFY2(dialogs->boxes.first().text.contains(QStringLiteral("One")), qPrintable(dialogs->boxes.first().text));
        QVERIFY2(dialogs->boxes.first().text.contains(QStringLiteral("9999")), qPrintable(dialogs->boxes.first().text));
        QVERIFY(g_failed.isEmpty());
    }
};

QTEST_MAIN(TestMenuBuild)
#include "tst_MenuBuild.moc"
