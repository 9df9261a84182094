#include "Core/ResourcePack.h"

#include <QHash>

namespace {

// The shared resource strings: identifier, built-in Russian, built-in English.
const TResString kResStrings[] = {
    {"rstrAccess", "Допуск", "Access"},
    {"rstrActiveSheme", "Активная схема", "Active scheme"},
    {"rstrActiveOracleHome", "Активный \"Oracle Home\"", "Active \"Oracle Home\""},
    {"rstrAplService", "Сервис", "Service"},
    {"rstrAutoUpdate", "Автообновление", "Autoupdate"},
    {"rstrAutoUpdatingLaunching", "Запуск автообновления", "Autoupdate launch"},
    {"rstrAvailableFields", "Доступные поля:", "Available fields:"},
    {"rstrCheckedDescending", "Отмеченные поля сортируются по убыванию",
     "Checked fields are sorted in descending order"},
    {"rstrChoice", "Выбор", "Choice"},
    {"rstrCondition", "Условие:", "Condition:"},
    {"rstrConfirmation", "Подтверждение", "Confirmation"},
    {"rstrEnableShemes", "Доступные схемы", "Available schemes"},
    {"rstrError", "Ошибка", "Error"},
    {"rstrExit", "Выход", "Exit"},
    {"rstrFile", "Файл", "File"},
    {"rstrFilterConditions", "Условия фильтра:", "Filter conditions:"},
    {"rstrFindField", "Поле:", "Field:"},
    {"rstrFindText", "Искать:", "Find what:"},
    {"rstrIsEmpty", "пусто", "is empty"},
    {"rstrIsNotEmpty", "не пусто", "is not empty"},
    {"rstrLarge", "Большие", "Large"},
    {"rstrLibrary", "Библиотека", "Library"},
    {"rstrMatchCase", "С учетом регистра", "Match case"},
    {"rstrNewPass", "Новый пароль:", "New password:"},
    {"rstrNewPassCaption", "Введите новый пароль", "Enter a new password"},
    {"rstrNewPassD", "Подтверждение:", "Confirmation:"},
    {"rstrNewSheme", "Новая схема", "New scheme"},
    {"rstrNotification", "Уведомление", "Notification"},
    {"rstrOnwardFromCurrent", "Далее от текущей записи", "Onward from the current record"},
    {"rstrParameters", "Параметры", "Parameters"},
    {"rstrParams", "Параметры", "Parameters"},
    {"rstrPartOfValue", "Часть значения", "Part of the value"},
    {"rstrPassword", "Пароль", "Password"},
    {"rstrReason", "Причина", "Reason"},
    {"rstrReport", "Отчет", "Report"},
    {"rstrReports", "Отчеты", "Reports"},
    {"rstrSearch", "Поиск", "Search"},
    {"rstrServer", "Сервер", "Server"},
    {"rstrService", "Сервис", "Service"},
    {"rstrShemeDB", "Схема БД", "DB scheme"},
    {"rstrShemesDB", "Схемы БД", "DB schemes"},
    {"rstrSmall", "Маленькие", "Small"},
    {"rstrSortOrder", "Порядок сортировки:", "Sort order:"},
    {"rstrTimeWaitingOut", "Время ожидания истекло", "Waiting time expired"},
    {"rstrTitle", "Название", "Title"},
    {"rstrUser", "Пользователь", "User"},
    {"rstrValue", "Значение:", "Value:"},
    {"rstrWholeValue", "Значение целиком", "Whole value"},
    {"rstr_HelpText", "", ""},
    {"rstr_NewAndOldPassIdentical", "Новый пароль идентичен старому.", "The new password is identical to the old one."},
    {"rstr_NotSetPass", "Не задан пароль", "Password is not specified"},
    {"rstr_PassNotComp", "Пароль не соответствует подтверждению", "Password does not correspond to confirmation"},
    {"rstr_act_ConnectionDB", "Соединение с БД", "Connection with DB"},
    {"rstr_act_DeletingScheme", "Удаление схемы", "Scheme deletion"},
    {"rstr_act_ServiceListLoading", "Загрузка списка сервисов", "Service list loading"},
    {"rstr_cnf_Refresh", "Обновить?", "Refresh?"},
    {"rstr_fmt_AplService", "сервис \"%s\"", "service \"%s\""},
    {"rstr_fmt_ConnectionScheme", "Соединение по схеме \"%s\"", "Connection by \"%s\" scheme"},
    {"rstr_fmt_Folder", "папка \"%s\"", "folder \"%s\""},
    {"rstr_fmt_ListingPage", "Подготовка отчета: стр. %d", "Preparing the report: page %d"},
    {"rstr_fmt_Operation", "Операция: %s", "Operation: %s"},
    {"rstr_fmt_PageNo", "стр. %d", "Page %d"},
    {"rstr_fmt_Param", "Параметр \"%s\"", "Parameter \"%s\""},
    {"rstr_fmt_Param_Not_Correct", "Параметр \"%s\"(%s) - не корректен", "\"%s\" parameter(%s) - is not correct"},
    {"rstr_fmt_Param_Not_Extract", "Параметр \"%s\" не извлечен из строки \"%s\"",
     "\"%s\" parameter is not extracted from line \"%s\""},
    {"rstr_fmtmsg_AccessIDNotExist", "Идентификатор доступа \"AccessID = %s\" не существует в \"V_ACCESS\"",
     "Access identifier \"AccessID =  %s\" does not exist in \"V_ACCESS\""},
    {"rstr_fmtmsg_AccountsDamaged", "База учетных записей \"%s\" повреждена",
     "The accounts database \"%s\" is damaged"},
    {"rstr_fmtmsg_AccountsForeign",
     "Файл \"%s\" не является базой учетных записей этого сервера: в нем нет таблицы ACCOUNTS",
     "The file \"%s\" is no accounts database of this server: it has no table ACCOUNTS"},
    {"rstr_fmtmsg_AccountsMissing", "База учетных записей \"%s\" не найдена",
     "The accounts database \"%s\" is not found"},
    {"rstr_fmtmsg_DbDiskFull", "Диск папки \"%s\" заполнен", "The disk of the folder \"%s\" is full"},
    {"rstr_fmtmsg_DbFileDamaged", "Файл базы данных \"%s\" поврежден", "The database file \"%s\" is damaged"},
    {"rstr_fmtmsg_DbFileEmpty", "Файл базы данных \"%s\" пуст", "The database file \"%s\" is empty"},
    {"rstr_fmtmsg_DbFileForeign", "Файл \"%s\" не является схемой этого сервера: в нем нет таблицы SERVER_OBJECTS",
     "The file \"%s\" is no scheme of this server: it has no table SERVER_OBJECTS"},
    {"rstr_fmtmsg_DbFileLocked", "Файл базы данных \"%s\" заблокирован другой программой",
     "The database file \"%s\" is locked by another program"},
    {"rstr_fmtmsg_DbFileMissing", "Файл базы данных \"%s\" не найден", "The database file \"%s\" is not found"},
    {"rstr_fmtmsg_DbFileTooLarge", "Файл базы данных \"%s\" достиг предельного размера файлов процесса",
     "The database file \"%s\" has reached the file size limit of the process"},
    {"rstr_fmtmsg_DbFileUnusable", "Файл базы данных \"%s\" не используется: %s",
     "The database file \"%s\" cannot be used: %s"},
    {"rstr_fmtmsg_DbFolderReadOnlyFs", "Папка \"%s\" находится на файловой системе только для чтения",
     "The folder \"%s\" is on a read-only file system"},
    {"rstr_fmtmsg_DbNoReadAccess", "Пользователь \"%s\" не может читать \"%s\" (владелец %s)",
     "The user \"%s\" may not read \"%s\" (owner %s)"},
    {"rstr_fmtmsg_DbNoWriteAccess", "Пользователь \"%s\" не может писать в \"%s\" (владелец %s)",
     "The user \"%s\" may not write to \"%s\" (owner %s)"},
    {"rstr_fmtmsg_ErrorText", "Ошибка с сообщением: \"%s\"", "Error with a message: \"%s\""},
    {"rstr_fmtmsg_FieldIsNotFound", "Поле \"%s\" не найдено", "Field \"%s\" is not found"},
    {"rstr_fmtmsg_FileIsNotFound", "Файл \"%s\" не найден", "\"%s\" file is not found"},
    {"rstr_fmtmsg_IncorrectSortingField", "Неверное поле сортировки \"%s\"", "Incorrect sorting field \"%s\""},
    {"rstr_fmtmsg_IsNotFileVer", "Файл \"%s\" не является файлом версии", "\"%s\" is not a version file"},
    {"rstr_fmtmsg_NotDate", "\"%s\" не является датой", "\"%s\" is not a date"},
    {"rstr_fmtmsg_NotNumber", "\"%s\" не является числом", "\"%s\" is not a number"},
    {"rstr_fmtmsg_ObjectExsts", "%s уже существует", "%s already exists"},
    {"rstr_fmtmsg_PathTooLong",
     "Путь \"%s\" длиннее %s байт, которые принимает библиотека базы данных: установите программу в папку с более "
     "коротким путем",
     "The path \"%s\" is longer than the %s bytes the database library takes: install the program in a folder with "
     "a shorter path"},
    {"rstr_fmtmsg_SchemeBusy", "Схему \"%s\" изменяет другой сеанс, еще не сохранивший изменения; повторите позже",
     "Another session is changing the scheme \"%s\" and has not saved its changes yet; try again later"},
    {"rstr_fmtmsg_ReadDBRecords", "Прочитано записей: %s", "Records read: %s"},
    {"rstr_fmtmsg_ServerAliasUnknown", "Сервер \"%s\" не описан в \"%s\"", "Server \"%s\" is not described in \"%s\""},
    {"rstr_fmtmsg_ServerBackendUnknown", "Сервер \"%s\" в \"%s\": неизвестный вид сервера \"%s\"",
     "Server \"%s\" in \"%s\": unknown backend \"%s\""},
    {"rstr_fmtmsg_ServerPathMissing", "Сервер \"%s\" в \"%s\": не задан путь к базе данных (Path)",
     "Server \"%s\" in \"%s\": no database path (Path) is given"},
    {"rstr_fmtmsg_SchemeTooOld",
     "Схема \"%s\" устарела (версия %s), консоли нужна версия %s или новее: обновите схему на сервере",
     "The scheme \"%s\" is too old (version %s): the console needs version %s or newer; upgrade the scheme on the "
     "server"},
    {"rstr_fmtmsg_SchemeNotInDatabase", "В базе данных \"%s\" сервера нет схемы \"%s\"",
     "The database \"%s\" of the server holds no scheme \"%s\""},
    {"rstr_fmtmsg_ServerDatabaseMissing", "Сервер \"%s\" в \"%s\": не задана база данных (Database)",
     "Server \"%s\" in \"%s\": no database (Database) is given"},
    {"rstr_fmtmsg_ServersIniDamaged", "Список серверов \"%s\" поврежден (строка %s)",
     "The server list \"%s\" is damaged (line %s)"},
    {"rstr_fmtmsg_ServersIniMissing", "Список серверов \"%s\" не найден", "The server list \"%s\" is not found"},
    {"rstr_fmtmsg_ServersIniUnreadable", "Список серверов \"%s\" не читается", "The server list \"%s\" cannot be read"},
    {"rstr_fmtmsg_OracleHomeIncorrect", "Некорректный Oracle Home \"Home%s\"", "Oracle Home \"Home%s\" is incorrect"},
    {"rstr_fmtmsg_UnknownSelectMode", "Неизвестный режим выделения: %d", "Unknown selection mode: %d"},
    {"rstr_fmtmsg_UserNotRegistered", "Пользователь \"%s\" не зарегистрирован", "User \"%s\" is not registered"},
    {"rstr_msg_DataBusy", "Эти данные изменяет другой сеанс, еще не сохранивший изменения; повторите позже",
     "Another session is changing these data and has not saved its changes yet; try again later"},
    {"rstr_msg_DataReadOnly", "Данные доступны только для чтения", "The data are read-only"},
    {"rstr_msg_EnterValue", "Введите значение", "Enter a value"},
    {"rstr_msg_ImpossibleDatasForSorting", "Эти данные нельзя отсортировать", "These data cannot be sorted"},
    {"rstr_msg_IncorrectPasLog", "Некорректный пароль/логин", "Incorrect password/login"},
    {"rstr_msg_IniAfterReboot", "Изменения вступят в силу после перезапуска программы",
     "The changes take effect after the program is restarted"},
    {"rstr_msg_NoFieldsOffered", "В таблице нет полей для этой команды", "The table has no fields for this command"},
    {"rstr_msg_NoListener", "Не запущена служба Oracle 'Listener'", "Oracle service 'Listener' is not working"},
    {"rstr_msg_NoNetworkConnection", "Нет соединения по сети", "There is no connection on the network"},
    {"rstr_msg_NotPriveleges", "Недостаточно привилегий", "Not enough priveleges"},
    {"rstr_msg_PasswordNotEntered", "Пароль не введен", "Password is not entered"},
    {"rstr_msg_RecordNotFound", "Запись не найдена", "No record found"},
    {"rstr_msg_ServerNotFound", "Сервер не найден", "Server is not found"},
    {"rstr_msg_UserIsPossibleNotRegistered", "Возможно пользователь не зарегистрирован",
     "User Is possible is not registered"},
    {"rstr_msg_UserLocked", "Пользователь заблокирован", "The user is locked"},
    {"rstr_to_Activate", "Активировать", "Activate"},
    {"rstr_to_Add", "Добавить", "Add"},
    {"rstr_to_Apply", "Применить", "Apply"},
    {"rstr_to_Cancel", "Отменить", "Cancel"},
    {"rstr_to_Change", "Изменить", "Change"},
    {"rstr_to_ClearFilter", "Очистить", "Clear"},
    {"rstr_to_Close", "Закрыть", "Close"},
    {"rstr_to_Connect", "Соединить", "Connect"},
    {"rstr_to_Create", "Создать", "Create"},
    {"rstr_to_Delete", "Удалить", "Delete"},
    {"rstr_to_Filter", "Фильтрация", "Filter"},
    {"rstr_to_Find", "Найти", "Find"},
    {"rstr_to_InvertSelect", "Обратить выделение", "Invert selection"},
    {"rstr_to_MoveDown", "Вниз", "Move down"},
    {"rstr_to_MoveUp", "Вверх", "Move up"},
    {"rstr_to_Open", "Открыть", "Open"},
    {"rstr_to_RefreshData", "Обновить", "Refresh"},
    {"rstr_to_Remove", "Убрать", "Remove"},
    {"rstr_to_ResetColumns", "Колонки как вначале", "Reset columns"},
    {"rstr_to_Save", "Сохранить", "Save"},
    {"rstr_to_Search", "Поиск", "Search"},
    {"rstr_to_SelectAll", "Выделить все", "Select all"},
    {"rstr_to_Sort", "Сортировка", "Sort"},
    {"rstr_to_Unselect", "Снять выделение", "Unselect"},
    {"rstr_to_View", "Просмотр", "View"},
    {"rstrAddresseeSubFldr", "Подпапка адресата", "Addressee's subfolder"},
    {"rstrAtFixedAddr", "По постоянному адресу", "To a fixed address"},
    {"rstrAutoPrint", "Печатать сразу", "Print at once"},
    {"rstrDay", "День", "Day"},
    {"rstrFldrNotExsts", "Папка не существует", "The folder does not exist"},
    {"rstrFldrSaveReport", "Папка для сохранения отчетов", "Folder for saved reports"},
    {"rstrFldrSendReport", "Папка для отправки отчетов", "Folder for reports to send"},
    {"rstrFormUnderNewName", "Сформировать под новым именем", "Make under a new name"},
    {"rstrInCopies", "Экземпляров", "Copies"},
    {"rstrIncorrectSymbols", "Недопустимые символы", "Characters that are not allowed"},
    {"rstrIncorrectSymbolsInTitle", "Недопустимые символы в названии",
     "The title holds characters that are not allowed"},
    {"rstrIntoReport", "В отчет", "In report"},
    {"rstrMonth", "Месяц", "Month"},
    {"rstrPrinter", "Принтер", "Printer"},
    {"rstrQuarter", "Квартал", "Quarter"},
    {"rstrSaveUnderNewName", "Сохранить под новым именем", "Save under a new name"},
    {"rstrSendingEMail", "Отправка по электронной почте", "Sending by e-mail"},
    {"rstrUseCurrentRecord", "Использовать текущую запись", "Use the current record"},
    {"rstrYar", "Год", "Year"},
    {"rstr_SelectTable", "Выберите таблицу", "Select the table"},
    {"rstr_act_FldrSendChange", "Смена папки отправки", "Changing the folder for sending"},
    {"rstr_act_SavingInFile", "Сохранение в файл", "Saving to a file"},
    {"rstr_act_SelectOfFldr", "Выбор папки", "Choosing a folder"},
    {"rstr_addresse_subdir", "Адресаты", "Addressees"},
    {"rstr_cnf_FldrSendToChange", "Сменить папку отправки?", "Change the folder for sending?"},
    {"rstr_fmtcnf_CreteFldr", "Папка \"%s\" не существует. Создать?", "The folder \"%s\" does not exist. Create it?"},
    {"rstr_fmtmsg_EnableValueRange", "Допустимые значения: от %s до %s", "The value must lie between %s and %s"},
    {"rstr_fmtmsg_FldrNotCrtd", "Папка \"%s\" не создана", "The folder \"%s\" could not be created"},
    {"rstr_fmtmsg_FldrNotExsts", "Папка \"%s\" не существует", "The folder \"%s\" does not exist"},
    {"rstr_fmtmsg_ImpossibleDatasForFinding", "Поиск в наборе данных \"%s\" невозможен",
     "The data set \"%s\" cannot be searched"},
    {"rstr_msg_CheckNameIsCorrect", "Проверьте правильность имени", "Check that the name is correct"},
    {"rstr_msg_ExecutionIsAbort", "Выполнение прервано", "The run was stopped"},
    {"rstr_msg_FulfilServiceRewrite", "Зарегистрируйте сервис заново", "Register the service again"},
    {"rstr_msg_ImpossibleDatasForSorting", "Этот набор данных нельзя сортировать", "This data set cannot be sorted"},
    {"rstr_msg_IncorrectAccessMode", "Неверная строка прав доступа", "The access rights string is not valid"},
    {"rstr_msg_IncorrectAccessRights", "Число прав доступа не совпадает с числом функций окна",
     "The number of access rights does not match the window's functions"},
    {"rstr_msg_SearchFieldIsNotSelected", "Не выбрано поле для поиска", "No field is chosen for the search"},
    {"rstr_subdir_save_report", "Сохраненные", "Saved"},
    {"rstr_subdir_sending_report", "Отправленные", "Sent"},
    {"rstr_to_Choice", "Выбрать", "Choose"},
    {"rstr_to_Clear", "Очистить", "Clear"},
    {"rstr_to_DeSelectFldr", "Отменить выбор папки", "Clear the chosen folder"},
    {"rstr_to_FirstRec", "На первую запись", "First record"},
    {"rstr_to_FldrOpenCrtd", "Открыть или создать папку", "Open or create a folder"},
    {"rstr_to_LastRec", "На последнюю запись", "Last record"},
    {"rstr_to_Maximaze", "Развернуть", "Maximize"},
    {"rstr_to_Minimize", "Свернуть", "Minimize"},
    {"rstr_to_NextRec", "На следующую запись", "Next record"},
    {"rstr_to_PriorRec", "На предыдущую запись", "Previous record"},
    {"rstr_to_SelectFldr", "Выбрать папку", "Choose a folder"},
    // A library without an entry the program asks for ("...: <library>: "<entry>".").
    {"rstr_msg_NorFoundProcedure", "Не найдена процедура в библиотеке", "Procedure is not found in library"},
    // Menu configuration and the registration of services from module files.
    {"rstr_stt_NotDefined", "Не определено", "Not defined"},
    {"rstr_fmtmsg_EmptyDataInField", "Поле \"%s\" не заполнено", "The field \"%s\" is empty"},
    {"rstr_fmtmsg_ValueTooLong", "\"%s\" длиннее %s символов", "\"%s\" is longer than %s characters"},
    {"rstr_fmtmsg_RightsOutOfOrder",
     "Права доступа сервиса \"%s\" не пронумерованы по порядку: на месте %s стоит право %s",
     "The access rights of the service \"%s\" are not numbered in order: at place %s stands right %s"},
    // Access groups, the rights editor and the service choice of the menu editor.
    {"rstr_fmtcnf_DelRecord", "Удалить запись \"%s\"?", "Delete the record \"%s\"?"},
    {"rstr_ErrorOFDeleting", "Ошибка удаления", "Error of deleting"},
    {"rstr_NotVacantService", "Нет сервисов, которые можно добавить в меню",
     "There is no service left to add to the menu"},
};

struct Entry {
    QString ru;
    QString en;
    QString current;
};

QHash<QString, Entry> &table()
{
    static QHash<QString, Entry> entries = [] {
        QHash<QString, Entry> t;
        for (const TResString &r : kResStrings) {
            const QString ru = QString::fromUtf8(r.ru);
            t.insert(QString::fromLatin1(r.id).toLower(), Entry{ru, QString::fromUtf8(r.en), ru});
        }
        return t;
    }();
    return entries;
}

TLanguagesDM *g_languages = nullptr;
TPlatformTextProc g_platformTextProc = nullptr;

} // namespace

