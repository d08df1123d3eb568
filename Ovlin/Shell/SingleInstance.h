#pragma once

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

namespace ovlin {

class LockFile;

// Keeps Ovlin to one running instance per user and per store. The first instance holds a lock file and
// listens on a local socket, both in the user's runtime folder, and holds a second lock file in the
// folder of its store, with a note of where its socket is; a later launch finds a lock taken, tells the
// running instance to reopen and stops without opening the store or starting anything else. The data
// lock keeps a launch with another runtime folder (unset after `su`, or set aside) off the same store.
// Both locks are held through the kernel, so only a running process keeps a launch out. The runtime
// folder must be this user's own (mode 0700): one that is not is set aside for Ovlin's own folder in the
// temporary folder, and when that one is not private either (another user made it) the start is refused.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        // This process is the running instance: it holds the lock and listens.
        primary,
        // Another instance runs and was told to reopen: this process should exit.
        secondary,
        // Another instance holds a lock but could not be reached: this process must not run either. The
        // errorString() says so in one line.
        unreachable,
        // The folder is not private to this user or the lock file cannot be made: see errorString().
        refused,
    };

    // `folder`: where the lock and the socket live; by default the user's runtime folder. `dataFolder`:
    // the data folder, in whose Ovlin folder (where the store lives) the data lock is; by default the
    // user's data folder.
    explicit SingleInstance(const QString &folder = {}, const QString &dataFolder = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock or hands the launch to the running instance. `waitMs` bounds how long a second
    // launch waits for a first one that is still starting.
    Role start(int waitMs = 10000);

    // Why start() refused, or that the running instance could not be reached.
    QString errorString() const { return m_error; }

    // Creates `path` (mode 0700) when missing and answers whether it is a real folder, not a link,
    // owned by `owner` with mode 0700; otherwise `errorDescription` says what is wrong.
    static bool ensurePrivateFolder(const QString &path, uint owner, QString *errorDescription);

    // Later launches served at once; a connection beyond them is closed.
    static constexpr int maximumConnections = 8;
    // A connection that has sent no full line by then is closed.
    void setIdleTimeoutMs(int ms) { m_idleTimeoutMs = ms; }
    int connectionCount() const { return m_connections; }

    QString socketPath() const { return m_socketPath; }
    QString lockPath() const { return m_lockPath; }
    QString dataLockPath() const { return m_dataLockPath; }
    bool isListening() const { return m_server && m_server->isListening(); }

    // What a second launch sends.
    static QByteArray reopenMessage() { return QByteArrayLiteral("reopen\n"); }

Q_SIGNALS:
    // Someone launched Ovlin again.
    void reopenRequested();

private:
    enum class Answer {
        reopened,
        nobodyListens, // nothing at the path, or nothing listening there
        none,          // no answer, or a wrong one, in time
    };
    static Answer tellRunningInstance(const QString &socketPath, int timeoutMs);
    Role lockTheData(const QDeadlineTimer &deadline);
    // Puts the data lock in the first store folder that exists or can be made, and can be written; if
    // none, `why` says why not.
    bool chooseDataLockFolder(QString *why);
    void placeDataLock(const QString &folder);
    // The socket the holder of the data lock noted, if it lies in a folder private to this user;
    // `noted`: whether there was a note at all.
    QString notedSocket(bool *noted) const;
    bool listen();
    void acceptConnections();

    QString m_socketPath;
    QString m_lockPath;
    QString m_dataLockPath;
    QString m_socketNotePath;
    QString m_error;
    int m_idleTimeoutMs = 2000;
    int m_connections = 0;
    QString m_dataFolder;
    std::unique_ptr<LockFile> m_lock;
    std::unique_ptr<LockFile> m_dataLock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace ovlin
