#include "Base/Defaults.h"

#include "Base/Log.h"
#include "Base/UserFiles.h"
#include "Base/UserFolders.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include <pwd.h>
#include <sys/stat.h>

namespace ovlin {

namespace {

constexpr quint32 kMagic = 0x4F564446; // "OVDF"
constexpr quint32 kVersion = 1;

// Writes held back while Ovlin starts, and the domains waiting for them. Defined before the shared
// domains, so that they outlive them at exit: a domain's destructor looks here.
QMutex g_heldMutex;
bool g_writesHeld = false;
QSet<Defaults *> g_heldDomains;

// Domains whose last write failed, and the timer that tries them again. Never locked while a domain's
// own lock is held: the retry locks each domain under it.
QMutex g_pendingMutex;
QSet<Defaults *> g_pendingDomains;
int g_failedRetries = 0;
std::chrono::milliseconds g_firstRetryDelay = Defaults::firstRetryDelay;
std::chrono::milliseconds g_longestRetryDelay = Defaults::longestRetryDelay;
// Used on the application's thread only.
QPointer<QTimer> g_retryTimer;
// Once the run ends, a file that cannot be read no longer holds the changes back.
std::atomic<bool> g_runEnding = false;

QMutex g_sharedMutex;
QHash<QString, std::shared_ptr<Defaults>> g_shared;

// What a defaults file may hold: a map of plain values, lists and maps of them a few levels deep.
constexpr qint64 kMaximumFileSize = 8 * 1024 * 1024;
constexpr int kMaximumDepth = 8;

// Reads the stream form of a QVariantMap without QDataStream's recursive loader, accepting only the
// types a defaults file holds and failing on anything else, on truncation and on trailing bytes.
class ValueReader
{
public:
    explicit ValueReader(const QByteArray &data)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_left(data.size())
    {
    }

    bool atEnd() const { return m_left == 0; }

    bool u32(quint32 *value)
    {
        if (m_left < 4)
            return false;
        *value = quint32(m_data[0]) << 24 | quint32(m_data[1]) << 16 | quint32(m_data[2]) << 8 | quint32(m_data[3]);
        skip(4);
        return true;
    }

    bool u64(quint64 *value)
    {
        quint32 high = 0;
        quint32 low = 0;
        if (!u32(&high) || !u32(&low))
            return false;
        *value = quint64(high) << 32 | low;
        return true;
    }

    bool u8(quint8 *value)
    {
        if (m_left < 1)
            return false;
        *value = m_data[0];
        skip(1);
        return true;
    }

