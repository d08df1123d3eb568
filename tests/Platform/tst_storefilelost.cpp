#include "Base/Clock.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include "Support/StoreTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <cstdio>

#include <sqlite3.h>
#include <unistd.h>

using namespace ovlin;
using namespace storetest;
using namespace std::chrono_literals;

namespace {

std::shared_ptr<Reminder> makeReminder(StoreContext &context, const QString &title)
{
    auto reminder = Reminder::create(QUuid::createUuid(), title, ReminderCategory::water, std::nullopt,
                                     ScheduleType::fixedTime, utc("2026-01-01T08:00:00Z"), std::nullopt, std::nullopt,
                                     std::nullopt, {Weekday::monday}, true, utc("2026-01-01T07:00:00Z"));
    context.insert(reminder);
    return reminder;
}

std::shared_ptr<ReminderLog> makeLog(const std::shared_ptr<Reminder> &reminder, const char *scheduledAt)
{
    return ReminderLog::create(QUuid::createUuid(), reminder, utc(scheduledAt), std::nullopt, LogStatus::completed);
}

// Reminder titles with their log counts, in row order, as a file holds them (opened on its own, as the next
// start would open it).
QString fileState(const QString &path)
{
    RawConnection raw(path);
    return raw
        .scalar(QStringLiteral("SELECT coalesce(group_concat(title || ':' || (SELECT count(*) FROM ReminderLog l "
                               "WHERE l.reminder = r.pk), ' '), '') FROM (SELECT * FROM Reminder ORDER BY pk) r"))
        .toString();
}

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).exists() ? QFileInfo(path).size() : -1;
}

// Another program moving a file over the store while the store reads its records: SQLite reports each
// statement it starts to every connection made while this is armed.
QString g_moveFrom;
QString g_moveTo;

int moveAtFirstRecordRead(unsigned, void *, void *, void *sql)
{
    const char *text = static_cast<const char *>(sql);
    if (!g_moveFrom.isEmpty() && text && qstrncmp(text, "SELECT pk", 9) == 0) {
        ::rename(QFile::encodeName(g_moveFrom).constData(), QFile::encodeName(g_moveTo).constData());
        g_moveFrom.clear();
    }
    return 0;
}

int watchStatements(sqlite3 *db, const char **, const sqlite3_api_routines *)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, moveAtFirstRecordRead, nullptr);
    return SQLITE_OK;
}

} // namespace

// Another program removes, renames or replaces the store file (or its write-ahead log) while it is open.
class TestStoreFileLost : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StoreContainer> m_store;
    std::shared_ptr<Reminder> m_water;

    QString path(const char *name = "Test.store") const { return m_dir->filePath(QString::fromLatin1(name)); }

    // Another store, made and closed elsewhere, as a backup would be.
    QString makeBackup()
    {
        const QString backup = path("Backup.store");
        QString error;
        auto store = StoreContainer::open(backup, &error);
        if (!store)
            return {};
        makeReminder(*store->mainContext(), QStringLiteral("Backup"));
        store->mainContext()->save();
        return backup;
    }

