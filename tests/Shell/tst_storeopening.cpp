#include "Shell/AppDelegate.h"

#include "Platform/TimeZoneEnvironment.h"

#include "Model/Reminder.h"
#include "Support/NonRegularFiles.h"
#include "Support/StoreTestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <ctime>

using namespace ovlin;
using namespace storetest;

namespace {

QStringList g_lines;
QStringList g_storeWarnings;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("[AppDelegate]")))
        g_lines.append(message);
    else if (type == QtWarningMsg && QByteArray(context.category) == "ovlin.store")
        g_storeWarnings.append(message);
    else if (g_previous)
        g_previous(type, context, message);
}

// Records the delegate's log lines while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        g_lines.clear();
        g_storeWarnings.clear();
        g_previous = qInstallMessageHandler(collect);
    }
    ~LogCapture() { qInstallMessageHandler(g_previous); }
    QStringList lines() const { return g_lines; }
    QStringList storeWarnings() const { return g_storeWarnings; }
};

// Leaves a store with one reminder titled `title` at `path`.
void seedStore(const QString &path, const QString &title)
{
    QDir().mkpath(QFileInfo(path).path());
    QString error;
    auto store = StoreContainer::open(path, &error);
    QVERIFY2(store, qPrintable(error));
    store->mainContext()->insert(Reminder::create(
        QUuid::createUuid(), title, ReminderCategory::meal, std::nullopt, ScheduleType::fixedTime, std::nullopt,
        std::nullopt, std::nullopt, std::nullopt, {Weekday::monday}, true, QDateTime::fromSecsSinceEpoch(0)));
    QVERIFY(store->mainContext()->save());
}

QString storedTitle(const StoreContainer &store)
{
    const auto reminders = store.mainContext()->fetch<Reminder>();
    return reminders.isEmpty() ? QString() : reminders.first()->title();
}

} // namespace

