#include "Source/ComUnits/uLumSources.h"

#include "Core/ResourcePack.h"

#include <QCoreApplication>

TLumDefSources::TLumDefSources(QObject *owner) : QObject(owner) {}

TLumDefSources::~TLumDefSources() = default;

TLumSourcesReference::TLumSourcesReference(QObject *owner) : QObject(owner) {}

TLumSourcesReference::~TLumSourcesReference() = default;

namespace {

// Entries 101 to 145, in index order; 120 is not set.
const char *const kSourceStrings[] = {
    "rstr_fmtmsg_ErrorText",
    "rstrFldrNotExsts",
    "rstr_fmtcnf_CreteFldr",
    "rstr_fmtmsg_FldrNotExsts",
    "rstr_fmtmsg_FldrNotCrtd",
    "rstr_msg_CheckNameIsCorrect",
    "rstr_fmtmsg_EnableValueRange",
    "rstrAutoPrint",
    "rstrInCopies",
    "rstrPrinter",
    "rstrUseCurrentRecord",
    "rstrFormUnderNewName",
    "rstrSaveUnderNewName",
    "rstrFldrSaveReport",
    "rstrFldrSendReport",
    "rstr_cnf_FldrSendToChange",
    "rstr_act_FldrSendChange",
    "rstrAtFixedAddr",
    "rstrAddresseeSubFldr",
    nullptr,
    "rstrIncorrectSymbols",
    "rstrIncorrectSymbolsInTitle",
    "rstr_to_Open",
    "rstr_to_Create",
    "rstr_to_Minimize",
    "rstr_to_Maximaze",
    "rstr_to_View",
    "rstr_act_SavingInFile",
    "rstrSendingEMail",
    "rstr_to_FldrOpenCrtd",
    "rstr_to_Clear",
    "rstr_to_Choice",
    "rstr_act_SelectOfFldr",
    "rstr_to_SelectFldr",
    "rstr_to_DeSelectFldr",
    "rstrSearch",
    "rstr_fmtmsg_ImpossibleDatasForFinding",
    "rstr_msg_SearchFieldIsNotSelected",
    "rstrDay",
    "rstrMonth",
    "rstrYar",
    "rstr_subdir_sending_report",
    "rstr_addresse_subdir",
    "rstr_subdir_save_report",
    "rstrQuarter",
};
constexpr int kFirstSourceIndex = 101;

QPointer<TLumDefSources> g_applicationSources;

} // namespace

void FillDefSources(TLumDefSources *sources)
{
    const QString red = QString::number(0xFF0000);
    sources->SetSource(99, red);
    sources->SetSource(98, red);
    int index = kFirstSourceIndex;
    for (const char *id : kSourceStrings) {
        if (id)
            sources->SetSource(index, TranslateAplText(QString::fromLatin1(id)));
        ++index;
    }
}

QString DefSourceText(const QString &id)
{
    if (!g_applicationSources)
        return QString();
    int index = kFirstSourceIndex;
    for (const char *source : kSourceStrings) {
        if (source && id == QLatin1String(source))
            return g_applicationSources->HasSource(index) ? g_applicationSources->Source(index) : QString();
        ++index;
    }
    return QString();
}

TLumDefSources *ApplicationDefSources()
{
    if (!g_applicationSources)
        g_applicationSources = new TLumDefSources(QCoreApplication::instance());
    return g_applicationSources;
}
