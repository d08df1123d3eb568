#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Things that can take the place of a file Ovlin keeps. They are made in the test's own folders; a
// test links to the machine's /dev only to show that Ovlin does not read it, never to write.
namespace special_files {

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// A socket file nobody listens on.
inline bool makeSocket(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address = {};
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// The kind of entry at `path` itself (a link is a link), or 0 when there is none.
inline mode_t entryKind(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

// Bytes this process has read so far (the kernel's count, whatever the source).
inline qint64 bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

// While it lives, watches a FIFO: should code under test still wait on it after `patience` (opening
// it blocks until a writer comes), it opens the FIFO for writing once, so the test fails instead of
// hanging. Passing code never waits for it.
class FifoUnblocker
{
public:
    explicit FifoUnblocker(const QString &path, std::chrono::seconds patience = std::chrono::seconds(20))
        : m_path(QFile::encodeName(path)), m_thread([this, patience] { watch(patience); })
    {
    }
    ~FifoUnblocker()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    FifoUnblocker(const FifoUnblocker &) = delete;
    FifoUnblocker &operator=(const FifoUnblocker &) = delete;

    bool hadToUnblock() const { return m_unblocked; }

private:
    void watch(std::chrono::seconds patience)
    {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, patience, [this] { return m_stop; }))
            return;
        while (!m_stop) {
            // Succeeds only while a reader has the FIFO open (or waits to).
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                m_unblocked = true;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_stop; });
        }
    }

    const QByteArray m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_unblocked{false};
    std::thread m_thread;
};

} // namespace special_files
