#include "Console/uMenuHistory.h"

#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uEditorTexts.h"
#include "DataAccess/DAError.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// What each procedure of the package did, as the history shows it.
QString operationText(const QString &operation)
{
    static const struct {
        const char *operation, *russian, *english;
    } kTexts[] = {
        {"INS_MENUGRP", "Добавлена группа меню", "Menu group added"},
        {"INS_MENUITEM", "Добавлен пункт меню", "Menu item added"},
        {"UPD_MENU", "Группа меню переименована", "Menu group renamed"},
        {"DEL_MENUITEM", "Удален пункт меню", "Menu node deleted"},
        {"MOVE_ITEM", "Перемещен пункт меню", "Menu node moved"},
        {"UPD_RIGHT", "Изменены права доступа", "Access rights changed"},
        {"INS_ACCESS", "Добавлена группа доступа", "Access group added"},
        {"UPD_ACCESS", "Группа доступа переименована", "Access group renamed"},
        {"DEL_ACCESS_RECURCIVE", "Удалена группа доступа", "Access group deleted"},
        {"DUBLICATE_ACCESS", "Группа доступа создана как копия", "Access group created as a copy"},
        {"INS_SRVITEM", "Зарегистрирован сервис", "Service registered"},
        {"INS_SRVITEM_MODE", "Зарегистрировано право сервиса", "Service right registered"},
        {"INS_REPORT_ITEM", "Зарегистрирован отчет сервиса", "Service report registered"},
        {"UPD_SRVITEMS", "Изменена кнопка сервиса", "Service button changed"},
        {"DEL_SRVITEM", "Удален сервис", "Service deleted"},
        {"DEL_SRV_FROM_ALL_MNU", "Сервис удален из меню", "Service taken out of the menu"},
    };
    for (const auto &text : kTexts)
        if (operation == QLatin1String(text.operation))
            return EditorText(text.russian, text.english);
    return operation;
}

// A value as the menu shows it (names through the language pack); a move's place: its group, or the top level.
QString valueText(const QString &operation, const QVariant &value)
{
    if (operation == QLatin1String("MOVE_ITEM") && value.toString().isEmpty())
        return ConsoleText(ctMenuConfiguration);
    return TranslateAppText(value.toString());
}

} // namespace

TMenuHistory::TMenuHistory(QWidget *parent) : QWidget(parent)
{
    HistoryTbl = new TSmartQuery(this);
    HistoryTbl->setObjectName(QStringLiteral("HistoryTbl"));
    HistoryTbl->SetSQLText(QStringLiteral("SELECT CHANGED_AT, LOGIN, OPERATION, OBJECT_NAME, OLD_VALUE, NEW_VALUE\n"
                                          "FROM &shema.V_MENU_HISTORY\n"
                                          "WHERE (ACCESSID = :ACCESSID OR ACCESSID IS NULL)\n"
                                          "AND CHANGED_AT >= :DFROM AND CHANGED_AT < :DTO\n"
                                          "AND (:ADMIN IS NULL OR LOGIN = :ADMIN)\n"
                                          "ORDER BY ID DESC"));
    HistoryTbl->SetReadOnly(true);
    deFrom = new QDateEdit(QDate::currentDate().addDays(-30), this);
    deTo = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit *edit : {deFrom, deTo}) {
        edit->setCalendarPopup(true);
        connect(edit, &QDateEdit::dateChanged, this, [this] { reload(); });
    }
    cbAdmin = new QComboBox(this);
    connect(cbAdmin, &QComboBox::currentIndexChanged, this, [this] { reload(); });
    lvHistory = new QTableWidget(0, 6, this);
    lvHistory->setHorizontalHeaderLabels({EditorText("Когда", "When"), EditorText("Администратор", "Administrator"),
                                          EditorText("Изменение", "Change"), EditorText("Что", "What"),
                                          EditorText("Было", "Before"), EditorText("Стало", "After")});
    lvHistory->verticalHeader()->setVisible(false);
    lvHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvHistory->horizontalHeader()->setStretchLastSection(true);
    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(EditorText("С", "From"), this));
    filters->addWidget(deFrom);
    filters->addWidget(new QLabel(EditorText("по", "to"), this));
    filters->addWidget(deTo);
    filters->addSpacing(16);
    filters->addWidget(new QLabel(EditorText("Администратор", "Administrator"), this));
    filters->addWidget(cbAdmin, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lvHistory);
    SetObjectNames({{deFrom, "deFrom"}, {deTo, "deTo"}, {cbAdmin, "cbAdmin"}, {lvHistory, "lvHistory"}});
}

void TMenuHistory::SetSession(TOraSession *session) { HistoryTbl->SetSession(session); }

void TMenuHistory::ShowFor(int accessId)
{
    m_accessId = accessId;
    fillAdministrators();
    reload();
}

// "Все" and every administrator the history names; the chosen one stays chosen.
void TMenuHistory::fillAdministrators()
{
    const QString chosen = cbAdmin->currentIndex() > 0 ? cbAdmin->currentText() : QString();
    m_filling = true;
    cbAdmin->clear();
    cbAdmin->addItem(EditorText("Все", "All"));
    try {
        TOraQuery logins;
        logins.SetSession(HistoryTbl->Session());
        logins.SetSQLText(QStringLiteral("SELECT DISTINCT LOGIN FROM &shema.V_MENU_HISTORY ORDER BY LOGIN"));
        logins.MacroByName(QStringLiteral("shema")).SetValue(HistoryTbl->MacroByName(QStringLiteral("shema")).Value());
        logins.Open();
        for (logins.First(); !logins.Eof(); logins.Next())
            cbAdmin->addItem(logins.Fields(0)->AsString());
    } catch (const EDAError &e) {
        // A scheme of an older build has no history until its first change.
        qCInfo(lcConsole) << "the history of changes cannot be read:" << e.message();
    }
    cbAdmin->setCurrentIndex(qMax(0, cbAdmin->findText(chosen)));
    m_filling = false;
}

void TMenuHistory::reload()
{
    if (m_filling || !HistoryTbl->Session())
        return;
    lvHistory->setRowCount(0);
    try {
        HistoryTbl->Close();
        HistoryTbl->ParamByName(QStringLiteral("ACCESSID")).SetAsInteger(m_accessId);
        HistoryTbl->ParamByName(QStringLiteral("DFROM")).SetAsDateTime(deFrom->date().startOfDay());
        HistoryTbl->ParamByName(QStringLiteral("DTO")).SetAsDateTime(deTo->date().addDays(1).startOfDay());
        HistoryTbl->ParamByName(QStringLiteral("ADMIN"))
            .SetAsVariant(cbAdmin->currentIndex() > 0 ? QVariant(cbAdmin->currentText()) : QVariant());
        HistoryTbl->Open();
    } catch (const EDAError &e) {
        qCInfo(lcConsole) << "the history of changes cannot be read:" << e.message();
        return;
    }
    lvHistory->setRowCount(HistoryTbl->RecordCount());
    for (int r = 0; r < HistoryTbl->RecordCount(); ++r) {
        const QString operation = HistoryTbl->ValueAt(r, 2).toString();
        const QStringList cells{HistoryTbl->ValueAt(r, 0).toDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                                HistoryTbl->ValueAt(r, 1).toString(),
                                operationText(operation),
                                TranslateAppText(HistoryTbl->ValueAt(r, 3).toString()),
                                valueText(operation, HistoryTbl->ValueAt(r, 4)),
                                valueText(operation, HistoryTbl->ValueAt(r, 5))};
        for (int c = 0; c < cells.size(); ++c)
            lvHistory->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    lvHistory->resizeColumnsToContents();
}