    bool string(QString *value)
    {
        quint32 length = 0;
        if (!u32(&length))
            return false;
        if (length == 0xffffffffu) {
            *value = QString();
            return true;
        }
        if (length % 2 != 0 || length > quint64(m_left))
            return false;
        QString text(qsizetype(length / 2), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            text[i] = QChar(char16_t(m_data[2 * i] << 8 | m_data[2 * i + 1]));
        skip(length);
        *value = text;
        return true;
    }

    bool bytes(QByteArray *value)
    {
        quint32 length = 0;
        if (!u32(&length))
            return false;
        if (length == 0xffffffffu) {
            *value = QByteArray();
            return true;
        }
        if (length > quint64(m_left))
            return false;
        *value = QByteArray(reinterpret_cast<const char *>(m_data), qsizetype(length));
        skip(length);
        return true;
    }

    bool map(QVariantMap *value, int depth)
    {
        quint32 count = 0;
        if (depth > kMaximumDepth || !u32(&count))
            return false;
        for (quint32 i = 0; i < count; ++i) {
            QString key;
            QVariant item;
            if (!string(&key) || !variant(&item, depth + 1))
                return false;
            value->insert(key, item);
        }
        return true;
    }

    bool list(QVariantList *value, int depth)
    {
        quint32 count = 0;
        if (depth > kMaximumDepth || !u32(&count))
            return false;
        for (quint32 i = 0; i < count; ++i) {
            QVariant item;
            if (!variant(&item, depth + 1))
                return false;
            value->append(item);
        }
        return true;
    }

private:
    bool variant(QVariant *value, int depth)
    {
        quint32 type = 0;
        quint8 isNull = 0;
        if (!u32(&type) || !u8(&isNull))
            return false;
        switch (type) {
        case QMetaType::Bool: {
            quint8 b = 0;
            if (!u8(&b))
                return false;
            *value = QVariant(b != 0);
            return true;
        }
        case QMetaType::Int:
        case QMetaType::UInt: {
            quint32 v = 0;
            if (!u32(&v))
                return false;
            *value = type == QMetaType::Int ? QVariant(qint64(qint32(v))) : QVariant(qint64(v));
            return true;
        }
        case QMetaType::LongLong: {
            quint64 v = 0;
            if (!u64(&v))
                return false;
            *value = QVariant(qint64(v));
            return true;
        }
        case QMetaType::ULongLong: {
            quint64 v = 0;
            if (!u64(&v))
                return false;
            *value = v > quint64(std::numeric_limits<qint64>::max()) ? QVariant(double(v)) : QVariant(qint64(v));
            return true;
        }
        case QMetaType::Double: {
            quint64 bits = 0;
            if (!u64(&bits))
                return false;
            double d = 0;
            static_assert(sizeof d == sizeof bits);
            std::memcpy(&d, &bits, sizeof d);
            *value = QVariant(d);
            return true;
        }
        case QMetaType::QString: {
            QString text;
            if (!string(&text))
                return false;
            *value = QVariant(text);
            return true;
        }
        case QMetaType::QByteArray: {
            QByteArray data;
            if (!bytes(&data))
                return false;
            *value = QVariant(data);
            return true;
        }
        case QMetaType::QStringList: {
            quint32 count = 0;
            if (!u32(&count))
                return false;
            QVariantList items;
            for (quint32 i = 0; i < count; ++i) {
                QString text;
                if (!string(&text))
                    return false;
                items.append(text);
            }
            *value = QVariant(items);
            return true;
        }
        case QMetaType::QVariantList: {
            QVariantList items;
            if (!list(&items, depth))
                return false;
            *value = QVariant(items);
            return true;
        }
        case QMetaType::QVariantMap: {
            QVariantMap items;
            if (!map(&items, depth))
                return false;
            *value = QVariant(items);
            return true;
        }
        default: return false;
        }
    }

    void skip(quint64 n)
    {
        m_data += n;
        m_left -= qsizetype(n);
    }

    const uchar *m_data;
    qsizetype m_left;
};

// The values of a defaults file, or nothing when it is not one.
std::optional<QVariantMap> parseDefaults(const QByteArray &data)
{
    ValueReader reader(data);
    quint32 magic = 0;
    quint32 version = 0;
    QVariantMap values;
    if (!reader.u32(&magic) || !reader.u32(&version) || magic != kMagic || version != kVersion ||
        !reader.map(&values, 0) || !reader.atEnd())
        return std::nullopt;
    return values;
}

QString safeFileName(QString name)
{
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name;
}

// Who may read `path`, for a line that says why it cannot be read: " (owner root, mode 0000)".
QString ownerAndMode(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    struct passwd entry = {};
    struct passwd *found = nullptr;
    char buffer[4096];
    ::getpwuid_r(info.st_uid, &entry, buffer, sizeof buffer, &found);
    const QString owner = found ? QString::fromLocal8Bit(found->pw_name) : QString::number(info.st_uid);
    return QStringLiteral(" (owner %1, mode %2)").arg(owner).arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

} // namespace

QString Defaults::pathForDomain(const QString &name)
{
    return userFolder(UserFolder::config) + QStringLiteral("/Ovlin/") + safeFileName(name) +
           QStringLiteral(".defaults");
}

Defaults &Defaults::standard()
{
    return *suite(QStringLiteral(OVLIN_APP_ID));
}

std::shared_ptr<Defaults> Defaults::suite(const QString &name)
{
    QMutexLocker lock(&g_sharedMutex);
    auto it = g_shared.find(name);
    if (it != g_shared.end())
        return it.value();
    auto created = std::make_shared<Defaults>(pathForDomain(name));
    g_shared.insert(name, created);
    return created;
}

void Defaults::resetSharedForTesting()
{
    QMutexLocker lock(&g_sharedMutex);
    g_shared.clear();
    g_runEnding = false;
}

Defaults::Defaults(QString filePath) : m_path(std::move(filePath))
{
    load();
}

void Defaults::load()
{
    const FileRead file = readRegularFile(m_path, kMaximumFileSize);
    switch (file.status) {
    case FileRead::Status::absent: return;
    case FileRead::Status::notRegularFile:
        qCWarning(lcDefaults).noquote() << "Not reading settings:" << file.error << "(left as it is)";
        return;
    case FileRead::Status::tooLarge:
    case FileRead::Status::failed: qCWarning(lcDefaults).noquote() << "Cannot read" << m_path << file.error; return;
    case FileRead::Status::ok: break;
    }
    if (const std::optional<QVariantMap> values = parseDefaults(file.bytes)) {
        m_values = *values;
        m_lastRead = *values;
    } else
        qCWarning(lcDefaults) << "Ignoring unreadable defaults file" << m_path;
}

// Where an unreadable file is kept for the user instead of being overwritten: the first free numbered
// place, or the last one when all are taken, so the earliest copies survive.
QString Defaults::setAsidePath() const
{
    const QString base = m_path + QStringLiteral(".unreadable");
    for (int i = 1;; ++i) {
        const QString aside = i == 1 ? base : base + QLatin1Char('.') + QString::number(i);
        if (i >= maximumSetAsideFiles || (!QFileInfo::exists(aside) && !QFileInfo(aside).isSymLink()))
            return aside;
    }
}

void Defaults::warnOnce(const QString &text)
{
    // One line per failing spell, and again when what fails changes.
    if (text != m_lastWarning)
        qCWarning(lcDefaults).noquote() << text;
    m_lastWarning = text;
}

bool Defaults::writeLocked()
{
    // The file as it is now, with this run's own changes on top: keys another program wrote meanwhile
    // stay. A file that is no settings file gives nothing to keep and is set aside; one that is no
    // regular file is left for the save to refuse. One whose reading fails (out of descriptors, an I/O
    // error, no permission) may be fine: it is left as it is and the changes wait, unless the run ends.
    QVariantMap values;
    bool setAside = false;
    QString readError;
    const FileRead file = readRegularFile(m_path, kMaximumFileSize);
    switch (file.status) {
    case FileRead::Status::ok:
        if (std::optional<QVariantMap> current = parseDefaults(file.bytes)) {
            values = std::move(*current);
            m_lastRead = values;
        } else {
            setAside = true;
            values = m_values;
        }
        break;
    case FileRead::Status::tooLarge:
        setAside = true;
        values = m_values;
        break;
    case FileRead::Status::absent: m_lastRead.reset(); break;
    case FileRead::Status::notRegularFile: break;
    case FileRead::Status::failed: {
        if (!g_runEnding) {
            warnOnce(
                QStringLiteral("Cannot read %1: %2 - the changes wait for the next write").arg(m_path, file.error));
            return false;
        }
        readError = file.error + ownerAndMode(m_path);
        // At the end of the run waiting would lose the changes. A file read earlier in the run is set aside
        // with what it held carried over; one never read may hold anything, so it is left as it is.
        if (!m_lastRead) {
            QStringList keys = m_changedKeys.values();
            keys.sort();
            warnOnce(QStringLiteral("Not saved: the changes to %1 - cannot read %2: %3; the file is left as it is")
                         .arg(keys.join(QStringLiteral(", ")), m_path, readError));
            return false;
        }
        setAside = true;
        values = *m_lastRead;
        break;
    }
    }
    for (const QString &key : std::as_const(m_changedKeys)) {
        if (const auto it = m_values.constFind(key); it != m_values.cend())
            values.insert(key, it.value());
        else
            values.remove(key);
    }

    QByteArray data;
    {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QDataStream out(&buffer);
        out.setVersion(QDataStream::Qt_6_4);
        out << kMagic << kVersion << values;
        if (out.status() != QDataStream::Ok) {
            qCWarning(lcDefaults) << "Cannot encode the values of" << m_path;
            return false;
        }
    }
    QString error;
    const QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QString aside = setAside ? setAsidePath() : QString();
    bool written = makePrivateFolder(QFileInfo(m_path).absolutePath(), &error);
    // The new file is whole on disk before the old one moves: a failed write leaves it where it was.
    if (written && setAside)
        written = saveFileMovingOldAside(m_path, aside, data, permissions, &error);
    else if (written)
        written = saveFileAtomically(m_path, data, permissions, &error);
    if (!written) {
        // The changes stay pending; the next write carries them too.
        warnOnce(readError.isEmpty()
                     ? QStringLiteral("Cannot write %1: %2").arg(m_path, error)
                     : QStringLiteral("Cannot read %1: %2, nor write a new one: %3 - nothing was written and the "
                                      "file is left as it is")
                           .arg(m_path, readError, error));
        return false;
    }
    if (!readError.isEmpty())
        qCWarning(lcDefaults).noquote() << QStringLiteral(
                                               "Cannot read %1: %2 - kept as %3 and the changes written anew")
                                               .arg(m_path, readError, aside);
    else if (!m_lastWarning.isEmpty())
        qCInfo(lcDefaults).noquote() << "Written again:" << m_path;
    m_lastWarning.clear();
    m_lastRead = values;
    m_changedKeys.clear();
    return true;
}

bool Defaults::contains(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.contains(key);
}

QStringList Defaults::keys() const
{
    QMutexLocker lock(&m_mutex);
    return m_values.keys();
}

QVariant Defaults::object(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.value(key);
}

std::optional<bool> Defaults::boolValue(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    return std::nullopt;
}

std::optional<qint64> Defaults::integerValue(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::LongLong)
        return v.toLongLong();
    return std::nullopt;
}

std::optional<double> Defaults::numberValue(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
        return v.toDouble();
    return std::nullopt;
}

std::optional<QString> Defaults::stringValue(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return std::nullopt;
}

std::optional<QByteArray> Defaults::bytesValue(const QString &key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return std::nullopt;
}

QVariant Defaults::normalized(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::SChar: return QVariant(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        // Out of the signed range: keep the magnitude as a double rather than wrap.
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return QVariant(double(u));
        return QVariant(qint64(u));
    }
    case QMetaType::Float:
    case QMetaType::Double: return QVariant(value.toDouble());
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString &s : value.toStringList())
            list.append(s);
        return list;
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &item : value.toList())
            list.append(normalized(item));
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap in = value.toMap();
        for (auto it = in.begin(); it != in.end(); ++it)
            map.insert(it.key(), normalized(it.value()));
        return map;
    }
    default: return value;
    }
}

