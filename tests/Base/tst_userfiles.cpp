#include "Base/Defaults.h"
#include "Base/UserFiles.h"
#include "Base/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>
#include <tuple>

#include "Support/NonRegularFiles.h"

using namespace ovlin;
using Status = FileRead::Status;

Q_DECLARE_METATYPE(ovlin::FileRead::Status)
Q_DECLARE_METATYPE(ovlin::UserFolder)

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sets an environment variable for one scope.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, const QByteArray &value)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_previous(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_wasSet)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_previous;
};

} // namespace

// Reading and replacing only regular files, and the user's base folders.
class TestUserFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // Makes `kind` at `name` in the test folder and returns its path.
    QString make(const QString &kind, const QString &name)
    {
        const QString path = m_dir.filePath(name);
        const QString target = path + QStringLiteral(".target");
        QString made = kind.startsWith(QLatin1String("link to ")) ? target : path;
        const QString what = QString(kind).remove(QStringLiteral("link to "));
        bool ok = true;
        if (what == QLatin1String("file"))
            ok = writeFile(made, "12345");
        else if (what == QLatin1String("large file"))
            ok = writeFile(made, QByteArray(100, 'x'));
        else if (what == QLatin1String("FIFO"))
            ok = special_files::makeFifo(made);
        else if (what == QLatin1String("socket"))
            ok = special_files::makeSocket(made);
        else if (what == QLatin1String("folder"))
            ok = QDir().mkdir(made);
        else if (what == QLatin1String("/dev/zero"))
            made = QStringLiteral("/dev/zero");
        if (made != path)
            ok = ok && QFile::link(made, path);
        return ok ? path : QString();
    }

