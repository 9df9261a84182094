#include "Files/uShowVer.h"

#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "Files/uFilesLog.h"
#include "Ui/HelpTopic.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {

const char *const kExportCaption = "Экспорт в текстовый файл";
const char *const kExportCaptionEn = "Export to a text file";
const char *const kHelpFileName = "KorConsole.hlp";
// The height of the system's sizing frame, added to the title strip that drags the window.
constexpr int kSizingFrame = 4;
constexpr int kDesignedHeight = 400;
// The font that the column widths were designed for: 8 points at 96 dpi.
constexpr double kDesignedFontPixels = 8.0 * 96.0 / 72.0;
// Cells are drawn 2 pixels in from the left; a few pixels keep the text off the next column.
constexpr int kCellTextInset = 2;
constexpr int kCellRightMargin = 4;

// Cells: black text, blue for BuildKind 1, white on the highlight colour when selected.
class TVersionCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state.testAnyFlags(QStyle::State_Selected | QStyle::State_HasFocus);
        painter->save();
        painter->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        painter->setPen(selected ? QColor(Qt::white) : VersionCellTextColour(index.data(Qt::UserRole).toInt()));
        painter->drawText(option.rect.adjusted(kCellTextInset, kCellTextInset, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
};

QStringList SortedFiles(const QDir &dir, const QStringList &patterns)
{
    QStringList files;
    for (const QFileInfo &info :
         dir.entryInfoList(patterns, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase))
        files.append(info.filePath());
    return files;
}

bool HasSuffix(const QString &name, const QStringList &suffixes)
{
    for (const QString &suffix : suffixes)
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

QString FitExportCell(const QString &text, int width)
{
    QString cell = text;
    if (cell.size() >= width)
        cell.truncate(qMax(0, width - 1));
    return cell.leftJustified(width, QLatin1Char(' '));
}

QStringList VersionExportLines(const QList<QStringList> &rows)
{
    QStringList lines;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QString line;
        for (int c = 0; c < kFileVersionFieldCount; ++c)
            line += FitExportCell(c < rows[r].size() ? rows[r][c] : QString(), kExportWidths[c]);
        lines.append(line);
        if (r == 0)
            lines.append(QString(line.size(), QLatin1Char('*')));
    }
    return lines;
}

QColor VersionCellTextColour(int buildKind) { return buildKind == 1 ? QColor(Qt::blue) : QColor(Qt::black); }

int ScaledColumnWidth(int designedWidth, const QFont &font)
{
    const double pixels = QFontInfo(font).pixelSize();
    return qRound(designedWidth * qMax(1.0, pixels / kDesignedFontPixels));
}

int CellTextWidth(const QString &text, const QFont &font)
{
    return QFontMetrics(font).horizontalAdvance(text) + kCellTextInset + kCellRightMargin;
}

QRect MaximizedVersionsRect(const QRect &workArea, const QRect &mainFormFrame)
{
    if (mainFormFrame.isNull())
        throw EAssertionFailed(QStringLiteral("TShowVer.OnWM_GETMINMAXINFO: Application.MainForm = null"));
    const int top = mainFormFrame.bottom() + 1;
    QRect rect = workArea;
    rect.setTop(top);
    rect.setHeight(qMax(0, workArea.height() - (top - workArea.top()) - 5));
    return rect;
}

QWidget *VersionsMainForm()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow *>(widget) && widget->isVisible())
            return widget;
    return nullptr;
}