bool Defaults::setObject(const QString &key, const QVariant &value)
{
    if (!value.isValid())
        return remove(key);
    return storeChange(key, normalized(value));
}

bool Defaults::remove(const QString &key)
{
    return storeChange(key, std::nullopt);
}

bool Defaults::storeChange(const QString &key, const std::optional<QVariant> &value)
{
    {
        QMutexLocker lock(&m_mutex);
        if (value)
            m_values.insert(key, *value);
        else
            m_values.remove(key);
        m_changedKeys.insert(key);
    }
    {
        QMutexLocker held(&g_heldMutex);
        if (g_writesHeld) {
            g_heldDomains.insert(this);
            return true;
        }
    }
    return writeOrRetryLater();
}

bool Defaults::writeOrRetryLater()
{
    bool written = false;
    {
        QMutexLocker lock(&m_mutex);
        written = writeLocked();
    }
    if (!written)
        retryLater();
    return written;
}

void Defaults::holdWrites()
{
    QMutexLocker held(&g_heldMutex);
    g_writesHeld = true;
}

// Ends the hold: the domains that waited for it.
QSet<Defaults *> Defaults::takeHeldDomains()
{
    QMutexLocker held(&g_heldMutex);
    g_writesHeld = false;
    return std::exchange(g_heldDomains, {});
}

