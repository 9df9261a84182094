#include "Modules/ComformLibs/uMassSelect.h"

#include "Core/TextFormat.h"
#include "DataAccess/DataSet.h"
#include "Modules/ComformLibs/uFormLibCommon.h"
#include "Source/ComUnits/uComFunctions.h"

#include <QList>

#include <exception>

namespace {

void writeCheck(TDataSet *dataSet, TField *field, bool checked)
{
    dataSet->Edit();
    SetCheckFldValue(field, checked);
    dataSet->Post();
}

bool wantedCheck(int mode, bool checked)
{
    return mode == smSelectAll ? true : mode == smSelectNone ? false : !checked;
}

int changeRecords(TDataSet *dataSet, TField *field, int mode, int firstRow, int lastRow)
{
    // The records first: a change may move a record out of the order or the filter the rows follow.
    QList<TBookmark> records;
    for (int row = firstRow; row <= lastRow; ++row) {
        dataSet->SetRecNo(row + 1);
        records.append(dataSet->GetBookmark());
    }
    int changed = 0;
    for (const TBookmark record : std::as_const(records)) {
        if (!dataSet->BookmarkValid(record))
            continue;
        dataSet->GotoBookmark(record);
        const bool checked = GetCheckFldValue(field);
        const bool wanted = wantedCheck(mode, checked);
        if (wanted == checked)
            continue;
        writeCheck(dataSet, field, wanted);
        // A mark of the order-lines report that could not be stored is not shown either; the
        // failure has been shown once, and the walk stops there.
        if (!Set_ORDER_LINES_REPORT(dataSet, wanted)) {
            writeCheck(dataSet, field, checked);
            break;
        }
        ++changed;
    }
    return changed;
}

} // namespace

int SelectRecords(TDataSet *dataSet, const QString &column, int mode, int firstRow, int lastRow)
{
    if (mode != smSelectAll && mode != smInvert && mode != smSelectNone)
        throw Exception(Fmt(LibText(QStringLiteral("rstr_fmtmsg_UnknownSelectMode")), mode));
    TField *field = dataSet->FindField(column);
    if (!field)
        throw Exception(Fmt(LibText(QStringLiteral("rstr_fmtmsg_FieldIsNotFound")), column));
    if (!dataSet->CanModify() || field->ReadOnly())
        throw Exception(LibText(QStringLiteral("rstr_msg_DataReadOnly")));
    if (dataSet->IsEmpty())
        return 0;
    const int last = lastRow < 0 ? dataSet->RecordCount() - 1 : qMin(lastRow, dataSet->RecordCount() - 1);
    const TBookmark start = dataSet->GetBookmark();
    dataSet->DisableControls();
    int changed = 0;
    std::exception_ptr failure;
    try {
        changed = changeRecords(dataSet, field, mode, qMax(0, firstRow), last);
    } catch (...) {
        failure = std::current_exception();
    }
    // Back on the record it stood on, whatever happened; the first failure is the one reported.
    try {
        if (dataSet->State() != TDataSetState::dsBrowse)
            dataSet->Cancel();
        if (start && dataSet->BookmarkValid(start))
            dataSet->GotoBookmark(start);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    dataSet->EnableControls();
    if (failure)
        std::rethrow_exception(failure);
    return changed;
}
