#include "Modules/ComformLibs/uGridReport.h"

#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "Modules/ComformLibs/uFormLibCommon.h"
#include "Source/ComUnits/DBGridInterface.h"
#include "Source/ComUnits/QRBy/QRBy.h"

#include <QStringList>
#include <QWidget>

QList<TQRColumnSource> GridReportColumns(IDBGrid *grid)
{
    QList<TQRColumnSource> columns;
    for (int c = 0; c < grid->ColumnCount(); ++c) {
        TField *field = grid->ColumnField(c);
        if (!field || !grid->ColumnVisible(c))
            continue;
        const QString title = grid->ColumnTitle(c);
        columns.append({field, title.isEmpty() ? field->DisplayLabel() : title});
    }
    return columns;
}

QString MasterRowLine(IDBGrid *masterGrid)
{
    TDataSet *master = masterGrid ? masterGrid->DataSet() : nullptr;
    if (!master || !master->Active() || master->IsEmpty())
        return QString();
    QStringList parts;
    for (const TQRColumnSource &column : GridReportColumns(masterGrid)) {
        if (!QRByListedType(column.Field->DataType()))
            continue;
        const QString value = DisplayText(column.Field, column.Field->Value());
        if (!value.isEmpty())
            parts.append(column.Title + QStringLiteral(": ") + value);
    }
    return parts.join(QStringLiteral("; "));
}

int ShowGridReport(IDBGrid *grid, IDBGrid *masterGrid, const QString &title)
{
    if (!grid || !grid->DataSet() || !grid->DataSet()->Active())
        return 0;
    TQRByDataSet listing(GridWindow(grid));
    listing.SetDataSet(grid->DataSet());
    listing.SetCaption(title.trimmed().isEmpty() ? LibText(QStringLiteral("rstrReport")) : title);
    listing.SetColumns(GridReportColumns(grid));
    listing.SetSubTitle(MasterRowLine(masterGrid));
    return listing.ShowListing() ? 1 : 0;
}
