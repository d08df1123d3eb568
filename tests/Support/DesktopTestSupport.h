#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <optional>

// What the X server and the window manager say about Ovlin's windows, for the tests that run on a real
// desktop (tests/with-display x11-wm), read through xdotool. Qt calls a window active as soon as it asks
// for it, before the window manager and the X server have moved the focus there: keys and focus checks
// wait for all three to agree. Header only: the tests that use it link the widgets library.
namespace desktoptest {

// How long the window manager and the X server may take on a loaded machine. Every wait ends as soon as
// what it waits for holds, so only a fault runs one out.
constexpr int kSettle = 30000;

inline bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// xdotool's output, or nothing when it fails (it does, for one, while no window is active).
inline std::optional<QString> xdotoolOutput(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(kSettle) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

inline bool xdotool(const QStringList &arguments, QString *output = nullptr)
{
    const std::optional<QString> result = xdotoolOutput(arguments);
    if (!result) {
        qWarning() << "xdotool" << arguments << "failed";
        return false;
    }
    if (output)
        *output = *result;
    return true;
}

inline QString xid(const QWidget *window)
{
    return QString::number(window->winId());
}

// The window the X server gives keys to.
inline std::optional<QString> focusedWindow()
{
    return xdotoolOutput({QStringLiteral("getwindowfocus"), QStringLiteral("-f")});
}

// The window the window manager calls active.
inline std::optional<QString> activeWindow()
{
    return xdotoolOutput({QStringLiteral("getactivewindow")});
}

// Whether keys typed now reach `window`: Qt has it active and, on X11, the X server gives it the keyboard
// and the window manager, which takes its own keys (Alt+F4) first, has it as its active window. A popup
// grabs the keyboard while it is shown instead, at once.
inline bool hasKeyboard(const QWidget *window)
{
    if (!window)
        return false;
    if (window->windowType() == Qt::Popup)
        return window->isActiveWindow() && window->windowHandle() && window->windowHandle()->isExposed();
    if (QApplication::activeWindow() != window)
        return false;
    return !onX11() || (focusedWindow() == xid(window) && activeWindow() == xid(window));
}

// Waits until `window` has the keyboard (see hasKeyboard); says who has it instead if it never does.
inline bool waitForKeyboard(const QWidget *window)
{
    if (QTest::qWaitFor([window] { return hasKeyboard(window); }, kSettle))
        return true;
    const QWidget *active = QApplication::activeWindow();
    qWarning() << "the keyboard never came to" << window << "; Qt:" << active << (active ? xid(active) : QString())
               << "X:" << (onX11() ? focusedWindow().value_or(QString()) : QString())
               << "window manager:" << (onX11() ? activeWindow().value_or(QString()) : QString());
    return false;
}

} // namespace desktoptest
