#include "Modules/ComformLibs/uFindDlg.h"

#include "Core/DialogService.h"
#include "DataAccess/DataSet.h"
#include "Source/ComUnits/DBGridInterface.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// What the user chose last time for a grid (by its hint), offered again.
struct TFindChoice {
    QString text;
    bool wholeValue = false;
    bool matchCase = false;
    bool onward = false;
};
QHash<QString, TFindChoice> g_lastChoices;

// A stored value as text the way it was typed in: dates in ISO form, whole numbers without decimals.
QString storedText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate)
                                        : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}

// The grids group digits with no-break spaces; a user types plain ones.
QString plainSpaces(QString text)
{
    return text.replace(QChar(0x00A0), QLatin1Char(' ')).replace(QChar(0x202F), QLatin1Char(' '));
}

bool textMatches(const QString &shown, const TFindRequest &request)
{
    const Qt::CaseSensitivity cs = request.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QString candidate = plainSpaces(shown), text = plainSpaces(request.text);
    return request.wholeValue ? candidate.trimmed().compare(text.trimmed(), cs) == 0 : candidate.contains(text, cs);
}

} // namespace

bool FindValueMatches(const TField *field, const QVariant &value, const TFindRequest &request)
{
    if (value.isNull() || request.text.isEmpty())
        return false;
    return textMatches(DisplayText(field, value), request) || textMatches(storedText(value), request);
}

int FindRow(const TDataSet *dataSet, const TFindRequest &request, int startRow)
{
    if (!request.field)
        return -1;
    const int index = request.field->Index();
    for (int row = qMax(0, startRow); row < dataSet->RecordCount(); ++row)
        if (FindValueMatches(request.field, dataSet->ValueAt(row, index), request))
            return row;
    return -1;
}

TFindDlg::TFindDlg(IDBGrid *grid, const QString &hint, const QList<TOfferedColumn> &columns, int firstColumn,
                   QWidget *parent)
    : QDialog(parent), m_grid(grid), m_hint(hint), m_columns(columns)
{
    setObjectName(QStringLiteral("FindDlg"));
    SetDrivenUnattended(this);
    setWindowTitle(LibText(QStringLiteral("rstrSearch")));
    buildWidgets(firstColumn);
    const TFindChoice choice = g_lastChoices.value(m_hint);
    edText->setText(choice.text);
    edText->selectAll();
    (choice.wholeValue ? rbWhole : rbPartial)->setChecked(true);
    chkCase->setChecked(choice.matchCase);
    chkOnward->setChecked(choice.onward);
    updateActions();
    // The user types at once; Enter finds (the default button).
    edText->setFocus();
}

void TFindDlg::buildWidgets(int firstColumn)
{
    cmbField = Named(new QComboBox(this), "cmbField");
    for (const TOfferedColumn &c : std::as_const(m_columns)) {
        cmbField->addItem(c.title);
        if (c.column == firstColumn)
            cmbField->setCurrentIndex(cmbField->count() - 1);
    }
    edText = Named(new QLineEdit(this), "edText");
    auto *form = new QFormLayout;
    form->addRow(Named(new QLabel(LibText(QStringLiteral("rstrFindField")), this), "lblField"), cmbField);
    form->addRow(Named(new QLabel(LibText(QStringLiteral("rstrFindText")), this), "lblText"), edText);

    auto *gbMatch = Named(new QGroupBox(this), "gbMatch");
    rbPartial = Named(new QRadioButton(LibText(QStringLiteral("rstrPartOfValue")), gbMatch), "rbPartial");
    rbWhole = Named(new QRadioButton(LibText(QStringLiteral("rstrWholeValue")), gbMatch), "rbWhole");
    auto *matchLayout = new QVBoxLayout(gbMatch);
    matchLayout->addWidget(rbPartial);
    matchLayout->addWidget(rbWhole);
    chkCase = Named(new QCheckBox(LibText(QStringLiteral("rstrMatchCase")), this), "chkCase");
    chkOnward = Named(new QCheckBox(LibText(QStringLiteral("rstrOnwardFromCurrent")), this), "chkOnward");

    acFind = NewAction(this, "acFind", LibText(QStringLiteral("rstr_to_Find")));
    acCancel = NewCancelAction(this);
    connect(acFind, &QAction::triggered, this, &TFindDlg::accept);
    QPushButton *btnFind = ActionButton(acFind, "btnFind", this);
    btnFind->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnFind);
    buttons->addWidget(ActionButton(acCancel, "btnCancel", this));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(gbMatch);
    layout->addWidget(chkCase);
    layout->addWidget(chkOnward);
    layout->addLayout(buttons);
    connect(edText, &QLineEdit::textChanged, this, &TFindDlg::updateActions);
    setMinimumWidth(360);
}

void TFindDlg::updateActions() { acFind->setEnabled(cmbField->currentIndex() >= 0 && !edText->text().isEmpty()); }

TFindRequest TFindDlg::Request() const
{
    TFindRequest request;
    const int i = cmbField->currentIndex();
    request.field = i >= 0 ? m_columns.at(i).field : nullptr;
    request.text = edText->text();
    request.wholeValue = rbWhole->isChecked();
    request.matchCase = chkCase->isChecked();
    request.onward = chkOnward->isChecked();
    return request;
}

bool TFindDlg::findRecord()
{
    const TFindRequest request = Request();
    TDataSet *ds = m_grid->DataSet();
    if (!request.field || request.text.isEmpty() || !ds || !ds->Active())
        return false;
    g_lastChoices.insert(m_hint, {request.text, request.wholeValue, request.matchCase, request.onward});
    // RecNo is the current record's position from 1: the row after it.
    const int row = FindRow(ds, request, request.onward ? ds->RecNo() : 0);
    if (row < 0) {
        ShowLibNotification(LibText(QStringLiteral("rstr_msg_RecordNotFound")));
        return false;
    }
    ds->SetRecNo(row + 1);
    m_foundColumn = m_columns.at(cmbField->currentIndex()).column;
    m_grid->SetSelectedColumn(m_foundColumn);
    return true;
}

void TFindDlg::accept()
{
    if (findRecord())
        QDialog::accept();
}

int FindByDBGrid(IDBGrid *grid, const QString &hint, int *fieldIndex)
{
    TDataSet *ds = grid ? grid->DataSet() : nullptr;
    if (!ds || !ds->Active() || ds->IsEmpty())
        return 0;
    const QList<TOfferedColumn> columns = OfferedColumns(grid, kFindMask);
    if (columns.isEmpty()) {
        ShowLibNotification(LibText(QStringLiteral("rstr_msg_NoFieldsOffered")));
        return 0;
    }
    const int first = fieldIndex && *fieldIndex >= 0 ? *fieldIndex : grid->SelectedColumn();
    TFindDlg dialog(grid, hint, columns, first, GridWindow(grid));
    if (ExecModalDialog(&dialog) != QDialog::Accepted || dialog.FoundColumn() < 0)
        return 0;
    if (fieldIndex)
        *fieldIndex = dialog.FoundColumn();
    return 1;
}
