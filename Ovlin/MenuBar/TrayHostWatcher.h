#pragma once

#include <QDBusConnection>
#include <QObject>

#include <memory>

namespace ovlin {

// Watches for a place on the desktop where tray icons can live, without polling: a StatusNotifier
// watcher on the session bus that has a host registered, or, on X11, an XEmbed tray (an owner of the
// screen's _NET_SYSTEM_TRAY_S<n> selection, which announces itself with a MANAGER message on the root
// window). Main thread only.
class TrayHostWatcher : public QObject
{
    Q_OBJECT

public:
    enum class Host { statusNotifier, xembed };

    explicit TrayHostWatcher(QObject *parent = nullptr);
    ~TrayHostWatcher() override;

    // Starts watching; hosts that are there already are reported at once or, for the session bus, as
    // soon as the watcher answers.
    void start();
    // Stops watching for XEmbed trays (once a tray icon exists Qt follows its own tray).
    void stopWatchingXEmbed();

    // Whether a StatusNotifier watcher with a registered host is on the session bus now.
    bool hasStatusNotifierHost() const { return m_statusNotifierHost; }

Q_SIGNALS:
    // A host of that kind is there now (again).
    void hostAppeared(ovlin::TrayHostWatcher::Host host);
    // Another program took the StatusNotifier watcher's name straight from the one that held it:
    // items registered with the old one are unknown to the new one.
    void statusNotifierWatcherReplaced();

private Q_SLOTS:
    void statusNotifierHostRegistered();
    void statusNotifierHostUnregistered();

private:
    class XEmbedFilter;

    void watchXEmbed();
    void watchStatusNotifier();
    void watcherOwnerChanged(const QString &service, const QString &oldOwner, const QString &newOwner);
    void askWhetherHostRegistered();
    void setStatusNotifierHost(bool registered);
    void xembedTrayAnnounced();

    QDBusConnection m_bus;
    std::unique_ptr<XEmbedFilter> m_xembedFilter;
    quint64 m_question = 0;
    bool m_statusNotifierHost = false;
};

} // namespace ovlin
