#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <optional>

namespace ovlin {

// A typed key-value store, one file per domain under $XDG_CONFIG_HOME/Ovlin/.
// Values keep their types (boolean, integer, double, text, bytes, lists and maps), so a text
// stored where a boolean is expected reads back as a text. The file is read once; every change is
// written at once, atomically, and a write changes only the keys changed here since the last write:
// whatever else the file holds by then (another program's changes) is kept, though not read into
// memory. A regular file that is not such a map of plain values is set aside (a few are kept) at the
// next write; anything else in its place (a FIFO, a device, a folder) is neither read nor replaced. A
// write that fails, or finds the file unreadable for the moment, keeps the old file and the changes: a
// timer tries them again, and the next write carries them too. When the run ends, a file that still
// cannot be read but was read earlier in the run is set aside, once a new one holding what it held and
// the changes is on disk; one never read is left as it is and the log names the changes not saved.
// Thread-safe.
class Defaults
{
public:
    // The application's own domain.
    static Defaults &standard();
    // A named domain, one shared instance per name for the run.
    static std::shared_ptr<Defaults> suite(const QString &name);
    // Where the domain `name` is kept.
    static QString pathForDomain(const QString &name);
    // Drops the cached instances so the next lookup reads the files again, and forgets that the run
    // ended (tests).
    static void resetSharedForTesting();

    explicit Defaults(QString filePath);
    ~Defaults();
    Defaults(const Defaults &) = delete;
    Defaults &operator=(const Defaults &) = delete;

    // While writes are held (the first moments of a start, until the first window is on screen), every
    // change takes effect at once but reaches its file only when they are released.
    static void holdWrites();
    static void releaseWrites();

    // Changes a write could not store are tried again on the application's thread, first after
    // `firstRetryDelay`, then at doubling intervals up to `longestRetryDelay`, only while some wait.
    static constexpr std::chrono::milliseconds firstRetryDelay{1000};
    static constexpr std::chrono::milliseconds longestRetryDelay{30000};
    static void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest);

    // The run ends: writes are released and every change still waiting is written. A file that still
    // cannot be read, but was read in this run, is set aside as an unreadable one is and a new file holds
    // what it held with the changes; one never read is left as it is and the log names the changes not
    // saved. So it is for every write from then on.
    static void writeBeforeExit();

    QString filePath() const { return m_path; }

    bool contains(const QString &key) const;
    QStringList keys() const;
    // The stored value with its type, or an invalid QVariant when absent.
    QVariant object(const QString &key) const;

    // Typed reads: a value of another type reads as nothing.
    std::optional<bool> boolValue(const QString &key) const;
    std::optional<qint64> integerValue(const QString &key) const;
    // An integer or a double (not a boolean).
    std::optional<double> numberValue(const QString &key) const;
    std::optional<QString> stringValue(const QString &key) const;
    std::optional<QByteArray> bytesValue(const QString &key) const;

    // Writes return whether the file was written.
    bool setObject(const QString &key, const QVariant &value);
    bool setBool(const QString &key, bool value) { return setObject(key, QVariant(value)); }
    bool setInteger(const QString &key, qint64 value) { return setObject(key, QVariant(value)); }
    bool setDouble(const QString &key, double value) { return setObject(key, QVariant(value)); }
    bool setString(const QString &key, const QString &value) { return setObject(key, QVariant(value)); }
    bool setBytes(const QString &key, const QByteArray &value) { return setObject(key, QVariant(value)); }
    bool remove(const QString &key);

    // Most set-aside unreadable files kept beside a domain's file.
    static constexpr int maximumSetAsideFiles = 5;

    // Normalises a value to the stored types (integers as 64-bit, floats as double), recursively.
    static QVariant normalized(const QVariant &value);

private:
    void load();
    bool writeLocked();
    QString setAsidePath() const;
    void warnOnce(const QString &text);
    // Sets (or, with no value, removes) a key and writes it unless writes are held.
    bool storeChange(const QString &key, const std::optional<QVariant> &value);
    // Not with m_mutex held.
    bool writeOrRetryLater();
    // After a failed write: the retry timer takes this domain up. Not with m_mutex held.
    void retryLater();
    static void scheduleRetryLocked();
    static bool writePendingLocked();
    static QSet<Defaults *> takeHeldDomains();
    static void retryPendingWrites();

    QString m_path;
    mutable QMutex m_mutex;
    QVariantMap m_values;
    // Keys set or removed here and not yet written.
    QSet<QString> m_changedKeys;
    // What the file held when this run last read or wrote it; nothing while it was never read (or is
    // gone), so that a file whose content is unknown is never replaced.
    std::optional<QVariantMap> m_lastRead;
    // The last failure said in the log, empty after a write that worked.
    QString m_lastWarning;
};

} // namespace ovlin