TShowVer::TShowVer(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    SetHelpTopic(this, QString::fromLatin1(kHelpFileName), HelpKeyword());
    setObjectName(QStringLiteral("ShowVer"));

    stxtTitle = new QLabel(this);
    stxtTitle->setObjectName(QStringLiteral("stxtTitle"));
    QFont bold = stxtTitle->font();
    bold.setBold(true);
    stxtTitle->setFont(bold);
    stxtTitle->setAutoFillBackground(true);
    QPalette titleColours = stxtTitle->palette();
    titleColours.setColor(QPalette::Window, titleColours.color(QPalette::Highlight));
    titleColours.setColor(QPalette::WindowText, titleColours.color(QPalette::HighlightedText));
    stxtTitle->setPalette(titleColours);
    stxtTitle->setContentsMargins(4, 2, 4, 2);

    Button1 = new QToolButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    Button1->setAutoRaise(true);
    connect(Button1, &QToolButton::clicked, this, &QDialog::close);

    pnlGrid = new QFrame(this);
    pnlGrid->setObjectName(QStringLiteral("pnlGrid"));
    pnlGrid->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Grid = new QTableWidget(pnlGrid);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->verticalHeader()->hide();
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setItemDelegate(new TVersionCellDelegate(Grid));
    auto *gridLayout = new QVBoxLayout(pnlGrid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(Grid);

    btClose = new QPushButton(this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setText(TranslateAplText(QStringLiteral("rstr_to_Close")));
    Button1->setToolTip(btClose->text());
    btClose->setDefault(true);
    if (ResourceLibraryLoaded()) {
        const QPixmap glyph = ResourceBitmap(53);
        if (!glyph.isNull())
            btClose->setIcon(QIcon(glyph));
    }
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);

    actExportToFile =
        new QAction(PackAplText(QString::fromUtf8(kExportCaption), QString::fromLatin1(kExportCaptionEn)), this);
    actExportToFile->setObjectName(QStringLiteral("actExportToFile"));
    actExportToFile->setToolTip(actExportToFile->text());
    actExportToFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    actExportToFile->setShortcutContext(Qt::WindowShortcut);
    connect(actExportToFile, &QAction::triggered, this, &TShowVer::actExportToFileExecute);
    addAction(actExportToFile);
    Grid->addAction(actExportToFile);
    Grid->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(0);
    titleRow->addWidget(stxtTitle, 1);
    titleRow->addWidget(Button1);
    // The export is offered on a button too, not only by its short cut and the grid's menu.
    btExport = new QPushButton(actExportToFile->text() + QStringLiteral("..."), this);
    btExport->setObjectName(QStringLiteral("btExport"));
    btExport->setToolTip(actExportToFile->shortcut().toString(QKeySequence::NativeText));
    connect(btExport, &QPushButton::clicked, actExportToFile, &QAction::trigger);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(btExport);
    buttonRow->addStretch(1);
    buttonRow->addWidget(btClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(4);
    layout->addLayout(titleRow);
    layout->addWidget(pnlGrid, 1);
    layout->addLayout(buttonRow);

    m_helpFile = ResolveHelpFile(QString::fromLatin1(kHelpFileName));

    resize(width(), kDesignedHeight);
    // A script reads the window back and exports through it as a person does.
    SetDrivenUnattended(this);
}

TShowVer::~TShowVer() = default;

void TShowVer::FillGrid()
{
    m_filled = true;
    Grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    m_manager.Refresh();

    Grid->clear();
    Grid->setColumnCount(kFileVersionFieldCount);
    Grid->setRowCount(qMax(m_manager.Count(), 1));
    for (int c = 0; c < kFileVersionFieldCount; ++c) {
        Grid->setHorizontalHeaderItem(c, new QTableWidgetItem(FileVersionCaption(c)));
    }

    for (int row = 0; row < m_manager.Count(); ++row) {
        const TFileVersion *file = m_manager.Items(row);
        const int filled = qMin(file->LineCount(), kFileVersionFieldCount);
        for (int c = 0; c < filled; ++c) {
            auto *item = new QTableWidgetItem(file->Value(QString::fromLatin1(FileVersionField(c).Name)));
            item->setData(Qt::UserRole, int(file->BuildKind));
            Grid->setItem(row, c, item);
        }
    }
    SizeColumns();
}

void TShowVer::SizeColumns()
{
    int widths = 0;
    for (int c = 0; c < kFileVersionFieldCount; ++c) {
        int width = qMax(ScaledColumnWidth(FileVersionField(c).Width, Grid->font()),
                         Grid->horizontalHeader()->sectionSizeHint(c));
        for (int row = 0; row < Grid->rowCount(); ++row)
            if (const QTableWidgetItem *item = Grid->item(row, c))
                width = qMax(width, CellTextWidth(item->text(), Grid->font()));
        Grid->setColumnWidth(c, width);
        widths += width;
    }
    int formWidth = widths + 25 + pnlGrid->frameWidth() + 20;
    // Never wider than the screen: the grid scrolls instead.
    if (const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen())
        formWidth = qMin(formWidth, where->availableGeometry().width());
    resize(formWidth, height());
}

QStringList TShowVer::ExportLines() const
{
    QList<QStringList> rows;
    QStringList header;
    for (int c = 0; c < Grid->columnCount(); ++c)
        header.append(Grid->horizontalHeaderItem(c) ? Grid->horizontalHeaderItem(c)->text() : QString());
    rows.append(header);
    for (int r = 0; r < Grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < Grid->columnCount(); ++c)
            cells.append(Grid->item(r, c) ? Grid->item(r, c)->text() : QString());
        rows.append(cells);
    }
    return VersionExportLines(rows);
}

QString TShowVer::ExportFileName() const
{
    // The caption names a file of the chosen folder, never another folder.
    QString name = windowTitle() + QStringLiteral(".txt");
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name;
}

QString TShowVer::ExportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void TShowVer::ExportToFile(const QString &fileName) const
{
    QByteArray text;
    for (const QString &line : ExportLines())
        text += line.toUtf8() + '\n';
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() || !file.flush())
        throw EOSError(QStringLiteral("\"%1\": %2").arg(fileName, file.errorString()));
}

