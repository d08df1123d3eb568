#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace ovlin {

// Keeps Ovlin to one running instance per user. The first instance holds a lock file and listens on a
// local socket, both in the user's runtime folder; a later launch finds the lock taken, tells the running
// instance to reopen and stops without opening the store or starting anything else.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        // This process is the running instance: it holds the lock and listens.
        primary,
        // Another instance runs and was told to reopen: this process should exit.
        secondary,
        // Another instance holds the lock but could not be reached: this process must not run either.
        unreachable,
    };

    // `folder`: where the lock and the socket live; by default the user's runtime folder.
    explicit SingleInstance(const QString &folder = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock or hands the launch to the running instance. `waitMs` bounds how long a second
    // launch waits for a first one that is still starting.
    Role start(int waitMs = 10000);

    QString socketPath() const { return m_socketPath; }
    QString lockPath() const { return m_lockPath; }
    bool isListening() const { return m_server && m_server->isListening(); }

    // What a second launch sends.
    static QByteArray reopenMessage() { return QByteArrayLiteral("reopen\n"); }

Q_SIGNALS:
    // Someone launched Ovlin again.
    void reopenRequested();

private:
    bool tellRunningInstance(int timeoutMs);
    bool listen();
    void acceptConnections();

    QString m_socketPath;
    QString m_lockPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace ovlin
