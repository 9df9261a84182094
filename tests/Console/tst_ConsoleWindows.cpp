// The console's smaller windows and commands: the settings window, the
// not-loaded services window, the resource library's images, the about box
// and the two commands that stand in for the system menu.
#include "IniFile.h"
#include "MainConsoleIMPL.h"
#include "RecordingDialogService.h"
#include "ResourceLibrary.h"
#include "uBaseService.h"
#include "uConfigConsole.h"
#include "uConsoleCfg.h"
#include "uSrvShow.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QAction>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "TempExeDir.h"
#include <QTreeWidget>

class TestConsoleWindows : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    QString formValue(const QString &key) const
    {
        return TIniFile(dir->filePath(QStringLiteral("Console.ini"))).ReadString(QStringLiteral("FORM"), key, QStringLiteral("missing"));
    }

private slots:
    void init()
    {
        dir = new TempExeDir;
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        delete dialogs;
        FreeResourceLibrary();
        delete dir;
    }

    void settingsWindowLoadsAndWrites()
    {
        QFile ini(dir->filePath(QStringLiteral("Console.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[FORM]\nHideMinimized=0\nFormTop=1\nViewLogo=0\nCreateSeps=1\nMiniTB=1\n");
        ini.close();
        TfmConfigConsole form;
        form.show();
        QVERIFY(!form.chHideMinimized->isChecked());
        QVERIFY(form.chFormTop->isChecked());
        QVERIFY(form.chCreateSeparators->isChecked());
        QCOMPARE(form.ButtonSizeIndex(), 1);
        QCOMPARE(form.rbLarge->text(), QStringLiteral("Большие"));
        QCOMPARE(form.rbSmall->text(), QStringLiteral("Маленькие"));

        // Cancel writes nothing.
        form.chViewLogo->setChecked(true);
        form.reject();
        QCOMPARE(formValue(QStringLiteral("ViewLogo")), QStringLiteral("0"));

        // OK without a change of button size: no notice, all five written.
        form.show();
        form.chViewLogo->setChecked(true);
        form.chCreateSeparators->setChecked(false);
        QTest::mouseClick(form.btnOK, Qt::LeftButton);
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(formValue(QStringLiteral("ViewLogo")), QStringLiteral("1"));
        QCOMPARE(formValue(QStringLiteral("CreateSeps")), QStringLiteral("0"));
        QCOMPARE(formValue(QStringLiteral("HideMinimized")), QStringLiteral("0"));

        // A new button size takes effect at the next start, and the window says so.
        form.show();
        form.rbLarge->setChecked(true);
        QTest::mouseClick(form.btnOK, Qt::LeftButton);
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONINFORMATION));
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Параметр \"Размер кнопок\""));
        QCOMPARE(formValue(QStringLiteral("MiniTB")), QStringLiteral("0"));
    }

    void notLoadedWindow()
    {
        TBaseServiceList failed;
        auto service = std::make_unique<TBaseService>();
        service->SetCaption(QStringLiteral("Заказы"));
        service->SetDescription(QStringLiteral("\"Orders.so\" is missing"));
        service->SetDllName(QStringLiteral("Orders.so"));
        service->SetGuid(QStringLiteral("{G}"));
        failed.Add(std::move(service));
        auto quiet = std::make_unique<TBaseService>();
        quiet->SetCaption(QStringLiteral("Склад"));
        failed.Add(std::move(quiet));
        QList<TBaseService *> list{failed.Items(0), failed.Items(1)};

        TSrvList window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Не загружено"));
        QCOMPARE(window.ListView1->headerItem()->text(0), QStringLiteral("Сервис"));
        QCOMPARE(window.ListView1->headerItem()->text(1), QStringLiteral("Причина"));
        QCOMPARE(window.ListView1->headerItem()->text(2), QStringLiteral("Библиотека"));
        QCOMPARE(window.ListView1->headerItem()->text(3), QStringLiteral("GUID"));
        QCOMPARE(window.ListView1->columnWidth(1), 295);
        QCOMPARE(window.btClose->text(), QStringLiteral("Закрыть"));
        QVERIFY_THROWS_EXCEPTION(Exception, window.FillList());
        window.SrvObjects = &list;
        window.show();
        QCOMPARE(window.ListView1->topLevelItemCount(), 2);
        QCOMPARE(window.ListView1->topLevelItem(0)->text(1), QStringLiteral("\"Orders.so\" is missing"));
        QCOMPARE(window.ListView1->topLevelItem(0)->text(3), QStringLiteral("{G}"));
        QCOMPARE(window.ListView1->topLevelItem(1)->text(1), QString());

        QList<TBaseService *> none;
        ShowNotLoaded(none);
        QCOMPARE(dialogs->modalClasses, QStringList{"TSrvList"});
    }

    void resourceLibraryImages()
    {
        QVERIFY(!ResourceLibraryLoaded());
        QVERIFY(ResourceBitmap(53).isNull());
        QVERIFY(!LoadResourceLibrary(dir->filePath(QStringLiteral("LumRes.so"))));
        QVERIFY(LoadResourceLibrary(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/LumRes.so")));
        const QPixmap close = ResourceBitmap(53);
        QCOMPARE(close.size(), QSize(16, 16));
        QCOMPARE(ResourceBitmap(62).size(), QSize(32, 32));
        QVERIFY(ResourceBitmap(9999).isNull());
        // The main window's tool bar takes the library's images for its design positions.
        TfmMain main;
        QCOMPARE(&main.ToolBarImages(), &main.ilLarge);
        QCOMPARE(main.ilLarge.Icon(0).pixmap(16, 16).toImage(), ResourceBitmap(60).toImage());
        FreeResourceLibrary();
        QVERIFY(ResourceBitmap(53).isNull());
        TfmMain plain;
        QCOMPARE(&plain.ToolBarImages(), &plain.ilSmall);
    }

    void aboutBox()
    {
        TfmMain main;
        main.acAbout->trigger();
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().text, QStringLiteral("Загрузка библиотеки \"LumConsoleAbout.so\" не успешна"));
        QVERIFY(QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/LumConsoleAbout.so"),
                            dir->filePath(QStringLiteral("LumConsoleAbout.so"))));
        main.acAbout->trigger();
        QCOMPARE(dialogs->modalClasses, QStringList{"TAboutBox"});
        // A library without the entry point.
        QFile::remove(dir->filePath(QStringLiteral("LumConsoleAbout.so")));
        QVERIFY(QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/LumRes.so"),
                            dir->filePath(QStringLiteral("LumConsoleAbout.so"))));
        main.acAbout->trigger();
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("Функция \"LumConsoleAbout.so@ShowAboutBox\" не существует"));
    }

    void systemMenuCommands()
    {
        TfmMain main;
        QCOMPARE(main.miSysHideMinimized->data().toInt(), 1025);
        QCOMPARE(main.miSysFormTop->data().toInt(), 1026);
        QVERIFY(main.miSysHideMinimized->isChecked());
        QVERIFY(!main.miSysFormTop->isChecked());
        main.miSysHideMinimized->trigger();
        QCOMPARE(formValue(QStringLiteral("HideMinimized")), QStringLiteral("0"));
        QVERIFY(!main.miSysHideMinimized->isChecked());
        main.miSysFormTop->trigger();
        QCOMPARE(formValue(QStringLiteral("FormTop")), QStringLiteral("1"));
        QVERIFY(main.miSysFormTop->isChecked());
        QCOMPARE(main.y(), 0);
        main.miSysFormTop->trigger();
        QCOMPARE(formValue(QStringLiteral("FormTop")), QStringLiteral("0"));
    }

    void titleAndStatusPanels()
    {
        TfmMain main;
        main.AppTitle = QStringLiteral("Отчеты");
        main.SetTitle(QStringLiteral("Заказы"));
        QCOMPARE(main.windowTitle(), QStringLiteral("Отчеты - Заказы"));
        main.SetTitle(QString());
        QCOMPARE(main.windowTitle(), QStringLiteral("Отчеты"));
        main.SetStatusPanel(1, QStringLiteral("ZANDRELL"));
        QCOMPARE(main.sbPanels[1]->text(), QStringLiteral("Сервер: 'ZANDRELL'"));
        const QFontMetrics metrics(main.statusBar()->font());
        QCOMPARE(main.sbPanels[1]->width(),
                 metrics.horizontalAdvance(main.sbPanels[1]->text()) + metrics.horizontalAdvance(QLatin1Char('W')));
        // Without a data module the configuration cannot be built: the application is told to end.
        QVERIFY_THROWS_EXCEPTION(EAbort, main.InitConfiguration());
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("TDM - DataModule is not created"));
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Уведомление"));
    }
};

QTEST_MAIN(TestConsoleWindows)
#include "tst_ConsoleWindows.moc"
