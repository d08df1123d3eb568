#include "Platform/Defaults.h"
#include "Platform/Uuid.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;

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
