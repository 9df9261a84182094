#pragma once
// The scheme list window: the schemes known in Console.ini, add, delete and
// make one active. Run by the start-up switches /scheme and /scheme=?.
#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TShemaForm : public QDialog {
    Q_OBJECT
public:
    explicit TShemaForm(QWidget *parent = nullptr);

    QLabel *lblActiveScheme;
    QLabel *StaticText1;
    QTreeWidget *tvSchemeList;
    QPushButton *btnNewScheme;
    QPushButton *btnActivateScheme;
    QPushButton *btnDelScheme;
    QPushButton *btnExit;
    // The scheme names, as Console.ini lists them.
    QStringList Schemes;
    // The scheme made active in this window; empty when none was.
    QString ActivatedScheme;

    // Fills the tree from Console.ini (run when the window is shown).
    void FillSchemes();
    void NewScheme();
    void DeleteSelectedScheme();
    void ActivateSelectedScheme();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setTexts();
    void updateButtons();
    QTreeWidgetItem *selectedScheme() const;
    QTreeWidgetItem *m_root = nullptr;
};

// Shows the window modally and returns the scheme it made active, or else the
// active scheme of Console.ini after it closes.
QString ShowSchemeDialog();
