#include "Base/Defaults.h"
#include "Base/Uuid.h"

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sys/stat.h>

#include "Support/FileSizeLimit.h"
#include "Support/NonRegularFiles.h"

using namespace ovlin;

namespace {

QByteArray u32(quint32 v)
{
    QByteArray b;
    QDataStream(&b, QIODevice::WriteOnly) << v;
    return b;
}

// A file as the first release wrote it: magic, version, then the map through QDataStream.
QByteArray streamedFile(const QVariantMap &values, quint32 magic = 0x4F564446)
{
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << magic << quint32(1) << values;
    return b;
}

// One key holding a list nested `depth` deep.
QByteArray nestedListFile(int depth)
{
    QByteArray b = u32(0x4F564446) + u32(1) + u32(1) + u32(2) + QByteArray("\0k", 2);
    const QByteArray level = u32(QMetaType::QVariantList) + QByteArray(1, '\0') + u32(1);
    b.reserve(b.size() + level.size() * (depth + 1));
    for (int i = 0; i < depth; ++i)
        b += level;
    return b + u32(QMetaType::QVariantList) + QByteArray(1, '\0') + u32(0);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file another program leaves behind: today's format, written in one go.
QVariantMap fileValues(const QString &path)
{
    QVariantMap values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint32 version = 0;
    in >> magic >> version >> values;
    return values;
}

// Puts at `path` a regular file whose reading fails (EIO): this process's memory from address 0.
bool makeUnreadable(const QString &path)
{
    return QFile::link(QStringLiteral("/proc/self/mem"), path);
}

// A change to `d` whose file cannot be read: it is held back, with the one warning of a failing spell.
bool changeHeldBack(Defaults &d)
{
    if (!makeUnreadable(d.filePath()))
        return false;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot read .*d.defaults:.* wait")));
    return !d.setBool(QStringLiteral("x"), true);
}

mode_t folderMode(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

int g_defaultsWarnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && QByteArray(context.category).contains("defaults"))
        ++g_defaultsWarnings;
    g_previousHandler(type, context, message);
}

} // namespace

class TestDefaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesSurviveReload_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("storedType");
        QTest::newRow("bool") << QVariant(true) << int(QMetaType::Bool);
        QTest::newRow("large integer") << QVariant(qint64(1) << 40) << int(QMetaType::LongLong);
        QTest::newRow("float widened") << QVariant(1.5f) << int(QMetaType::Double);
        QTest::newRow("text") << QVariant(QStringLiteral("dark")) << int(QMetaType::QString);
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01\xff", 3)) << int(QMetaType::QByteArray);
        QTest::newRow("map") << QVariant(QVariantMap{{QStringLiteral("k"), 2.5}}) << int(QMetaType::QVariantMap);
    }

    void typesSurviveReload()
    {
        QFETCH(QVariant, value);
        QFETCH(int, storedType);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/domain.defaults"));
        {
            Defaults d(path);
            QVERIFY(d.setObject(QStringLiteral("key"), value));
        }
        Defaults reread(path);
        const QVariant back = reread.object(QStringLiteral("key"));
        QCOMPARE(back.typeId(), storedType);
        QCOMPARE(back, Defaults::normalized(value));
        QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
    }

    void typedReadsRefuseOtherTypes()
    {
        QTemporaryDir dir;
        Defaults d(dir.filePath(QStringLiteral("d.defaults")));
        d.setString(QStringLiteral("flag"), QStringLiteral("true"));
        d.setBool(QStringLiteral("bool"), true);
        d.setInteger(QStringLiteral("int"), 3);
        d.setDouble(QStringLiteral("double"), 2.5);
        QVERIFY(!d.boolValue(QStringLiteral("flag")));
        QVERIFY(!d.numberValue(QStringLiteral("bool")));
        QCOMPARE(d.numberValue(QStringLiteral("int")), 3.0);
        QVERIFY(!d.integerValue(QStringLiteral("double")));
        QCOMPARE(d.numberValue(QStringLiteral("double")), 2.5);
        QVERIFY(!d.stringValue(QStringLiteral("missing")));
    }

    void removeAndUnreadableFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        {
            Defaults d(path);
            d.setInteger(QStringLiteral("a"), 1);
            d.setInteger(QStringLiteral("b"), 2);
            d.remove(QStringLiteral("a"));
        }
        QCOMPARE(Defaults(path).keys(), QStringList{QStringLiteral("b")});

        QFile garbage(path);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write("not a defaults file");
        garbage.close();
        Defaults broken(path);
        QVERIFY(broken.keys().isEmpty());
        QVERIFY(broken.setBool(QStringLiteral("x"), true));
        // The unreadable file is kept aside, not overwritten.
        QFile aside(path + QStringLiteral(".unreadable"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), QByteArray("not a defaults file"));
        QCOMPARE(Defaults(path).boolValue(QStringLiteral("x")), true);
    }

    // Files written by the first release keep every value and its type.
    void earlierFilesLoadUnchanged()
    {
        const QVariantMap values{
            {"flag", true},
            {"count", qint64(-7)},
            {"seconds", 1.75e9},
            {"text", QStringLiteral("dark \u00e9")},
            {"empty text", QString()},
            {"bytes", QByteArray("[{\"st\":1,\"dn\":2}]")},
            {"days", QVariantList{QStringLiteral("2026-05-01"), QStringLiteral("2026-05-04")}},
            {"map", QVariantMap{{"inner", QVariantList{qint64(1), 2.5, QVariantMap{{"x", false}}}}}},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        writeFile(path, streamedFile(values));
        Defaults d(path);
        QCOMPARE(d.keys(), values.keys());
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            QCOMPARE(d.object(it.key()).typeId(), it.value().typeId());
            QCOMPARE(d.object(it.key()), it.value());
        }
        // Written back, the file is byte for byte what the first release wrote.
        QVERIFY(d.setBool(QStringLiteral("flag"), true));
        QCOMPARE(fileBytes(path), streamedFile(values));
    }

    void unreadableFilesAreSetAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("not a defaults file");
        QTest::newRow("list nested 50,000 deep") << nestedListFile(50000);
        QTest::newRow("nested deeper than settings go") << nestedListFile(12);
        QTest::newRow("truncated") << streamedFile({{"k", QStringLiteral("long enough text")}}).chopped(3);
        QTest::newRow("trailing bytes") << streamedFile({{"k", 1}}) + "x";
        QTest::newRow("other magic") << streamedFile({{"k", 1}}, 0x12345678);
        QTest::newRow("a type settings never hold") << streamedFile({{"k", QDateTime::fromSecsSinceEpoch(0)}});
        QTest::newRow("text longer than the file") << u32(0x4F564446) + u32(1) + u32(1) + u32(0x7ffffffe);
    }

    void unreadableFilesAreSetAside()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        const QString aside = path + QStringLiteral(".unreadable");
        // A second unreadable file joins the first instead of replacing it.
        const QByteArray earlier("an earlier unreadable file");
        writeFile(aside, earlier);
        writeFile(path, bytes);
        Defaults broken(path);
        QVERIFY(broken.keys().isEmpty());
        QVERIFY(broken.setBool(QStringLiteral("x"), true));
        QCOMPARE(fileBytes(aside), earlier);
        QCOMPARE(fileBytes(aside + QStringLiteral(".2")), bytes);
        QCOMPARE(Defaults(path).keys(), QStringList{QStringLiteral("x")});
    }

    void onlyAFewFilesAreSetAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        for (int i = 1; i <= Defaults::maximumSetAsideFiles + 2; ++i) {
            writeFile(path, "bad " + QByteArray::number(i));
            QVERIFY(Defaults(path).setBool(QStringLiteral("x"), true));
        }
        QCOMPARE(fileBytes(path + QStringLiteral(".unreadable")), QByteArray("bad 1"));
        QCOMPARE(fileBytes(path + QStringLiteral(".unreadable.4")), QByteArray("bad 4"));
        QCOMPARE(fileBytes(path + QStringLiteral(".unreadable.5")), QByteArray("bad 7"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), Defaults::maximumSetAsideFiles + 1);
    }

    // A write that cannot reach the disk leaves the last good file, says so once, and the values it
    // carried are written with the next change that can be stored.
    void failedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        Defaults d(path);
        QVERIFY(d.setString(QStringLiteral("kept"), QStringLiteral("old")));
        const QByteArray before = fileBytes(path);
        g_defaultsWarnings = 0;
        g_previousHandler = qInstallMessageHandler(countWarnings);
        {
            FileSizeLimit limit(before.size() + 64);
            QVERIFY(!d.setString(QStringLiteral("big"), QString(4000, QLatin1Char('b'))));
            QVERIFY(!d.setBool(QStringLiteral("flag"), true));
        }
        qInstallMessageHandler(g_previousHandler);
        QCOMPARE(g_defaultsWarnings, 1);
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(Defaults(path).keys(), QStringList{QStringLiteral("kept")});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("d.defaults")});

        QVERIFY(d.setInteger(QStringLiteral("later"), 3));
        const Defaults reread(path);
        QCOMPARE(reread.keys(), (QStringList{"big", "flag", "kept", "later"}));
        QCOMPARE(reread.stringValue(QStringLiteral("big"))->size(), 4000);
    }

    // A file that cannot be read for the moment is no unreadable file: it is neither set aside nor
    // replaced, and the changes reach it, beside what another program wrote, once it reads again.
    void failedReadKeepsTheChangesPending()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        Defaults d(path);
        QVERIFY(changeHeldBack(d));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System), QStringList{QStringLiteral("d.defaults")});
        QCOMPARE(special_files::entryKind(path), mode_t(S_IFLNK));

        QVERIFY(QFile::remove(path));
        writeFile(path, streamedFile({{"other", qint64(1)}}));
        QVERIFY(d.setInteger(QStringLiteral("y"), 2));
        QCOMPARE(fileValues(path), (QVariantMap{{"other", qint64(1)}, {"x", true}, {"y", qint64(2)}}));
    }

    // Changes held back by a file that cannot be read reach it once it reads again, with no further change.
    void failedReadIsTriedAgain()
    {
        Defaults::setRetryDelays(std::chrono::milliseconds(1), std::chrono::milliseconds(8));
        const auto restore =
            qScopeGuard([] { Defaults::setRetryDelays(Defaults::firstRetryDelay, Defaults::longestRetryDelay); });
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        Defaults d(path);
        QVERIFY(changeHeldBack(d));
        QVERIFY(QFile::remove(path));
        writeFile(path, streamedFile({{"other", qint64(1)}}));
        QTRY_COMPARE(fileValues(path), (QVariantMap{{"other", qint64(1)}, {"x", true}}));
    }

    // At the end of the run a file that still cannot be read is replaced only when this run has read it:
    // the new file, whole on disk before the old one moves aside, holds every key it held and the changes.
    // One whose content is unknown is left as it is, and the log names the changes not saved.
    void unreadableFileAtExit_data()
    {
        QTest::addColumn<QString>("atStart");
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<bool>("setAside");
        QTest::addColumn<QString>("said");
        const QString replaced =
            QStringLiteral("Cannot read .*d.defaults: .* - kept as .*d.defaults.unreadable(.2)? and "
                           "the changes written anew");
        const QString notSaved = QStringLiteral("Not saved: the changes to x, y - cannot read .*d.defaults: .*"
                                                "\\(owner .*, mode \\d{4}\\); the file is left as it is");
        QTest::newRow("read at start") << "read" << false << true << replaced;
        QTest::newRow("read at start, disk full at exit")
            << "read" << true << false
            << QStringLiteral("Cannot read .*d.defaults: .*, nor write a new one: .* - nothing was written");
        QTest::newRow("unreadable at start") << "unreadable" << false << false << notSaved;
        QTest::newRow("unreadable at start, disk full") << "unreadable" << true << false << notSaved;
        QTest::newRow("made after the start") << "absent" << false << false << notSaved;
    }

    void unreadableFileAtExit()
    {
        QFETCH(QString, atStart);
        QFETCH(bool, diskFull);
        QFETCH(bool, setAside);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        const QVariantMap before{{"onboarded", true}, {"another program's", QStringLiteral("kept")}};
        if (atStart == QLatin1String("read"))
            writeFile(path, streamedFile(before));
        if (atStart == QLatin1String("unreadable")) {
            QVERIFY(makeUnreadable(path));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot read .*d.defaults")));
        }
        Defaults d(path);
        if (atStart == QLatin1String("read"))
            QVERIFY(QFile::remove(path));
        if (atStart == QLatin1String("unreadable"))
            QVERIFY(QFile::remove(path));
        QVERIFY(changeHeldBack(d));
        QVERIFY(!d.setInteger(QStringLiteral("y"), 2));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(said));
        const auto resume = qScopeGuard([] { Defaults::resetSharedForTesting(); });
        {
            std::optional<FileSizeLimit> limit;
            if (diskFull)
                limit.emplace(16);
            Defaults::writeBeforeExit();
        }
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden);
        const QStringList expectedFiles =
            setAside ? QStringList{"d.defaults", "d.defaults.unreadable"} : QStringList{"d.defaults"};
        QCOMPARE(left, expectedFiles);
        QCOMPARE(special_files::entryKind(path + QStringLiteral(".unreadable")),
                 setAside ? mode_t(S_IFLNK) : mode_t(0));
        if (!setAside) {
            QCOMPARE(special_files::entryKind(path), mode_t(S_IFLNK));
            return;
        }
        QVariantMap expected = before;
        expected.insert({{"x", true}, {"y", qint64(2)}});
        QCOMPARE(fileValues(path), expected);

        // So it is for every write from then on.
        QVERIFY(QFile::remove(path));
        QVERIFY(makeUnreadable(path));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(said));
        QVERIFY(d.setInteger(QStringLiteral("z"), 3));
        QCOMPARE(special_files::entryKind(path + QStringLiteral(".unreadable.2")), mode_t(S_IFLNK));
        expected.insert(QStringLiteral("z"), qint64(3));
        QCOMPARE(fileValues(path), expected);
    }

    // Whatever takes the settings file's place is neither waited on, nor read, nor moved, nor replaced.
    void specialFilesAreLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("link to a FIFO") << QStringLiteral("link to fifo");
        QTest::newRow("socket") << QStringLiteral("socket");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("link to a folder") << QStringLiteral("link to folder");
    }

    void specialFilesAreLeftAlone()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        const QString target = dir.filePath(QStringLiteral("target"));
        const bool linked = kind.startsWith(QLatin1String("link to "));
        const QString made = linked ? target : path;
        if (kind.endsWith(QLatin1String("fifo")))
            QVERIFY(special_files::makeFifo(made));
        else if (kind == QLatin1String("socket"))
            QVERIFY(special_files::makeSocket(made));
        else
            QVERIFY(QDir().mkdir(made));
        if (linked)
            QVERIFY(QFile::link(QStringLiteral("target"), path));
        const mode_t before = special_files::entryKind(path);

        g_defaultsWarnings = 0;
        g_previousHandler = qInstallMessageHandler(countWarnings);
        bool wrote = true;
        bool waited = false;
        {
            special_files::FifoUnblocker unblocker(made);
            Defaults d(path);
            waited = unblocker.hadToUnblock();
            QVERIFY(d.keys().isEmpty());
            wrote = d.setBool(QStringLiteral("x"), true) || d.setBool(QStringLiteral("y"), true);
        }
        qInstallMessageHandler(g_previousHandler);
        QVERIFY2(!waited, "loading waited on the FIFO");
        QVERIFY(!wrote);
        QCOMPARE(special_files::entryKind(path), before);
        QCOMPARE(special_files::entryKind(made), linked ? special_files::entryKind(target) : before);
        if (linked)
            QCOMPARE(QFile::symLinkTarget(path), target);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(),
                 linked ? 2 : 1);
        // One line when it is not read, one when the first write is refused.
        QCOMPARE(g_defaultsWarnings, 2);
    }

    // A link to an endless device: not read at all (this test never writes through it).
    void endlessDeviceIsNotRead()
    {
        if (!QFileInfo(QStringLiteral("/dev/zero")).exists())
            QSKIP("no /dev/zero");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        const qint64 before = special_files::bytesReadSoFar();
        Defaults d(path);
        const qint64 read = special_files::bytesReadSoFar() - before;
        QVERIFY2(read < 64 * 1024, qPrintable(QStringLiteral("%1 bytes read").arg(read)));
        QVERIFY(d.keys().isEmpty());
        QCOMPARE(QFile::symLinkTarget(path), QStringLiteral("/dev/zero"));
    }

    // Settings linked from another folder (a dotfiles checkout) stay linked: the target is replaced.
    void linkedFileStaysLinked()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("dotfiles"))));
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("config"))));
        const QString target = dir.filePath(QStringLiteral("dotfiles/ovlin.defaults"));
        const QString path = dir.filePath(QStringLiteral("config/d.defaults"));
        writeFile(target, streamedFile({{"kept", qint64(1)}}));
        QVERIFY(QFile::link(QStringLiteral("../dotfiles/ovlin.defaults"), path));
        QVERIFY(Defaults(path).setBool(QStringLiteral("x"), true));
        QCOMPARE(QFile::symLinkTarget(path), target);
        QCOMPARE(fileValues(target), (QVariantMap{{"kept", qint64(1)}, {"x", true}}));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("dotfiles"))).entryList(QDir::Files).size(), 1);
    }

    // A write changes only the keys changed here; what another program wrote meanwhile stays in the
    // file, though not in memory.
    void anotherProgramsChangesAreKept_data()
    {
        QTest::addColumn<QVariantMap>("atStart");
        QTest::addColumn<QVariantMap>("writtenMeanwhile");
        QTest::addColumn<QVariantMap>("changedHere"); // an invalid value removes the key
        QTest::addColumn<QVariantMap>("inFile");
        QTest::addColumn<QVariantMap>("inMemory");
        const QVariantMap start{{"soundEnabled", true}, {"graceDaysPerWeek", qint64(1)}};
        QTest::newRow("key added elsewhere")
            << start
            << QVariantMap{{"soundEnabled", true}, {"graceDaysPerWeek", qint64(1)}, {"quietHoursEnabled", true}}
            << QVariantMap{{"soundEnabled", false}}
            << QVariantMap{{"soundEnabled", false}, {"graceDaysPerWeek", qint64(1)}, {"quietHoursEnabled", true}}
            << QVariantMap{{"soundEnabled", false}, {"graceDaysPerWeek", qint64(1)}};
        QTest::newRow("key changed elsewhere")
            << start << QVariantMap{{"soundEnabled", true}, {"graceDaysPerWeek", qint64(2)}}
            << QVariantMap{{"soundEnabled", false}}
            << QVariantMap{{"soundEnabled", false}, {"graceDaysPerWeek", qint64(2)}}
            << QVariantMap{{"soundEnabled", false}, {"graceDaysPerWeek", qint64(1)}};
        QTest::newRow("key removed elsewhere")
            << start << QVariantMap{{"soundEnabled", true}} << QVariantMap{{"launchAtLogin", true}}
            << QVariantMap{{"soundEnabled", true}, {"launchAtLogin", true}}
            << QVariantMap{{"soundEnabled", true}, {"graceDaysPerWeek", qint64(1)}, {"launchAtLogin", true}};
        QTest::newRow("removed here, added elsewhere")
            << start << QVariantMap{{"soundEnabled", true}, {"graceDaysPerWeek", qint64(1)}, {"theme", "dark"}}
            << QVariantMap{{"graceDaysPerWeek", QVariant()}} << QVariantMap{{"soundEnabled", true}, {"theme", "dark"}}
            << QVariantMap{{"soundEnabled", true}};
        QTest::newRow("same key: the change made here wins")
            << start << QVariantMap{{"soundEnabled", false}, {"graceDaysPerWeek", qint64(1)}}
            << QVariantMap{{"soundEnabled", true}} << start << start;
        QTest::newRow("file gone meanwhile")
            << start << QVariantMap() << QVariantMap{{"theme", "light"}} << QVariantMap{{"theme", "light"}}
            << QVariantMap{{"soundEnabled", true}, {"graceDaysPerWeek", qint64(1)}, {"theme", "light"}};
    }

    void anotherProgramsChangesAreKept()
    {
        QFETCH(QVariantMap, atStart);
        QFETCH(QVariantMap, writtenMeanwhile);
        QFETCH(QVariantMap, changedHere);
        QFETCH(QVariantMap, inFile);
        QFETCH(QVariantMap, inMemory);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.defaults"));
        writeFile(path, streamedFile(atStart));
        Defaults d(path);
        if (writtenMeanwhile.isEmpty())
            QVERIFY(QFile::remove(path));
        else
            writeFile(path, streamedFile(writtenMeanwhile));
        for (auto it = changedHere.cbegin(); it != changedHere.cend(); ++it)
            QVERIFY(d.setObject(it.key(), it.value()));
        QCOMPARE(fileValues(path), inFile);
        for (auto it = inMemory.cbegin(); it != inMemory.cend(); ++it)
            QCOMPARE(d.object(it.key()), it.value());
        QCOMPARE(d.keys(), inMemory.keys());
        // A later change of another key keeps all of it.
        QVERIFY(d.setInteger(QStringLiteral("later"), 1));
        inFile.insert(QStringLiteral("later"), qint64(1));
        QCOMPARE(fileValues(path), inFile);
    }

    // Folders made for the settings are private; a folder that was there stays as it was.
    void createdFoldersArePrivate()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther));
        const mode_t existing = folderMode(dir.path());
        QVERIFY(Defaults(dir.filePath(QStringLiteral("a/b/d.defaults"))).setBool(QStringLiteral("x"), true));
        QCOMPARE(folderMode(dir.filePath(QStringLiteral("a"))), mode_t(0700));
        QCOMPARE(folderMode(dir.filePath(QStringLiteral("a/b"))), mode_t(0700));
        QCOMPARE(folderMode(dir.path()), existing);
    }

    void heldWritesReachTheFileWhenReleased()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("held.defaults"));
        const QString gone = dir.filePath(QStringLiteral("gone.defaults"));
        Defaults d(path);
        Defaults::holdWrites();
        QVERIFY(d.setBool(QStringLiteral("firstLaunch"), true));
        {
            // A domain that goes while writes are held still leaves its values behind.
            Defaults leaving(gone);
            leaving.setInteger(QStringLiteral("n"), 7);
        }
        QCOMPARE(d.boolValue(QStringLiteral("firstLaunch")), true);
        QVERIFY(!QFile::exists(path));
        Defaults::releaseWrites();
        QCOMPARE(Defaults(path).boolValue(QStringLiteral("firstLaunch")), true);
        QCOMPARE(Defaults(gone).integerValue(QStringLiteral("n")), 7);
        // Released: writes go straight through again.
        d.setInteger(QStringLiteral("later"), 2);
        QCOMPARE(Defaults(path).integerValue(QStringLiteral("later")), 2);
    }

    void sharedDomainsLiveUnderConfigHome()
    {
        const QString path = Defaults::pathForDomain(QStringLiteral("a/b"));
        QVERIFY(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Ovlin/")));
        QVERIFY(path.endsWith(QStringLiteral("a_b.defaults")));
        QCOMPARE(Defaults::suite(QStringLiteral("x")).get(), Defaults::suite(QStringLiteral("x")).get());
    }

    void uuidText()
    {
        const QUuid id = QUuid::fromString(QStringLiteral("6f9619ff-8b86-d011-b42d-00cf4fc964ff"));
        QCOMPARE(ovlin::uuidText(id), QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964FF"));
        QCOMPARE(parseUuid(ovlin::uuidText(id)), std::optional<QUuid>(id));
        QVERIFY(!parseUuid(QStringLiteral("{6f9619ff-8b86-d011-b42d-00cf4fc964ff}")));
        QVERIFY(!parseUuid(QStringLiteral("not-a-uuid-not-a-uuid-not-a-uuid-123")));
    }
};

QTEST_GUILESS_MAIN(TestDefaults)
#include "tst_defaults.moc"