class TestStoreOpening : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void makeContainer_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("expectedStore"); // relative to Application Support; empty: memory
        QTest::addColumn<QString>("expectedTitle");
        QTest::addColumn<QStringList>("expectedFailures"); // relative paths, in order
        QTest::addColumn<bool>("ovlinFolderAfter");

        const QString primary = QStringLiteral("Ovlin/Ovlin.store");
        const QString recovery = QStringLiteral("Ovlin/Ovlin-Recovery.store");
        const QString legacy = QStringLiteral("Tamsi/Tamsi.store");
        auto row = [](const char *name, const QStringList &setup, const QString &store, const QString &title,
                      const QStringList &failures,
                      bool ovlinFolder) { QTest::newRow(name) << setup << store << title << failures << ovlinFolder; };
        row("fresh profile", {}, primary, "", {}, true);
        row("primary present", {"primary"}, primary, "primary", {}, true);
        row("legacy only", {"legacy"}, legacy, "legacy", {}, false);
        row("both present", {"primary", "legacy"}, primary, "primary", {}, true);
        row("garbage primary", {"garbage primary"}, recovery, "", {primary}, true);
        row("garbage primary, legacy present", {"garbage primary", "legacy"}, legacy, "legacy", {primary}, true);
        row("folder in place of the primary", {"folder primary"}, recovery, "", {primary}, true);
        row("FIFO in place of the primary's log", {"primary", "fifo log"}, recovery, "", {primary}, true);
        row("everything failing", {"file at Ovlin", "file at Tamsi"}, "", "", {primary, recovery}, false);
    }

    void makeContainer()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, expectedStore);
        QFETCH(QString, expectedTitle);
        QFETCH(QStringList, expectedFailures);
        QFETCH(bool, ovlinFolderAfter);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString support = dir.filePath(QStringLiteral("Application Support"));
        QVERIFY(QDir().mkpath(support));
        const auto at = [&support](const QString &relative) { return QDir(support).filePath(relative); };

        QMap<QString, QByteArray> untouched; // path -> bytes that must stay as they are
        for (const QString &step : setup) {
            if (step == QLatin1String("primary")) {
                seedStore(at(QStringLiteral("Ovlin/Ovlin.store")), QStringLiteral("primary"));
            } else if (step == QLatin1String("legacy")) {
                seedStore(at(QStringLiteral("Tamsi/Tamsi.store")), QStringLiteral("legacy"));
            } else if (step == QLatin1String("garbage primary")) {
                const QString path = at(QStringLiteral("Ovlin/Ovlin.store"));
                QDir().mkpath(QFileInfo(path).path());
                writeFile(path, garbageBytes());
                untouched.insert(path, garbageBytes());
            } else if (step == QLatin1String("folder primary")) {
                QVERIFY(QDir().mkpath(at(QStringLiteral("Ovlin/Ovlin.store"))));
            } else if (step == QLatin1String("fifo log")) {
                QVERIFY(special_files::makeFifo(at(QStringLiteral("Ovlin/Ovlin.store-wal"))));
                untouched.insert(at(QStringLiteral("Ovlin/Ovlin.store")),
                                 fileBytes(at(QStringLiteral("Ovlin/Ovlin.store"))));
            } else if (step.startsWith(QLatin1String("file at "))) {
                writeFile(at(step.mid(8)), QByteArray("not a folder"));
                untouched.insert(at(step.mid(8)), QByteArray("not a folder"));
            }
        }

        std::unique_ptr<StoreContainer> store;
        QStringList lines;
        {
            std::optional<special_files::FifoUnblocker> unblocker;
            if (setup.contains(QStringLiteral("fifo log")))
                unblocker.emplace(at(QStringLiteral("Ovlin/Ovlin.store-wal")));
            LogCapture capture;
            store = AppDelegate::makeContainer(support);
            lines = capture.lines();
        }
        QVERIFY(store);
        if (setup.contains(QStringLiteral("fifo log")))
            QCOMPARE(special_files::entryKind(at(QStringLiteral("Ovlin/Ovlin.store-wal"))), mode_t(S_IFIFO));

        QStringList expectedLines;
        for (const QString &failed : expectedFailures) {
            QVERIFY2(lines.size() > expectedLines.size(), qPrintable(lines.join('\n')));
            const QString prefix = QStringLiteral("[AppDelegate] Failed to open store at %1: ").arg(at(failed));
            QVERIFY2(lines[expectedLines.size()].startsWith(prefix), qPrintable(lines.join('\n')));
            QVERIFY(lines[expectedLines.size()].size() > prefix.size()); // an error description follows
            expectedLines.append(lines[expectedLines.size()]);
        }
        if (expectedStore.isEmpty()) {
            expectedLines.append(
                QStringLiteral("[AppDelegate] Falling back to in-memory store after persistent store setup failed."));
            QVERIFY(store->isInMemory());
        } else {
            QCOMPARE(store->filePath(), at(expectedStore));
            QCOMPARE(storedTitle(*store), expectedTitle);
        }
        QCOMPARE(lines, expectedLines);

        // On the recovery store or in memory the user is told at once, and the log says it as a warning.
        const QString notice = AppDelegate::storeNoticeFor(*store, support);
        if (expectedStore.isEmpty() || expectedStore.endsWith(QLatin1String("Recovery.store"))) {
            QVERIFY(notice.contains(at(QStringLiteral("Ovlin/Ovlin.store"))));
            QCOMPARE(notice.contains(QStringLiteral("nothing you enter now will be kept")), expectedStore.isEmpty());
            QCOMPARE(notice.contains(at(QStringLiteral("Ovlin/Ovlin-Recovery.store"))), !expectedStore.isEmpty());
            QCOMPARE(g_storeWarnings, QStringList{notice});
        } else {
            QCOMPARE(notice, QString());
            QCOMPARE(g_storeWarnings, QStringList());
        }

        QCOMPARE(QFileInfo(at(QStringLiteral("Ovlin"))).isDir(), ovlinFolderAfter);
        // A folder made for a store is private to the user.
        if (setup.isEmpty())
            QCOMPARE(QFile::permissions(at(QStringLiteral("Ovlin"))),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser |
                         QFileDevice::WriteUser | QFileDevice::ExeUser);
        for (auto it = untouched.cbegin(); it != untouched.cend(); ++it)
            QCOMPARE(fileBytes(it.key()), it.value());
        if (setup.contains(QStringLiteral("garbage primary"))) {
            // Nothing was created beside the unreadable file either.
            QVERIFY(!QFileInfo::exists(at(QStringLiteral("Ovlin/Ovlin.store-wal"))));
            QVERIFY(!QFileInfo::exists(at(QStringLiteral("Ovlin/Ovlin.store-journal"))));
        }
    }

    // A relative XDG_DATA_HOME is invalid: started from anywhere, the store is the one under the home folder.
    void relativeDataHomeIsIgnored()
    {
        QTemporaryDir elsewhere;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        qputenv("XDG_DATA_HOME", "data");
        const QString folder = AppDelegate::dataFolder();
        qputenv("XDG_DATA_HOME", previous);
        QDir::setCurrent(current);
        QCOMPARE(folder, QDir::homePath() + QStringLiteral("/.local/share"));
    }

    // Every launch with an unreadable primary logs it again and goes on with the recovery store's data.
    void recoveryStoreKeepsDataAcrossLaunches()
    {
        QTemporaryDir dir;
        const QString support = dir.path();
        const QString primary = QDir(support).filePath(QStringLiteral("Ovlin/Ovlin.store"));
        QDir().mkpath(QFileInfo(primary).path());
        writeFile(primary, garbageBytes());

        for (int launch = 0; launch < 2; ++launch) {
            LogCapture capture;
            auto store = AppDelegate::makeContainer(support);
            QCOMPARE(capture.lines().size(), 1);
            QVERIFY(
                capture.lines().first().startsWith(QStringLiteral("[AppDelegate] Failed to open store at ") + primary));
            QCOMPARE(store->filePath(), QDir(support).filePath(QStringLiteral("Ovlin/Ovlin-Recovery.store")));
            if (launch == 0) {
                store->mainContext()->insert(
                    Reminder::create(QUuid::createUuid(), QStringLiteral("written since"), ReminderCategory::water,
                                     std::nullopt, ScheduleType::fixedTime, std::nullopt, std::nullopt, std::nullopt,
                                     std::nullopt, {}, true, QDateTime::fromSecsSinceEpoch(0)));
                QVERIFY(store->mainContext()->save());
            } else {
                QCOMPARE(storedTitle(*store), QStringLiteral("written since"));
            }
        }
        QCOMPARE(fileBytes(primary), garbageBytes());
    }

    // A store another program holds locked is waited for; only a lock that outlasts the wait sends Ovlin
    // to the next candidate.
    void lockedPrimary_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("budgetMs");
        QTest::addColumn<bool>("opensPrimary");
        QTest::newRow("released after a moment") << 1000 << 10000 << true;
        QTest::newRow("held longer than SQLite's own wait") << 7000 << 10000 << true;
        QTest::newRow("held past the wait") << 60000 << 300 << false;
    }

    void lockedPrimary()
    {
        QFETCH(int, holdMs);
        QFETCH(int, budgetMs);
        QFETCH(bool, opensPrimary);
        QTemporaryDir dir;
        const QString primary = QDir(dir.path()).filePath(QStringLiteral("Ovlin/Ovlin.store"));
        seedStore(primary, QStringLiteral("primary"));
        StoreLockHolder holder(primary, holdMs, true);
        QVERIFY(holder.lock());

        LogCapture capture;
        auto store = AppDelegate::makeContainer(dir.path(), std::chrono::milliseconds(budgetMs));
        QVERIFY(store);
        if (opensPrimary) {
            QCOMPARE(store->filePath(), primary);
            QCOMPARE(storedTitle(*store), QStringLiteral("primary"));
            QCOMPARE(capture.lines(), QStringList());
            // Waiting at start-up is over: the window's saves do not wait long for the lock.
            QCOMPARE(store->busyTimeout(), StoreContainer::runningBusyTimeoutMs);
        } else {
            QCOMPARE(store->filePath(), QDir(dir.path()).filePath(QStringLiteral("Ovlin/Ovlin-Recovery.store")));
            QCOMPARE(capture.lines(),
                     QStringList{
                         QStringLiteral("[AppDelegate] Failed to open store at %1: database is locked").arg(primary)});
            QCOMPARE(capture.storeWarnings().size(), 1);
        }
    }

    void pinSystemTimeZone()
    {
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", "America/New_York");
        ovlin::pinSystemTimeZone();
        QCOMPARE(qgetenv("TZ"), QByteArray("America/New_York"));

        qunsetenv("TZ");
        ovlin::pinSystemTimeZone();
        QCOMPARE(qgetenv("TZ"), QByteArray(":/etc/localtime"));

        qputenv("TZ", previous);
        tzset();
    }

    // When not even a memory-only store opens, the program stops with the fatal message. Run in a child
    // process that cannot load the SQLite driver.
    void fatalWhenNothingOpens()
    {
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OVLIN_STORE_DEATH_TEST"), dir.path());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QString output = QString::fromUtf8(child.readAllStandardError());
        const QString fatal = QStringLiteral("[AppDelegate] Failed to create even the in-memory ModelContainer: ");
        QVERIFY2(output.contains(fatal), qPrintable(output));
        QVERIFY2(output.indexOf(QStringLiteral("[AppDelegate] Falling back to in-memory store after persistent store "
                                               "setup failed.")) < output.indexOf(fatal),
                 qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("[AppDelegate] Failed to open store at ") +
                                 QDir(dir.path()).filePath(QStringLiteral("Ovlin/Ovlin.store"))),
                 qPrintable(output));
    }
};

int main(int argc, char *argv[])
{
    const QByteArray deathTestFolder = qgetenv("OVLIN_STORE_DEATH_TEST");
    if (!deathTestFolder.isEmpty()) {
        QCoreApplication app(argc, argv);
        // No plugin folders: the SQLite driver cannot load, so every store fails.
        QCoreApplication::setLibraryPaths({});
        AppDelegate::makeContainer(QFile::decodeName(deathTestFolder));
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestStoreOpening test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storeopening.moc"
