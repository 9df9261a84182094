-- The language pack: Russian (25) and English (9). The build adds every shared
-- resource string (rstr...) with its Russian and English text.
INSERT INTO ZANDRELL5.LANGUAGES (LANG_ID, LANG_SUB_ID, LANG_NAME) VALUES (25, 0, 'Русский');
INSERT INTO ZANDRELL5.LANGUAGES (LANG_ID, LANG_SUB_ID, LANG_NAME) VALUES (9, 0, 'Английский');

INSERT INTO ZANDRELL5.NO_TRANSLATE_TEXTS (TXT) VALUES ('Oracle Home');

-- Console texts, menu names and service-catalogue words, keyed by their Russian text.
CREATE TABLE ZANDRELL5.TMP_PAIRS (RU VARCHAR(4000) PRIMARY KEY, EN VARCHAR(4000) NOT NULL);
INSERT INTO ZANDRELL5.TMP_PAIRS (RU, EN) VALUES
  ('Документы', 'Documents'),
  ('Заказы', 'Orders'),
  ('Отчеты', 'Reports'),
  ('Справочники', 'Reference books'),
  ('Администрирование', 'Administration'),
  ('Администраторы', 'Administrators'),
  ('Операторы', 'Operators'),
  ('Файл', 'File'),
  ('Окно', 'Window'),
  ('Сеанс', 'Session'),
  ('Помощь', 'Help'),
  ('Язык', 'Language'),
  ('Язык приложения', 'Application language'),
  ('Язык отчетов', 'Report language'),
  ('Расширения', 'Extensions'),
  ('Настройки', 'Settings'),
  ('Настройка меню', 'Menu set-up'),
  ('Настройка схем', 'Schemes set-up'),
  ('Обновить меню', 'Reload menu'),
  ('Изменение соединения', 'Change connection'),
  ('Выход', 'Exit'),
  ('Поиск', 'Find'),
  ('Сортировка', 'Sort'),
  ('Отчет', 'Report'),
  ('Фильтрация', 'Filter'),
  ('О программе', 'About'),
  ('Список сервисов', 'Services'),
  ('Список всех библиотек', 'List of all libraries'),
  ('Список сервисов текущей конфигурации', 'Services of the current configuration'),
  ('Восстановить', 'Restore'),
  ('Русский', 'Russian'),
  ('Английский', 'English'),
  ('Заметки', 'Notes'),
  ('Консоль сервисов', 'Service console'),
  ('Справка', 'Help'),
  ('Настройка "Oracle Home"', '"Oracle Home" setting'),
  ('Скрывать свернутое', 'Hide when minimised'),
  ('К верхнему краю', 'Keep at the top edge'),
  ('Конфигурация меню была изменена', 'The menu configuration has changed'),
  ('Конфигурация меню', 'Menu configuration'),
  ('Допуск для пользователя', 'Access group of the user'),
  ('Добавить меню', 'Add menu'),
  ('Удалить меню', 'Delete menu'),
  ('Переименовать меню', 'Rename menu'),
  ('Добавить пункт меню', 'Add menu item'),
  ('Удалить пункт меню', 'Delete menu item'),
  ('Обновить', 'Refresh'),
  ('Изменить права доступа', 'Change access rights'),
  ('Права доступа', 'Access rights'),
  ('Допуск', 'Access group'),
  ('Группы ТО', 'Access groups'),
  ('Добавить', 'Add'),
  ('Удалить', 'Delete'),
  ('Изменить', 'Change'),
  ('Запомнить', 'Save'),
  ('Отменить', 'Cancel'),
  ('Применить', 'Apply'),
  ('Закрыть', 'Close'),
  ('Добавить допуск', 'Add access group'),
  ('Редактировать допуск', 'Edit access group'),
  ('Создать как', 'Create like'),
  ('Нельзя удалить, пока закреплены пользователи', 'Cannot delete while users are attached'),
  ('Выбор сервиса для пункта меню', 'Choose services for the menu item'),
  ('Синхронизировать выделение прав', 'Synchronise the selection of rights'),
  ('Регистрация сервиса', 'Service registration'),
  ('Новые сервисы не обнаружены', 'No new services found'),
  ('Удалить все вхождения сервиса из меню', 'Remove the service from every menu'),
  ('Выделить все', 'Select all'),
  ('Снять выделение', 'Unselect'),
  ('Обратить выделение', 'Invert selection'),
  ('Сервис', 'Service'),
  ('Кнопка', 'Button'),
  ('Выбор', 'Choice'),
  ('Библиотека', 'Library'),
  ('На первую запись', 'First record'),
  ('На предыдущую запись', 'Previous record'),
  ('На следующую запись', 'Next record'),
  ('На последнюю запись', 'Last record'),
  ('Искать', 'Find'),
  ('Сортировать', 'Sort'),
  ('Фильтровать', 'Filter'),
  ('Обновить данные', 'Refresh data'),
  ('Введите новый пароль', 'Enter a new password'),
  ('Новый пароль:', 'New password:'),
  ('Подтверждение:', 'Confirmation:'),
  ('Слова скопированы', 'Words copied'),
  ('Запустите русскую версию!', 'Start the Russian version!'),
  ('Закрытие окна', 'Closing of the window'),
  ('Соединение с БД', 'Connection with DB'),
  ('Соединить', 'Connect'),
  ('Пароль', 'Password'),
  ('Сервер', 'Server'),
  ('Имя', 'User'),
  ('Пользователь', 'User');
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) SELECT RU, 25, RU FROM ZANDRELL5.TMP_PAIRS;
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) SELECT RU, 9, EN FROM ZANDRELL5.TMP_PAIRS;
DROP TABLE ZANDRELL5.TMP_PAIRS;

-- The texts of the modules Invoices.so and InvoicePayments.so, registered by
-- an administrator. Their rights are flagged as texts of the pack: the console
-- shows such a text through its English one, so the pack also keys each text
-- by its English text, in both languages.
CREATE TABLE ZANDRELL5.TMP_PAIRS (RU VARCHAR(4000) PRIMARY KEY, EN VARCHAR(4000) NOT NULL);
INSERT INTO ZANDRELL5.TMP_PAIRS (RU, EN) VALUES
  ('Счета', 'Invoices'),
  ('Счета клиентам', 'Invoices to customers'),
  ('Оплаты', 'Payments'),
  ('Оплаченные заказы', 'Paid orders'),
  ('Просмотр сумм счетов', 'View invoice amounts'),
  ('Печать счетов', 'Print invoices'),
  ('Реестр счетов', 'Invoice register'),
  ('Все счета с клиентами и суммами', 'All invoices with customers and amounts'),
  ('Неоплаченные счета', 'Unpaid invoices'),
  ('Счета, ожидающие оплаты', 'Invoices awaiting payment'),
  ('Просмотр оплат', 'View payments');
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) SELECT RU, 25, RU FROM ZANDRELL5.TMP_PAIRS;
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) SELECT RU, 9, EN FROM ZANDRELL5.TMP_PAIRS;
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) SELECT EN, 25, RU FROM ZANDRELL5.TMP_PAIRS;
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) SELECT EN, 9, EN FROM ZANDRELL5.TMP_PAIRS;
DROP TABLE ZANDRELL5.TMP_PAIRS;
