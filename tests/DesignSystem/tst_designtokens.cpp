#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Support/WarningGuard.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

using namespace ovlin;

class TestDesignTokens : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { Motion::setAnimationsEnabled(false); }

    void hexParsing_data();
    void hexParsing();
    void fontsResolveLexend_data();
    void fontsResolveLexend();
    void everySymbolRendersTinted();
    void unknownSymbolDrawsPlaceholderAndLogsOnce();
    void springSettlesAtTarget_data();
    void springSettlesAtTarget();
    void animatedValueJumpsWhileAnimationsOff();
};

void TestDesignTokens::hexParsing_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("three digits") << "F80" << QColor(0xFF, 0x88, 0x00, 255);
    QTest::newRow("six digits") << "9AEE70" << QColor(0x9A, 0xEE, 0x70, 255);
    QTest::newRow("number sign") << "#9AEE70" << QColor(0x9A, 0xEE, 0x70, 255);
    QTest::newRow("surrounding punctuation and spaces") << "  #9AEE70!! " << QColor(0x9A, 0xEE, 0x70, 255);
    QTest::newRow("eight digits") << "80FF0000" << QColor(0xFF, 0x00, 0x00, 128);
    // The 0x prefix is scanned but counts towards the length.
    QTest::newRow("0x with six digits is eight characters") << "0x9AEE70" << QColor(0x9A, 0xEE, 0x70, 0);
    QTest::newRow("0x with one digit is three characters") << "0x1" << QColor(0, 0, 17, 255);
    QTest::newRow("0x with three digits is five characters") << "0xFFF" << QColor(0, 0, 0, 255);
    QTest::newRow("five digits") << "12345" << QColor(0, 0, 0, 255);
    QTest::newRow("empty") << "" << QColor(0, 0, 0, 255);
    QTest::newRow("six non-hex letters") << "ZZZZZZ" << QColor(0, 0, 0, 255);
    QTest::newRow("hex then non-hex") << "ABCDEZ" << QColor(0x0A, 0xBC, 0xDE, 255);
    QTest::newRow("full-width digits") << QString::fromUtf8("ＦＦ８８００") << QColor(0, 0, 0, 255);
    QTest::newRow("non-ASCII letter first") << QString::fromUtf8("ÄBCDEF") << QColor(0, 0, 0, 255);
    QTest::newRow("non-ASCII letter last") << QString::fromUtf8("ABCDEÄ") << QColor(0x0A, 0xBC, 0xDE, 255);
    // A combining accent joins its letter: six user-perceived characters.
    QTest::newRow("combining mark") << QString::fromUtf8("ABCDE\u0301F") << QColor(0x0A, 0xBC, 0xDE, 255);
    QTest::newRow("letters of another script are kept") << QString::fromUtf8("#F80ж") << QColor(0, 0, 0, 255);
}

void TestDesignTokens::hexParsing()
{
    QFETCH(QString, hex);
    QFETCH(QColor, expected);
    const QColor c = colorFromHex(hex);
    QCOMPARE(c.spec(), QColor::Rgb);
    QCOMPARE(c.red(), expected.red());
    QCOMPARE(c.green(), expected.green());
    QCOMPARE(c.blue(), expected.blue());
    QCOMPARE(c.alpha(), expected.alpha());
}

void TestDesignTokens::fontsResolveLexend_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<int>("weight");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("display") << ThemeFonts::display() << int(QFont::Medium) << 28;
    QTest::newRow("title") << ThemeFonts::title() << int(QFont::DemiBold) << 22;
    QTest::newRow("body") << ThemeFonts::body() << int(QFont::Normal) << 14;
    QTest::newRow("bodyEmphasis") << ThemeFonts::bodyEmphasis() << int(QFont::Medium) << 14;
    QTest::newRow("caption") << ThemeFonts::caption() << int(QFont::Normal) << 11;
    QTest::newRow("dialogTitle") << ThemeFonts::dialogTitle() << int(QFont::DemiBold) << 15;
}

void TestDesignTokens::fontsResolveLexend()
{
    QFETCH(QFont, font);
    QFETCH(int, weight);
    QFETCH(int, pixelSize);
    const QFontInfo info(font);
    QCOMPARE(info.family(), QStringLiteral("Lexend"));
    QCOMPARE(info.weight(), weight);
    QCOMPARE(info.pixelSize(), pixelSize);
    QVERIFY(ThemeFonts::ensureLoaded().contains(QStringLiteral("Lexend")));
}

