#include "Banners/ConfettiCanvas.h"
#include "Celebrations/CelebrationTestSupport.h"
#include "DesignSystem/ThemeColors.h"
#include "Platform/Clock.h"

#include <QImage>
#include <QSet>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace ovlin;

namespace {

const QDateTime kStart(QDate(2024, 3, 13), QTime(10, 0));
constexpr quint64 kMax = std::numeric_limits<quint64>::max();

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

// The draws of one piece in the order they are made: delay, x, y, speed, drift, spin, spin sign, scale,
// lifetime, colour, shape. The colour draw is separate: an index draw rejects values whose low half falls
// below (2^64 - 6) mod 6, such as 0.
std::vector<quint64> pieceDraws(quint64 draw, quint64 colourDraw)
{
    std::vector<quint64> draws(11, draw);
    draws[9] = colourDraw;
    return draws;
}

bool close(double a, double b, double tolerance = 1e-9)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

class TestConfetti : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_clock = std::make_unique<ScopedFakeClock>(kStart); }
    void cleanup() { m_clock.reset(); }

    void workedExample_data();
    void workedExample();
    void drawnOnlyInsideItsLife_data();
    void drawnOnlyInsideItsLife();
    void transformScalesTurnsAndPlaces();
    void extremeDrawsHitTheRangeEnds_data();
    void extremeDrawsHitTheRangeEnds();
    void emptyColourListFallsBackToPrimary();
    void burstOfSixtyInsideTheRanges_data();
    void burstOfSixtyInsideTheRanges();
    void switchingOffClearsAtOnce();
    void firstShowSpawnsOnlyWhenActive_data();
    void firstShowSpawnsOnlyWhenActive();
    void ticksOnlyWhileVisibleActiveAndAlive();
    void paintsPiecesWhereTheMathSays();

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
    QTest::newRow("progress 0.7 still opaque")
        << 2.1 << 121.0 << (-20 + 50 * 2.1 + 120 * 2.1 * 2.1) << 756.0 << 1.0 << 0.79;
    QTest::newRow("progress 0.85 half faded")
        << 2.55 << 125.5 << (-20 + 50 * 2.55 + 120 * 2.55 * 2.55) << 918.0 << 0.5 << 0.745;
    QTest::newRow("just born") << 1e-6 << 100.00001 << (-20 + 50e-6 + 120e-12) << 360e-6 << 1.0 << (1 - 1e-7);
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

void TestConfetti::transformScalesTurnsAndPlaces()
{
    ConfettiParticle p = example();
    p.spin = 0.25; // a quarter turn per second
    p.scale = 2;
    const auto look = p.appearanceAt(p.spawnTime + 1);
    QVERIFY(look);
    const QTransform t = look->transform();
    const QPointF centre = t.map(QPointF(0, 0));
    QVERIFY(close(centre.x(), look->x, 1e-9) && close(centre.y(), look->y, 1e-9));
    // (1, 0) scaled by the size factor, turned a quarter clockwise (y points down), placed at the centre.
    const QPointF edge = t.map(QPointF(1, 0)) - centre;
    QVERIFY2(close(edge.x(), 0, 1e-9), qPrintable(QString::number(edge.x())));
    QVERIFY2(close(edge.y(), look->sizeFactor, 1e-9), qPrintable(QString::number(edge.y())));

    QCOMPARE(p.shape(), QRectF(-5, -2, 10, 4));
    p.isCircle = true;
    QCOMPARE(p.shape(), QRectF(-4, -4, 8, 8));
}

void TestConfetti::extremeDrawsHitTheRangeEnds_data()
{
    QTest::addColumn<quint64>("draw");
    QTest::addColumn<quint64>("colourDraw");
    QTest::addColumn<double>("delay");
    QTest::addColumn<double>("startX");
    QTest::addColumn<double>("startY");
    QTest::addColumn<double>("velocityY");
    QTest::addColumn<double>("driftX");
    QTest::addColumn<double>("spin");
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("lifetime");
    QTest::addColumn<int>("colour");
    QTest::addColumn<bool>("isCircle");
    QTest::newRow("lowest draws") << quint64(0) << quint64(4) << 0.0 << 0.0 << -40.0 << 30.0 << -30.0 << -0.5 << 0.6
                                  << 2.5 << 0 << false;
    QTest::newRow("highest draws") << kMax << kMax << 0.5 << 800.0 << 0.0 << 80.0 << 30.0 << 2.0 << 1.2 << 4.0 << 5
                                   << true;
}

void TestConfetti::extremeDrawsHitTheRangeEnds()
{
    QFETCH(quint64, draw);
    QFETCH(quint64, colourDraw);
    QFETCH(double, delay);
    QFETCH(double, startX);
    QFETCH(double, startY);
    QFETCH(double, velocityY);
    QFETCH(double, driftX);
    QFETCH(double, spin);
    QFETCH(double, scale);
    QFETCH(double, lifetime);
    QFETCH(int, colour);
    QFETCH(bool, isCircle);
    ScriptedRandom random(pieceDraws(draw, colourDraw));
    const ConfettiParticle p = ConfettiCanvas::makeParticle(500, random, ConfettiCanvas::colors());
    QCOMPARE(p.spawnTime, 500 + delay);
    QCOMPARE(p.startX, startX);
    QCOMPARE(p.startY, startY);
    QCOMPARE(p.velocityY, velocityY);
    QCOMPARE(p.driftX, driftX);
    QCOMPARE(p.spin, spin);
    QCOMPARE(p.scale, scale);
    QCOMPARE(p.lifetime, lifetime);
    QCOMPARE(p.color, ConfettiCanvas::colors().at(colour));
    QCOMPARE(p.isCircle, isCircle);
    QVERIFY(!p.id.isNull());
}

