#include "Console/uUnattended.h"

#include "Console/MainConsoleIMPL.h"
#include "Console/uMenu.h"
#include "Console/uServiceItem.h"
#include "Core/DialogService.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/uServiceForm.h"
#include "Ui/ModalDriver.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

QString caption(const QAction *action) { return PlainCaption(action->text()); }

void dumpMenu(const QList<QAction *> &actions, int level, QStringList &lines)
{
    for (const QAction *action : actions) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        lines << QStringLiteral("MENU ") + QString(level * 2, QLatin1Char(' ')) + caption(action);
        if (action->menu())
            dumpMenu(action->menu()->actions(), level + 1, lines);
    }
}

// The services of the menu items with their caption paths, in menu order.
void menuRights(const QList<QAction *> &actions, const QString &path, QStringList &lines)
{
    for (const QAction *action : actions) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        const QString itemPath = path.isEmpty() ? caption(action) : path + QLatin1Char('/') + caption(action);
        if (action->menu())
            menuRights(action->menu()->actions(), itemPath, lines);
        else if (const TServiceItem *service = MenuItemService(action))
            lines << QStringLiteral("RIGHTS %1|%2").arg(itemPath, service->GetMode());
    }
}

QAction *findMenuItem(const QList<QAction *> &actions, const QStringList &path)
{
    for (QAction *action : actions) {
        if (action->isSeparator() || caption(action) != path.first())
            continue;
        if (path.size() == 1)
            return action;
        if (action->menu())
            return findMenuItem(action->menu()->actions(), path.mid(1));
    }
    return nullptr;
}

QList<QAction *> toolButtons(QToolBar *bar)
{
    QList<QAction *> buttons;
    for (QAction *action : bar->actions())
        if (action->isVisible() && !action->isSeparator())
            buttons << action;
    return buttons;
}

} // namespace

TUnattendedDriver::TUnattendedDriver(TfmMain *window) : QObject(window), m_window(window) {}
TUnattendedDriver::~TUnattendedDriver() { TProtocolInput::Instance().Remove(this); }

void TUnattendedDriver::Start() { TProtocolInput::Instance().Push(this); }

void TUnattendedDriver::Ready()
{
    WriteProtocolLine(QStringLiteral("READY"));
    for (const QString &line : Dump())
        WriteProtocolLine(line);
}

QStringList TUnattendedDriver::Dump() const
{
    QStringList lines;
    dumpMenu(m_window->menuBar()->actions(), 0, lines);
    for (QAction *action : toolButtons(m_window->tbMain)) {
        const QWidget *widget = m_window->tbMain->widgetForAction(action);
        lines << QStringLiteral("BUTTON ") + (widget ? widget->toolTip() : action->toolTip());
    }
    for (int i = 0; i < 6; ++i)
        lines << QStringLiteral("STATUS %1|%2").arg(i).arg(m_window->sbPanels[i]->text());
    lines << QStringLiteral("CAPTION ") + m_window->windowTitle();
    // The open service windows, so that a script sees a service open and close.
    if (m_window->Manager) {
        for (TServiceItem *service : m_window->Manager->List()) {
            const TServiceForm *window = service ? service->Window() : nullptr;
            if (window)
                lines << QStringLiteral("WINDOW %1|%2").arg(window->windowTitle()).arg(service->GetStatus());
        }
    }
    return lines;
}

bool TUnattendedDriver::Execute(const QString &line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const QString argument = line.section(QLatin1Char(' '), 1).trimmed();
    if (command == QLatin1String("dump")) {
        for (const QString &out : Dump())
            WriteProtocolLine(out);
        return true;
    }
    if (command == QLatin1String("click")) {
        QAction *item = findMenuItem(m_window->menuBar()->actions(), argument.split(QLatin1Char('/')));
        if (!item) {
            WriteProtocolLine(QStringLiteral("ERROR no menu item %1").arg(argument));
            return true;
        }
        item->trigger();
        return true;
    }
    if (command == QLatin1String("button")) {
        const QList<QAction *> buttons = toolButtons(m_window->tbMain);
        const int n = argument.toInt();
        if (n < 1 || n > buttons.size()) {
            WriteProtocolLine(QStringLiteral("ERROR no tool button %1").arg(argument));
            return true;
        }
        if (auto *button = qobject_cast<QToolButton *>(m_window->tbMain->widgetForAction(buttons.at(n - 1))))
            button->click();
        else
            buttons.at(n - 1)->trigger();
        return true;
    }
    if (command == QLatin1String("form")) {
        QWidget *window = activeServiceWindow();
        if (!window || argument.isEmpty() || !ExecuteWindowCommand(window, argument))
            WriteProtocolLine(QStringLiteral("NOTFOUND ") + line);
        return true;
    }
    if (command == QLatin1String("rights")) {
        for (const QString &out : Rights())
            WriteProtocolLine(out);
        return true;
    }
    if (command == QLatin1String("quit")) {
        quit();
        return true;
    }
    if (ExecuteAnswerCommand(line))
        return true;
    if (!command.isEmpty())
        WriteProtocolLine(QStringLiteral("ERROR unknown command %1").arg(command));
    return command.isEmpty();
}

QWidget *TUnattendedDriver::activeServiceWindow() const
{
    const TServiceItem *active = m_window->Manager ? m_window->Manager->ActiveItem() : nullptr;
    TServiceForm *window = active ? active->Window() : nullptr;
    return window && window->isVisible() ? window : nullptr;
}

QStringList TUnattendedDriver::Rights() const
{
    QStringList lines;
    menuRights(m_window->menuBar()->actions(), QString(), lines);
    return lines;
}

void TUnattendedDriver::ProtocolLine(const QString &line)
{
    // The lines after quit are for nobody: the window is closing.
    if (!m_quitting)
        Execute(line);
}

void TUnattendedDriver::ProtocolEnd() { quit(); }

void TUnattendedDriver::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    QTimer::singleShot(0, m_window, [window = m_window] { window->close(); });
}