void TestDesignTokens::everySymbolRendersTinted()
{
    const QStringList required =
        QStringLiteral("fork.knife.circle.fill carrot.fill drop.fill figure.run.circle.fill brain.head.profile.fill "
                       "bell.fill bell.slash trophy trophy.fill star.fill flame.fill checkmark checkmark.seal.fill "
                       "xmark trash clock arrow.clockwise clock.arrow.2.circlepath arrow.right chevron.up chevron.down "
                       "chevron.up.chevron.down minus plus house.fill list.bullet gearshape.fill")
            .split(u' ');
    WarningGuard guard;
    const QColor tint = ThemeColors::red500();
    for (const QString &name : required) {
        QVERIFY2(IconRegistry::contains(name), qPrintable(name));
        const QImage image = IconRegistry::pixmap(name, 32, tint, 1).toImage();
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor px = image.pixelColor(x, y);
                if (px.alpha() == 255) {
                    ++painted;
                    QCOMPARE(px.rgb(), tint.rgb());
                }
            }
        QVERIFY2(painted > 20, qPrintable(name));
    }
    QVERIFY2(guard.messages().isEmpty(), qPrintable(guard.messages().join('\n')));
}

void TestDesignTokens::unknownSymbolDrawsPlaceholderAndLogsOnce()
{
    WarningGuard guard;
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        IconRegistry::paint(p, QRectF(0, 0, 24, 24), QStringLiteral("no.such.symbol"), Qt::black);
        IconRegistry::paint(p, QRectF(0, 0, 24, 24), QStringLiteral("no.such.symbol"), Qt::black);
    }
    QCOMPARE(guard.messages().size(), 1);
    QVERIFY(guard.messages().first().contains(QStringLiteral("no.such.symbol")));
    int painted = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            painted += image.pixelColor(x, y).alpha() > 0;
    QVERIFY(painted > 20);
    QVERIFY(!IconRegistry::contains(QStringLiteral("no.such.symbol")));
    QVERIFY(IconRegistry::resourcePath(QStringLiteral("no.such.symbol")).isEmpty());
}

void TestDesignTokens::springSettlesAtTarget_data()
{
    QTest::addColumn<double>("response");
    QTest::addColumn<double>("damping");
    QTest::addColumn<bool>("overshoots");
    QTest::newRow("bouncy") << 0.4 << 0.6 << true;
    QTest::newRow("critical") << 0.3 << 1.0 << false;
    QTest::newRow("no damping is kept finite") << 0.5 << 0.0 << true;
    QTest::newRow("zero response is instant") << 0.0 << 0.8 << false;
    QTest::newRow("nan response is instant") << std::nan("") << 0.8 << false;
}

void TestDesignTokens::springSettlesAtTarget()
{
    QFETCH(double, response);
    QFETCH(double, damping);
    QFETCH(bool, overshoots);
    const MotionCurve curve = MotionCurve::spring(response, damping);
    const double total = curve.totalDuration();
    QVERIFY(std::isfinite(total));
    QVERIFY(total <= 10);
    QCOMPARE(curve.progressAt(0), total > 0 ? 0.0 : 1.0);
    QCOMPARE(curve.progressAt(total), 1.0);
    double peak = 0;
    for (int i = 0; i <= 200; ++i)
        peak = std::max(peak, curve.progressAt(total * i / 200));
    QCOMPARE(peak > 1.0005, overshoots);

    const MotionCurve ease = MotionCurve::easeOut(0.15);
    QCOMPARE(ease.totalDuration(), 0.15);
    QVERIFY(ease.progressAt(0.075) > 0.5); // front-loaded
}

void TestDesignTokens::animatedValueJumpsWhileAnimationsOff()
{
    AnimatedValue value(0);
    QSignalSpy spy(&value, &AnimatedValue::valueChanged);
    value.animateTo(1, MotionCurve::easeOut(0.2));
    QCOMPARE(value.value(), 1.0);
    QCOMPARE(spy.count(), 1);

    Motion::setAnimationsEnabled(true);
    value.animateTo(0, MotionCurve::easeOut(0.05));
    QCOMPARE(value.target(), 0.0);
    QTRY_COMPARE_WITH_TIMEOUT(value.value(), 0.0, 1000);
    Motion::setAnimationsEnabled(false);
}

QTEST_MAIN(TestDesignTokens)
#include "tst_designtokens.moc"
