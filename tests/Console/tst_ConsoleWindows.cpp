// The console's windows and commands besides the main window: the scheme
// window, the Oracle Home window and the input dialog, driven as a person
// would (selection, buttons, double click and keys); the settings window,
// the not-loaded services window, the resource library's images, the about
// box and the two commands that stand in for the system menu.
#include "IniFile.h"
#include "MainConsoleIMPL.h"
#include "OracleHomes.h"
#include "RecordingDialogService.h"
#include "ResourceLibrary.h"
#include "TempExeDir.h"
#include "uBaseService.h"
#include "uConfigConsole.h"
#include "uConsoleCfg.h"
#include "uConsoleFunctions.h"
#include "uHomeTuning.h"
#include "uShemaForm.h"
#include "uSrvShow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

class TestConsoleWindows : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    TIniFile ini() const { return TIniFile(dir->filePath(QStringLiteral("Console.ini"))); }
    QString formValue(const QString &key) const { return ini().ReadString(QStringLiteral("FORM"), key, QStringLiteral("missing")); }
    QString schemesValue(const QString &key) const { return ini().ReadString("SCHEMES", key, "missing"); }
    static QTreeWidgetItem *child(TShemaForm &form, int i) { return form.tvSchemeList->topLevelItem(0)->child(i); }

