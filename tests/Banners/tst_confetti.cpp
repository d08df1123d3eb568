#include "Banners/ConfettiCanvas.h"
#include "Base/Clock.h"
#include "CelebrationTestSupport.h"
#include "DesignSystem/ThemeColors.h"

#include <QImage>
#include <QSet>
#include <QtTest>

#include <cmath>

using namespace ovlin;

namespace {

const QDateTime kStart(QDate(2024, 3, 13), QTime(10, 0));

// The particle of the worked example.
ConfettiParticle example()
{
    ConfettiParticle p;
    p.spawnTime = 1000;
    p.startX = 100;
    p.startY = -20;
    p.velocityY = 50;
    p.driftX = 10;
    p.spin = 1;
    p.scale = 1;
    p.lifetime = 3;
    p.color = ThemeColors::primary();
    return p;
}

bool close(double a, double b, double tolerance = 1e-9)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

class TestConfetti : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_clock = std::make_unique<ScopedFakeClock>(kStart); }
    void cleanup() { m_clock.reset(); }

    void workedExample_data();
    void workedExample();
    void drawnOnlyInsideItsLife_data();
    void drawnOnlyInsideItsLife();
    void emptyColourListFallsBackToPrimary();
    void burstOfSixtyInsideTheRanges_data();
    void burstOfSixtyInsideTheRanges();
    void switchingOffClearsAtOnce();

private:
    std::unique_ptr<ScopedFakeClock> m_clock;
};

void TestConfetti::workedExample_data()
{
    QTest::addColumn<double>("age");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("opacity");
    QTest::addColumn<double>("size");

    QTest::newRow("one second") << 1.0 << 110.0 << 150.0 << 360.0 << 1.0 << 0.9;
    QTest::newRow("progress 0.9") << 2.7 << 127.0 << (-20 + 50 * 2.7 + 120 * 2.7 * 2.7) << 972.0 << 1.0 / 3 << 0.73;
    QTest::newRow("progress 0.85 half faded")
        << 2.55 << 125.5 << (-20 + 50 * 2.55 + 120 * 2.55 * 2.55) << 918.0 << 0.5 << 0.745;
}

void TestConfetti::workedExample()
{
    QFETCH(double, age);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, angle);
    QFETCH(double, opacity);
    QFETCH(double, size);
    const ConfettiParticle p = example();
    const auto look = p.appearanceAt(p.spawnTime + age);
    QVERIFY(look);
    QVERIFY2(close(look->x, x, 1e-7), qPrintable(QString::number(look->x, 'g', 17)));
    QVERIFY2(close(look->y, y, 1e-7), qPrintable(QString::number(look->y, 'g', 17)));
    QVERIFY2(close(look->angleDegrees, angle, 1e-6), qPrintable(QString::number(look->angleDegrees, 'g', 17)));
    QVERIFY2(close(look->opacity, opacity, 1e-7), qPrintable(QString::number(look->opacity, 'g', 17)));
    QVERIFY2(close(look->sizeFactor, size, 1e-7), qPrintable(QString::number(look->sizeFactor, 'g', 17)));
}

void TestConfetti::drawnOnlyInsideItsLife_data()
{
    QTest::addColumn<double>("age");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("before its spawn time") << -0.25 << false;
    QTest::newRow("age exactly 0") << 0.0 << false;
    QTest::newRow("a moment after birth") << 1e-3 << true;
    QTest::newRow("a moment before the end") << 3 - 1e-3 << true;
    QTest::newRow("age exactly its lifetime") << 3.0 << false;
    QTest::newRow("after its life") << 4.0 << false;
}

void TestConfetti::drawnOnlyInsideItsLife()
{
    QFETCH(double, age);
    QFETCH(bool, drawn);
    const ConfettiParticle p = example();
    const auto look = p.appearanceAt(p.spawnTime + age);
    QCOMPARE(look.has_value(), drawn);
    if (look && age > 2.9) {
        // Close to the end the piece has almost faded out, at 70 % of its size.
        QVERIFY(look->opacity < 0.002);
        QVERIFY(close(look->sizeFactor, 0.7, 1e-3));
    }
}

