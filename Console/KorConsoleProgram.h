#pragma once
// The program block of the console: everything from the first instruction to
// the message loop and from its end to the end of the process. The pieces that
// come from other units (updater, tool windows, data module, splash, main
// window) are virtual steps, so that each can be replaced in a test.
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleDM.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

// The marker of a value that was not given on the command line.
inline const QString NotGiven = QStringLiteral("-1");

// Finds the last "=" of the argument; the value is everything after it.
bool ExtractParamValue(const QString &argument, QString &value);
QString ParamNotExtractedText(const QString &argument, const QString &name);
// The help on the switches, in the language of the console.
QString GetHelpText();
QString RussianHelpText();
QString EnglishHelpText();

// What the parameter pass read from the command line.
struct TStartupParams {
    QString SchemeParam = NotGiven;
    QString ServerParam = NotGiven;
    QString UserParam = NotGiven;
    QString PasswordParam = NotGiven;
    QString HomeParam = NotGiven;
    bool DisableReconnect = false;
};

class TKorConsoleProgram {
public:
    virtual ~TKorConsoleProgram();

    // Runs the whole start-up with the arguments (without the program's name)
    // and returns the process's exit code.
    int Run(const QStringList &arguments);

    // State of the run, readable by tests.
    QString LangIdText = NotGiven;
    QString LangName;
    TStartupParams Params;
    // The exit path taken: "help", "updater", "home", "scheme", "login", "error", "loop", "signal".
    QString ExitPath;

protected:
    virtual void InitializeUnits();
    virtual void FinalizeUnits();
    virtual bool LaunchAutoUpdate(int langId);
    virtual bool WaitAutoUpdateReply();
    virtual int ShowHomeDialog();
    virtual QString ShowSchemeDialog();
    virtual void InitGridSettings();
    virtual std::unique_ptr<IConsoleDataModule> CreateDataModule();
    virtual void ShowSplashStatus(const QString &text);
    // Creates the main window for the scheme, builds it and runs the message loop.
    virtual void RunMainWindow(const QString &scheme, bool disableReconnect);
    // SIGTERM or SIGHUP came: the console ends as its exit command ends it.
    bool ExitSignalled() const { return m_exitSignalled; }
    // The main window while it exists; a signal closes it.
    QPointer<QWidget> MainWindow;

private:
    void endOnSignal();
    bool m_exitSignalled = false;
    void resolveLanguageSwitch(const QStringList &arguments);
    void parameterPass(const QStringList &arguments);
    void loginAndRun();
    std::unique_ptr<IConsoleDataModule> m_dm;
    // The scheme the command line chose for this run; empty: the active one of Console.ini.
    QString m_runScheme;
};