QString TShowVer::AskExportFile()
{
    // The dialog of the toolkit, not the desktop's, so that a script can drive it like the others.
    QFileDialog dialog(this, actExportToFile->text(), ExportFolder(),
                       PackAplText(QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Text files (*.txt)")));
    dialog.setObjectName(QStringLiteral("ExportFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(ExportFileName());
    SetDrivenUnattended(&dialog);
    for (;;) {
        if (ExecModalDialog(&dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        const QString fileName = dialog.selectedFiles().first();
        if (!QFileInfo::exists(fileName))
            return fileName;
        const QString question = Fmt(PackAplText(QStringLiteral("Файл \"%s\" уже существует. Заменить его?"),
                                                 QStringLiteral("The file \"%s\" already exists. Replace it?")),
                                     QDir::toNativeSeparators(fileName));
        if (ShowDialogMessage(question, actExportToFile->text(), MB_YESNO | MB_ICONQUESTION,
                              {PackAplText(QStringLiteral("Заменить"), QStringLiteral("Replace")),
                               TranslateAplText(QStringLiteral("rstr_to_Cancel"))}) == IDYES)
            return fileName;
    }
}

void TShowVer::actExportToFileExecute()
{
    const QString fileName = AskExportFile();
    if (fileName.isEmpty())
        return;
    try {
        ExportToFile(fileName);
    } catch (const std::exception &e) {
        ShowDialogMessage(ExceptionMessage(e).trimmed(), TranslateAplText(QStringLiteral("rstrNotification")),
                          MB_ICONERROR);
        return;
    }
    ShowDialogMessage(Fmt(PackAplText(QStringLiteral("Список сохранен в файле \"%s\""),
                                      QStringLiteral("The list is saved in the file \"%s\"")),
                          QDir::toNativeSeparators(fileName)),
                      TranslateAplText(QStringLiteral("rstrNotification")), MB_ICONINFORMATION);
}

void TShowVer::showEvent(QShowEvent *event)
{
    if (!m_filled)
        FillGrid();
    QDialog::showEvent(event);
}

void TShowVer::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        btClose->click();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool TShowVer::IsCaptionPress(const QPoint &pos) const
{
    return pos.y() >= 0 && pos.y() < stxtTitle->height() + kSizingFrame;
}

void TShowVer::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && IsCaptionPress(event->position().toPoint())) {
        // The desktop moves the window where it can; elsewhere the window follows the mouse itself.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QDialog::mousePressEvent(event);
}

void TShowVer::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void TShowVer::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void TShowVer::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        PlaceMaximized();
}

void TShowVer::PlaceMaximized()
{
    const QWidget *mainForm = VersionsMainForm();
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return;
    try {
        setGeometry(MaximizedVersionsRect(where->availableGeometry(), mainForm ? mainForm->frameGeometry() : QRect()));
    } catch (const EAssertionFailed &e) {
        // Without a main form the window simply keeps the desktop's maximised placement.
        qCDebug(lcFiles) << "the versions window keeps the desktop's placement:" << e.message();
    }
}

void ShowVersions(const QString &caption, const QString &title, const QStringList &fileNames)
{
    TShowVer window;
    window.Manager().FileNames = fileNames;
    window.setWindowTitle(caption);
    window.stxtTitle->setText(title);
    ExecModalDialog(&window);
}

QStringList ProgramFilesOfFolder(const QString &folder)
{
    const QDir dir(folder);
    const QStringList windowsSuffixes = {QStringLiteral(".dll"), QStringLiteral(".exe")};
    const QStringList moduleSuffixes = {QStringLiteral(".so")};
    QStringList executables;
    for (const QString &file : SortedFiles(dir, {}))
        if (QFileInfo(file).isExecutable() && !HasSuffix(file, moduleSuffixes) && !HasSuffix(file, windowsSuffixes))
            executables.append(file);
    return executables + SortedFiles(dir, {QStringLiteral("*.so")}) +
           SortedFiles(dir, {QStringLiteral("*.dll"), QStringLiteral("*.exe")});
}
