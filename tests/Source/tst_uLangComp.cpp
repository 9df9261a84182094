// Run-time translation of forms: the text rules, the walk over a form's
// components, what the adapters write back, and a form translated once when
// it is first shown.
#include "Core/Exceptions.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "Source/ComUnits/Lang/uLangComp.h"
#include "tests/common/FakeLanguages.h"

#include <QActionGroup>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> kWords = {
    {u"Файл"_s, u"File"_s},
    {u"Имя"_s, u"Name"_s},
    {u"Открыть"_s, u"Open"_s},
    {u"Сохранить"_s, u"Save"_s},
    {u"Подсказка"_s, u"Hint"_s},
    {u"Форма"_s, u"Form"_s},
    {u"Да"_s, u"Yes, that is quite right"_s},
};

// Translates from kWords and records every text it is asked for.
struct Dictionary {
    QStringList asked;
    void operator()(QString &text)
    {
        asked.append(text);
        text = kWords.value(text, text);
    }
};

template <class T>
T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// The form of the walk: components of every kind, some reached in more than one way.
struct WalkForm {
    QWidget form;
    WalkForm()
    {
        form.setObjectName(u"fmTest"_s);
        named(new QLabel(u"Имя"_s, &form), "lblName");
        auto *group = named(new QGroupBox(u"Файл"_s, &form), "gbMain");
        named(new QLineEdit(group), "edName");
        named(new QComboBox(&form), "cbKind")->setEditable(true);
        auto *bar = named(new QMenuBar(&form), "mbMain");
        QMenu *file = named(bar->addMenu(u"Файл"_s), "miFile");
        named(file->addAction(u"Открыть"_s), "miOpen");
        auto *exit = named(new QAction(u"Выход"_s, &form), "acExit");
        file->addAction(exit);
        auto *tools = named(new QToolBar(&form), "tbMain");
        tools->addAction(exit);
        tools->addAction(named(new QAction(u"Сервис"_s, &form), "acTool"));
        auto *group2 = named(new QActionGroup(&form), "alMain");
        group2->addAction(named(new QAction(u"Сохранить"_s, &form), "acSave"));
        auto *dataSet = named(new TDataSet(&form), "dsMain");
        dataSet->AddField(u"NAME"_s, TFieldType::ftString, 20);
    }
    TComponentList find(const QStringList &names)
    {
        TComponentList found;
        for (const QString &name : names)
            found.append(name == form.objectName() ? &form : form.findChild<QObject *>(name));
        return found;
    }
};

QStringList namesOfItems(const TLang &lang)
{
    QStringList names;
    for (int i = 0; i < lang.Count(); ++i)
        if (const QString name = lang.Items(i)->Ext()->Name(); !name.isEmpty())
            names.append(name);
    return names;
}

// A language pack that counts the texts it is asked to translate.
class CountingLanguages : public FakeLanguages {
public:
    enum Answer { Translation, Empty, Failure, Kept, NoPack }; // kept: the caption is one the pack never translates
    Answer answer = Translation;
    int asked = 0;
    void RESOURCE_APL_TXT(QString &text) override
    {
        ++asked;
        if (answer == Failure)
            throw Exception(u"ORA-03113: end-of-file on communication channel"_s);
        if (answer == Empty)
            text.clear();
        else
            FakeLanguages::RESOURCE_APL_TXT(text);
    }
};

// A form as the base forms use the translation: once, when it is first shown.
class ShownForm : public QWidget {
public:
    TFormTranslation translation;
    QLabel *caption = named(new QLabel(this), "lblCaption");
    QLabel *kept = named(new QLabel(u"Имя"_s, this), "lblKept");
    QStringList errors;
    ShownForm() { translation.AddNoTranslate(kept); }

protected:
    void showEvent(QShowEvent *event) override
    {
        QWidget::showEvent(event);
        try {
            translation.TranslateOnce(this);
        } catch (const Exception &e) {
            errors.append(e.message());
        }
    }
};

} // namespace