private Q_SLOTS:
    void readRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("file") << "file" << Status::ok << QByteArray("12345");
        QTest::newRow("link to a file") << "link to file" << Status::ok << QByteArray("12345");
        QTest::newRow("nothing") << "nothing" << Status::absent << QByteArray();
        QTest::newRow("link to nothing") << "link to nothing" << Status::absent << QByteArray();
        QTest::newRow("larger than the limit") << "large file" << Status::tooLarge << QByteArray();
        QTest::newRow("FIFO") << "FIFO" << Status::notRegularFile << QByteArray();
        QTest::newRow("link to a FIFO") << "link to FIFO" << Status::notRegularFile << QByteArray();
        QTest::newRow("socket") << "socket" << Status::notRegularFile << QByteArray();
        QTest::newRow("folder") << "folder" << Status::notRegularFile << QByteArray();
        QTest::newRow("link to /dev/zero") << "link to /dev/zero" << Status::notRegularFile << QByteArray();
    }

    void readRegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(Status, status);
        QFETCH(QByteArray, bytes);
        const QString path = make(kind, QStringLiteral("read-%1").arg(++m_count));
        QVERIFY(!path.isEmpty());
        std::optional<special_files::FifoUnblocker> unblocker;
        if (kind.contains(QLatin1String("FIFO")))
            unblocker.emplace(path);
        const qint64 before = special_files::bytesReadSoFar();
        const FileRead read = ovlin::readRegularFile(path, 50);
        QVERIFY(special_files::bytesReadSoFar() - before < 4096);
        QVERIFY(!unblocker || !unblocker->hadToUnblock());
        QCOMPARE(read.status, status);
        QCOMPARE(read.bytes, bytes);
        QCOMPARE(read.error.isEmpty(), status == Status::ok || status == Status::absent);
        // The first bytes of a longer file.
        if (kind == QLatin1String("large file"))
            QCOMPARE(ovlin::readRegularFile(path, 50, true).bytes, QByteArray(50, 'x'));
    }

    // A save replaces a regular file or a link's regular target; anything else stays as it was. No link
    // here leads to a device: a failure must not be able to write into the machine's /dev.
    void saveReplacesOnlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("saved");
        QTest::newRow("nothing") << "nothing" << true;
        QTest::newRow("file") << "file" << true;
        QTest::newRow("link to a file") << "link to file" << true;
        QTest::newRow("link to nothing") << "link to nothing" << true;
        QTest::newRow("FIFO") << "FIFO" << false;
        QTest::newRow("link to a FIFO") << "link to FIFO" << false;
        QTest::newRow("socket") << "socket" << false;
        QTest::newRow("link to a socket") << "link to socket" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("link to a folder") << "link to folder" << false;
    }

    void saveReplacesOnlyRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, saved);
        const QString path = make(kind, QStringLiteral("save-%1").arg(++m_count));
        QVERIFY(!path.isEmpty());
        const QString target = path + QStringLiteral(".target");
        const bool linked = kind.startsWith(QLatin1String("link to "));
        const mode_t before = special_files::entryKind(linked ? target : path);
        QString error;
        QCOMPARE(saveFileAtomically(path, "new", QFileDevice::ReadOwner | QFileDevice::WriteOwner, &error), saved);
        QCOMPARE(error.isEmpty(), saved);
        QCOMPARE(special_files::entryKind(path), linked ? mode_t(S_IFLNK) : saved ? mode_t(S_IFREG) : before);
        if (saved) {
            QCOMPARE(fileBytes(path), QByteArray("new"));
        } else {
            QCOMPARE(special_files::entryKind(linked ? target : path), before);
            QVERIFY2(error.contains(path), qPrintable(error));
        }
    }

    void makePrivateFolder()
    {
        const QString open = m_dir.filePath(QStringLiteral("open"));
        QVERIFY(QDir().mkdir(open));
        QVERIFY(QFile::setPermissions(open, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther));
        QString error;
        QVERIFY(ovlin::makePrivateFolder(open + QStringLiteral("/a/b"), &error));
        const auto mode = [](const QString &path) {
            struct stat info = {};
            return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
        };
        QCOMPARE(mode(open), mode_t(0705));
        QCOMPARE(mode(open + QStringLiteral("/a")), mode_t(0700));
        QCOMPARE(mode(open + QStringLiteral("/a/b")), mode_t(0700));
        QVERIFY(writeFile(open + QStringLiteral("/file"), "x"));
        QVERIFY(!ovlin::makePrivateFolder(open + QStringLiteral("/file/c"), &error));
        QVERIFY(error.contains(open + QStringLiteral("/file")));
    }

    // A relative XDG value is invalid: the folder under the home folder is used instead, wherever
    // Ovlin was started from.
    void relativeXdgValuesAreIgnored_data()
    {
        QTest::addColumn<UserFolder>("folder");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected"); // under HOME when relative
        for (const auto &[folder, variable, underHome] :
             {std::tuple{UserFolder::config, QByteArray("XDG_CONFIG_HOME"), QStringLiteral("/.config")},
              std::tuple{UserFolder::data, QByteArray("XDG_DATA_HOME"), QStringLiteral("/.local/share")},
              std::tuple{UserFolder::cache, QByteArray("XDG_CACHE_HOME"), QStringLiteral("/.cache")},
              std::tuple{UserFolder::runtime, QByteArray("XDG_RUNTIME_DIR"), QString()}}) {
            QTest::addRow("%s relative", variable.constData())
                << folder << variable << QByteArray("rel/x") << underHome;
            QTest::addRow("%s dot", variable.constData()) << folder << variable << QByteArray("./x") << underHome;
            QTest::addRow("%s unset", variable.constData()) << folder << variable << QByteArray() << underHome;
            QTest::addRow("%s absolute", variable.constData())
                << folder << variable << QByteArray("/abs/x/") << QStringLiteral("=/abs/x");
        }
    }

    void relativeXdgValuesAreIgnored()
    {
        QFETCH(UserFolder, folder);
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QString, expected);
        const QString elsewhere = m_dir.filePath(QStringLiteral("elsewhere"));
        QDir().mkpath(elsewhere);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere));
        const ScopedVariable set(variable.constData(), value);
        const QString answer = userFolder(folder);
        const QString settings = Defaults::pathForDomain(QStringLiteral("d"));
        QDir::setCurrent(previous);
        if (expected.startsWith(QLatin1Char('=')))
            QCOMPARE(answer, expected.mid(1));
        else
            QCOMPARE(answer, expected.isEmpty() ? QString() : QDir::homePath() + expected);
        if (folder == UserFolder::config)
            QCOMPARE(settings, answer + QStringLiteral("/Ovlin/d.defaults"));
    }
};

QTEST_GUILESS_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