private slots:
    void init()
    {
        dir = new TempExeDir;
        dialogs = new RecordingDialogService;
        dir->write(QStringLiteral("Console.ini"), "[SCHEMES]\nZANDRELL5=1\nTARVEL=0\n");
    }
    void cleanup()
    {
        delete dialogs;
        FreeResourceLibrary();
        FinalizeConsoleFunctions();
        delete dir;
        qunsetenv("ZANDRELL_ORATAB");
        qunsetenv("ORACLE_HOME");
    }

    // A scheme (not the root) is activated by its button, a double click or Enter; Esc leaves with OK too.
    void schemeListAndActivation_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"button", "double click", "Enter", "Esc"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void schemeListAndActivation()
    {
        QFETCH(QString, how);
        TShemaForm form;
        form.show();
        QTreeWidgetItem *root = form.tvSchemeList->topLevelItem(0);
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(form.StaticText1->text(), QStringLiteral("ZANDRELL5"));
        QVERIFY(form.StaticText1->font().bold());
        QVERIFY(!form.btnActivateScheme->isEnabled() && !form.btnDelScheme->isEnabled());
        form.tvSchemeList->setCurrentItem(root);
        QVERIFY(!form.btnActivateScheme->isEnabled());
        form.tvSchemeList->setCurrentItem(child(form, 1));
        QVERIFY(form.btnActivateScheme->isEnabled() && form.btnDelScheme->isEnabled());
        if (how == QLatin1String("button"))
            QTest::mouseClick(form.btnActivateScheme, Qt::LeftButton);
        else if (how == QLatin1String("double click"))
            emit form.tvSchemeList->itemDoubleClicked(child(form, 1), 0);
        else if (how == QLatin1String("Enter"))
            QTest::keyClick(form.tvSchemeList, Qt::Key_Return);
        else
            QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const bool activated = how != QLatin1String("Esc");
        QCOMPARE(schemesValue("TARVEL"), activated ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(schemesValue("ZANDRELL5"), activated ? QStringLiteral("0") : QStringLiteral("1"));
        QCOMPARE(form.StaticText1->text(), activated ? QStringLiteral("TARVEL") : QStringLiteral("ZANDRELL5"));
    }

    void deleteWithConfirmation()
    {
        TShemaForm form;
        form.show();
        form.tvSchemeList->setCurrentItem(child(form, 1));
        dialogs->answers = {IDNO};
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("\"TARVEL\""));
        QCOMPARE(dialogs->boxes.last().flags, unsigned(MB_ICONQUESTION | MB_YESNO));
        QCOMPARE(schemesValue("TARVEL"), QStringLiteral("0"));
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 2);

        dialogs->answers = {IDYES};
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QCOMPARE(schemesValue("TARVEL"), QStringLiteral("missing"));
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 1);
        QCOMPARE(form.Schemes, QStringList{"ZANDRELL5"});

        // The active scheme may be deleted; the label stays as it was.
        form.tvSchemeList->setCurrentItem(child(form, 0));
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QCOMPARE(form.StaticText1->text(), QStringLiteral("ZANDRELL5"));
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 0);
    }

    void newSchemeThroughTheInputDialog()
    {
        TShemaForm form;
        form.show();
        QString typed = QStringLiteral("NEW_ONE");
        dialogs->onModal = [&](QDialog *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            if (!input)
                return int(QDialog::Rejected);
            input->setTextValue(typed);
            return int(QDialog::Accepted);
        };
        // A name is added, not active; an empty one, or one Console.ini cannot hold, is reported and not
        // added; the active scheme typed again stays active and listed once.
        for (const char *name : {"NEW_ONE", "   ", "A=B", "zandrell5"}) {
            typed = QString::fromLatin1(name);
            QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        }
        QCOMPARE(ini().ReadSection("SCHEMES"), (QStringList{"ZANDRELL5", "TARVEL", "NEW_ONE"}));
        QCOMPARE(schemesValue("NEW_ONE"), QStringLiteral("0"));
        QCOMPARE(schemesValue("ZANDRELL5"), QStringLiteral("1"));
        QCOMPARE(child(form, 2)->text(0), QStringLiteral("NEW_ONE"));
        QCOMPARE(dialogs->boxes.size(), 2);
        QCOMPARE(dialogs->boxes.last().flags, unsigned(MB_ICONERROR));
        // Cancel adds nothing.
        dialogs->onModal = nullptr;
        QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 3);
    }

    void showSchemeDialogReturnsTheActiveScheme()
    {
        dialogs->onModal = [&](QDialog *dialog) {
            auto *form = qobject_cast<TShemaForm *>(dialog);
            form->show();
            form->tvSchemeList->setCurrentItem(child(*form, 1));
            form->ActivateSelectedScheme();
            return form->result();
        };
        QCOMPARE(ShowSchemeDialog(), QStringLiteral("TARVEL"));
        QCOMPARE(dialogs->modalClasses, QStringList{"TShemaForm"});
    }

    void homeWindow()
    {
        dir->write(QStringLiteral("oratab"), "# comment\nORCL:/opt/A:N\nTEST:/opt/B:Y\nDUP:/opt/A:N\n");
        qputenv("ZANDRELL_ORATAB", dir->filePath(QStringLiteral("oratab")).toLocal8Bit());
        qputenv("ORACLE_HOME", "/opt/D");
        // An impossible stored home goes back to 0 when the window opens.
        dir->write(QStringLiteral("Console.ini"), "[CONNECTION]\nhome=9\n");
        TfmHomeTuning form;
        QCOMPARE(ReadHome(), 0);
        QStringList items;
        for (int i = 0; i < form.cbHome->count(); ++i)
            items << form.cbHome->itemText(i);
        QCOMPARE(items, (QStringList{"Default [/opt/D]", "Home0 [/opt/A]", "Home1 [/opt/B]", "Home2", "Home3", "Home4", "Home5"}));
        QCOMPARE(TfmHomeTuning::HomeEntries(TOracleHomes()).size(), 7);
        // Activate only for another home than the stored one.
        QCOMPARE(form.cbHome->currentIndex(), 0);
        QVERIFY(!form.btnActivate->isEnabled());
        form.cbHome->setCurrentIndex(4);
        QVERIFY(form.btnActivate->isEnabled());
        form.cbHome->setCurrentIndex(0);
        QVERIFY(!form.btnActivate->isEnabled());
        form.cbHome->setCurrentIndex(3);
        QTest::mouseClick(form.btnActivate, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(ReadHome(), 3);
        // The dialog opens on the stored home and returns the one activated; Exit writes nothing.
        dialogs->onModal = [&](QDialog *dialog) {
            auto *home = qobject_cast<TfmHomeTuning *>(dialog);
            [&] { QCOMPARE(home->stActiveHome->text(), home->cbHome->itemText(3)); }();
            home->cbHome->setCurrentIndex(5);
            home->Activate();
            return home->result();
        };
        QCOMPARE(ShowHomeDialog(), 5);
        dialogs->onModal = nullptr;
        QCOMPARE(ShowHomeDialog(), 5);
    }

    // Without the form library the built-in input dialog is used, and the library's absence is told once.
    void inputQueryWithoutTheFormLibrary()
    {
        InitConsoleFunctions();
        QVERIFY(!ComFormLibLoaded());
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.first().text.contains(QStringLiteral("ComformLibs.so")));
        void *entry = nullptr;
        QVERIFY(!ComFormLibLoad(QStringLiteral("lumInputQuery"), &entry));
        QCOMPARE(dialogs->boxes.size(), 1);
        QString value = QStringLiteral("old");
        dialogs->onModal = [](QDialog *dialog) {
            qobject_cast<QInputDialog *>(dialog)->setTextValue(QStringLiteral("abcdef"));
            return int(QDialog::Accepted);
        };
        QVERIFY(lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, 3));
        QCOMPARE(value, QStringLiteral("abc"));
        QVERIFY(lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, -1));
        QCOMPARE(value, QStringLiteral("abcdef"));
        dialogs->onModal = nullptr;
        QVERIFY(!lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, 3));
        QCOMPARE(value, QStringLiteral("abcdef"));
    }

    void formLibraryDialog()
    {
        QVERIFY(QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/ComformLibs.so"),
                            dir->filePath(QStringLiteral("ComformLibs.so"))));
        InitConsoleFunctions();
        QVERIFY(ComFormLibLoaded());
        void *entry = nullptr;
        QVERIFY(!ComFormLibLoad(QStringLiteral("NoSuchEntry"), &entry));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.last().text.contains(QStringLiteral("\"ComformLibs.so@NoSuchEntry\"")));
        QStringList seen;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>();
            seen << dialog->windowTitle() << edit->text();
            for (QPushButton *b : dialog->findChildren<QPushButton *>())
                if (b->isDefault())
                    seen << b->text();
            edit->setText(QStringLiteral("typed value"));
            return int(QDialog::Accepted);
        };
        QString value = QStringLiteral("start");
        QVERIFY(lumInputQuery("Library caption", "Prompt", "Apply", "Cancel", value, 5));
        QCOMPARE(value, QStringLiteral("typed"));
        QCOMPARE(seen, (QStringList{"Library caption", "start", "Apply"}));
        QCOMPARE(dialogs->modalClasses.last(), QStringLiteral("TLumInputDialog"));
    }

    void settingsWindowLoadsAndWrites()
    {
        dir->write(QStringLiteral("Console.ini"), "[FORM]\nHideMinimized=0\nFormTop=1\nViewLogo=0\nCreateSeps=1\nMiniTB=1\n");
        TfmConfigConsole form;
        form.show();
        QVERIFY(!form.chHideMinimized->isChecked());
        QVERIFY(form.chFormTop->isChecked());
        QVERIFY(form.chCreateSeparators->isChecked());
        QCOMPARE(form.ButtonSizeIndex(), 1);

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
        TBaseService service, quiet;
        service.SetCaption(QStringLiteral("Заказы"));
        service.SetDescription(QStringLiteral("\"Orders.so\" is missing"));
        service.SetGuid(QStringLiteral("{G}"));
        quiet.SetCaption(QStringLiteral("Склад"));
        QList<TBaseService *> list{&service, &quiet};
        TSrvList window;
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

    void statusPanelAndNoDataModule()
    {
        TfmMain main;
        main.SetStatusPanel(1, QStringLiteral("ZANDRELL"));
        QVERIFY(main.sbPanels[1]->width() > QFontMetrics(main.statusBar()->font()).horizontalAdvance(main.sbPanels[1]->text()));
        // Without a data module the configuration cannot be built: the application is told to end.
        QVERIFY_THROWS_EXCEPTION(EAbort, main.InitConfiguration());
        QCOMPARE(dialogs->boxes.size(), 1);
    }
};

QTEST_MAIN(TestConsoleWindows)
#include "tst_ConsoleWindows.moc"