void Defaults::releaseWrites()
{
    for (Defaults *domain : takeHeldDomains())
        domain->writeOrRetryLater();
}

void Defaults::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest)
{
    // Within what a timer can wait.
    const auto clamp = [](std::chrono::milliseconds delay) {
        return std::clamp(delay, std::chrono::milliseconds(1), std::chrono::milliseconds(std::chrono::hours(24)));
    };
    QMutexLocker pending(&g_pendingMutex);
    g_firstRetryDelay = clamp(first);
    g_longestRetryDelay = std::max(g_firstRetryDelay, clamp(longest));
}

void Defaults::retryLater()
{
    QMutexLocker pending(&g_pendingMutex);
    g_pendingDomains.insert(this);
    scheduleRetryLocked();
}

// g_pendingMutex held. Starts the timer unless it runs already; the delay doubles with each retry that
// failed since the last time nothing waited.
void Defaults::scheduleRetryLocked()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || g_runEnding)
        return;
    std::chrono::milliseconds delay = g_firstRetryDelay;
    for (int i = 0; i < g_failedRetries && delay < g_longestRetryDelay; ++i)
        delay *= 2;
    delay = std::min(delay, g_longestRetryDelay);
    const auto start = [delay] {
        if (!g_retryTimer) {
            g_retryTimer = new QTimer(QCoreApplication::instance());
            g_retryTimer->setSingleShot(true);
            QObject::connect(g_retryTimer.data(), &QTimer::timeout, &Defaults::retryPendingWrites);
        }
        if (!g_retryTimer->isActive())
            g_retryTimer->start(delay);
    };
    if (QThread::currentThread() == app->thread())
        start();
    else
        QMetaObject::invokeMethod(app, start, Qt::QueuedConnection);
}

