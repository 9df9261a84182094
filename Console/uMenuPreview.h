#pragma once
// "Просмотр меню группы": the main menu and tool bar that a user of an access
// group gets at log-in, with the rights string each service receives, worked
// out from the group's menu rows and the catalogue as the main window's build
// does it (uMenu), read-only and without logging in. No module is loaded: a
// service whose module fails at the user's log-in shows here, and goes to the
// user's not-loaded window there.
#include "Console/uMenuRows.h"

#include <QDialog>
#include <QHash>
#include <QStringList>

#include <vector>

class QPushButton;
class QTableWidget;
class QToolBar;
class QTreeWidget;

struct TMenuPlan {
    struct TNode {
        QString caption; // in the session's language, as the main menu shows it
        bool group = false;
        QString rights; // a service's rights string
        std::vector<TNode> children;
    };
    std::vector<TNode> menus; // the top-level menus in the main menu's order
    // One line per service in menu order, "caption path|rights string", as the console's "rights" writes it.
    QStringList rights;
    // The tool bar's buttons in bar order: their captions, an empty text for a separator.
    QStringList buttons;
};

// The menu a user of the rows' access group gets; separators: the console setting CreateSeps.
TMenuPlan PlanMenu(const std::vector<TMenuRow> &rows, const QHash<qint64, TCatalogueRow> &catalogue, bool separators);

class TMenuPreview : public QDialog {
    Q_OBJECT
public:
    TMenuPreview(QWidget *parent, const QString &accessName, const TMenuPlan &plan);

    QToolBar *tbPreview;
    QTreeWidget *tvPreview;
    QTableWidget *lvPreviewRights;
    QPushButton *btnClose;
};

// Shows the preview of the plan modally.
void ShowMenuPreview(QWidget *parent, const QString &accessName, const TMenuPlan &plan);
