// Reading a chosen picture and shrinking it for storage, and decoding stored pictures for display,
// including files that are too large, unreadable, malformed or that claim huge dimensions.
#include "Support/RewardsTestSupport.h"

#include "ScreenParts/RewardImage.h"

#include <QFile>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>
#include <sys/types.h>

using namespace ovlin;
using namespace rewardstest;

namespace {

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk;
    chunk.append(char(data.size() >> 24)).append(char(data.size() >> 16)).append(char(data.size() >> 8));
    chunk.append(char(data.size()));
    const QByteArray body = QByteArray(type) + data;
    chunk.append(body);
    const quint32 crc = crc32(body);
    chunk.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    return chunk;
}

// A PNG whose header claims `width` x `height` pixels but whose data is a few bytes: decoding it at full
// size would need gigabytes.
QByteArray hugeClaimPng(quint32 width, quint32 height)
{
    QByteArray header;
    for (const quint32 v : {width, height})
        header.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    header.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0)); // RGBA, 8 bits
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += pngChunk("IHDR", header);
    png += pngChunk("IDAT", QByteArray::fromHex("789c636000000002000"));
    png += pngChunk("IEND", {});
    return png;
}

} // namespace

class TestRewardImage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void thumbnailSizes_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("stored");
        QTest::newRow("4000 x 3000 photo") << QSize(4000, 3000) << QByteArray("JPEG") << QSize(512, 384);
        QTest::newRow("portrait PNG") << QSize(600, 1000) << QByteArray("PNG") << QSize(307, 512);
        QTest::newRow("exactly 512 stays") << QSize(512, 200) << QByteArray("PNG") << QSize(512, 200);
        QTest::newRow("small is not enlarged") << QSize(80, 60) << QByteArray("JPEG") << QSize(80, 60);
        QTest::newRow("513 wide rounds half away from zero")
            << QSize(1026, 3) << QByteArray("PNG") << QSize(512, 1); // 1.497 -> 1
        QTest::newRow("square") << QSize(2048, 2048) << QByteArray("PNG") << QSize(512, 512);
        QTest::newRow("WebP") << QSize(1024, 768) << QByteArray("WEBP") << QSize(512, 384);
    }

    void thumbnailSizes()
    {
        QFETCH(QSize, source);
        QFETCH(QByteArray, format);
        QFETCH(QSize, stored);
        const QByteArray bytes = encodedImage(source, format.constData());
        QVERIFY2(!bytes.isEmpty(), "the test image could not be encoded");
        const auto thumbnail = RewardImage::makeThumbnail(bytes);
        QVERIFY(thumbnail.has_value());
        QCOMPARE(imageFormat(*thumbnail), QByteArray("jpeg"));
        QCOMPARE(imageSize(*thumbnail), stored);
    }

    void transparencyBecomesAnOpaqueJpeg()
    {
        const auto thumbnail = RewardImage::makeThumbnail(encodedImage(QSize(100, 100), "PNG", true));
        QVERIFY(thumbnail.has_value());
        QImage image;
        QVERIFY(image.loadFromData(*thumbnail));
        QVERIFY(!image.hasAlphaChannel());
    }

    void bytesThatAreNoImageStayAsTheyAre_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not an image at all");
        QTest::newRow("truncated JPEG") << encodedImage(QSize(400, 300), "JPEG").left(40);
        QTest::newRow("PNG signature only") << QByteArray("\x89PNG\r\n\x1a\n", 8);
        QTest::newRow("header claims 60000 x 60000") << hugeClaimPng(60000, 60000);
        QTest::newRow("header claims 2^31 - 1 wide") << hugeClaimPng(0x7FFFFFFF, 1);
    }

    void bytesThatAreNoImageStayAsTheyAre()
    {
        QFETCH(QByteArray, bytes);
        const auto thumbnail = RewardImage::makeThumbnail(bytes);
        QCOMPARE(thumbnail, std::optional<QByteArray>(bytes));
        // Shown as no picture, whatever size is asked for.
        QVERIFY(RewardImage::decode(bytes).isNull());
        QVERIFY(RewardImage::decode(bytes, 64).isNull());
    }

    // 5000 x 1 would be 512 x 0: nothing to draw, so the file's bytes are kept.
    void tooThinToShrinkStaysAsItIs()
    {
        const QByteArray bytes = encodedImage(QSize(5000, 1), "PNG");
        QCOMPARE(RewardImage::makeThumbnail(bytes), std::optional<QByteArray>(bytes));
        QCOMPARE(RewardImage::decode(bytes).size(), QSize(5000, 1));
    }

    void decodeForDisplayIsBounded()
    {
        const QByteArray bytes = encodedImage(QSize(1600, 800), "JPEG");
        QCOMPARE(RewardImage::decode(bytes).size(), QSize(1600, 800));
        QCOMPARE(RewardImage::decode(bytes, 200).size(), QSize(200, 100));
        QCOMPARE(RewardImage::decode(bytes, 4000).size(), QSize(1600, 800));
    }

    void readFileLimits_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty file") << qint64(0) << true;
        QTest::newRow("one byte below the limit") << RewardImage::maxFileBytes - 1 << true;
        QTest::newRow("exactly 5,242,880 bytes") << RewardImage::maxFileBytes << true;
        QTest::newRow("one byte over") << RewardImage::maxFileBytes + 1 << false;
        QTest::newRow("6,000,000 bytes") << qint64(6000000) << false;
    }

    void readFileLimits()
    {
        QFETCH(qint64, size);
        QFETCH(bool, accepted);
        const QString path = m_dir.filePath(QStringLiteral("sized.bin"));
        QVERIFY(writeFile(path, QByteArray(size, 'x')));
        RewardImage::ReadResult result = RewardImage::ReadResult::ok;
        const auto bytes = RewardImage::readFile(path, &result);
        QCOMPARE(bytes.has_value(), accepted);
        if (accepted) {
            QCOMPARE(bytes->size(), size);
            QCOMPARE(result, RewardImage::ReadResult::ok);
        } else {
            QCOMPARE(result, RewardImage::ReadResult::tooLarge);
        }
    }

    void readFileRefusesWhatIsNoRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("pipe") << QStringLiteral("pipe");
        QTest::newRow("endless device") << QStringLiteral("device");
        QTest::newRow("unreadable") << QStringLiteral("unreadable");
        QTest::newRow("empty path") << QStringLiteral("empty");
    }

    void readFileRefusesWhatIsNoRegularFile()
    {
        QFETCH(QString, kind);
        QString path = m_dir.filePath(kind);
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("device")) {
            path = QStringLiteral("/dev/zero");
        } else if (kind == QLatin1String("unreadable")) {
            QVERIFY(writeFile(path, "secret"));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            if (QFile(path).open(QIODevice::ReadOnly))
                QSKIP("running with the right to read every file");
        } else if (kind == QLatin1String("empty")) {
            path.clear();
        }
        RewardImage::ReadResult result = RewardImage::ReadResult::ok;
        QCOMPARE(RewardImage::readFile(path, &result), std::nullopt);
        QCOMPARE(result, RewardImage::ReadResult::unreadable);
    }
};

QTEST_MAIN(TestRewardImage)
#include "tst_rewardimage.moc"
