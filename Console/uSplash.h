#pragma once
// The splash window shown after login while the main window loads the
// service list (Console.ini [FORM] ViewLogo): a picture, the installed
// products with their versions and dates, and a status line. Once shown it
// stays at least MinShowTime milliseconds: freeing it earlier waits for the rest.
#include <QElapsedTimer>
#include <QWidget>

class QFrame;
class QLabel;
class QStatusBar;

// Height of the product panel for n products: one 17-pixel line each (85 for 5).
int ProductPanelHeight(int count);
// The lines of a text made of items each followed by CR LF or CR.
QStringList SplashLines(const QString &text);

class TWaitScr : public QWidget {
    Q_OBJECT
public:
    explicit TWaitScr(QWidget *parent = nullptr);
    // Waits for the rest of the minimum showing time, then forgets the window.
    ~TWaitScr() override;

    QLabel *Image1 = nullptr;
    QFrame *pProductList = nullptr;
    QLabel *mProduct = nullptr;
    QLabel *mVersion = nullptr;
    QLabel *mDate = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel0 = nullptr;
    QLabel *StatusPanel1 = nullptr;

    QElapsedTimer StartTime;
    int MinShowTime = 2300;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void FillProducts();
    void LoadPicture();
    bool m_shown = false;
};

// The splash window, created, shown and painted on first use.
TWaitScr *GetSplash();
// Puts the text into the status line and paints it at once.
void SetSplashStatus(TWaitScr *splash, const QString &text);
// Destroys the splash window if there is one (after its minimum time).
void FreeSplash();
// The splash window if there is one, else null.
TWaitScr *CurrentSplash();
