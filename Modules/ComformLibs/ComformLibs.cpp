// The form library: dialogs shared by the console and the service modules.
// Every entry catches what its dialog raises and shows it: nothing is thrown
// across the library's boundary.
#include "Core/DialogService.h"
#include "DataAccess/DataSet.h"
#include "Modules/ComformLibs/uFilterDlg.h"
#include "Modules/ComformLibs/uFindDlg.h"
#include "Modules/ComformLibs/uFormLibCommon.h"
#include "Modules/ComformLibs/uGridReport.h"
#include "Modules/ComformLibs/uMassSelect.h"
#include "Modules/ComformLibs/uProgress.h"
#include "Modules/ComformLibs/uSortDlg.h"
#include "Source/ComUnits/uComFormLibs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A one-line input window with its own button texts and a length limit.
class TLumInputDialog : public QDialog {
    Q_OBJECT
public:
    TLumInputDialog(const QString &caption, const QString &prompt, const QString &okText, const QString &cancelText,
                    const QString &value, int maxLength)
    {
        setWindowTitle(caption);
        auto *label = new QLabel(prompt, this);
        edit = new QLineEdit(value, this);
        if (maxLength > 0)
            edit->setMaxLength(maxLength);
        label->setBuddy(edit);
        auto *buttons = new QDialogButtonBox(this);
        QPushButton *ok =
            buttons->addButton(okText.isEmpty() ? QStringLiteral("OK") : okText, QDialogButtonBox::AcceptRole);
        buttons->addButton(cancelText.isEmpty() ? QStringLiteral("Cancel") : cancelText, QDialogButtonBox::RejectRole);
        ok->setDefault(true);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        setMinimumWidth(320);
    }
    QLineEdit *edit;
};

// The text handed back to the caller; valid until the next call.
QByteArray g_lastValue;

} // namespace

extern "C" __attribute__((visibility("default"))) int lumInputQuery(const char *caption, const char *prompt,
                                                                    const char *okText, const char *cancelText,
                                                                    const char **value, int maxLength)
{
    const QString initial = value && *value ? QString::fromUtf8(*value) : QString();
    TLumInputDialog dialog(QString::fromUtf8(caption), QString::fromUtf8(prompt), QString::fromUtf8(okText),
                           QString::fromUtf8(cancelText), initial, maxLength);
    if (ExecInputQueryDialog(&dialog) != QDialog::Accepted)
        return 0;
    QString text = dialog.edit->text();
    if (maxLength > 0 && text.size() > maxLength)
        text.truncate(maxLength);
    g_lastValue = text.toUtf8();
    if (value)
        *value = g_lastValue.constData();
    return 1;
}

#define FORMLIB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

QString textOf(const char *text) { return text ? QString::fromUtf8(text) : QString(); }

} // namespace

FORMLIB_EXPORT int _FindByDBGridExB(IDBGrid *grid, const char *hint, int *fieldIndex)
{
    return RunGuarded("_FindByDBGridExB", [&] { return FindByDBGrid(grid, textOf(hint), fieldIndex); });
}

FORMLIB_EXPORT int _SortDBGridB(IDBGrid *grid, const char *)
{
    return RunGuarded("_SortDBGridB", [&] { return SortDBGrid(grid); });
}

FORMLIB_EXPORT int _FilterByDBGridD(int *mode, IDBGrid *grid, const char *)
{
    const int result = RunGuarded("_FilterByDBGridD", [&] { return FilterByDBGrid(grid); });
    // Whatever the dialog did, the mode tells the caller whether a filter is in force now.
    if (mode)
        *mode = grid && grid->DataSet() && FilterInForce(grid->DataSet()) ? 1 : 0;
    return result;
}

FORMLIB_EXPORT int GridReport(IDBGrid *grid, IDBGrid *masterGrid, const char *, const char *, const char *title)
{
    return RunGuarded("GridReport", [&] { return ShowGridReport(grid, masterGrid, textOf(title)); });
}

// The flag is the callers' (they pass 1): the data set always comes back to the record it stood on.
FORMLIB_EXPORT int RunSelectGrid(IDBGrid *grid, int mode, const char *column, int)
{
    return RunGuarded("RunSelectGrid", [&] {
        TDataSet *ds = grid ? grid->DataSet() : nullptr;
        if (!ds)
            return 0;
        const QString name = textOf(column).trimmed();
        grid->SaveDrawState();
        try {
            SelectRecords(ds, name.isEmpty() ? grid->CheckFieldName() : name, mode);
        } catch (...) {
            grid->RestoreDrawState();
            throw;
        }
        grid->RestoreDrawState();
        return 1;
    });
}

// The rectangle is the block of cells a grid of another family has selected:
// its rows top to bottom (from 1) are the records changed; with no rows
// (bottom below 1) every record is. The columns play no part: the column is named.
FORMLIB_EXPORT int RunMySelect(TDataSet *dataSet, int mode, int, int top, int, int bottom, const char *column, int)
{
    return RunGuarded("RunMySelect", [&] {
        if (!dataSet)
            return 0;
        const QString name = textOf(column).trimmed();
        const bool wholeSet = bottom < 1;
        SelectRecords(dataSet, name.isEmpty() ? QString::fromLatin1(kDefaultCheckField) : name, mode,
                      wholeSet ? 0 : qMax(1, top) - 1, wholeSet ? -1 : bottom - 1);
        return 1;
    });
}

// A progress window shown at once; the caller releases it.
FORMLIB_EXPORT int GetIProgress(IProgress **progress, const char *caption, int count)
{
    if (!progress)
        return 0;
    *progress = nullptr;
    return RunGuarded("GetIProgress", [&] {
        auto *form = new TProgressForm(textOf(caption), count);
        form->show();
        QCoreApplication::processEvents();
        *progress = form;
        return 1;
    });
}

// The entries keep the types the callers load them with.
static_assert(std::is_same_v<decltype(&_FindByDBGridExB), TFindByDBGridExB>);
static_assert(std::is_same_v<decltype(&_SortDBGridB), TSortDBGridB>);
static_assert(std::is_same_v<decltype(&_FilterByDBGridD), TFilterByDBGridD>);
static_assert(std::is_same_v<decltype(&GridReport), TGridReport>);
static_assert(std::is_same_v<decltype(&RunSelectGrid), TRunSelectGrid>);
static_assert(std::is_same_v<decltype(&RunMySelect), TRunMySelect>);
static_assert(std::is_same_v<decltype(&lumInputQuery), TLumInputQuery>);
static_assert(std::is_same_v<decltype(&GetIProgress), TGetIProgress>);

#include "ComformLibs.moc"