TLanguagesDM::~TLanguagesDM()
{
    if (g_languages == this)
        SetComLanguages(nullptr);
}

QString ResStr(const QString &id)
{
    const auto it = table().constFind(id.toLower());
    return it == table().constEnd() ? id : it->current;
}

QString ResStrRu(const QString &id)
{
    const auto it = table().constFind(id.toLower());
    return it == table().constEnd() ? id : it->ru;
}

QString ResStrEn(const QString &id)
{
    const auto it = table().constFind(id.toLower());
    return it == table().constEnd() ? id : it->en;
}

bool ResStrExists(const QString &id) { return table().contains(id.toLower()); }

void SetPlatformTextProc(TPlatformTextProc proc) { g_platformTextProc = proc; }

QString PlatformText(const QString &id)
{
    const auto it = table().constFind(id.toLower());
    if (it == table().constEnd())
        return id;
    return g_platformTextProc ? g_platformTextProc(id, it->ru, it->en) : it->en;
}

QStringList ResStrIds()
{
    QStringList ids;
    for (const TResString &r : kResStrings)
        ids.append(QString::fromLatin1(r.id));
    return ids;
}

void ResetResStrings()
{
    for (Entry &e : table())
        e.current = e.ru;
}

TLanguagesDM *GetComLanguages() { return g_languages; }

