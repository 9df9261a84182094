#pragma once
// The Oracle Home window: which installed Oracle client the session uses.
// The list always has 7 entries: the default home, then Home0 to Home5.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
struct TOracleHomes;

class TfmHomeTuning : public QDialog {
    Q_OBJECT
public:
    explicit TfmHomeTuning(QWidget *parent = nullptr);

    QLabel *labActiveHome;
    QLabel *stActiveHome;
    QComboBox *cbHome;
    QPushButton *btnActivate;
    QPushButton *btnExit;

    // The index stored in Console.ini when the window was filled.
    int StoredHome() const { return m_storedHome; }
    void Activate();

    // The seven entries for the homes the client reports.
    static QStringList HomeEntries(const TOracleHomes &homes);
    static constexpr int kHomeCount = 7;

private:
    void fill();
    void homeChanged(int index);
    int m_storedHome = 0;
};

// Shows the window modally and returns Console.ini's home after it closes.
int ShowHomeDialog();
