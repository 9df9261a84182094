#include "Console/uConsoleFunctions.h"

#include "Console/uConsoleCfg.h"
#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/Lang/uLangComp.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uComFormLibs.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QMenu>
#include <QWidget>

#include <memory>

namespace {

struct TextPair {
    const char *ru;
    const char *en;
};

// In the order of TConsoleText.
const TextPair kConsoleTexts[ctConsoleTextCount] = {
    {"Загрузка библиотеки \"%s\" не успешна", "Loading of the library \"%s\" failed"},
    {"Функция \"%s\" не существует", "Function \"%s\" does not exist"},
    {"Некорректный сервис", "Incorrect service"},
    {"Активный \"Oracle Home\"", "Active \"Oracle Home\""},
    {"Список всех библиотек", "List of all libraries"},
    {"Список сервисов текущей конфигурации", "Services of the current configuration"},
    {"Прижимать к верхнему краю экрана", "Keep at the top edge of the screen"},
    {"К верхнему краю", "To the top edge"},
    {"Скрывать свернутое", "Hide when minimized"},
    {"Скрывать свернутое", "Hide when minimized"},
    {"Показывать логотип при загрузке", "Show the logo while loading"},
    {"Панель инструментов", "Tool bar"},
    {"Размер кнопок", "Button size"},
    {"Разделители пунктов меню", "Menu item separators"},
    {"Выбор сервиса для пункта меню", "Service for the menu item"},
    {"Синхронизировать выделение прав", "Synchronize the selection of rights"},
    {"Права доступа", "Access rights"},
    {"Сервис не выбран", "No service is selected"},
    {"Новые сервисы не обнаружены", "No new services found"},
    {"Загрузка списка сервисов", "Service list loading"},
    {"Регистрация сервиса", "Service registration"},
    {"Удалить сервис \"%s\"?", "Delete the service \"%s\"?"},
    {"Настройка меню", "Menu set-up"},
    {"Конфигурация меню", "Menu configuration"},
    {"Список сервисов", "Services"},
    {"Допуск для пользователя", "Access for the user"},
    {"Создать как", "Create as"},
    {"Создать как \"%s\"", "Create as \"%s\""},
    {"Добавить допуск", "Add access"},
    {"Редактировать допуск", "Edit access"},
    {"Переименовать меню", "Rename menu"},
    {"Удалить меню", "Delete menu"},
    {"Удалить меню \"%s\"?", "Delete the menu \"%s\"?"},
    {"Добавить меню", "Add menu"},
    {"Добавить пункт меню", "Add menu item"},
    {"Удалить пункт меню", "Delete menu item"},
    {"Удалить пункт меню \"%s\"?", "Delete the menu item \"%s\"?"},
    {"Удалить все вхождения сервиса из меню", "Remove the service from every menu"},
    {"Удалить все вхождения сервиса \"%s\" из меню?", "Remove the service \"%s\" from every menu?"},
    {"Кнопка", "Button"},
    {"Нельзя удалить, пока закреплены пользователи", "Cannot be deleted while users are attached"},
    {"Автообновление", "Autoupdate"},
    {"Запуск автообновления", "Autoupdate launch"},
    {"Время ожидания истекло", "Waiting time expired"},
    {"Пользователь \"%s\" не зарегистрирован", "User \"%s\" is not registered"},
    {"Конфигурация меню была изменена", "The menu configuration has changed"},
};

// The Russian values in use: the built-in ones or their database translations.
QString g_russian[ctConsoleTextCount];
bool g_russianLoaded = false;

QString &russianValue(TConsoleText text)
{
    if (!g_russianLoaded) {
        for (int i = 0; i < ctConsoleTextCount; ++i)
            g_russian[i] = QString::fromUtf8(kConsoleTexts[i].ru);
        g_russianLoaded = true;
    }
    return g_russian[text];
}

std::unique_ptr<QLibrary> g_formLib;

QString programFileName() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

} // namespace

QString ConsoleTextRu(TConsoleText text) { return russianValue(text); }
QString ConsoleTextEn(TConsoleText text) { return QString::fromUtf8(kConsoleTexts[text].en); }
QString ConsoleText(TConsoleText text) { return SelectText(ConsoleTextRu(text), ConsoleTextEn(text)); }

void TranslateConsoleTexts()
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return;
    for (int i = 0; i < ctConsoleTextCount; ++i) {
        QString &value = russianValue(static_cast<TConsoleText>(i));
        const QString translated = languages->GET_RESOURCE_APL_TXT(value);
        if (!translated.isEmpty())
            value = translated;
    }
}

