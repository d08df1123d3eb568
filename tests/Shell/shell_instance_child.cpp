// A second Ovlin launch as the single-instance test sees it: tries to become the running instance in the
// folder given (with the data folder given, else the user's) and prints which role it got, and on its
// error output why it did not run.
//   shell_instance_child <folder> <wait ms> [<data folder>]
#include "Shell/SingleInstance.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    ovlin::SingleInstance instance(args.at(1), args.value(3));
    const auto role = instance.start(args.at(2).toInt());
    QTextStream(stderr) << instance.errorString() << '\n';
    QTextStream out(stdout);
    switch (role) {
    case ovlin::SingleInstance::Role::primary: out << "primary\n"; break;
    case ovlin::SingleInstance::Role::secondary: out << "secondary\n"; break;
    case ovlin::SingleInstance::Role::unreachable: out << "unreachable\n"; break;
    case ovlin::SingleInstance::Role::refused: out << "refused\n"; break;
    }
    return 0;
}
