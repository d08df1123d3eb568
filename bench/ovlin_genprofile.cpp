// Writes a profile for whole-application runs and benchmarks:
//   ovlin-genprofile <home> [--habits N] [--logs M] [--days D]
// creates <home>/.local/share/Ovlin/Ovlin.store with N habits (default 50) and M logs (default 100000)
// over the D days (default 730) up to today, plus <home>/.config/Ovlin/org.ovlin.Ovlin.defaults with
// onboarding done. Run Ovlin on it with HOME=<home> (and XDG_DATA_HOME / XDG_CONFIG_HOME unset or pointing
// at <home>/.local/share and <home>/.config). An existing store there is replaced.
#include "BenchHabits.h"
#include "Platform/Defaults.h"
#include "Platform/Store.h"
#include "Platform/StoreTables.h"
#include "Platform/Uuid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

using namespace ovlin;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: ovlin-genprofile <home> [--habits N] [--logs M] [--days D]\n"
                         "  writes <home>/.local/share/Ovlin/Ovlin.store (N habits, default 50; M logs,\n"
                         "  default 100000; over D days up to today, default 730) and the settings that\n"
                         "  skip onboarding under <home>/.config/Ovlin/. Start Ovlin with HOME=<home>.\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const QString home = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    int habits = 50;
    qint64 logs = 100000;
    int days = 730;
    for (int i = 2; i + 1 < argc; i += 2) {
        const QByteArray option(argv[i]);
        const qint64 value = QByteArray(argv[i + 1]).toLongLong();
        if (value < 0)
            return usage();
        if (option == "--habits")
            habits = int(value);
        else if (option == "--logs")
            logs = value;
        else if (option == "--days")
            days = int(std::max<qint64>(1, value));
        else
            return usage();
    }
    if (argc % 2 != 0)
        return usage();

    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    QCoreApplication app(argc, argv);

    const QString folder = home + QStringLiteral("/.local/share/Ovlin");
    const QString path = folder + QStringLiteral("/Ovlin.store");
    QDir().mkpath(folder);
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));

    const QDate lastDay = QDate::currentDate();
    const QDate firstDay = lastDay.addDays(-(days - 1));
    QList<qint64> habitKeys;
    {
        QString error;
        auto store = StoreContainer::open(path, &error);
        if (!store) {
            std::fprintf(stderr, "cannot create %s: %s\n", qPrintable(path), qPrintable(error));
            return 1;
        }
        const auto reminders = bench::makeHabits(store->mainContext(), habits, firstDay);
        if (!store->mainContext()->save(&error)) {
            std::fprintf(stderr, "cannot save the habits: %s\n", qPrintable(error));
            return 1;
        }
        for (const auto &reminder : reminders)
            habitKeys << reminder->persistentId();
    }

    // The logs go in with plain SQL: a million records through the object layer would take minutes.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("genprofile"));
        db.setDatabaseName(path);
        if (!db.open()) {
            std::fprintf(stderr, "cannot reopen %s\n", qPrintable(path));
            return 1;
        }
        QSqlQuery query(db);
        query.exec(QStringLiteral("BEGIN"));
        query.prepare(detail::StoreTables::insertSql(RecordType::reminderLog));
        qint64 pk = 0;
        bool ok = true;
        const QTime now = QTime::currentTime();
        bench::forEachLog(habits, logs, firstDay, lastDay, now, [&](int habit, const QDateTime &at, LogStatus status) {
            if (!ok)
                return;
            const qint64 micros = at.toMSecsSinceEpoch() * 1000;
            query.bindValue(0, ++pk);
            query.bindValue(1, uuidText(QUuid::createUuid()));
            query.bindValue(2, micros);
            query.bindValue(3, status == LogStatus::completed ? QVariant(micros + 40000000) : QVariant());
            query.bindValue(4, rawValue(status));
            query.bindValue(5, habitKeys.at(habit));
            ok = query.exec();
        });
        if (!ok) {
            std::fprintf(stderr, "cannot write the logs: %s\n", qPrintable(query.lastError().text()));
            return 1;
        }
        query.exec(QStringLiteral("COMMIT"));
        query.finish();
        std::printf("%s: %d habits, %lld logs, %d days\n", qPrintable(path), habits, pk, days);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("genprofile"));

    if (!Defaults::standard().setBool(QStringLiteral("hasCompletedOnboarding"), true)) {
        std::fprintf(stderr, "cannot write the settings\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(Defaults::standard().filePath()));
    return 0;
}
