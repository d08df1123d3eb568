#include "Platform/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "Support/FileSizeLimit.h"

#include <optional>

using namespace ovlin;

namespace {

QString autostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Runs desktop-file-validate; returns its complaints, empty when the entry is valid.
QString validate(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty())
        return QStringLiteral("desktop-file-validate not found (scripts/install-deps installs desktop-file-utils)");
    QProcess process;
    process.start(tool, {path});
    if (!process.waitForFinished(10000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return output.isEmpty() ? QStringLiteral("failed") : output;
    return output.trimmed();
}

// The keys of a desktop entry, values as written.
QMap<QString, QString> keys(const QString &contents)
{
    QMap<QString, QString> result;
    for (const QString &line : contents.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            result.insert(line.left(eq), line.mid(eq + 1));
    }
    return result;
}

} // namespace

class TestLoginItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(autostartFolder()).removeRecursively();
        QFile::remove(autostartFolder());
    }

    void cleanupTestCase() { init(); }

    void registerAndUnregisterAreIdempotent()
    {
        LoginItem item(QStringLiteral("org.ovlin.Ovlin"), QStringLiteral("/usr/bin/ovlin"));
        QCOMPARE(item.entryPath(), autostartFolder() + QStringLiteral("/org.ovlin.Ovlin.desktop"));
        QVERIFY(!item.isRegistered());

        QVERIFY(item.register_());
        QVERIFY(item.isRegistered());
        const QString first = readAll(item.entryPath());
        QVERIFY(item.register_());
        QCOMPARE(readAll(item.entryPath()), first);
        QCOMPARE(QDir(autostartFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"org.ovlin.Ovlin.desktop"});

        QVERIFY(item.unregister());
        QVERIFY(!item.isRegistered());
        QVERIFY(item.unregister());
        QVERIFY(!item.isRegistered());
        QVERIFY(item.errorString().isEmpty());
    }

    // A relative XDG_CONFIG_HOME is invalid: the entry goes under the home folder's ~/.config.
    void relativeConfigHomeIsIgnored()
    {
        QTemporaryDir elsewhere;
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        qputenv("XDG_CONFIG_HOME", "config");
        const QString path = LoginItem(QStringLiteral("org.ovlin.Ovlin"), QStringLiteral("/usr/bin/ovlin")).entryPath();
        qputenv("XDG_CONFIG_HOME", previous);
        QDir::setCurrent(current);
        QCOMPARE(path, QDir::homePath() + QStringLiteral("/.config/autostart/org.ovlin.Ovlin.desktop"));
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << QStringLiteral("/usr/bin/ovlin") << QStringLiteral("/usr/bin/ovlin");
        QTest::newRow("space") << QStringLiteral("/opt/My Apps/ovlin") << QStringLiteral("\"/opt/My Apps/ovlin\"");
        QTest::newRow("double quote") << QStringLiteral("/opt/a\"b/ovlin") << QStringLiteral("\"/opt/a\\\\\"b/ovlin\"");
        QTest::newRow("dollar and backtick")
            << QStringLiteral("/opt/$x`y`/ovlin") << QStringLiteral("\"/opt/\\\\$x\\\\`y\\\\`/ovlin\"");
        QTest::newRow("backslash") << QStringLiteral("/opt/a\\b/ovlin") << QStringLiteral("\"/opt/a\\\\\\\\b/ovlin\"");
        QTest::newRow("percent") << QStringLiteral("/opt/100%/ovlin") << QStringLiteral("/opt/100%%/ovlin");
    }

    void execQuoting()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(LoginItem::execValue(program), exec);

        LoginItem item(QStringLiteral("org.ovlin.Ovlin"), program);
        QVERIFY(item.register_());
        const QString contents = readAll(item.entryPath());
        QVERIFY(contents.startsWith(QStringLiteral("[Desktop Entry]\n")));
        const QMap<QString, QString> entry = keys(contents);
        QCOMPARE(entry.value(QStringLiteral("Exec")), exec);
        QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
        QCOMPARE(entry.value(QStringLiteral("Name")), QStringLiteral("Ovlin"));
        QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("org.ovlin.Ovlin"));
        QCOMPARE(validate(item.entryPath()), QString());
    }

    void cannotWrite_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("blockFolder");
        QTest::addColumn<int>("fileSizeLimit"); // 0: none
        QTest::newRow("file where the folder should be") << "/usr/bin/ovlin" << true << 0;
        QTest::newRow("relative program") << "ovlin" << false << 0;
        QTest::newRow("disk full") << "/usr/bin/ovlin" << false << 16;
    }

    void cannotWrite()
    {
        QFETCH(QString, program);
        QFETCH(bool, blockFolder);
        QFETCH(int, fileSizeLimit);
        if (blockFolder) {
            QVERIFY(QDir().mkpath(QFileInfo(autostartFolder()).absolutePath()));
            QFile blocker(autostartFolder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        LoginItem item(QStringLiteral("org.ovlin.Ovlin"), program);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Login item not registered")));
        {
            std::optional<FileSizeLimit> limit;
            if (fileSizeLimit > 0)
                limit.emplace(rlim_t(fileSizeLimit));
            QVERIFY(!item.register_());
        }
        QVERIFY(!item.errorString().isEmpty());
        QVERIFY(!item.isRegistered());
        // Nothing to remove: unregistering still succeeds.
        QVERIFY(item.unregister());
    }

    void unregisterReportsFailure()
    {
        LoginItem item(QStringLiteral("org.ovlin.Ovlin"), QStringLiteral("/usr/bin/ovlin"));
        // Something that is not a file stands where the entry would be.
        QVERIFY(QDir().mkpath(item.entryPath() + QStringLiteral("/inside")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Login item not unregistered")));
        QVERIFY(!item.unregister());
        QVERIFY(!item.errorString().isEmpty());
        QVERIFY(QFileInfo::exists(item.entryPath()));
    }

    void installedDesktopEntry()
    {
        const QString path = QStringLiteral(OVLIN_SOURCE_DIR "/Assets/org.ovlin.Ovlin.desktop");
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(validate(path), QString());
        QCOMPARE(keys(readAll(path)).value(QStringLiteral("Exec")), QStringLiteral("ovlin"));
    }
};

QTEST_GUILESS_MAIN(TestLoginItem)
#include "tst_loginitem.moc"
