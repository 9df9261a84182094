#include "Console/uHomeTuning.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/OracleHomes.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/ResourceLibrary.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfmHomeTuning::TfmHomeTuning(QWidget *parent) : QDialog(parent)
{
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("HomeTuning"));
    setObjectName(QStringLiteral("fmHomeTuning"));
    setWindowTitle(QStringLiteral("Oracle Home"));
    labActiveHome = new QLabel(this);
    stActiveHome = new QLabel(this);
    QFont bold = stActiveHome->font();
    bold.setBold(true);
    stActiveHome->setFont(bold);
    cbHome = new QComboBox(this);
    cbHome->setMinimumWidth(280);
    btnActivate = new QPushButton(this);
    btnExit = new QPushButton(this);
    btnActivate->setEnabled(false);
    btnActivate->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(labActiveHome);
    top->addWidget(stActiveHome, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnActivate);
    buttons->addWidget(btnExit);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(cbHome);
    layout->addLayout(buttons);

    labActiveHome->setText(
        LangText(QStringLiteral("rstrActiveOracleHome"),
                 SelectText(ConsoleTextRu(ctActiveOracleHome), QStringLiteral("Active \"Oracle Home\"")), tkWord));
    btnActivate->setText(WordText(QStringLiteral("rstr_to_Activate"), QStringLiteral("Activate")));
    btnExit->setText(WordText(QStringLiteral("rstrExit"), QStringLiteral("Exit")));
    if (ResourceLibraryLoaded()) {
        const QPixmap glyph = ResourceBitmap(53);
        if (!glyph.isNull())
            btnExit->setIcon(glyph);
    }

    SetObjectNames({{labActiveHome, "labActiveHome"},
                    {stActiveHome, "stActiveHome"},
                    {cbHome, "cbHome"},
                    {btnActivate, "btnActivate"},
                    {btnExit, "btnExit"}});
    SetDrivenUnattended(this);

    connect(btnActivate, &QPushButton::clicked, this, &TfmHomeTuning::Activate);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
    fill();
    connect(cbHome, &QComboBox::currentIndexChanged, this, &TfmHomeTuning::homeChanged);
}

QStringList TfmHomeTuning::HomeEntries(const TOracleHomes &homes)
{
    QStringList entries;
    for (int index = 0; index < kHomeCount; ++index)
        entries.append(OracleHomeEntry(homes, index));
    return entries;
}

void TfmHomeTuning::fill()
{
    cbHome->clear();
    cbHome->addItems(HomeEntries(DetectOracleHomes()));
    int stored = ReadHome();
    // Taken as an unsigned number: anything outside 0..6 goes back to the default home.
    if (static_cast<unsigned>(stored) >= kHomeCount) {
        stored = 0;
        try {
            WriteHome(0);
        } catch (const Exception &e) {
            ShowMessageBox(e.message().trimmed(), windowTitle(), MB_ICONERROR);
        }
    }
    m_storedHome = stored;
    cbHome->setCurrentIndex(stored);
    btnActivate->setEnabled(false);
}

void TfmHomeTuning::homeChanged(int index) { btnActivate->setEnabled(index != m_storedHome); }

void TfmHomeTuning::Activate()
{
    try {
        WriteHome(cbHome->currentIndex());
    } catch (const Exception &e) {
        ShowMessageBox(e.message().trimmed(), windowTitle(), MB_ICONERROR);
        return;
    }
    // The Oracle client of this run has started with the previous home already.
    if (OracleHomeApplied())
        ShowMessageBox(
            SelectText(QStringLiteral("Выбранный \"Oracle Home\" будет использован при следующем запуске консоли."),
                       QStringLiteral("The chosen \"Oracle Home\" takes effect at the next start of the console.")),
            windowTitle(), MB_ICONINFORMATION);
    accept();
}

int ShowHomeDialog()
{
    {
        TfmHomeTuning form;
        form.stActiveHome->setText(form.cbHome->currentText());
        ExecModalDialog(&form);
    }
    return ReadHome();
}
