-- The demo services: the rows their windows show (orders with their lines, in
-- the tables of 29_demo_tables.sql), their catalogue rows (modules Orders.so and
-- Stock.so), their rights and reports, their entries in the menus of both access
-- groups, and their texts in the language pack.

INSERT INTO ZANDRELL5.DEMO_CUSTOMERS (ID, NAME, CITY, PHONE) VALUES
  (1, 'ООО "Северный ветер"', 'Архангельск', '+7 8182 20-14-55'),
  (2, 'АО "Волжская мельница"', 'Самара', '+7 846 331-02-17'),
  (3, 'ИП Калинина О. В.', 'Тверь', '+7 4822 45-19-80'),
  (4, 'ООО "Уральский кабель"', 'Екатеринбург', '+7 343 270-66-01'),
  (5, 'ЗАО "Балтпром"', 'Калининград', '+7 4012 53-77-42'),
  (6, 'ООО "Тайга-Лес"', 'Томск', '+7 3822 90-11-23'),
  (7, 'ИП Мартынов С. А.', 'Казань', '+7 843 212-48-36'),
  (8, 'ООО "Южный порт"', 'Новороссийск', '+7 8617 61-05-90');

INSERT INTO ZANDRELL5.DEMO_ORDERS (ID, CUSTOMER_ID, ORDER_DATE, AMOUNT, STATUS) VALUES
  (1001, 1, '2024-02-05 00:00:00', 125400.00, 'Выполнен'),
  (1002, 2, '2024-02-07 00:00:00', 48200.50, 'Выполнен'),
  (1003, 4, '2024-02-12 00:00:00', 310000.00, 'Отгружен'),
  (1004, 3, '2024-02-15 00:00:00', 7650.00, 'Выполнен'),
  (1005, 5, '2024-02-20 00:00:00', 92300.00, 'Отгружен'),
  (1006, 1, '2024-03-01 00:00:00', 56780.00, 'В работе'),
  (1007, 6, '2024-03-04 00:00:00', 201500.00, 'В работе'),
  (1008, 7, '2024-03-06 00:00:00', 15300.00, 'Новый'),
  (1009, 8, '2024-03-11 00:00:00', 88000.00, 'Новый'),
  (1010, 2, '2024-03-12 00:00:00', 43125.75, 'Новый'),
  (1011, 4, '2024-03-14 00:00:00', 127900.00, 'Отменен'),
  (1012, 5, '2024-03-15 00:00:00', 64410.00, 'Новый');

INSERT INTO ZANDRELL5.DEMO_GOODS (ID, NAME, QUANTITY, PRICE) VALUES
  (1, 'Кабель ВВГ 3x2,5, м', 4200, 96.40),
  (2, 'Мука пшеничная в/с, мешок 50 кг', 180, 1750.00),
  (3, 'Доска обрезная 50x150x6000', 640, 890.00),
  (4, 'Гвозди строительные 100 мм, кг', 950, 142.50),
  (5, 'Краска фасадная белая, 15 л', 75, 4380.00),
  (6, 'Труба стальная 57x3,5, м', 1300, 612.00),
  (7, 'Цемент М500, мешок 50 кг', 520, 465.00),
  (8, 'Стекло листовое 4 мм, м2', 210, 1120.00),
  (9, 'Утеплитель минвата 100 мм, упак.', 340, 1590.00),
  (10, 'Саморезы по дереву 4,2x75, кг', 0, 310.00);

INSERT INTO ZANDRELL5.DEMO_ORDER_LINES (ID, ORDER_ID, LINE_NO, GOODS_ID, QUANTITY, PRICE) VALUES
  (1, 1001, 1, 1, 500, 96.40),
  (2, 1001, 2, 6, 100, 612.00),
  (3, 1002, 1, 2, 20, 1750.00),
  (4, 1003, 1, 1, 2000, 96.40),
  (5, 1003, 2, 6, 150, 612.00),
  (6, 1003, 3, 4, 100, 142.50),
  (7, 1004, 1, 10, 10, 310.00),
  (8, 1005, 1, 3, 60, 890.00),
  (9, 1005, 2, 7, 40, 465.00),
  (10, 1006, 1, 5, 8, 4380.00),
  (11, 1006, 2, 9, 12, 1590.00),
  (12, 1007, 1, 3, 150, 890.00),
  (13, 1007, 2, 4, 50, 142.50),
  (14, 1008, 1, 7, 20, 465.00),
  (15, 1008, 2, 10, 5, 310.00),
  (16, 1009, 1, 8, 40, 1120.00),
  (17, 1009, 2, 9, 20, 1590.00),
  (18, 1009, 3, 4, 30, 142.50),
  (19, 1010, 1, 2, 18, 1750.00),
  (20, 1011, 1, 6, 200, 612.00),
  (21, 1012, 1, 5, 10, 4380.00),
  (22, 1012, 2, 8, 15, 1120.00);

-- The service catalogue.
INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) VALUES
  (1, 'Заказы', 'Orders.so', '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}', 1, 0),
  (2, 'Клиенты', 'Orders.so', '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A02}', 0, 0),
  (3, 'Склад', 'Stock.so', '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A03}', 1, 0),
  (4, 'Продажи по клиентам', 'Office.so', '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A04}', 0, 0),
  (5, 'Пользователи консоли', 'Office.so', '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A05}', 0, 0);

