// A second Ovlin launch as the single-instance test sees it: tries to become the running instance in the
// folder given (with the data folder given, else the user's) and prints which role it got, and on its
// error output why it did not run.
//   shell_instance_child <folder> <wait ms> [<data folder>] [--as <uid>] [--hold]
// --as: runs as that user (from root), as a launch of an unprivileged user does. --hold: a primary keeps
// running, answering later launches, until its standard input ends.
#include "Shell/SingleInstance.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdlib>
#include <cstring>

#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    bool hold = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hold") == 0) {
            hold = true;
        } else if (std::strcmp(argv[i], "--as") == 0 && i + 1 < argc) {
            const auto uid = uid_t(std::strtoul(argv[++i], nullptr, 10));
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(uid)) != 0 || ::setuid(uid) != 0)
                return 3;
            // The leak checker has to be able to attach to this process at exit.
            ::prctl(PR_SET_DUMPABLE, 1);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    ovlin::SingleInstance instance(args.at(1), args.value(3));
    const auto role = instance.start(args.at(2).toInt());
    QTextStream(stderr) << instance.errorString() << '\n';
    {
        QTextStream out(stdout);
        switch (role) {
        case ovlin::SingleInstance::Role::primary: out << "primary\n"; break;
        case ovlin::SingleInstance::Role::secondary: out << "secondary\n"; break;
        case ovlin::SingleInstance::Role::unreachable: out << "unreachable\n"; break;
        case ovlin::SingleInstance::Role::refused: out << "refused\n"; break;
        }
    }
    if (!hold || role != ovlin::SingleInstance::Role::primary)
        return 0;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0)
            QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
