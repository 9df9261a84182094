#include "Modules/ComformLibs/uFilterDlg.h"

#include "Core/DialogService.h"
#include "Core/SessionLocale.h"
#include "Core/TextFormat.h"
#include "DataAccess/DataSet.h"
#include "Source/ComUnits/DBGridInterface.h"
#include "Source/ComUnits/uBaseFormSettings.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

struct TOpSpelling {
    TFilterOp op;
    const char *symbol; // as the filter writes it
};
constexpr TOpSpelling kOps[] = {
    {TFilterOp::Equal, "="},        {TFilterOp::NotEqual, "<>"},        {TFilterOp::Less, "<"},
    {TFilterOp::Greater, ">"},      {TFilterOp::LessOrEqual, "<="},     {TFilterOp::GreaterOrEqual, ">="},
    {TFilterOp::IsEmpty, "= NULL"}, {TFilterOp::IsNotEmpty, "<> NULL"},
};

QString symbolOf(TFilterOp op)
{
    for (const TOpSpelling &s : kOps)
        if (s.op == op)
            return QString::fromLatin1(s.symbol);
    return QString();
}

bool needsValue(TFilterOp op) { return op != TFilterOp::IsEmpty && op != TFilterOp::IsNotEmpty; }

// The data set's filter reads a field name up to a blank, a quote or a comparison sign.
bool usableInFilter(const QString &fieldName)
{
    static const QRegularExpression plain(QStringLiteral("^[^\\s=<>!\"]+$"));
    return plain.match(fieldName).hasMatch();
}

QString quoted(const QString &text)
{
    QString escaped = text;
    return QLatin1Char('\'') + escaped.replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

bool isDateField(TFieldType type)
{
    return type == TFieldType::ftDate || type == TFieldType::ftDateTime || type == TFieldType::ftTimeStamp;
}

// A date as the grids show it (the session's format, a time after it), or in the ISO form.
std::optional<QDateTime> readDateTime(const QString &text)
{
    const QLocale locale = SessionLocale();
    const QString date = SessionDateFormat();
    for (const QString &format : {date + QLatin1Char(' ') + SessionTimeFormat(), date + QStringLiteral(" HH:mm:ss"),
                                  date + QStringLiteral(" HH:mm"), date}) {
        const QDateTime dt = locale.toDateTime(text, format);
        if (dt.isValid())
            return dt;
    }
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
        const QDateTime dt = QDateTime::fromString(text, QString::fromLatin1(format));
        if (dt.isValid())
            return dt;
    }
    return std::nullopt;
}

// A text literal without its quotes.
QString unquoted(const QString &literal)
{
    if (literal.size() >= 2 && literal.startsWith(QLatin1Char('\'')) && literal.endsWith(QLatin1Char('\'')))
        return literal.mid(1, literal.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    return literal;
}

// A literal as the user typed it: numbers and dates in the session's formats, texts without their quotes.
QString shownLiteral(const TField *field, const QString &literal)
{
    if (field && IsNumericFieldType(field->DataType())) {
        bool ok = false;
        const double number = QLocale::c().toDouble(literal, &ok);
        if (ok)
            return PlainNumberText(number);
    }
    const QString text = unquoted(literal);
    if (field && isDateField(field->DataType())) {
        const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (dt.isValid())
            return SessionLocale().toString(dt, SessionDateFormat() + QLatin1Char(' ') + SessionTimeFormat());
        if (day.isValid())
            return SessionLocale().toString(day, SessionDateFormat());
    }
    return text;
}

QString operatorCaption(TFilterOp op)
{
    switch (op) {
    case TFilterOp::IsEmpty:
        return LibText(QStringLiteral("rstrIsEmpty"));
    case TFilterOp::IsNotEmpty:
        return LibText(QStringLiteral("rstrIsNotEmpty"));
    default:
        return symbolOf(op);
    }
}

} // namespace