-- Their rights, in rights-string order.
INSERT INTO ZANDRELL5.SRVITEMS_MODE (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES
  (1, 1, 'Просмотр сумм', 'Просмотр сумм', 0),
  (1, 2, 'Печать отчетов', 'Печать отчетов', 0),
  (2, 1, 'Просмотр телефонов', 'Просмотр телефонов', 0),
  (2, 2, 'Печать отчетов', 'Печать отчетов', 0),
  (3, 1, 'Просмотр цен', 'Просмотр цен', 0),
  (3, 2, 'Печать отчетов', 'Печать отчетов', 0),
  (4, 1, 'Просмотр сумм', 'Просмотр сумм', 0),
  (4, 2, 'Печать отчетов', 'Печать отчетов', 0),
  (5, 1, 'Печать отчетов', 'Печать отчетов', 0);

INSERT INTO ZANDRELL5.REPORT_ITEMS (ITEMID, RGUID, RNAME, RDESC, SORT_ORDER) VALUES
  (1, '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C11}', 'Список заказов', 'Все заказы с клиентами и суммами', 1),
  (2, '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C21}', 'Список клиентов', 'Все клиенты с городами и телефонами', 1),
  (3, '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C31}', 'Остатки на складе', 'Товары с остатками и ценами', 1),
  (4, '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C41}', 'Продажи по клиентам', 'Число заказов и сумма по каждому клиенту', 1),
  (5, '{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7C51}', 'Пользователи консоли', 'Учетные записи и их группы доступа', 1);

-- Menu entries. Administrators have every right; operators see no order
-- amounts and print no order list, see no phone numbers of customers, and
-- neither prices nor the report of the stock.
INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) VALUES
  (9, 1, 2, 0, NULL, 1, '111', 10),
  (10, 1, 4, 0, NULL, 2, '111', 10),
  (11, 1, 4, 0, NULL, 3, '111', 20),
  (12, 2, 7, 0, NULL, 1, '100', 10),
  (13, 2, 8, 0, NULL, 2, '101', 10),
  (14, 2, 8, 0, NULL, 3, '100', 20),
  (15, 1, 3, 0, NULL, 4, '111', 10),
  (16, 1, 5, 0, NULL, 5, '11', 10);

-- Texts of the demo services, keyed by their Russian text (those the pack
-- already holds are left as they are).
CREATE TABLE ZANDRELL5.TMP_DEMO_PAIRS (RU VARCHAR(4000) PRIMARY KEY, EN VARCHAR(4000) NOT NULL);
INSERT INTO ZANDRELL5.TMP_DEMO_PAIRS (RU, EN) VALUES
  ('Заказы', 'Orders'),
  ('Клиенты', 'Customers'),
  ('Склад', 'Stock'),
  ('Заказы клиентов', 'Orders of customers'),
  ('Справочник клиентов', 'Customer reference book'),
  ('Остатки товаров на складе', 'Goods in stock'),
  ('Просмотр сумм', 'View amounts'),
  ('Просмотр телефонов', 'View phone numbers'),
  ('Просмотр цен', 'View prices'),
  ('Печать отчетов', 'Print reports'),
  ('Список заказов', 'Order list'),
  ('Список клиентов', 'Customer list'),
  ('Остатки на складе', 'Stock balance'),
  ('Все заказы с клиентами и суммами', 'All orders with customers and amounts'),
  ('Все клиенты с городами и телефонами', 'All customers with cities and phone numbers'),
  ('Товары с остатками и ценами', 'Goods with quantities and prices'),
  ('Поиск', 'Find'),
  ('Сортировка', 'Sort'),
  ('Фильтр', 'Filter'),
  ('Отчет', 'Report'),
  ('Номер', 'Number'),
  ('Дата', 'Date'),
  ('Клиент', 'Customer'),
  ('Сумма', 'Amount'),
  ('Состояние', 'State'),
  ('Код', 'Code'),
  ('Город', 'City'),
  ('Телефон', 'Phone'),
  ('Товар', 'Goods'),
  ('Остаток', 'Quantity'),
  ('Цена', 'Price'),
  ('Продажи по клиентам', 'Sales by customer'),
  ('Пользователи консоли', 'Console users'),
  ('Число заказов и сумма по каждому клиенту', 'Number of orders and amount per customer'),
  ('Учетные записи и их группы доступа', 'Accounts and their access groups'),
  ('Заказов', 'Orders'),
  ('Учетная запись', 'Account'),
  ('Пользователь', 'User'),
  ('Группа доступа', 'Access group'),
  ('Строка', 'Line'),
  ('Количество', 'Quantity');
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT)
  SELECT RU, 25, RU FROM ZANDRELL5.TMP_DEMO_PAIRS P
   WHERE NOT EXISTS (SELECT 1 FROM ZANDRELL5.LANG_TEXTS T WHERE T.RES_KEY = P.RU AND T.LANG_ID = 25);
INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT)
  SELECT RU, 9, EN FROM ZANDRELL5.TMP_DEMO_PAIRS P
   WHERE NOT EXISTS (SELECT 1 FROM ZANDRELL5.LANG_TEXTS T WHERE T.RES_KEY = P.RU AND T.LANG_ID = 9);
DROP TABLE ZANDRELL5.TMP_DEMO_PAIRS;
