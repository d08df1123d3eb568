// Writes a profile for whole-application runs and benchmarks:
//   ovlin-genprofile <home> [--habits N] [--logs M] [--days D]
// creates <home>/.local/share/Ovlin/Ovlin.store with N habits (default 50) and M logs (default 100000)
// over the D days (default 730) up to today, plus <home>/.config/Ovlin/org.ovlin.Ovlin.defaults with
// onboarding done. Run Ovlin on it with HOME=<home> (and XDG_DATA_HOME / XDG_CONFIG_HOME unset or pointing
// at <home>/.local/share and <home>/.config). An existing store there is replaced.
#include "Base/Defaults.h"
#include "BenchHabits.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

using namespace ovlin;

namespace {

// Asked for (--help) it goes to stdout and succeeds; after a wrong call, to stderr with status 2.
int usage(bool asked = false)
{
    std::fprintf(asked ? stdout : stderr,
                 "usage: ovlin-genprofile <home> [--habits N] [--logs M] [--days D]\n"
                 "  writes <home>/.local/share/Ovlin/Ovlin.store (N habits, default 50; M logs,\n"
                 "  default 100000; over D days up to today, default 730) and the settings that\n"
                 "  skip onboarding under <home>/.config/Ovlin/. Start Ovlin with HOME=<home>.\n");
    return asked ? 0 : 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    // An option is never a home folder.
    if (argv[1][0] == '-')
        return usage(qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0);
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

    QString error;
    const qint64 written =
        bench::writeProfileStore(path, habits, logs, days, QDate::currentDate(), QTime::currentTime(), &error);
    if (written < 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    std::printf("%s: %d habits, %lld logs, %d days\n", qPrintable(path), habits, written, days);

    if (!Defaults::standard().setBool(QStringLiteral("hasCompletedOnboarding"), true)) {
        std::fprintf(stderr, "cannot write the settings\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(Defaults::standard().filePath()));
    return 0;
}