// g_pendingMutex held. Writes every domain that waits; answers whether some still wait.
bool Defaults::writePendingLocked()
{
    for (auto it = g_pendingDomains.begin(); it != g_pendingDomains.end();) {
        Defaults *domain = *it;
        QMutexLocker lock(&domain->m_mutex);
        if (domain->m_changedKeys.isEmpty() || domain->writeLocked())
            it = g_pendingDomains.erase(it);
        else
            ++it;
    }
    return !g_pendingDomains.isEmpty();
}

void Defaults::retryPendingWrites()
{
    QMutexLocker pending(&g_pendingMutex);
    if (!writePendingLocked()) {
        g_failedRetries = 0;
        return;
    }
    ++g_failedRetries;
    scheduleRetryLocked();
}

void Defaults::writeBeforeExit()
{
    g_runEnding = true;
    const QSet<Defaults *> held = takeHeldDomains();
    QMutexLocker pending(&g_pendingMutex);
    g_pendingDomains.unite(held);
    // One last try each; what still fails is said in the log.
    writePendingLocked();
    g_pendingDomains.clear();
    g_failedRetries = 0;
    const QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread() && g_retryTimer)
        g_retryTimer->stop();
}

Defaults::~Defaults()
{
    {
        QMutexLocker retry(&g_pendingMutex);
        g_pendingDomains.remove(this);
    }
    bool pending = false;
    {
        QMutexLocker held(&g_heldMutex);
        pending = g_heldDomains.remove(this);
    }
    // A domain that goes while writes are held still leaves its values on disk.
    if (pending) {
        QMutexLocker lock(&m_mutex);
        writeLocked();
    }
}

} // namespace ovlin
