#pragma once
// The desktop of the acceptance journeys: a virtual X display (Xvfb) of
// 1366x768 with a window manager (openbox), the keys a person presses there
// (xdotool) and a picture of the screen for a journey that fails.
#include <QProcess>
#include <QRect>
#include <QString>

class TAcceptanceDesktop {
public:
    TAcceptanceDesktop() = default;
    ~TAcceptanceDesktop();
    TAcceptanceDesktop(const TAcceptanceDesktop &) = delete;
    TAcceptanceDesktop &operator=(const TAcceptanceDesktop &) = delete;

    // Starts the display and the window manager; false with Error() when a program is missing or fails.
    bool Start();
    void Stop();
    QString Display() const { return m_display; }
    QString Error() const { return m_error; }

    // Keys as xdotool names them ("ctrl+f", "alt+1", "Return"), to the window that has the focus.
    bool Key(const QString &keys);
    // Text typed key by key, Cyrillic included.
    bool Type(const QString &text);
    // The caption of the window the window manager has made active.
    QString ActiveWindowName();
    // The frame of the active window as the window manager has placed it on the screen
    // (title bar and borders included); a null rect when there is none.
    QRect ActiveWindowFrame();
    // The screen's size.
    QRect ScreenRect() const { return QRect(0, 0, 1366, 768); }
    // Waits until the window manager has given the keys to the window with that caption,
    // as a person looks before typing.
    bool WaitActive(const QString &caption, int timeoutMs = 5000);
    bool Screenshot(const QString &path);

private:
    bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr);
    bool windowManagerRuns();
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
    QString m_error;
};
