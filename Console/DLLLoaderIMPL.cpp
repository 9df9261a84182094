#include "Console/DLLLoaderIMPL.h"

#include "Console/ServiceListIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uMenu.h"
#include "Console/uModuleFaults.h"
#include "Console/uModuleLibrary.h"
#include "Console/uServiceItem.h"
#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/FormReposit/uBaseForm.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The form library is never read as a service module, under either of its names.
bool IsFormLibrary(const QString &fileName)
{
    return fileName.compare(ComFormLibFileName(), Qt::CaseInsensitive) == 0 ||
           fileName.compare(QLatin1String("ComformLib.so"), Qt::CaseInsensitive) == 0;
}

// The icon of a row whose service has none: the main window's image for such services.
QIcon DefaultServiceIcon(const QWidget *widget)
{
    if (ResourceLibraryLoaded()) {
        const QPixmap small = ResourceBitmap(61);
        if (!small.isNull()) {
            const int side = qMin(small.width(), small.height());
            return QIcon(small.copy(0, 0, side, side));
        }
    }
    return widget->style()->standardIcon(QStyle::SP_ComputerIcon);
}

// A failure of one module: shown in a box captioned with the module's file name.
void ReportModuleFailure(const QString &fileName, const QString &message)
{
    qCInfo(lcServices) << "registration:" << fileName << message;
    ShowMessageBox(Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_ErrorText")), message.trimmed()), fileName,
                   MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
}

void RequireFits(const QString &value)
{
    if (value.size() > TLoader::kMaxIdentifierLength)
        throw EServiceError(
            Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_ValueTooLong")), value, TLoader::kMaxIdentifierLength));
}

// Right number index + 1 must stand at place index: the rights string numbers rights by place.
void RequireInOrder(const QString &guid, int index, int id)
{
    if (id != index + 1)
        throw EServiceError(Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_RightsOutOfOrder")), guid, index + 1, id));
}

// Copies the service's rights out of the module: GetAccessList2 when the
// module has it, else GetAccessList. A null list is no valid service.
void ReadRights(const TModuleLibrary &library, TBaseService &service)
{
    const auto getList2 = reinterpret_cast<TGetAccessList2Proc>(library.Resolve(kGetAccessList2));
    const auto getList = getList2 ? nullptr : reinterpret_cast<TGetAccessListProc>(library.Resolve(kGetAccessList));
    if (!getList2 && !getList)
        return;
    const QByteArray guid = service.Guid().toUtf8();
    CallModuleCode(library.Path(), [&] {
        if (getList2) {
            const TAccessRec2 *records = getList2(guid.constData());
            if (!records)
                throw EServiceError(ConsoleText(ctIncorrectService));
            for (int i = 0; i < TAccessList::MaxCount && records[i].ID > 0; ++i) {
                RequireInOrder(service.Guid(), i, records[i].ID);
                service.AccessList().Add(std::make_unique<TAccessItem>(records[i], ApplyAplText));
            }
            return;
        }
        const TAccessRec *records = getList(guid.constData());
        if (!records)
            throw EServiceError(ConsoleText(ctIncorrectService));
        for (int i = 0; i < TAccessList::MaxCount && records[i].ID > 0; ++i) {
            RequireInOrder(service.Guid(), i, records[i].ID);
            service.AccessList().Add(TAccessItem::CreateShort(records[i]));
        }
    });
}

void ReadReports(const TModuleLibrary &library, TBaseService &service)
{
    const auto getReports = reinterpret_cast<TGetReportListProc>(library.Resolve(kGetReportList));
    if (!getReports)
        return;
    const QByteArray guid = service.Guid().toUtf8();
    CallModuleCode(library.Path(), [&] {
        const TReportRec *records = getReports(guid.constData());
        for (int i = 0; records && records[i].RGuid; ++i)
            service.ReportList().Add(std::make_unique<TReportItem>(records[i]));
    });
}

} // namespace

TLoader::TLoader(QWidget *parent)
    : QDialog(parent), ListView1(new QTableWidget(this)), btnOk(new QPushButton(this)),
      btnCancel(new QPushButton(this)), ToolBar1(new QToolBar(this)), acSellAll(new QAction(this)),
      acDeSellAll(new QAction(this)), acInvSell(new QAction(this)), m_services(std::make_unique<TServiceListView>())
{
    SetObjectNames({{this, "Loader"},
                    {ListView1, "ListView1"},
                    {btnOk, "btnOk"},
                    {btnCancel, "btnCancel"},
                    {ToolBar1, "ToolBar1"},
                    {acSellAll, "acSellAll"},
                    {acDeSellAll, "acDeSellAll"},
                    {acInvSell, "acInvSell"}});
    SetDrivenUnattended(this);
    setWindowTitle(ConsoleText(ctServiceRegistration));

    ListView1->setColumnCount(2);
    ListView1->setHorizontalHeaderLabels(
        {TranslateAplText(QStringLiteral("rstrService")), TranslateAplText(QStringLiteral("rstrLibrary"))});
    ListView1->setColumnWidth(0, 200);
    ListView1->setColumnWidth(1, 150);
    ListView1->horizontalHeader()->setStretchLastSection(true);
    ListView1->verticalHeader()->hide();
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setShowGrid(false);

    btnOk->setText(TranslateAplText(QStringLiteral("rstr_to_Apply")));
    btnCancel->setText(TranslateAplText(QStringLiteral("rstr_to_Cancel")));
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    if (ResourceLibraryLoaded()) {
        if (const QPixmap ok = ResourceBitmap(51); !ok.isNull())
            btnOk->setIcon(ok);
        if (const QPixmap cancel = ResourceBitmap(52); !cancel.isNull())
            btnCancel->setIcon(cancel);
    }
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    const struct {
        QAction *action;
        const char *text;
        QKeySequence key;
        int mode;
    } actions[] = {{acSellAll, "rstr_to_SelectAll", QKeySequence(Qt::CTRL | Qt::Key_S), 1},
                   {acDeSellAll, "rstr_to_Unselect", QKeySequence(Qt::CTRL | Qt::Key_U), 0},
                   {acInvSell, "rstr_to_InvertSelect", QKeySequence(Qt::CTRL | Qt::Key_I), -1}};
    for (const auto &a : actions) {
        a.action->setText(TranslateAplText(QString::fromLatin1(a.text)));
        a.action->setShortcut(a.key);
        const int mode = a.mode;
        connect(a.action, &QAction::triggered, this, [this, mode] { SetChecks(mode); });
        ToolBar1->addAction(a.action);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ToolBar1);
    layout->addWidget(ListView1, 1);
    layout->addLayout(buttons);
    resize(420, 320);
}

TLoader::~TLoader() = default;

QStringList TLoader::ModuleFiles() const
{
    const QString folder = Folder.isEmpty() ? ModuleFolder() : Folder;
    return QDir(folder).entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
}

TGetIProgress TLoader::ProgressEntry() const
{
    if (GetIProgress)
        return GetIProgress;
    return reinterpret_cast<TGetIProgress>(ComFormLibEntry("GetIProgress"));
}

bool TLoader::Execute()
{
    LoadAll();
    if (m_services->IsEmpty()) {
        ShowMessageBox(ConsoleText(ctNoNewServices), TranslateAplText(QStringLiteral("rstrNotification")),
                       MB_ICONINFORMATION);
        return false;
    }
    return ExecModalDialog(this) == QDialog::Accepted;
}

void TLoader::LoadAll()
{
    m_services->Clear();
    ListView1->setRowCount(0);
    const QStringList files = ModuleFiles();

    // Without the form library's window the folder is read without one.
    IProgress *progress = nullptr;
    if (files.size() > 5) {
        if (const TGetIProgress createProgress = ProgressEntry()) {
            const QByteArray caption = ConsoleText(ctServiceListLoading).toUtf8();
            if (!createProgress(&progress, caption.constData(), int(files.size())))
                progress = nullptr;
        }
    }
    const std::unique_ptr<IProgress, void (*)(IProgress *)> release(progress, [](IProgress *p) {
        if (p)
            p->Release();
    });

    for (const QString &fileName : files) {
        const QByteArray name = fileName.toUtf8();
        if (progress)
            progress->BeforeFile(name.constData());
        if (!IsFormLibrary(fileName))
            LoadModule(fileName);
        if (progress && !progress->AfterFile(name.constData()))
            throw ETerminated();
    }
    FillList();
}

void TLoader::LoadModule(const QString &fileName)
{
    const QString folder = Folder.isEmpty() ? ModuleFolder() : Folder;
    TModuleLibrary library;
    try {
        library.Load(QDir(folder).filePath(fileName));
        ReadServices(library, fileName);
    } catch (const EModuleFault &e) {
        ReportModuleFailure(fileName, e.message());
    } catch (const EOSError &e) {
        ReportModuleFailure(fileName, Fmt(ConsoleText(ctLibLoadFailed), fileName) + QLatin1Char('\n') + e.message());
    } catch (const Exception &e) {
        ReportModuleFailure(fileName, e.message());
    } catch (const std::exception &e) {
        ReportModuleFailure(fileName, QString::fromLocal8Bit(e.what()));
    }
    btnOk->setEnabled(!m_services->IsEmpty());
    library.Unload();
}

void TLoader::ReadServices(const TModuleLibrary &library, const QString &fileName)
{
    const auto getServiceList = reinterpret_cast<TGetServiceListProc>(library.Resolve(kGetServiceList));
    if (!getServiceList || (!library.Resolve(kGetServiceAttribute2) && !library.Resolve(kGetServiceAttribute)))
        return; // no service module
    QStringList guids;
    CallModuleCode(library.Path(), [&] {
        const char *const *ids = getServiceList();
        for (; ids && *ids; ++ids)
            guids << QString::fromUtf8(*ids);
    });
    if (guids.isEmpty())
        return;
    RequireFits(fileName);

    for (const QString &guid : std::as_const(guids)) {
        if (OnFilter && OnFilter(guid))
            continue;
        RequireFits(guid);
        const TServiceAttributes attributes = ReadServiceAttributes(library, guid);
        auto service = std::make_unique<TBaseService>();
        service->SetCaption(TranslateAppText(attributes.Caption));
        service->SetModuleCaption(attributes.Caption);
        service->SetDescription(TranslateAppText(attributes.Description));
        service->SetDllName(fileName);
        service->SetGuid(guid);
        service->SetCreateBtn(false);
        service->SetMenuGroup(-1);
        service->SetTranslateCaption(attributes.TranslateCaption);
        service->SetTranslateDescription(attributes.TranslateDescription);
        service->SetTranslateFunc(ApplyAplText);
        ReadRights(library, *service);
        ReadReports(library, *service);
        m_services->Add(std::move(service), attributes.Icon);
    }
}

void TLoader::FillList()
{
    ListView1->setRowCount(0);
    ListView1->setRowCount(m_services->Count());
    const QIcon noIcon = DefaultServiceIcon(this);
    for (int i = 0; i < m_services->Count(); ++i) {
        const TBaseService *service = m_services->Items(i);
        const QIcon icon = m_services->Icon(i);
        auto *caption = new QTableWidgetItem(icon.isNull() ? noIcon : icon, service->DisplayCaption());
        caption->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        caption->setCheckState(Qt::Checked);
        caption->setData(Qt::UserRole, i);
        auto *library = new QTableWidgetItem(service->DllName());
        library->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        ListView1->setItem(i, 0, caption);
        ListView1->setItem(i, 1, library);
    }
}

void TLoader::GetList(TBaseServiceList &list) const
{
    for (int row = 0; row < ListView1->rowCount(); ++row) {
        const QTableWidgetItem *item = ListView1->item(row, 0);
        bool ok = false;
        const int index = item ? item->data(Qt::UserRole).toInt(&ok) : -1;
        Z_ASSERT(ok && index >= 0 && index < m_services->Count(), QStringLiteral("TLoader.GetList: TServiceListView"));
        if (item->checkState() != Qt::Checked)
            continue;
        auto copy = std::make_unique<TBaseService>();
        copy->Assign(*m_services->Items(index));
        list.Add(std::move(copy));
    }
}

void TLoader::SetChecks(int mode)
{
    for (int row = 0; row < ListView1->rowCount(); ++row) {
        QTableWidgetItem *item = ListView1->item(row, 0);
        const bool checked = mode < 0 ? item->checkState() != Qt::Checked : mode > 0;
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

int TLoader::CheckedCount() const
{
    int count = 0;
    for (int row = 0; row < ListView1->rowCount(); ++row)
        if (ListView1->item(row, 0)->checkState() == Qt::Checked)
            ++count;
    return count;
}

void TLoader::done(int result)
{
    if (result == QDialog::Accepted && CheckedCount() == 0) {
        ShowMessageBox(ConsoleText(ctServiceNotSelected), TranslateAplText(QStringLiteral("rstrNotification")),
                       MB_ICONEXCLAMATION);
        return;
    }
    QDialog::done(result);
}

void TLoader::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMaximized))
        return;
    QTimer::singleShot(0, this, [this] {
        if (!(windowState() & Qt::WindowMaximized) || !screen())
            return;
        const QRect band = TBaseForm::MaximizedRect(screen()->availableGeometry(), TBaseForm::MainForm());
        setWindowState(windowState() & ~Qt::WindowMaximized);
        setGeometry(band);
    });
}

bool ShowLoader(TBaseServiceList &list, const TLoaderFilter &filter)
{
    TLoader loader;
    loader.OnFilter = filter;
    try {
        if (!loader.Execute())
            return false;
    } catch (const ETerminated &) {
        return false; // the user stopped the reading: nothing to tell
    }
    loader.GetList(list);
    return true;
}
