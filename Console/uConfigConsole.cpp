#include "Console/uConfigConsole.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/uComFunctions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfmConfigConsole::TfmConfigConsole(QWidget *parent) : TComBaseForm(parent)
{
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("ConsoleConfig"));
    setObjectName(QStringLiteral("fmConfigConsole"));
    setWindowTitle(TranslateAppText(SelectText(QStringLiteral("Настройки"), QStringLiteral("Settings"))));

    gbConsole = new QGroupBox(TranslateAppText(SelectText(QStringLiteral("Консоль"), QStringLiteral("Console"))), this);
    chHideMinimized = new QCheckBox(ConsoleText(ctHideMinimized2), gbConsole);
    chFormTop = new QCheckBox(ConsoleText(ctKeepAtTopEdge), gbConsole);
    chViewLogo = new QCheckBox(ConsoleText(ctShowLogo), gbConsole);
    // The language of the console's texts, which the next log-in takes.
    lblLanguage = new QLabel(SelectText(QStringLiteral("&Язык:"), QStringLiteral("&Language:")), gbConsole);
    cbLanguage = new QComboBox(gbConsole);
    lblLanguage->setBuddy(cbLanguage);
    auto *languageRow = new QHBoxLayout;
    languageRow->addWidget(lblLanguage);
    languageRow->addWidget(cbLanguage, 1);
    auto *consoleLayout = new QVBoxLayout(gbConsole);
    consoleLayout->addWidget(chHideMinimized);
    consoleLayout->addWidget(chFormTop);
    consoleLayout->addWidget(chViewLogo);
    consoleLayout->addLayout(languageRow);
    SetLanguages({}, -1);

    gbToolBar = new QGroupBox(ConsoleText(ctToolBar), this);
    rgBtnSize = new QGroupBox(ConsoleText(ctButtonSize), gbToolBar);
    rbLarge = new QRadioButton(TranslateAplText(QStringLiteral("rstrLarge")), rgBtnSize);
    rbSmall = new QRadioButton(TranslateAplText(QStringLiteral("rstrSmall")), rgBtnSize);
    auto *sizeLayout = new QHBoxLayout(rgBtnSize);
    sizeLayout->addWidget(rbLarge);
    sizeLayout->addWidget(rbSmall);
    chCreateSeparators = new QCheckBox(ConsoleText(ctMenuSeparators), gbToolBar);
    auto *toolLayout = new QVBoxLayout(gbToolBar);
    toolLayout->addWidget(rgBtnSize);
    toolLayout->addWidget(chCreateSeparators);

    auto *buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(QDialogButtonBox::Ok);
    btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    btnOK->setText(WordText(QStringLiteral("rstr_to_Apply"), QStringLiteral("Apply")));
    btnCancel->setText(WordText(QStringLiteral("rstr_to_Cancel"), QStringLiteral("Cancel")));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gbConsole);
    layout->addWidget(gbToolBar);
    layout->addWidget(buttons);
    SetObjectNames({{gbConsole, "gbConsole"},
                    {chHideMinimized, "chHideMinimized"},
                    {chFormTop, "chFormTop"},
                    {chViewLogo, "chViewLogo"},
                    {lblLanguage, "lblLanguage"},
                    {cbLanguage, "cbLanguage"},
                    {gbToolBar, "gbToolBar"},
                    {rgBtnSize, "rgBtnSize"},
                    {rbLarge, "rbLarge"},
                    {rbSmall, "rbSmall"},
                    {chCreateSeparators, "chCreateSeparators"},
                    {btnOK, "btnOK"},
                    {btnCancel, "btnCancel"}});
    SetDrivenUnattended(this);
    LoadSettings();
}

void TfmConfigConsole::SetLanguages(const QList<QPair<int, QString>> &languages, int chosen)
{
    cbLanguage->clear();
    for (const auto &[tag, name] : languages) {
        cbLanguage->addItem(name, tag);
        if (tag == chosen)
            cbLanguage->setCurrentIndex(cbLanguage->count() - 1);
    }
    lblLanguage->setVisible(!languages.isEmpty());
    cbLanguage->setVisible(!languages.isEmpty());
}

int TfmConfigConsole::ChosenLanguage() const
{
    return cbLanguage->currentIndex() < 0 ? -1 : cbLanguage->currentData().toInt();
}

int TfmConfigConsole::ButtonSizeIndex() const { return rbSmall->isChecked() ? 1 : 0; }

void TfmConfigConsole::SetButtonSizeIndex(int index) { (index == 1 ? rbSmall : rbLarge)->setChecked(true); }

void TfmConfigConsole::showEvent(QShowEvent *event)
{
    LoadSettings();
    TComBaseForm::showEvent(event);
    // The keyboard starts in the first control.
    chHideMinimized->setFocus();
}

void TfmConfigConsole::LoadSettings()
{
    chHideMinimized->setChecked(ReadHideMinimized());
    chFormTop->setChecked(ReadFormTop());
    chViewLogo->setChecked(ReadViewLogo());
    chCreateSeparators->setChecked(ReadCreateSeps());
    m_loadedMiniTB = ReadMiniTB();
    SetButtonSizeIndex(m_loadedMiniTB ? 1 : 0);
}

bool TfmConfigConsole::SaveSettings()
{
    try {
        WriteHideMinimized(chHideMinimized->isChecked());
        WriteFormTop(chFormTop->isChecked());
        WriteViewLogo(chViewLogo->isChecked());
        WriteCreateSeps(chCreateSeparators->isChecked());
        WriteMiniTB(ButtonSizeIndex() == 1);
        return true;
    } catch (const Exception &e) {
        ShowMessageBox(e.message().trimmed(), windowTitle(), MB_ICONERROR);
        return false;
    }
}

void TfmConfigConsole::done(int result)
{
    if (result == QDialog::Accepted) {
        if ((ButtonSizeIndex() == 1) != m_loadedMiniTB)
            ShowMessageBox(TranslateAplText(QStringLiteral("rstr_msg_IniAfterReboot")),
                           Fmt(TranslateAplText(QStringLiteral("rstr_fmt_Param")), rgBtnSize->title()),
                           MB_ICONINFORMATION);
        if (!SaveSettings())
            return;
    }
    TComBaseForm::done(result);
}
