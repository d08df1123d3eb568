#include "Shell/QuitCommand.h"

#include "Base/MainThread.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace ovlin {

QuitCommand::QuitCommand(std::function<void()> quit, QObject *parent) : QObject(parent)
{
    OVLIN_ASSERT_MAIN_THREAD();
    setHandler(std::move(quit));
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

QuitCommand::~QuitCommand()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void QuitCommand::setHandler(std::function<void()> quit)
{
    if (!quit)
        quit = [] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        };
    m_quit = std::move(quit);
}

bool QuitCommand::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (!key->matches(QKeySequence::Quit))
        return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claimed as a key press, so that no shortcut of a window or a field takes it first.
        event->accept();
        return true;
    }
    // The press is taken where it first arrives (its window), so it runs once however far it would travel.
    if (!key->isAutoRepeat())
        m_quit();
    return true;
}

} // namespace ovlin
