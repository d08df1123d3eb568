#include "Shell/AppDelegate.h"

#include "Platform/MainThread.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>

#include <filesystem>
#include <system_error>

namespace ovlin {

namespace {

// Creates the folder a candidate lives in, with any missing parents; an existing folder is fine.
bool createFolder(const QString &folder, QString *errorDescription)
{
    std::error_code error;
    const std::filesystem::path path(QFile::encodeName(folder).toStdString());
    std::filesystem::create_directories(path, error);
    if (!error && std::filesystem::is_directory(path, error))
        return true;
    *errorDescription =
        error ? QString::fromLocal8Bit(error.message().c_str()) : QStringLiteral("The folder could not be created.");
    return false;
}

} // namespace

AppDelegate::AppDelegate(QObject *parent) : QObject(parent), m_sharedContainer(makeContainer())
{
    OVLIN_ASSERT_MAIN_THREAD();
}

AppDelegate::~AppDelegate() = default;

QString AppDelegate::applicationSupportFolder()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!location.isEmpty())
        return location;
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QStringList AppDelegate::storeCandidates(const QStringList &locations, QSet<QString> &seenPaths)
{
    QStringList candidates;
    for (const QString &location : locations) {
        if (seenPaths.contains(location))
            continue;
        seenPaths.insert(location);
        candidates.append(location);
    }
    return candidates;
}

std::unique_ptr<StoreContainer> AppDelegate::makeContainer()
{
    return makeContainer(applicationSupportFolder());
}

std::unique_ptr<StoreContainer> AppDelegate::makeContainer(const QString &applicationSupport)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDir support(applicationSupport);
    const QString productFolder = support.filePath(QStringLiteral("Ovlin"));
    const QString productStore = QDir(productFolder).filePath(QStringLiteral("Ovlin.store"));
    const QString recoveryStore = QDir(productFolder).filePath(QStringLiteral("Ovlin-Recovery.store"));
    const QString legacyFolder = support.filePath(QStringLiteral("Tamsi"));
    const QString legacyStore = QDir(legacyFolder).filePath(QStringLiteral("Tamsi.store"));

    // Both answers are taken once, before any store is opened.
    const bool productExists = QFileInfo::exists(productStore);
    const bool legacyExists = QFileInfo::exists(legacyStore);

    QStringList locations;
    if (productExists)
        locations.append(productStore);
    if (legacyExists)
        locations.append(legacyStore);
    locations.append(productStore);
    locations.append(recoveryStore);
    QSet<QString> seen;
    const QStringList candidates = storeCandidates(locations, seen);

    for (const QString &candidate : candidates) {
        QString error;
        // Only the folder of the candidate being tried is created.
        if (!createFolder(QFileInfo(candidate).path(), &error)) {
            qWarning("[AppDelegate] Failed to open store at %s: %s", qUtf8Printable(candidate), qUtf8Printable(error));
            continue;
        }
        if (auto container = StoreContainer::open(candidate, &error))
            return container;
        qWarning("[AppDelegate] Failed to open store at %s: %s", qUtf8Printable(candidate), qUtf8Printable(error));
    }

    qWarning("[AppDelegate] Falling back to in-memory store after persistent store setup failed.");
    QString error;
    if (auto container = StoreContainer::openInMemory(&error))
        return container;
    qFatal("[AppDelegate] Failed to create even the in-memory ModelContainer: %s", qUtf8Printable(error));
}

} // namespace ovlin
