#pragma once
// "История изменений": the menu editor's tab of what the menu package wrote
// for the current access group (and for the service catalogue), newest first,
// with who and when, the old and the new value; filtered by date and by
// administrator.
#include <QWidget>

class QComboBox;
class QDateEdit;
class QTableWidget;
class TOraSession;
class TSmartQuery;

class TMenuHistory : public QWidget {
    Q_OBJECT
public:
    explicit TMenuHistory(QWidget *parent = nullptr);

    TSmartQuery *HistoryTbl;
    QDateEdit *deFrom;
    QDateEdit *deTo;
    QComboBox *cbAdmin;
    QTableWidget *lvHistory;

    void SetSession(TOraSession *session);
    // Reads the history of the access group (0: of none but the catalogue) within the filters.
    void ShowFor(int accessId);

private:
    void reload();
    void fillAdministrators();

    int m_accessId = 0;
    bool m_filling = false;
};
