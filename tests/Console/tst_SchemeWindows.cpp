// The scheme window, the Oracle Home window and the input dialog, driven as a
// person would: selection, buttons, double click and keys.
#include "IniFile.h"
#include "OracleHomes.h"
#include "RecordingDialogService.h"
#include "uConsoleCfg.h"
#include "uConsoleFunctions.h"
#include "uHomeTuning.h"
#include "uShemaForm.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TempExeDir.h"
#include <QTreeWidget>

class TestSchemeWindows : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    TIniFile ini() const { return TIniFile(dir->filePath(QStringLiteral("Console.ini"))); }
    QString schemesValue(const QString &key) const
    {
        return TIniFile(dir->filePath(QStringLiteral("Console.ini"))).ReadString("SCHEMES", key, "missing");
    }
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
        FinalizeConsoleFunctions();
        delete dir;
        qunsetenv("ZANDRELL_ORATAB");
        qunsetenv("ORACLE_HOME");
    }

    void schemeListAndButtons()
    {
        TShemaForm form;
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Схемы БД"));
        QCOMPARE(form.tvSchemeList->topLevelItemCount(), 1);
        QTreeWidgetItem *root = form.tvSchemeList->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Доступные схемы"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(child(form, 1)->text(0), QStringLiteral("TARVEL"));
        QCOMPARE(form.StaticText1->text(), QStringLiteral("ZANDRELL5"));
        QVERIFY(form.StaticText1->font().bold());
        QVERIFY(!form.btnActivateScheme->isEnabled());
        QVERIFY(!form.btnDelScheme->isEnabled());
        form.tvSchemeList->setCurrentItem(root);
        QVERIFY(!form.btnActivateScheme->isEnabled());
        form.tvSchemeList->setCurrentItem(child(form, 1));
        QVERIFY(form.btnActivateScheme->isEnabled());
        QVERIFY(form.btnDelScheme->isEnabled());
        QVERIFY(qAbs(form.width() - form.height() * 1.618) < 2);

        QTest::mouseClick(form.btnActivateScheme, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.StaticText1->text(), QStringLiteral("TARVEL"));
        QCOMPARE(schemesValue("TARVEL"), QStringLiteral("1"));
        QCOMPARE(schemesValue("ZANDRELL5"), QStringLiteral("0"));
    }

    void activationByDoubleClickAndEnter()
    {
        {
            TShemaForm form;
            form.show();
            QTreeWidgetItem *item = child(form, 1);
            form.tvSchemeList->setCurrentItem(item);
            emit form.tvSchemeList->itemDoubleClicked(item, 0);
            QCOMPARE(schemesValue("TARVEL"), QStringLiteral("1"));
        }
        {
            TShemaForm form;
            form.show();
            form.tvSchemeList->setCurrentItem(child(form, 1));
            QTest::keyClick(form.tvSchemeList, Qt::Key_Down);
            QVERIFY(form.tvSchemeList->currentItem() == nullptr || form.tvSchemeList->currentItem()->parent());
            form.tvSchemeList->setCurrentItem(child(form, 0));
            QTest::keyClick(form.tvSchemeList, Qt::Key_Return);
            QCOMPARE(schemesValue("ZANDRELL5"), QStringLiteral("1"));
            QCOMPARE(schemesValue("TARVEL"), QStringLiteral("0"));
            QCOMPARE(form.result(), int(QDialog::Accepted));
        }
        {
            // Esc leaves with OK, like the Exit button.
            TShemaForm form;
            form.show();
            QTest::keyClick(&form, Qt::Key_Escape);
            QCOMPARE(form.result(), int(QDialog::Accepted));
        }
    }

    void deleteWithConfirmation()
    {
        TShemaForm form;
        form.show();
        form.tvSchemeList->setCurrentItem(child(form, 1));
        dialogs->answers = {IDNO};
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("\"TARVEL\""));
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Удаление схемы"));
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
            [&] {
                QCOMPARE(input->windowTitle(), QStringLiteral("Новая схема"));
                QCOMPARE(input->labelText(), QStringLiteral("Название"));
            }();
            input->setTextValue(typed);
            return int(QDialog::Accepted);
        };
        QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        QCOMPARE(schemesValue("NEW_ONE"), QStringLiteral("0"));
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 3);
        QCOMPARE(child(form, 2)->text(0), QStringLiteral("NEW_ONE"));

        // An empty name is ignored: no key, no node.
        typed = QStringLiteral("   ");
        QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        QCOMPARE(ini().ReadSection("SCHEMES").size(), 3);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 3);

        // A name Console.ini cannot hold is reported, nothing is added.
        typed = QStringLiteral("A=B");
        QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        QCOMPARE(ini().ReadSection("SCHEMES").size(), 3);
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

    void homeEntries()
    {
        dir->write(QStringLiteral("oratab"), "# comment\nORCL:/opt/A:N\nTEST:/opt/B:Y\nDUP:/opt/A:N\n");
        qputenv("ZANDRELL_ORATAB", dir->filePath(QStringLiteral("oratab")).toLocal8Bit());
        qputenv("ORACLE_HOME", "/opt/D");
        TfmHomeTuning form;
        QStringList items;
        for (int i = 0; i < form.cbHome->count(); ++i)
            items << form.cbHome->itemText(i);
        QCOMPARE(items, (QStringList{"Default [/opt/D]", "Home0 [/opt/A]", "Home1 [/opt/B]", "Home2", "Home3", "Home4",
                                     "Home5"}));
        TOracleHomes none;
        QCOMPARE(TfmHomeTuning::HomeEntries(none).first(), QStringLiteral("Default"));
        QCOMPARE(TfmHomeTuning::HomeEntries(none).size(), 7);
    }

    void homeSelectionAndActivation()
    {
        dir->write(QStringLiteral("Console.ini"), "[CONNECTION]\nhome=9\n");
        TfmHomeTuning form;
        // An impossible stored home goes back to 0 when the window opens.
        QCOMPARE(ini().ReadString("CONNECTION", "home", ""), QStringLiteral("0"));
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
        QCOMPARE(form.labActiveHome->text(), QStringLiteral("Активный \"Oracle Home\""));
    }

    void showHomeDialogReturnsTheStoredHome()
    {
        dir->write(QStringLiteral("Console.ini"), "[CONNECTION]\nhome=2\n");
        dialogs->onModal = [&](QDialog *dialog) {
            auto *form = qobject_cast<TfmHomeTuning *>(dialog);
            [&] { QCOMPARE(form->stActiveHome->text(), form->cbHome->itemText(2)); }();
            form->cbHome->setCurrentIndex(5);
            form->Activate();
            return form->result();
        };
        QCOMPARE(ShowHomeDialog(), 5);
        // Exit writes nothing.
        dialogs->onModal = nullptr;
        QCOMPARE(ShowHomeDialog(), 5);
    }

    void inputQueryFallbackCutsToTheLimit()
    {
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
        value = QStringLiteral("kept");
        QVERIFY(!lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, 3));
        QCOMPARE(value, QStringLiteral("kept"));
    }

    void missingFormLibrary()
    {
        InitConsoleFunctions();
        QVERIFY(!ComFormLibLoaded());
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().text,
                 QStringLiteral("KoConsole: uConsoleFunctions.ComFormLibLoad: ComformLibs.so library is not found"));
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("tst_SchemeWindows"));
        QCOMPARE(dialogs->boxes.first().flags, 0u);
        void *entry = nullptr;
        QVERIFY(!ComFormLibLoad(QStringLiteral("lumInputQuery"), &entry));
        QCOMPARE(dialogs->boxes.size(), 1);
    }

    void formLibraryDialog()
    {
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        QVERIFY(QFile::copy(dist + QStringLiteral("/ComformLibs.so"), dir->filePath(QStringLiteral("ComformLibs.so"))));
        InitConsoleFunctions();
        QVERIFY(ComFormLibLoaded());
        QVERIFY(dialogs->boxes.isEmpty());
        void *entry = nullptr;
        QVERIFY(!ComFormLibLoad(QStringLiteral("NoSuchEntry"), &entry));
        QCOMPARE(dialogs->boxes.last().text,
                 QStringLiteral("KorConsole: uConsoleFunctions.ComFormLibLoad: \"ComformLibs.so@NoSuchEntry\" procedure is not found"));

        QString seenCaption, seenOk;
        dialogs->onModal = [&](QDialog *dialog) {
            seenCaption = dialog->windowTitle();
            for (QPushButton *b : dialog->findChildren<QPushButton *>())
                if (b->isDefault())
                    seenOk = b->text();
            auto *edit = dialog->findChild<QLineEdit *>();
            [&] { QCOMPARE(edit->text(), QStringLiteral("start")); }();
            edit->setText(QStringLiteral("typed value"));
            return int(QDialog::Accepted);
        };
        QString value = QStringLiteral("start");
        QVERIFY(lumInputQuery("Library caption", "Prompt", "Apply", "Cancel", value, 5));
        QCOMPARE(value, QStringLiteral("typed"));
        QCOMPARE(seenCaption, QStringLiteral("Library caption"));
        QCOMPARE(seenOk, QStringLiteral("Apply"));
        QCOMPARE(dialogs->modalClasses.last(), QStringLiteral("TLumInputDialog"));
    }
};

QTEST_MAIN(TestSchemeWindows)
#include "tst_SchemeWindows.moc"
