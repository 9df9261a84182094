#pragma once
// The window "Не загружено": the services of the configuration whose modules
// could not be loaded, each with the reason, its module file and its GUID.
// It only shows; it changes nothing.
#include <QDialog>

class QPushButton;
class QTreeWidget;
class TBaseService;

class TSrvList : public QDialog {
    Q_OBJECT
public:
    explicit TSrvList(QWidget *parent = nullptr);

    // The services to show; not owned.
    const QList<TBaseService *> *SrvObjects = nullptr;
    QTreeWidget *ListView1;
    QPushButton *btClose;

    // Fills the list and draws attention (also run when the window is shown).
    void FillList();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FitToRows();
};

// Shows the window modally for the services.
void ShowNotLoaded(const QList<TBaseService *> &services);
