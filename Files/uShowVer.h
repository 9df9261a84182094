#pragma once
// The versions window: one grid row per file with the seven columns of the
// file version information, and its export to a text file. The main window
// shows it for the modules of its menu and for all program files of its folder.
#include "Files/uFileVersion.h"

#include <QColor>
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QStringList>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;

// Export widths in characters, one per column.
inline constexpr int kExportWidths[kFileVersionFieldCount] = {25, 10, 20, 60, 10, 20, 20};

// A cell of the export: cut to width - 1 characters when it does not fit in
// less than the width, padded with blanks to exactly the width, so that
// adjacent columns are always apart.
QString FitExportCell(const QString &text, int width);
// The export's lines: the header row, a line of asterisks as long as it, then the data rows.
QStringList VersionExportLines(const QList<QStringList> &rows);

// The text colour of a cell: blue for a file whose version block has SpecialBuild only.
QColor VersionCellTextColour(int buildKind);

// The column table's widths are pixels of an 8-point font at 96 dpi: the
// width for the given font, scaled by its size.
int ScaledColumnWidth(int designedWidth, const QFont &font);
// The width a cell needs to show the whole text in the font.
int CellTextWidth(const QString &text, const QFont &font);

// Where the maximised window goes: from the bottom edge of the main form down,
// 5 pixels short of the work area's bottom. Raises without a main form.
QRect MaximizedVersionsRect(const QRect &workArea, const QRect &mainFormFrame);
// The application's main form: its visible main window, or null.
QWidget *VersionsMainForm();

class TShowVer : public QDialog {
    Q_OBJECT
public:
    explicit TShowVer(QWidget *parent = nullptr);
    ~TShowVer() override;

    TFileVersionMgr &Manager() { return m_manager; }
    // The help file of the window; empty when it is not installed.
    QString HelpFile() const { return m_helpFile; }
    static QString HelpKeyword() { return QStringLiteral("aboutserviceform"); }

    // Reads every file and fills the grid (done when the window is first shown).
    // Each column is as wide as its scaled width, or as its header or widest
    // value where these need more, so that no value is cut.
    void FillGrid();
    QStringList ExportLines() const;
    // The name the export proposes: the window's caption followed by ".txt".
    QString ExportFileName() const;
    // Where the export's save dialog starts: the user's documents, else the home folder.
    static QString ExportFolder();
    // Writes the export; raises EOSError when the file cannot be written.
    void ExportToFile(const QString &fileName) const;

    QLabel *stxtTitle = nullptr;
    QFrame *pnlGrid = nullptr;
    QTableWidget *Grid = nullptr;
    QPushButton *btClose = nullptr;
    QPushButton *btExport = nullptr;
    QToolButton *Button1 = nullptr;
    QAction *actExportToFile = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void actExportToFileExecute();
    // Asks where to save the export (a replaced file after a question); empty when cancelled.
    QString AskExportFile();
    void SizeColumns();
    bool IsCaptionPress(const QPoint &pos) const;
    void PlaceMaximized();

    TFileVersionMgr m_manager;
    QString m_helpFile;
    bool m_filled = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

// Shows the versions window for the files, modally, and frees it.
void ShowVersions(const QString &caption, const QString &title, const QStringList &fileNames);

// The program files of a folder for the "all libraries" list: the executables,
// then the shared modules (*.so), then any *.dll and *.exe files; each group by name.
QStringList ProgramFilesOfFolder(const QString &folder);
