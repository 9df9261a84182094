#include "Console/DLLLoaderIMPL.h"

#include "Console/ServiceListIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uMenu.h"
#include "Console/uModuleCache.h"
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
#include <QUtf8StringView>
#include <QVBoxLayout>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

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

void RequireFits(const QString &value, int length = TLoader::kMaxIdentifierLength)
{
    if (value.size() > length)
        throw EServiceError(Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_ValueTooLong")), value, length));
}

// Right number index + 1 must stand at place index: the rights string numbers rights by place.
void RequireInOrder(const QString &guid, int index, int id)
{
    if (id != index + 1)
        throw EServiceError(Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_RightsOutOfOrder")), guid, index + 1, id));
}

// The service's rights as the module reader copied them: refused whole when
// they do not fit the rights string or the catalogue, never cut.
void TakeRights(const TProbedRegistration &read, TBaseService &service)
{
    if (read.RightsNull)
        throw EServiceError(ConsoleText(ctIncorrectService));
    if (read.Rights.size() > TAccessList::MaxCount) {
        // The rights string of the service: "1" and a place per right.
        const QString rights = QLatin1Char('1') + QString(read.Rights.size(), QLatin1Char('0'));
        throw EServiceError(service.Guid() + QStringLiteral(": ") +
                            Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_ValueTooLong")),
                                rights.left(24) + QChar(0x2026), TAccessList::MaxCount + 1));
    }
    for (int i = 0; i < read.Rights.size(); ++i) {
        const TProbedRight &right = read.Rights.at(i);
        RequireInOrder(service.Guid(), i, right.ID);
        RequireFits(QString::fromUtf8(right.Caption), TLoader::kMaxRightCaptionLength);
        const TAccessRec2 record{right.ID, right.Guid.isNull() ? nullptr : right.Guid.constData(),
                                 right.Caption.isNull() ? nullptr : right.Caption.constData(), right.IsLang};
        if (read.ShortRights)
            service.AccessList().Add(TAccessItem::CreateShort(TAccessRec{record.ID, record.GUID, record.Caption}));
        else
            service.AccessList().Add(std::make_unique<TAccessItem>(record, ApplyAplText));
    }
}

void TakeReports(const TProbedRegistration &read, TBaseService &service)
{
    for (const TProbedReport &report : read.Reports) {
        const auto text = [](const QByteArray &bytes) { return bytes.isNull() ? nullptr : bytes.constData(); };
        service.ReportList().Add(
            std::make_unique<TReportItem>(TReportRec{text(report.RGuid), text(report.RName), text(report.RDesc)}));
    }
}

// A module file of the folder: its name, or why it cannot be read at all.
struct TFolderFile {
    QString Name;
    QString Problem;
};

// The module files (*.so, any letter case) of the folder, by name. A name
// that is not UTF-8 cannot be stored in the catalogue: its file is listed
// with that reason, its bytes written as \xNN.
QList<TFolderFile> FolderModules(const QString &folder)
{
    QList<TFolderFile> files;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return files;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.') || !name.toLower().endsWith(".so"))
            continue;
        struct stat st {};
        if (::stat(QFile::encodeName(folder).append('/').append(name).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (QUtf8StringView(name).isValidUtf8()) {
            files.append({QString::fromUtf8(name), QString()});
            continue;
        }
        QString shown;
        for (const char byte : name)
            shown += uchar(byte) < 0x80
                         ? QString(QLatin1Char(byte))
                         : QStringLiteral("\\x") + QString::number(uchar(byte), 16).toUpper().rightJustified(2, u'0');
        files.append({shown, SelectText(QStringLiteral("имя файла не в кодировке UTF-8"),
                                        QStringLiteral("the file name is not UTF-8"))});
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end(), [](const TFolderFile &a, const TFolderFile &b) { return a.Name < b.Name; });
    return files;
}

// The files that could not be read, one line each, in one message.
void ReportFailures(const QStringList &failures)
{
    if (failures.isEmpty())
        return;
    constexpr int kShown = 30;
    QStringList lines{SelectText(QStringLiteral("Эти файлы модулей не прочитаны:"),
                                 QStringLiteral("These module files were not read:"))};
    lines << failures.mid(0, kShown);
    if (failures.size() > kShown)
        lines << QStringLiteral("\u2026 (+%1)").arg(failures.size() - kShown);
    ShowMessageBox(lines.join(QLatin1Char('\n')), ConsoleText(ctServiceRegistration), MB_ICONWARNING);
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

QString TLoader::ModuleFolderPath() const { return Folder.isEmpty() ? ModuleFolder() : Folder; }

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
    const QString folder = ModuleFolderPath();
    const QList<TFolderFile> files = FolderModules(folder);

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

    // Every file is read in the module reader (or known from the cache), in one run.
    QStringList failures;
    QList<TProbeRequest> requests;
    for (const TFolderFile &file : files) {
        const QString path = QDir(folder).filePath(file.Name);
        // A file that ended a console while it was opened is not offered again.
        const QString problem = !file.Problem.isEmpty()         ? file.Problem
                                : ModuleFaults().IsFaulty(path) ? ModuleFaultText()
                                                                : QString();
        if (!problem.isEmpty())
            failures << file.Name + QStringLiteral(": ") + problem;
        // A request without a path reads nothing; the form library is never read.
        const bool read = problem.isEmpty() && !IsFormLibrary(file.Name);
        requests << TProbeRequest{read ? path : QString(), {}, true};
    }
    bool stopped = false;
    const QList<TModuleRecordPtr> records = ModuleCache().Read(requests, [&](int index, bool done) {
        const QByteArray name = files.at(index).Name.toUtf8();
        if (!progress)
            return true;
        if (!done) {
            progress->BeforeFile(name.constData());
            return true;
        }
        stopped = !progress->AfterFile(name.constData());
        return !stopped;
    });
    if (stopped)
        throw ETerminated();
    for (int i = 0; i < files.size(); ++i) {
        if (!records.at(i))
            continue;
        const QString &name = files.at(i).Name;
        try {
            ReadServices(*records.at(i), name);
        } catch (const std::exception &e) {
            const QString reason = ExceptionMessage(e).trimmed().replace(QLatin1Char('\n'), QLatin1Char(' '));
            qCInfo(lcServices) << "registration:" << name << reason;
            failures << name + QStringLiteral(": ") + reason;
        }
    }
    btnOk->setEnabled(!m_services->IsEmpty());
    ReportFailures(failures);
    FillList();
}

void TLoader::ReadServices(const TModuleRecord &record, const QString &fileName)
{
    if (!record.ReaderError.isEmpty())
        throw EServiceError(record.ReaderError);
    if (record.Fault != TModuleFault::None)
        throw EModuleFault(record.FaultText());
    const TProbedFile &file = record.File;
    if (!file.LoadError.isEmpty())
        throw EOSError(Fmt(ConsoleText(ctLibLoadFailed), fileName) + QStringLiteral(" \"") + file.LoadError +
                       QLatin1Char('"'));
    if (!(file.Exports & meServiceList) || !(file.Exports & (meAttribute | meAttribute2)))
        return; // no service module
    if (!file.ListError.isEmpty())
        throw EServiceError(file.ListError);
    if (file.ListedGuids.isEmpty())
        return;
    RequireFits(fileName);

    for (const QString &guid : file.ListedGuids) {
        if (OnFilter && OnFilter(guid))
            continue;
        RequireFits(guid);
        const TServiceAttributes attributes = ServiceAttributesOf(record, guid);
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
        const TProbedRegistration read = file.Registration.value(guid);
        if (!read.Error.isEmpty())
            throw EServiceError(read.Error);
        if (file.Exports & (meAccessList | meAccessList2))
            TakeRights(read, *service);
        TakeReports(read, *service);
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
