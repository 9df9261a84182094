#pragma once
// The console settings window: the main window's appearance options, kept in
// Console.ini [FORM]. OK writes them (a new button size takes effect at the
// next start, and the window says so); Cancel writes nothing.
#include "Source/FormReposit/uComBaseForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class TfmConfigConsole : public TComBaseForm {
    Q_OBJECT
public:
    explicit TfmConfigConsole(QWidget *parent = nullptr);

    QGroupBox *gbConsole;
    QCheckBox *chHideMinimized;
    QCheckBox *chFormTop;
    QCheckBox *chViewLogo;
    QLabel *lblLanguage;
    QComboBox *cbLanguage;
    QGroupBox *gbToolBar;
    QGroupBox *rgBtnSize;
    QRadioButton *rbLarge;
    QRadioButton *rbSmall;
    QCheckBox *chCreateSeparators;
    QPushButton *btnOK;
    QPushButton *btnCancel;

    // The radio group's item index: 0 large buttons, 1 small ones.
    int ButtonSizeIndex() const;
    void SetButtonSizeIndex(int index);
    // Loads every control from Console.ini.
    void LoadSettings();
    // Writes the five values; true when they could be written.
    bool SaveSettings();

    // The languages to choose from (tag and name; none hides the choice) and the chosen one's tag.
    void SetLanguages(const QList<QPair<int, QString>> &languages, int chosen);
    // The tag of the language chosen in the window; -1 without a choice.
    int ChosenLanguage() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_loadedMiniTB = true;
};
