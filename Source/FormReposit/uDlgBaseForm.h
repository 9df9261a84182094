#pragma once
// TDlgBaseForm: the dialog variant of the data form. Its controls go into
// pnlClient; below them the bottom panel centres OkBtn ("Применить", closes
// with OK) and CancelBtn ("Отменить", closes with Cancel). The record moves
// of the grid actions are hidden. Made with TDlgBaseForm::Create<T>(...) and
// run with ExecModalDialog.
#include "Core/PlatformExport.h"
#include "Source/FormReposit/uBaseForm.h"

class QPushButton;
class TOraPackage;

class PLATFORM_EXPORT TDlgBaseForm : public TBaseForm {
    Q_OBJECT
public:
    TDlgBaseForm(QWidget *parent = nullptr, TOraSession *session = nullptr, const QString &scheme = QString(),
                 const QString &mode = QString());
    ~TDlgBaseForm() override;

    QWidget *pnlClient;
    QWidget *pnlBottom;
    QPushButton *OkBtn;
    QPushButton *CancelBtn;
    // The parameter package of the design (scheme.PARAM_PACK).
    TOraPackage *PARAM_PACK;

protected:
    void LoadGlyphs() override;
};
