#pragma once
// What the tests of the data forms share: a private program folder (its
// Settings.ini, Debug.ini and GFG file) with recorded message boxes, and a
// form over the demo orders.
#include "DataAccess/DataSource.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/FormReposit/uBaseForm.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestFiles.h"

#include <QTemporaryDir>
#include <QVBoxLayout>

#include <memory>

struct FormFixture {
    FormFixture() { SetProgramFolderForTests(programDir.path()); }
    ~FormFixture() { SetProgramFolderForTests(QString()); }
    FormFixture(const FormFixture &) = delete;
    FormFixture &operator=(const FormFixture &) = delete;

    bool write(const QString &name, const QByteArray &text) const
    {
        return WriteBytes(programDir.filePath(name), text);
    }

    RecordingDialogService dialogs;
    QTemporaryDir programDir;
};

// A data form over the demo orders: its query keeps the ordering in the macros ORDER and FIELD (as the sort
// dialog sets them), and its rows can be marked for the order-lines report. The query is the form's main one
// when asked.
class TOrdersForm : public TBaseForm {
public:
    TOrdersForm(TOraSession *session, bool mainQuery)
        : TBaseForm(nullptr, session, QStringLiteral("ZANDRELL5")), m_main(mainQuery)
    {
        setObjectName(QStringLiteral("fmOrders"));
        sqOrders = new TOraQuery(this);
        sqOrders->setObjectName(QStringLiteral("sqOrders"));
        sqOrders->SetSQL({QStringLiteral("SELECT O.ID, O.STATUS, 'R' || O.ID AS ROWID_QUERY, '-' AS RCHECK, O.AMOUNT "
                                         "FROM &Shema.DEMO_ORDERS O"),
                          QStringLiteral("&ORDER &FIELD &GUID_SERVICE")});
        sqOrders->MacroByName(QStringLiteral("ORDER")).SetValue(QStringLiteral("ORDER BY"));
        sqOrders->MacroByName(QStringLiteral("FIELD")).SetValue(QStringLiteral("O.ID"));
        TMacro &guid = sqOrders->MacroByName(QStringLiteral("GUID_SERVICE"));
        guid.SetValue(QStringLiteral("{ORDERS-GUID}"));
        guid.SetActive(false);
        grid = new TDBGrid(this);
        grid->setObjectName(QStringLiteral("grdOrders"));
        grid->SetHint(QStringLiteral("Orders"));
        grid->SetDataSource(new TDataSource(this, sqOrders));
        (new QVBoxLayout(this))->addWidget(grid);
        resize(500, 300);
    }

    // What the sort dialog does: a new ordering, the query reopened.
    void sortBy(const QString &ordering)
    {
        sqOrders->Close();
        sqOrders->MacroByName(QStringLiteral("FIELD")).SetValue(ordering);
        sqOrders->Open();
    }
    QString ordering() { return sqOrders->MacroByName(QStringLiteral("FIELD")).Value(); }

    TOraQuery *sqOrders;
    TDBGrid *grid;

protected:
    void AssignMainDataSet() override
    {
        if (m_main)
            MainQuery = sqOrders;
    }
    // The query opens once the form has pointed it at its scheme.
    void FormCreate() override { sqOrders->Open(); }

private:
    bool m_main;
};