QString FilterText(const QList<TFilterCondition> &conditions)
{
    QStringList parts;
    for (const TFilterCondition &c : conditions) {
        const QString symbol = symbolOf(c.op);
        parts.append(needsValue(c.op) ? c.fieldName + QLatin1Char(' ') + symbol + QLatin1Char(' ') + c.literal
                                      : c.fieldName + QLatin1Char(' ') + symbol);
    }
    return parts.join(QStringLiteral(" AND "));
}

QList<TFilterCondition> ParseFilterText(const QString &filter)
{
    static const QRegularExpression andSplit(QStringLiteral("\\s+AND\\s+(?=(?:[^']*'[^']*')*[^']*$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression condition(
        QStringLiteral("^\\s*\"?([^\\s=<>!\"]+)\"?\\s*(=|<>|!=|<=|>=|<|>)\\s*(.*?)\\s*$"));
    QList<TFilterCondition> conditions;
    if (filter.trimmed().isEmpty())
        return conditions;
    for (const QString &part : filter.split(andSplit)) {
        const QRegularExpressionMatch m = condition.match(part);
        if (!m.hasMatch())
            continue;
        TFilterCondition c;
        c.fieldName = m.captured(1);
        QString symbol = m.captured(2);
        if (symbol == QLatin1String("!="))
            symbol = QStringLiteral("<>");
        const QString value = m.captured(3);
        if (value.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
            if (symbol != QLatin1String("=") && symbol != QLatin1String("<>"))
                continue;
            c.op = symbol == QLatin1String("=") ? TFilterOp::IsEmpty : TFilterOp::IsNotEmpty;
        } else {
            for (const TOpSpelling &s : kOps)
                if (symbol == QLatin1String(s.symbol))
                    c.op = s.op;
            c.literal = value;
        }
        conditions.append(c);
    }
    return conditions;
}

std::optional<QString> FilterLiteral(const TField *field, const QString &typed, QString *error)
{
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        *error = LibText(QStringLiteral("rstr_msg_EnterValue"));
        return std::nullopt;
    }
    if (IsNumericFieldType(field->DataType())) {
        // As the grid shows it (group separators allowed), or with a point.
        bool ok = false;
        QString digits = text;
        digits.remove(QChar(0x00A0)).remove(QChar(0x202F));
        double number = SessionLocale().toDouble(digits, &ok);
        if (!ok)
            number = QLocale::c().toDouble(digits, &ok);
        if (!ok) {
            *error = Fmt(LibText(QStringLiteral("rstr_fmtmsg_NotNumber")), text);
            return std::nullopt;
        }
        return QLocale::c().toString(number, 'f', QLocale::FloatingPointShortest);
    }
    if (isDateField(field->DataType())) {
        const std::optional<QDateTime> dt = readDateTime(text);
        if (!dt) {
            *error = Fmt(LibText(QStringLiteral("rstr_fmtmsg_NotDate")), text);
            return std::nullopt;
        }
        return quoted(dt->time() == QTime(0, 0) ? dt->date().toString(Qt::ISODate)
                                                : dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    return quoted(text);
}

bool FilterInForce(const TDataSet *dataSet) { return dataSet->Filtered() && !dataSet->Filter().trimmed().isEmpty(); }

void ApplyFilter(TDataSet *dataSet, const QString &filter)
{
    const QString oldFilter = dataSet->Filter();
    const bool oldFiltered = dataSet->Filtered();
    try {
        if (filter.isEmpty()) {
            dataSet->SetFilter(QString());
            // A record filter of the form's own stays in force.
            if (!dataSet->OnFilterRecord)
                dataSet->SetFiltered(false);
        } else {
            dataSet->SetFilter(filter);
            dataSet->SetFiltered(true);
        }
    } catch (...) {
        // The previous filter was read before: it reads again.
        dataSet->SetFilter(oldFilter);
        dataSet->SetFiltered(oldFiltered);
        throw;
    }
}

TFilterDlg::TFilterDlg(const QList<TOfferedColumn> &columns, const QList<TFilterCondition> &current, QWidget *parent)
    : QDialog(parent), m_columns(columns), m_conditions(current)
{
    setObjectName(QStringLiteral("FilterDlg"));
    SetDrivenUnattended(this);
    setWindowTitle(LibText(QStringLiteral("rstr_to_Filter")));
    buildWidgets();
    refreshList();
}

void TFilterDlg::buildWidgets()
{
    cmbField = Named(new QComboBox(this), "cmbField");
    for (const TOfferedColumn &c : std::as_const(m_columns))
        cmbField->addItem(c.title);
    cmbOperator = Named(new QComboBox(this), "cmbOperator");
    for (const TOpSpelling &s : kOps)
        cmbOperator->addItem(operatorCaption(s.op), int(s.op));
    edValue = Named(new QLineEdit(this), "edValue");
    lbConditions = Named(new QListWidget(this), "lbConditions");

    acAdd = NewAction(this, "acAdd", LibText(QStringLiteral("rstr_to_Add")));
    acDelete = NewAction(this, "acDelete", LibText(QStringLiteral("rstr_to_Delete")));
    acClear = NewAction(this, "acClear", LibText(QStringLiteral("rstr_to_ClearFilter")));
    acOk = NewAction(this, "acOk", LibText(QStringLiteral("rstr_to_Apply")));
    acCancel = NewCancelAction(this);
    connect(acAdd, &QAction::triggered, this, &TFilterDlg::addCondition);
    connect(acDelete, &QAction::triggered, this, &TFilterDlg::deleteCondition);
    connect(acClear, &QAction::triggered, this, &TFilterDlg::clearConditions);
    connect(acOk, &QAction::triggered, this, &TFilterDlg::accept);
    connect(cmbOperator, &QComboBox::currentIndexChanged, this, &TFilterDlg::updateActions);
    connect(lbConditions, &QListWidget::currentRowChanged, this, &TFilterDlg::updateActions);

    auto *editors = new QGridLayout;
    editors->addWidget(Named(new QLabel(LibText(QStringLiteral("rstrFindField")), this), "lblField"), 0, 0);
    editors->addWidget(Named(new QLabel(LibText(QStringLiteral("rstrCondition")), this), "lblOperator"), 0, 1);
    editors->addWidget(Named(new QLabel(LibText(QStringLiteral("rstrValue")), this), "lblValue"), 0, 2);
    editors->addWidget(cmbField, 1, 0);
    editors->addWidget(cmbOperator, 1, 1);
    editors->addWidget(edValue, 1, 2);
    editors->addWidget(ActionButton(acAdd, "btnAdd", this), 1, 3);
    editors->setColumnStretch(0, 2);
    editors->setColumnStretch(2, 2);

    auto *listButtons = new QVBoxLayout;
    listButtons->addWidget(ActionButton(acDelete, "btnDelete", this));
    listButtons->addWidget(ActionButton(acClear, "btnClear", this));
    listButtons->addStretch();
    auto *list = new QHBoxLayout;
    list->addWidget(lbConditions);
    list->addLayout(listButtons);

    QPushButton *btnOk = ActionButton(acOk, "btnOk", this);
    btnOk->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(ActionButton(acCancel, "btnCancel", this));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(editors);
    layout->addWidget(Named(new QLabel(LibText(QStringLiteral("rstrFilterConditions")), this), "lblConditions"));
    layout->addLayout(list);
    layout->addLayout(buttons);
    resize(560, 340);
}

QString ConditionCaption(const TFilterCondition &condition, const QList<TOfferedColumn> &columns)
{
    QString title = condition.fieldName;
    const TField *field = nullptr;
    for (const TOfferedColumn &c : columns)
        if (c.field->FieldName().compare(condition.fieldName, Qt::CaseInsensitive) == 0) {
            title = c.title;
            field = c.field;
        }
    const QString op = operatorCaption(condition.op);
    return needsValue(condition.op)
               ? title + QLatin1Char(' ') + op + QLatin1Char(' ') + shownLiteral(field, condition.literal)
               : title + QLatin1Char(' ') + op;
}

QString FilterCaption(const QList<TFilterCondition> &conditions, const QList<TOfferedColumn> &columns)
{
    QStringList lines;
    for (const TFilterCondition &c : conditions)
        lines << ConditionCaption(c, columns);
    return lines.join(QLatin1Char('\n'));
}

bool TFilterDlg::addCondition()
{
    const int fieldIndex = cmbField->currentIndex();
    if (fieldIndex < 0)
        return false;
    const TField *field = m_columns.at(fieldIndex).field;
    TFilterCondition condition;
    condition.fieldName = field->FieldName();
    condition.op = TFilterOp(cmbOperator->currentData().toInt());
    if (needsValue(condition.op)) {
        QString error;
        const std::optional<QString> literal = FilterLiteral(field, edValue->text(), &error);
        if (!literal) {
            ShowLibNotification(error);
            edValue->setFocus();
            return false;
        }
        condition.literal = *literal;
    }
    m_conditions.append(condition);
    edValue->clear();
    refreshList();
    lbConditions->setCurrentRow(lbConditions->count() - 1);
    return true;
}

void TFilterDlg::deleteCondition()
{
    const int row = lbConditions->currentRow();
    if (row < 0 || row >= m_conditions.size())
        return;
    m_conditions.removeAt(row);
    refreshList();
    lbConditions->setCurrentRow(qMin(row, lbConditions->count() - 1));
}

void TFilterDlg::clearConditions()
{
    m_conditions.clear();
    refreshList();
}

void TFilterDlg::refreshList()
{
    lbConditions->clear();
    for (const TFilterCondition &c : std::as_const(m_conditions))
        lbConditions->addItem(ConditionCaption(c, m_columns));
    updateActions();
}

void TFilterDlg::updateActions()
{
    const bool valued = needsValue(TFilterOp(cmbOperator->currentData().toInt()));
    edValue->setEnabled(valued);
    if (!valued)
        edValue->clear();
    acAdd->setEnabled(cmbField->count() > 0);
    acDelete->setEnabled(lbConditions->currentRow() >= 0);
    acClear->setEnabled(!m_conditions.isEmpty());
}

void TFilterDlg::accept()
{
    if (!edValue->text().trimmed().isEmpty() && !addCondition())
        return;
    QDialog::accept();
}

int FilterByDBGrid(IDBGrid *grid)
{
    TDataSet *ds = grid ? grid->DataSet() : nullptr;
    if (!ds)
        return 0;
    QList<TOfferedColumn> columns = OfferedColumns(grid, kFilterMask);
    columns.removeIf([](const TOfferedColumn &c) { return !usableInFilter(c.field->FieldName()); });
    if (columns.isEmpty()) {
        ShowLibNotification(LibText(QStringLiteral("rstr_msg_NoFieldsOffered")));
        return 0;
    }
    const QList<TFilterCondition> current =
        FilterInForce(ds) ? ParseFilterText(ds->Filter()) : QList<TFilterCondition>();
    TFilterDlg dialog(columns, current, GridWindow(grid));
    if (ExecModalDialog(&dialog) != QDialog::Accepted)
        return 0;
    const QString filter = FilterText(dialog.Conditions());
    // The filter button's hint: the conditions as the user wrote them.
    SetFilterCaption(ds, filter, FilterCaption(dialog.Conditions(), columns));
    grid->SaveDrawState();
    try {
        ApplyFilter(ds, filter);
    } catch (...) {
        grid->RestoreDrawState();
        throw;
    }
    grid->RestoreDrawState();
    return 1;
}