private Q_SLOTS:
    void init()
    {
        Clock::setNow(utc("2026-01-04T12:00:00Z"));
        m_dir = std::make_unique<QTemporaryDir>();
        QString error;
        m_store = StoreContainer::open(path(), &error);
        QVERIFY2(m_store, qPrintable(error));
        StoreContext &context = *m_store->mainContext();
        m_water = makeReminder(context, QStringLiteral("Water"));
        makeLog(m_water, "2026-01-01T08:00:00Z");
        makeReminder(context, QStringLiteral("Walk"));
        // Saved, and still in the write-ahead log only.
        QVERIFY(context.save());
        QVERIFY(fileSize(path("Test.store-wal")) > 0);
        QCoreApplication::processEvents();
    }

    void cleanup()
    {
        m_water.reset();
        m_store.reset();
        m_dir.reset();
        Clock::useSystemTime();
    }

    void nothingReachesWhatIsThereNow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("waiting"); // a change is made afterwards, and waits
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("movedTo"); // where the opened file is afterwards, if anywhere
        QTest::addColumn<QString>("atPath");  // what the path holds after closing, opened on its own
        for (const bool waiting : {true, false}) {
            const char *suffix = waiting ? ", a change waiting" : ", nothing changed since";
            QTest::addRow("removed%s", suffix) << "rm" << waiting << "was removed or renamed" << QString() << QString();
            QTest::addRow("renamed%s", suffix) << "mv" << waiting << "was removed or renamed"
                                               << "Moved.store" << QString();
            QTest::addRow("backup moved over it%s", suffix)
                << "backup" << waiting << "was replaced by another file" << QString() << "Backup:0";
            QTest::addRow("write-ahead log removed%s", suffix)
                << "rm wal" << waiting << "write-ahead log .*Test.store-wal was removed or replaced" << QString()
                << "Water:1 Walk:0";
        }
    }

    // Nothing is written into a file that now has the store's name, nothing of the opened file's log is left
    // for it, and the changes wait, named in the log at close.
    void nothingReachesWhatIsThereNow()
    {
        QFETCH(QString, change);
        QFETCH(bool, waiting);
        QFETCH(QString, reason);
        QFETCH(QString, movedTo);
        QFETCH(QString, atPath);
        StoreContext &context = *m_store->mainContext();
        QSignalSpy lostChanged(&context, &StoreContext::fileLostChanged);
        QByteArray backupBytes;
        if (change == "rm") {
            QVERIFY(QFile::remove(path()));
        } else if (change == "mv") {
            QVERIFY(QFile::rename(path(), m_dir->filePath(movedTo)));
        } else if (change == "backup") {
            const QString backup = makeBackup();
            backupBytes = fileBytes(backup);
            QVERIFY(!backupBytes.isEmpty());
            QVERIFY(::rename(QFile::encodeName(backup).constData(), QFile::encodeName(path()).constData()) == 0);
        } else {
            QVERIFY(QFile::remove(path("Test.store-wal")));
        }

        if (waiting) {
            auto log = makeLog(m_water, "2026-01-02T08:00:00Z");
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(reason + QStringLiteral(".* Nothing is written")));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed: .*") + reason));
            QString error;
            QVERIFY(!context.save(&error));
            QVERIFY(context.isFileLost());
            QVERIFY(context.hasChanges());
            QVERIFY(context.saveRetryTimer().isActive());
            QVERIFY(!context.retryFailedSave());
            QTRY_COMPARE(lostChanged.size(), 1);
            QCOMPARE(lostChanged.first().first().toBool(), true);

            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Closing .*Test.store with changes "
                                                                                 "that could not be saved: .*") +
                                                                  reason));
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("^Not saved: ReminderLog %1 inserted: id='%2'")
                                                        .arg(log->persistentId())
                                                        .arg(log->id().toString(QUuid::WithoutBraces)),
                                                    QRegularExpression::CaseInsensitiveOption));
            QVERIFY(!m_store->saveBeforeClosing(1s));
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(reason + QStringLiteral(".* Closing the store without touching")));
        m_water.reset();
        m_store.reset();

        // The opened file keeps what was saved before, wherever it went.
        if (!movedTo.isEmpty())
            QCOMPARE(fileState(m_dir->filePath(movedTo)), QStringLiteral("Water:1 Walk:0"));
        // No log of the opened file is left to be taken in by the next opening of the path.
        QVERIFY(fileSize(path("Test.store-wal")) <= 0);
        if (atPath.isEmpty()) {
            QVERIFY(!QFileInfo::exists(path()));
        } else {
            QCOMPARE(fileState(path()), atPath);
        }
        if (!backupBytes.isEmpty())
            QCOMPARE(fileBytes(path()), backupBytes);
    }

    // A file moved over the store while it loads is seen at the first save: the file opened is the one to
    // compare with, not the one there once the history is read.
    void fileReplacedWhileLoading()
    {
        m_water.reset();
        m_store.reset();
        g_moveFrom = makeBackup();
        g_moveTo = path();
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(watchStatements));
        QString error;
        m_store = StoreContainer::open(path(), &error);
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(watchStatements));
        QVERIFY2(m_store, qPrintable(error));
        QVERIFY(g_moveFrom.isEmpty());
        StoreContext &context = *m_store->mainContext();
        QCOMPARE(context.fetch<Reminder>().size(), 2);
        makeReminder(context, QStringLiteral("Run"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("was replaced by another file.* Nothing")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context.save());
        QVERIFY(context.isFileLost());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Closing the store without touching")));
        m_store.reset();
        QCOMPARE(fileState(path()), QStringLiteral("Backup:0"));
    }

    // When another reader holds the opened file's log at close, the log is renamed aside and kept: the
    // next opening of the file now under the name does not take it in.
    void logHeldAtCloseIsMovedAside()
    {
        QProcess reader;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OVLIN_HOLD_SNAPSHOT"), path());
        reader.setProcessEnvironment(environment);
        reader.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(reader.waitForReadyRead(30000));
        QCOMPARE(reader.readLine().trimmed(), QByteArray("holding"));
        const QString backup = makeBackup();
        QVERIFY(::rename(QFile::encodeName(backup).constData(), QFile::encodeName(path()).constData()) == 0);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Closing the store without touching")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Could not empty the write-ahead log")));
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("Moved the write-ahead log .* to .*Test.store-wal.aside")));
        m_water.reset();
        m_store.reset();
        reader.kill(); // gone without closing, as a crashed reader would be
        QVERIFY(reader.waitForFinished(30000));

        QVERIFY(fileSize(path("Test.store-wal.aside")) > 0);
        QVERIFY(fileSize(path("Test.store-wal")) <= 0);
        QCOMPARE(fileState(path()), QStringLiteral("Backup:0"));
    }

    // A store opened through a link (its log lies beside the file linked to) saves as usual.
    void storeOpenedThroughALinkSaves()
    {
        m_water.reset();
        m_store.reset();
        QVERIFY(QFile::link(path(), path("Link.store")));
        QString error;
        m_store = StoreContainer::open(path("Link.store"), &error);
        QVERIFY2(m_store, qPrintable(error));
        makeReminder(*m_store->mainContext(), QStringLiteral("Run"));
        QVERIFY(m_store->mainContext()->save());
        QVERIFY(!m_store->mainContext()->isFileLost());
        m_store.reset();
        QCOMPARE(fileState(path()), QStringLiteral("Water:1 Walk:0 Run:0"));
    }

    // Put back under its name, the file takes the changes that waited.
    void fileBackUnderItsName()
    {
        StoreContext &context = *m_store->mainContext();
        QSignalSpy lostChanged(&context, &StoreContext::fileLostChanged);
        QVERIFY(QFile::rename(path(), path("Moved.store")));
        makeLog(m_water, "2026-01-02T08:00:00Z");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("was removed or renamed.* Nothing")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context.save());

        QVERIFY(QFile::rename(path("Moved.store"), path()));
        QVERIFY(context.retryFailedSave());
        QVERIFY(!context.isFileLost());
        QVERIFY(!context.hasChanges());
        QTRY_COMPARE(lostChanged.size(), 2);
        QCOMPARE(lostChanged.at(1).first().toBool(), false);
        m_water.reset();
        m_store.reset();
        QCOMPARE(fileState(path()), QStringLiteral("Water:2 Walk:0"));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray held = qgetenv("OVLIN_HOLD_SNAPSHOT");
    if (!held.isEmpty()) {
        // Another program reading the store, holding its snapshot until it is killed.
        RawConnection reader(QFile::decodeName(held));
        QSqlQuery query(reader.database());
        if (!query.exec(QStringLiteral("BEGIN")) || !query.exec(QStringLiteral("SELECT count(*) FROM Reminder")) ||
            !query.next())
            return 1;
        std::puts("holding");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    TestStoreFileLost test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storefilelost.moc"