void SetComLanguages(TLanguagesDM *languages)
{
    g_languages = languages;
    if (!languages)
        ResetResStrings();
}

void IniResString()
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return;
    // A string the pack does not know (it answers empty or with the identifier)
    // keeps its built-in text in the user's language.
    const bool russian = UserWorksInRussian();
    for (const TResString &r : kResStrings) {
        const QString id = QString::fromLatin1(r.id);
        const QString text = languages->GET_RESOURCE_APL_TXT(id);
        Entry &e = table()[id.toLower()];
        e.current = (text.isEmpty() || text == id) ? (russian ? e.ru : e.en) : text;
    }
}

QString TranslateAplText(const QString &resStringId) { return ResStr(resStringId); }

bool UserWorksInRussian()
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return true;
    const int lang = languages->GET_USER_APL_LANG_ID();
    return lang <= 0 || lang == 25;
}

QString CaseMessageTxt(const QString &russian, const QString &english)
{
    return UserWorksInRussian() ? russian : english;
}

QString PackAplText(const QString &text)
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return text;
    const QString translated = languages->GET_RESOURCE_APL_TXT(text);
    return translated.isEmpty() ? text : translated;
}

QString PackAplText(const QString &russian, const QString &english)
{
    const QString translated = PackAplText(russian);
    return translated != russian ? translated : CaseMessageTxt(russian, english);
}

bool RusCharExists(const QString &text)
{
    for (QChar c : text)
        if ((c.unicode() >= 0x0400 && c.unicode() <= 0x04FF))
            return true;
    return false;
}