void TestConfetti::emptyColourListFallsBackToPrimary()
{
    SeededRandomSource random(5);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(ConfettiCanvas::makeParticle(0, random, {}).color, ThemeColors::primary());
}

void TestConfetti::burstOfSixtyInsideTheRanges_data()
{
    QTest::addColumn<quint64>("seed");
    for (quint64 seed : {7ull, 2024ull})
        QTest::addRow("seed %llu", seed) << seed;
}

void TestConfetti::burstOfSixtyInsideTheRanges()
{
    QFETCH(quint64, seed);
    ConfettiCanvas canvas;
    canvas.setRandomSource(std::make_shared<SeededRandomSource>(seed));
    const double now = ConfettiCanvas::currentTime();
    canvas.setActive(true);

    const QList<ConfettiParticle> &burst = canvas.particles();
    QCOMPARE(burst.size(), ConfettiCanvas::particleCount);
    const QList<QColor> palette{ThemeColors::primary(),  ThemeColors::green300(),   ThemeColors::green200(),
                                ThemeColors::green500(), ThemeColors::neutral300(), ThemeColors::accent()};
    QCOMPARE(ConfettiCanvas::colors(), palette);
    QSet<QUuid> ids;
    int circles = 0;
    int clockwise = 0;
    for (const ConfettiParticle &p : burst) {
        ids.insert(p.id);
        QVERIFY(p.spawnTime >= now && p.spawnTime <= now + 0.5);
        QVERIFY(p.startX >= 0 && p.startX <= 800);
        QVERIFY(p.startY >= -40 && p.startY <= 0);
        QVERIFY(p.velocityY >= 30 && p.velocityY <= 80);
        QVERIFY(p.driftX >= -30 && p.driftX <= 30);
        QVERIFY(std::abs(p.spin) >= 0.5 && std::abs(p.spin) <= 2.0);
        QVERIFY(p.scale >= 0.6 && p.scale <= 1.2);
        QVERIFY(p.lifetime >= 2.5 && p.lifetime <= 4.0);
        QVERIFY(palette.contains(p.color));
        circles += p.isCircle ? 1 : 0;
        clockwise += p.spin > 0 ? 1 : 0;
    }
    QCOMPARE(ids.size(), 60);
    // Fair coin tosses: with 60 throws both sides come up.
    QVERIFY(circles > 0 && circles < 60);
    QVERIFY(clockwise > 0 && clockwise < 60);
}

void TestConfetti::switchingOffClearsAtOnce()
{
    ConfettiCanvas canvas;
    canvas.resize(800, 600);
    canvas.setRandomSource(std::make_shared<SeededRandomSource>(3));
    canvas.show();
    QVERIFY(canvas.particles().isEmpty());

    canvas.setActive(true);
    QCOMPARE(canvas.particles().size(), 60);
    const QUuid firstId = canvas.particles().first().id;
    const double firstX = canvas.particles().first().startX;
    Clock::advanceMSecs(1500);

    canvas.setActive(false);
    QVERIFY(canvas.particles().isEmpty());
    QVERIFY(!canvas.isTicking());
    // Nothing of the burst is painted any more.
    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    canvas.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            QCOMPARE(qAlpha(image.pixel(x, y)), 0);

    canvas.setActive(true);
    QCOMPARE(canvas.particles().size(), 60);
    QVERIFY(canvas.particles().first().id != firstId);
    QVERIFY(canvas.particles().first().startX != firstX);
    QVERIFY(canvas.particles().first().spawnTime >= ConfettiCanvas::currentTime());
}

QTEST_MAIN(TestConfetti)
#include "tst_confetti.moc"
