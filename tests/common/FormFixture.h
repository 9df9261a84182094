#pragma once
// What the tests of the data forms share: a private program folder (its
// Settings.ini, Debug.ini and GFG file) with recorded message boxes, and the
// orders window of the demo module opened as the console opens it.
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uComFunctions.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestFiles.h"

#include <QLibrary>
#include <QTemporaryDir>
#include <QTest>

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

// The demo module's orders window: made with the rights string, then given the session and the scheme.
inline std::unique_ptr<TServiceForm> OpenDemoOrders(TOraSession *session, const QByteArray &mode)
{
    QLibrary module(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/Orders.so"));
    const auto init = reinterpret_cast<TInitServiceFormProc>(module.resolve(kInitServiceForm));
    if (!init) {
        QTest::qFail(qPrintable(module.errorString()), __FILE__, __LINE__);
        return nullptr;
    }
    std::unique_ptr<TServiceForm> window(init("{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}", mode.constData(), nullptr));
    auto *zandrell = qobject_cast<IZandrell *>(window.get());
    zandrell->SetSession(session);
    zandrell->SetScheme(QStringLiteral("ZANDRELL5"));
    return window;
}