void TestConfetti::emptyColourListFallsBackToPrimary()
{
    SeededRandom random(5);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(ConfettiCanvas::makeParticle(0, random, {}).color, ThemeColors::primary());
}

void TestConfetti::burstOfSixtyInsideTheRanges_data()
{
    QTest::addColumn<quint64>("seed");
    for (quint64 seed : {1ull, 7ull, 2024ull, 987654321ull})
        QTest::addRow("seed %llu", seed) << seed;
}

void TestConfetti::burstOfSixtyInsideTheRanges()
{
    QFETCH(quint64, seed);
    ConfettiCanvas canvas;
    canvas.setRandomSource(std::make_shared<SeededRandom>(seed));
    const double now = ConfettiCanvas::currentTime();
    canvas.setActive(true);

    const QList<ConfettiParticle> &burst = canvas.particles();
    QCOMPARE(burst.size(), ConfettiCanvas::particleCount);
    QCOMPARE(ConfettiCanvas::particleCount, 60);
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
    canvas.setRandomSource(std::make_shared<SeededRandom>(3));
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

void TestConfetti::firstShowSpawnsOnlyWhenActive_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("created active") << true;
    QTest::newRow("created inactive") << false;
}

void TestConfetti::firstShowSpawnsOnlyWhenActive()
{
    QFETCH(bool, active);
    ConfettiCanvas canvas(active);
    canvas.resize(400, 300);
    QVERIFY(canvas.particles().isEmpty());
    canvas.show();
    QCOMPARE(canvas.particles().size(), active ? 60 : 0);
    // Showing again is not a first show: the burst stays as it is.
    const auto before = canvas.particles();
    canvas.hide();
    canvas.show();
    QCOMPARE(canvas.particles().size(), before.size());
    if (!before.isEmpty())
        QCOMPARE(canvas.particles().first().id, before.first().id);
}

void TestConfetti::ticksOnlyWhileVisibleActiveAndAlive()
{
    // At most 60 frames a second.
    QVERIFY(ConfettiCanvas::frameIntervalMs * 60 >= 1000);

    ConfettiCanvas canvas;
    canvas.resize(400, 300);
    canvas.setActive(true);
    QVERIFY(!canvas.isTicking()); // not visible yet
    canvas.show();
    QVERIFY(canvas.isTicking());
    canvas.hide();
    QVERIFY(!canvas.isTicking());
    canvas.show();
    QVERIFY(canvas.isTicking());
    canvas.setActive(false);
    QVERIFY(!canvas.isTicking());
    canvas.setActive(true);
    QVERIFY(canvas.isTicking());

    // Once every piece's life is over the canvas stops redrawing.
    Clock::advanceMSecs(4600);
    canvas.advanceFrame();
    QVERIFY(!canvas.isTicking());

    // Nor does it while a Clock set back lies before the burst.
    canvas.setActive(false);
    canvas.setActive(true);
    QVERIFY(canvas.isTicking());
    Clock::advanceMSecs(-60 * 1000);
    canvas.advanceFrame();
    QVERIFY(!canvas.isTicking());
    Clock::advanceMSecs(60 * 1000);

    // A frozen canvas does not tick either.
    canvas.setActive(false);
    canvas.freezeAt(ConfettiCanvas::currentTime());
    canvas.setActive(true);
    QVERIFY(!canvas.isTicking());
    canvas.freezeAt(std::nullopt);
    QVERIFY(canvas.isTicking());
}

void TestConfetti::paintsPiecesWhereTheMathSays()
{
    // Every draw in the middle of its range: 60 equal green dots 0.9 across, spawning 0.25 s in at (400, -20).
    ConfettiCanvas canvas;
    canvas.resize(800, 600);
    const quint64 mid = quint64(1) << 63;
    canvas.setRandomSource(std::make_shared<ScriptedRandom>(pieceDraws(mid, mid + (quint64(1) << 40))));
    const double start = ConfettiCanvas::currentTime();
    canvas.setActive(true);
    const ConfettiParticle &p = canvas.particles().first();
    QCOMPARE(p.color, ThemeColors::green500());
    QVERIFY(p.isCircle);

    const double t = p.spawnTime + 1.0;
    const auto look = p.appearanceAt(t);
    QVERIFY(look);
    QVERIFY(close(look->x, 400, 1e-6));
    QVERIFY(close(look->y, -20 + 55 + 120, 1e-6));
    canvas.freezeAt(t);

    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    canvas.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QColor centre = image.pixelColor(400, 155);
    QCOMPARE(centre, ThemeColors::green500());
    // Outside the dot the background is untouched.
    QCOMPARE(image.pixelColor(400, 165), QColor(Qt::white));
    QCOMPARE(image.pixelColor(20, 20), QColor(Qt::white));

    // Before the pieces' spawn time nothing is drawn.
    canvas.freezeAt(start + 0.1);
    image.fill(Qt::white);
    canvas.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    QCOMPARE(image.pixelColor(400, 0), QColor(Qt::white));
}

QTEST_MAIN(TestConfetti)
#include "tst_confetti.moc"
