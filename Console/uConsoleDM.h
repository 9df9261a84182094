#pragma once
// What the start-up and the configuration routines need of the console's one
// data module: the connection values that the command line sets, the login,
// and whether the last login succeeded. The data module itself lives in
// DMIMPL; the start-up reaches it only through this interface, so that the
// program block is tested without a database.
#include <QString>

class IConsoleDataModule {
public:
    virtual ~IConsoleDataModule();
    virtual void SetServer(const QString &server) = 0;
    virtual void SetUserName(const QString &user) = 0;
    virtual void SetPassword(const QString &password) = 0;
    virtual void SetConnectPrompt(bool prompt) = 0;
    virtual void SetHomeIndex(int home) = 0;
    virtual void SetStoreLogInfo(bool store) = 0;
    virtual bool Login(const QString &scheme, const QString &langIdText) = 0;
    // The last Login reached its end.
    virtual bool LoggedIn() const = 0;
};

// The process-wide reference to the data module; null outside its lifetime.
IConsoleDataModule *ConsoleDataModule();
void SetConsoleDataModule(IConsoleDataModule *dm);
