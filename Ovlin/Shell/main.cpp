#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ovlin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OVLIN_VERSION));
    QTextStream(stdout) << "Ovlin " << OVLIN_VERSION << "\n";
    return 0;
}