class TestLangComp : public QObject {
    Q_OBJECT
private slots:
    // The rules for one text, by the flags its item gets.
    void textTranslation_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("asked"); // the texts asked for, "|" between them
        const int button = lfStripMarker | lfAccel, label = button | lfSegments, edit = lfStripMarker;
        const int memo = lfMultiLine | lfSegments | lfStripMarker;
        QTest::newRow("word") << button << "" << u"Файл"_s << u"File"_s << u"Файл"_s;
        QTest::newRow("accel at 3") << button << "" << u"Фа&йл"_s << u"Fi&le"_s << u"Файл"_s;
        QTest::newRow("accel clamped to a shorter translation")
            << button << "" << u"Сохран&ить"_s << u"Save&"_s << u"Сохранить"_s;
        QTest::newRow("accel after &&") << button << "" << u"Д&&а &нет"_s << u"Д&&а &нет"_s << u"Д&&а нет"_s;
        QTest::newRow("& beyond ten characters")
            << button << "" << u"Сохранить &как"_s << u"Сохранить &как"_s << u"Сохранить &как"_s;
        QTest::newRow("edit keeps its &") << edit << "" << u"&Файл"_s << u"&Файл"_s << u"&Файл"_s;
        QTest::newRow("caption equal to name") << button << "lblName" << u"lblName"_s << u"lblName"_s << u""_s;
        QTest::newRow("marker stripped") << button << "" << u"//Файл"_s << u"Файл"_s << u""_s;
        QTest::newRow("marker dropped") << (button | lfDropMarked) << "" << u" //Файл"_s << u" "_s << u""_s;
        QTest::newRow("blank") << button << "" << u"   "_s << u"   "_s << u""_s;
        QTest::newRow("label segments") << label << "" << u"Файл | Имя"_s << u"File Name"_s << u"Файл|Имя"_s;
        QTest::newRow("button one segment") << button << "" << u"Файл | Имя"_s << u"Файл Имя"_s << u"Файл Имя"_s;
        QTest::newRow("accel in the first segment only")
            << label << "" << u"&Файл | &Имя"_s << u"&File &Имя"_s << u"Файл|&Имя"_s;
        QTest::newRow("memo lines, blank line kept")
            << memo << "" << u"Файл\n\n  Имя"_s << u"File\n\n  Name"_s << u"Файл|Имя"_s;
        QTest::newRow("memo CR LF") << memo << "" << u"Файл\r\nИмя"_s << u"File\nName"_s << u"Файл|Имя"_s;
        QTest::newRow("memo line equal to name") << memo << "mmNote" << u"mmNote"_s << u"mmNote"_s << u""_s;
        QTest::newRow("name rule for one line only")
            << memo << "Имя" << u"Файл\nИмя"_s << u"File\nName"_s << u"Файл|Имя"_s;
    }
    void textTranslation()
    {
        QFETCH(int, flags);
        QFETCH(QString, name);
        QFETCH(QString, text);
        Dictionary dictionary;
        const QString result =
            TranslateItemText(text, quint8(flags), name, [&dictionary](QString &piece) { dictionary(piece); });
        QTEST(result, "expected");
        QFETCH(QString, asked);
        QCOMPARE(dictionary.asked, asked.isEmpty() ? QStringList() : asked.split(u'|'));
    }

    // Without a callback nothing is translated, but markers and separators still go.
    void noCallback()
    {
        QCOMPARE(TranslateItemText(u"//Файл | Имя"_s, lfStripMarker | lfAccel, {}, {}), u"Файл Имя"_s);
    }

    // Which components a walk adds, in order (named ones; Qt's unnamed helpers are left aside).
    void walk_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("skipDuplicates");
        QTest::addColumn<QStringList>("leaveOut");
        QTest::addColumn<QStringList>("expected");
        const QStringList owned = {u"lblName"_s, u"edName"_s, u"gbMain"_s, u"cbKind"_s, u"miOpen"_s, u"miFile"_s,
                                   u"mbMain"_s,  u"acExit"_s, u"tbMain"_s, u"acTool"_s, u"acSave"_s, u"NAME"_s};
        auto without = [&owned](const QStringList &names) {
            QStringList rest = owned;
            for (const QString &name : names)
                rest.removeAll(name);
            return rest << u"fmTest"_s;
        };
        QTest::newRow("owned") << 1 << false << QStringList{} << owned + QStringList{u"fmTest"_s};
        QTest::newRow("owned, not itself") << 5 << false << QStringList{} << owned;
        QTest::newRow("menu left out: its items and its actions")
            << 1 << false << QStringList{u"miFile"_s} << without({u"miOpen"_s, u"miFile"_s, u"acExit"_s});
        QTest::newRow("tool bar left out: the actions it lists")
            << 1 << false << QStringList{u"tbMain"_s} << without({u"tbMain"_s, u"acExit"_s, u"acTool"_s});
        QTest::newRow("action group left out") << 1 << false << QStringList{u"alMain"_s} << without({u"acSave"_s});
        QTest::newRow("data set left out: its fields")
            << 1 << false << QStringList{u"dsMain"_s} << without({u"NAME"_s});
        QTest::newRow("form left out") << 1 << false << QStringList{u"fmTest"_s} << QStringList{};
        const QStringList parts = {u"lblName"_s, u"edName"_s, u"gbMain"_s, u"cbKind"_s,
                                   u"miOpen"_s,  u"acExit"_s, u"miFile"_s, u"mbMain"_s};
        QTest::newRow("parts, duplicates kept")
            << 2 << true << QStringList{}
            << parts + QStringList{u"acExit"_s, u"acTool"_s, u"acExit"_s, u"acTool"_s, u"tbMain"_s, u"fmTest"_s};
        // A menu's items come with the menu, before the actions the form owns.
        QTest::newRow("owned and parts, each once")
            << 3 << false << QStringList{}
            << QStringList{u"lblName"_s, u"edName"_s, u"gbMain"_s, u"cbKind"_s, u"miOpen"_s, u"acExit"_s, u"miFile"_s,
                           u"mbMain"_s,  u"acTool"_s, u"tbMain"_s, u"acSave"_s, u"NAME"_s,   u"fmTest"_s};
    }
    void walk()
    {
        QFETCH(int, flags);
        QFETCH(bool, skipDuplicates);
        QFETCH(QStringList, leaveOut);
        WalkForm fixture;
        TLang lang;
        lang.SkipDuplicateCheck = skipDuplicates;
        TLangItem *last = lang.AddComponents(&fixture.form, fixture.find(leaveOut), quint8(flags));
        QTEST(namesOfItems(lang), "expected");
        QCOMPARE(last, lang.Count() ? lang.Items(lang.Count() - 1) : nullptr);
    }

    // What the adapters write back; a destroyed component is skipped.
    void translateAll()
    {
        QWidget form;
        form.setObjectName(u"fmTest"_s);
        form.setWindowTitle(u"Форма"_s);
        auto *layout = new QVBoxLayout(&form);
        auto add = [layout](auto *widget, const char *name) {
            layout->addWidget(named(widget, name));
            return widget;
        };
        QLabel *sameAsName = add(new QLabel(u"lblName"_s), "lblName");
        QLabel *pair = add(new QLabel(u"Файл | Имя"_s), "lblPair");
        QPushButton *button = add(new QPushButton(u"Фа&йл | Имя"_s), "btnPair");
        QLabel *fixed = add(new QLabel(u"Имя"_s), "lblFixed");
        fixed->setProperty("tag", kLangNoTranslateTag);
        fixed->setToolTip(u"Подсказка"_s);
        QLineEdit *edit = add(new QLineEdit(u"Файл"_s), "edName");
        QPlainTextEdit *memo = add(new QPlainTextEdit(u"Файл\nИмя"_s), "mmNote");
        QListWidget *list = add(new QListWidget, "lbList");
        list->addItems({u"Файл"_s, u"&Имя"_s});
        QComboBox *combo = add(new QComboBox, "cbEdit");
        combo->setEditable(true);
        combo->addItems({u"Файл"_s, u"Имя"_s});
        combo->setCurrentIndex(1);
        QSignalSpy changes(combo, &QComboBox::currentIndexChanged);
        QCalendarWidget *calendar = add(new QCalendarWidget, "cdDate");
        auto *bar = named(new QMenuBar(&form), "mbMain");
        QMenu *file = named(bar->addMenu(u"&Файл"_s), "miFile");
        QAction *fixedItem = named(file->addAction(u"Имя"_s), "miFixed");
        fixedItem->setProperty("tag", kLangNoTranslateTag);
        fixedItem->setToolTip(u"Подсказка"_s);
        auto *open = named(new QAction(u"Открыть"_s, &form), "acOpen");
        auto *loose = named(new QLabel(u"Да"_s, &form), "lblFree"); // outside the layout
        loose->setGeometry(0, 0, 10, 10);
        auto *gone = named(new QLabel(u"Файл"_s, &form), "lblGone");

        Dictionary dictionary;
        TLang lang;
        lang.OnTranslateText = [&dictionary](TLang &, TLangItem &, QString &text) { dictionary(text); };
        lang.AddComponents(&form, {}, lwOwned | lwParts);
        delete gone;
        lang.TranslateAll();

        // What each adapter wrote back; an action's tool tip still follows its caption.
        QCOMPARE((QStringList{form.windowTitle(), sameAsName->text(), pair->text(), button->text(), fixed->text(),
                              fixed->toolTip(), edit->text(), memo->toPlainText(), list->item(0)->text(),
                              list->item(1)->text(), file->title(), fixedItem->text(), fixedItem->toolTip(),
                              open->text(), open->toolTip()}),
                 (QStringList{u"Form"_s, u"lblName"_s, u"File Name"_s, u"Фа&йл Имя"_s, u"Имя"_s, u"Hint"_s, u"File"_s,
                              u"File\nName"_s, u"File"_s, u"&Name"_s, u"&File"_s, u"Имя"_s, u"Hint"_s, u"Open"_s,
                              u"Open"_s}));
        // A combo box keeps its selected item, and says nothing of a change.
        QCOMPARE(combo->itemText(0) + combo->itemText(1) + combo->currentText(), u"FileNameName"_s);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(dictionary.asked.count(u"Имя"_s), 5);
        QCOMPARE(dictionary.asked.count(u"Открыть"_s), 1);
        QVERIFY(!dictionary.asked.contains(u"Name"_s)); // the combo box's own line edit is no component
        // Nor are the parts Qt makes for itself, such as a calendar's month button.
        QVERIFY(!dictionary.asked.contains(calendar->locale().monthName(calendar->monthShown())));
        QCOMPARE(loose->size(), loose->sizeHint());
    }

    // A form translates itself once, when it is first shown, through the language pack.
    void formTranslatedOnce_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("errors");
        using L = CountingLanguages;
        QTest::newRow("translated") << int(L::Translation) << u"Файл"_s << u"File"_s << 1 << 0;
        QTest::newRow("Latin not sent") << int(L::Translation) << u"File"_s << u"File"_s << 0 << 0;
        QTest::newRow("given back unchanged") << int(L::Translation) << u"Сервис"_s << u"!Сервис"_s << 1 << 0;
        QTest::newRow("given back empty") << int(L::Empty) << u"Сервис"_s << u"?Сервис"_s << 1 << 0;
        QTest::newRow("kept by the pack") << int(L::Kept) << u"Файл"_s << u"Файл"_s << 0 << 0;
        QTest::newRow("pack fails") << int(L::Failure) << u"Файл"_s << u"Файл"_s << 1 << 1;
        QTest::newRow("no pack") << int(L::NoPack) << u"Файл"_s << u"Файл"_s << 0 << 0;
    }
    void formTranslatedOnce()
    {
        QFETCH(int, answer);
        QFETCH(QString, caption);
        std::optional<CountingLanguages> languages;
        if (answer != CountingLanguages::NoPack) {
            languages.emplace();
            languages->apl.insert(u"Файл"_s, u"File"_s);
            languages->apl.insert(u"Имя"_s, u"Name"_s);
            languages->answer = CountingLanguages::Answer(answer);
            if (answer == CountingLanguages::Kept)
                languages->UntranslatedTexts.append(caption);
        }
        ShownForm form;
        QCOMPARE(form.translation.Pending(), languages.has_value());
        form.caption->setText(caption);
        for (int showing = 0; showing < 2; ++showing) {
            form.show();
            form.hide();
            QTEST(form.caption->text(), "expected");
            QCOMPARE(form.kept->text(), u"Имя"_s);
            QTEST(languages ? languages->asked : 0, "asked");
            QTEST(int(form.errors.size()), "errors");
            QVERIFY(!form.translation.Pending());
        }
    }
};

QTEST_MAIN(TestLangComp)
#include "tst_uLangComp.moc"
