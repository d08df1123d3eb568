#include "Platform/Defaults.h"

#include "Platform/Log.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <limits>

namespace ovlin {

namespace {

constexpr quint32 kMagic = 0x4F564446; // "OVDF"
constexpr quint32 kVersion = 1;

QMutex g_sharedMutex;
QHash<QString, std::shared_ptr<Defaults>> g_shared;

// Writes held back while Ovlin starts, and the domains waiting for them.
QMutex g_heldMutex;
bool g_writesHeld = false;
QSet<Defaults *> g_heldDomains;

QString safeFileName(QString name)
{
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name;
}

} // namespace

QString Defaults::pathForDomain(const QString &name)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Ovlin/") + safeFileName(name) + QStringLiteral(".defaults");
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
}

Defaults::Defaults(QString filePath) : m_path(std::move(filePath))
{
    load();
}

void Defaults::load()
{
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcDefaults) << "Cannot read" << m_path << file.errorString();
        m_unreadableFile = true;
        return;
    }
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint32 version = 0;
    QVariantMap values;
    in >> magic >> version;
    if (magic == kMagic && version == kVersion)
        in >> values;
    if (magic != kMagic || version != kVersion || in.status() != QDataStream::Ok) {
        qCWarning(lcDefaults) << "Ignoring unreadable defaults file" << m_path;
        m_unreadableFile = true;
        return;
    }
    m_values = values;
}

bool Defaults::writeLocked()
{
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        qCWarning(lcDefaults) << "Cannot create" << info.absolutePath();
        return false;
    }
    if (m_unreadableFile) {
        // Keep the unreadable file for the user instead of overwriting it.
        const QString aside = m_path + QStringLiteral(".unreadable");
        QFile::remove(aside);
        QFile::rename(m_path, aside);
        m_unreadableFile = false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcDefaults) << "Cannot write" << m_path << file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << m_values;
    if (out.status() != QDataStream::Ok || !file.commit()) {
        qCWarning(lcDefaults) << "Cannot write" << m_path << file.errorString();
        return false;
    }
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
    QMutexLocker lock(&m_mutex);
    m_values.insert(key, normalized(value));
    return writeOrHoldLocked();
}

bool Defaults::remove(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    m_values.remove(key);
    return writeOrHoldLocked();
}

bool Defaults::writeOrHoldLocked()
{
    {
        QMutexLocker held(&g_heldMutex);
        if (g_writesHeld) {
            g_heldDomains.insert(this);
            return true;
        }
    }
    return writeLocked();
}

void Defaults::holdWrites()
{
    QMutexLocker held(&g_heldMutex);
    g_writesHeld = true;
}

void Defaults::releaseWrites()
{
    QSet<Defaults *> domains;
    {
        QMutexLocker held(&g_heldMutex);
        g_writesHeld = false;
        domains.swap(g_heldDomains);
    }
    for (Defaults *domain : std::as_const(domains)) {
        QMutexLocker lock(&domain->m_mutex);
        domain->writeLocked();
    }
}

Defaults::~Defaults()
{
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