void ReleaseConsoleTexts() { g_russianLoaded = false; }

// The shared units translate the same way; the console's names call them.
QString TranslateAppText(const QString &text) { return LangPackAplText(text); }

void ApplyAplText(QString &text) { LangPackApplyAplText(text); }

QString TranslateToEnglish(const QString &text)
{
    QString translated = text;
    LangPackApplyAplEnText(translated);
    return translated;
}

void ApplyAplEnText(QString &text) { LangPackApplyAplEnText(text); }

QString TranslateFieldText(const QString &text, int flag, const QString &defaultText)
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return defaultText;
    return languages->GET_RESOURCE_APL_TXT_OF_FIELD(text, flag, defaultText);
}

void TranslateComponentTexts(QObject *component, int mode)
{
    if (!component || !GetComLanguages())
        return;
    TLang lang;
    lang.OnTranslateText = [](TLang &, TLangItem &, QString &text) { text = TranslateToEnglish(text); };
    lang.AddComponents(component, {}, quint8(mode));
    lang.TranslateAll();
}

void SetComponentText(QObject *component, const QString &caption, const QString &hint)
{
    if (auto *action = qobject_cast<QAction *>(component)) {
        action->setToolTip(hint);
        action->setText(caption);
        return;
    }
    auto *widget = qobject_cast<QWidget *>(component);
    if (!widget)
        return;
    widget->setToolTip(hint);
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(caption);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(caption);
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(caption);
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        group->setTitle(caption);
    else if (auto *menu = qobject_cast<QMenu *>(widget))
        menu->setTitle(caption);
    else if (widget->isWindow())
        widget->setWindowTitle(caption);
}

void SetComponentText(QObject *component, const QString &text) { SetComponentText(component, text, text); }

QString ComFormLibFileName() { return QStringLiteral("ComformLibs.so"); }

void InitConsoleFunctions()
{
    const QString path = ExePath(ComFormLibFileName());
    if (!QFileInfo::exists(path)) {
        ShowMessageBox(QStringLiteral("KoConsole: uConsoleFunctions.ComFormLibLoad: %1 library is not found")
                           .arg(ComFormLibFileName()),
                       programFileName(), MB_OK);
        return;
    }
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        // A damaged library must not stop the console: it goes on without the form library.
        ShowMessageBox(QStringLiteral("\"%1\"").arg(library->errorString()), programFileName(), MB_ICONERROR);
        return;
    }
    g_formLib = std::move(library);
}

void FinalizeConsoleFunctions()
{
    if (g_formLib) {
        g_formLib->unload();
        g_formLib.reset();
    }
    ReleaseConsoleTexts();
}

bool ComFormLibLoaded() { return g_formLib != nullptr; }

bool ComFormLibLoad(const QString &entryName, void **address)
{
    *address = nullptr;
    if (!g_formLib)
        return false;
    *address = reinterpret_cast<void *>(g_formLib->resolve(entryName.toLatin1().constData()));
    if (*address)
        return true;
    ShowMessageBox(Fmt(QStringLiteral("KorConsole: uConsoleFunctions.ComFormLibLoad: \"%1@%s\" procedure is not found")
                           .arg(ComFormLibFileName()),
                       entryName),
                   programFileName(), MB_OK);
    return false;
}

void *ComFormLibEntry(const char *name)
{
    return g_formLib ? reinterpret_cast<void *>(g_formLib->resolve(name)) : nullptr;
}

bool lumInputQuery(const QString &caption, const QString &prompt, const QString &okText, const QString &cancelText,
                   QString &value, int maxLength)
{
    void *entry = nullptr;
    if (g_formLib && g_formLib->resolve("lumInputQuery") && ComFormLibLoad(QStringLiteral("lumInputQuery"), &entry)) {
        const QByteArray c = caption.toUtf8(), p = prompt.toUtf8(), o = okText.toUtf8(), x = cancelText.toUtf8();
        const QByteArray v = value.toUtf8();
        const char *text = v.constData();
        const int ok = reinterpret_cast<TLumInputQuery>(entry)(c.constData(), p.constData(), o.constData(),
                                                               x.constData(), &text, maxLength);
        if (ok && text)
            value = QString::fromUtf8(text);
        return ok != 0;
    }
    QInputDialog dialog;
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    if (ExecInputQueryDialog(&dialog) != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    if (maxLength > 0 && maxLength < value.size())
        value.truncate(maxLength);
    return true;
}
