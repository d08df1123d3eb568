#include "Banners/CelebrationManager.h"
#include "Banners/CelebrationOverlay.h"
#include "Banners/ConfettiCanvas.h"
#include "Banners/VirtualTimerSource.h"
#include "CelebrationTestSupport.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"
#include "Gallery/GalleryCelebrations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace ovlin;

namespace {

const QDateTime kStart(QDate(2024, 3, 13), QTime(10, 0));

bool sameStage(const CelebrationOverlay::ContentStage &a, const CelebrationOverlay::ContentStage &b)
{
    return qFuzzyCompare(1 + a.iconScale, 1 + b.iconScale) && qFuzzyCompare(1 + a.titleOpacity, 1 + b.titleOpacity) &&
           qFuzzyCompare(1 + a.titleOffset, 1 + b.titleOffset) &&
           qFuzzyCompare(1 + a.phraseOpacity, 1 + b.phraseOpacity) &&
           qFuzzyCompare(1 + a.phraseOffset, 1 + b.phraseOffset) &&
           qFuzzyCompare(1 + a.buttonOpacity, 1 + b.buttonOpacity);
}

} // namespace

class TestCelebrationOverlay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void idleLetsClicksThrough();
    void clicksEndTheCelebration_data();
    void clicksEndTheCelebration();
    void checkOffDuringFadeOutKeepsTheNewCardsContent();
    void clockSetBackEndsTheMotions();
    void managerGoneFreesTheWindow();
    void keyboardStaysOnTheCard_data();
    void keyboardStaysOnTheCard();
    void queuedCardsGiveTheFocusBackOnce();
    void buttonDrawsTheFocusRing_data();
    void buttonDrawsTheFocusRing();
    void galleryRendersEachEvent();

private:
    void showEvent(int streak);
    void showKind(const QString &kind);
    void advance(qint64 ms);
    void clickAt(const QPointF &pos);

    std::unique_ptr<ScopedFakeClock> m_clock;
    std::shared_ptr<VirtualTimerSource> m_timers;
    std::unique_ptr<CopyEngine> m_copy;
    std::unique_ptr<QWidget> m_window;
    QPushButton *m_below = nullptr;
    CelebrationManager *m_manager = nullptr;
    CelebrationOverlay *m_overlay = nullptr;
    int m_belowClicks = 0;
};

void TestCelebrationOverlay::init()
{
    Motion::setAnimationsEnabled(false);
    m_clock = std::make_unique<ScopedFakeClock>(kStart);
    m_timers = std::make_shared<VirtualTimerSource>();
    m_copy = std::make_unique<CopyEngine>(std::make_shared<SeededRandomSource>(9));
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 640);
    // The window's content: one button over all of it, to see where clicks and keys land. Alt+C is its
    // mnemonic.
    m_below = new QPushButton(QStringLiteral("&content"), m_window.get());
    m_below->setGeometry(m_window->rect());
    m_belowClicks = 0;
    connect(m_below, &QPushButton::clicked, this, [this] { ++m_belowClicks; });
    m_manager = new CelebrationManager(m_window.get());
    m_manager->setTimerSource(m_timers);
    m_manager->setCopyEngine(m_copy.get());
    m_overlay = new CelebrationOverlay(m_manager, m_window.get());
    m_overlay->confettiCanvas()->setRandomSource(std::make_shared<SeededRandomSource>(4));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestCelebrationOverlay::cleanup()
{
    m_window.reset();
    m_copy.reset();
    m_timers.reset();
    m_clock.reset();
    Motion::setAnimationsEnabled(true);
}

void TestCelebrationOverlay::showEvent(int streak)
{
    m_manager->checkForCelebrations({}, {}, {}, streak);
}

void TestCelebrationOverlay::showKind(const QString &kind)
{
    if (kind == "reward") {
        auto reward = makeReward(QStringLiteral("Cinema"), 5, QStringLiteral("active"));
        m_manager->recordPendingMilestones({reward});
        reward->setStatusRaw(QStringLiteral("achieved"));
        m_manager->checkForCelebrations({}, {}, {reward}, 0);
    } else if (kind == "streak") {
        showEvent(7);
    } else {
        auto walk = makeReminder(QStringLiteral("Walk"), everyDay());
        m_manager->checkForCelebrations({walk}, {walk}, {}, 0);
    }
}

void TestCelebrationOverlay::advance(qint64 ms)
{
    // Move in frame-sized steps, running the manager's timers and the overlay's frame handler on the way.
    const qint64 step = ConfettiCanvas::frameIntervalMs;
    for (qint64 done = 0; done < ms; done += step) {
        m_timers->advance(std::min(step, ms - done));
        m_overlay->advanceAnimations();
    }
}

void TestCelebrationOverlay::clickAt(const QPointF &pos)
{
    // Through the window, so the click goes to whatever widget is under the pointer.
    const QPoint at = m_overlay->mapTo(m_window.get(), pos.toPoint());
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

void TestCelebrationOverlay::idleLetsClicksThrough()
{
    QVERIFY(m_overlay->isIdle());
    QVERIFY(m_overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QPoint points[] = {{450, 320}, {10, 10}, {890, 630}};
    for (const QPoint &p : points)
        clickAt(p);
    QCOMPARE(m_belowClicks, 3);

    // Nothing is painted while idle.
    QImage image(m_window->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    m_overlay->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    for (int y = 0; y < image.height(); y += 8)
        for (int x = 0; x < image.width(); x += 8)
            QCOMPARE(qAlpha(image.pixel(x, y)), 0);
}

void TestCelebrationOverlay::clicksEndTheCelebration_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("dismisses");
    QTest::newRow("scrim, top left") << "scrimTopLeft" << true;
    QTest::newRow("scrim, just beside the card") << "besideCard" << true;
    QTest::newRow("the button") << "button" << true;
    QTest::newRow("the card's body") << "cardBody" << false;
    QTest::newRow("the card's corner above the button") << "cardCorner" << false;
}

void TestCelebrationOverlay::clicksEndTheCelebration()
{
    QFETCH(QString, where);
    QFETCH(bool, dismisses);
    showEvent(7);
    QVERIFY(m_manager->activeEvent());
    QVERIFY(!m_overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QRectF card = m_overlay->cardRect();
    const QRectF button = m_overlay->buttonRect();
    QVERIFY(card.contains(button));
    QPointF at;
    if (where == "scrimTopLeft")
        at = QPointF(10, 10);
    else if (where == "besideCard")
        at = QPointF(card.right() + 3, card.center().y());
    else if (where == "button")
        at = button.center();
    else if (where == "cardBody")
        at = QPointF(card.center().x(), card.top() + 40);
    else
        at = QPointF(card.left() + 8, button.center().y());

    clickAt(at);
    QCOMPARE(!m_manager->activeEvent().has_value(), dismisses);
    QCOMPARE(m_belowClicks, 0);
}

void TestCelebrationOverlay::checkOffDuringFadeOutKeepsTheNewCardsContent()
{
    using Stage = CelebrationOverlay::ContentStage;
    Motion::setAnimationsEnabled(true);
    showEvent(3);
    advance(2000);
    QVERIFY(sameStage(m_overlay->contentStage(), Stage::shown()));

    clickAt(QPointF(10, 10)); // the scrim: the first card starts its 0.18 s fade-out
    QVERIFY(!m_manager->activeEvent());
    QCOMPARE(m_overlay->cardCount(), 1);
    advance(68);
    QCOMPARE(m_overlay->cardCount(), 1);

    showEvent(7); // a check-off during the fade-out shows the next card at once
    QCOMPARE(m_overlay->cardCount(), 2);
    QCOMPARE(m_overlay->cardEvent(), std::optional(CelebrationEvent::streakMilestone(7)));
    QVERIFY(m_overlay->showContent());
    QVERIFY(sameStage(m_overlay->contentStage(), Stage::hidden())); // its own entrance starts now

    advance(200); // the first card's fade-out ends and it disappears
    QCOMPARE(m_overlay->cardCount(), 1);
    QVERIFY(m_overlay->showContent());
    advance(1800);
    QVERIFY(sameStage(m_overlay->contentStage(), Stage::shown()));
    QVERIFY(m_overlay->confettiCanvas()->isActive());
    QCOMPARE(m_overlay->cardCopy(), m_manager->celebrationCopy());
}

void TestCelebrationOverlay::clockSetBackEndsTheMotions()
{
    using Stage = CelebrationOverlay::ContentStage;
    Motion::setAnimationsEnabled(true);
    showEvent(3);
    advance(100);
    QVERIFY(m_overlay->isAnimating());
    // The card neither vanishes nor stays half drawn while the Clock lies before its appearance.
    Clock::advanceMSecs(-3600 * 1000);
    m_overlay->advanceAnimations();
    QVERIFY(sameStage(m_overlay->contentStage(), Stage::shown()));
    QVERIFY(!m_overlay->isAnimating());

    clickAt(QPointF(10, 10));
    QCOMPARE(m_overlay->cardCount(), 1);
    Clock::advanceMSecs(-60 * 1000);
    m_overlay->advanceAnimations();
    QVERIFY(m_overlay->isIdle());
}

void TestCelebrationOverlay::managerGoneFreesTheWindow()
{
    showEvent(3);
    QVERIFY(!m_overlay->isIdle());
    delete m_manager;
    m_manager = nullptr;
    QVERIFY(m_overlay->isIdle());
    QVERIFY(!m_overlay->confettiCanvas()->isActive());
    clickAt(QPointF(10, 10));
    QCOMPARE(m_belowClicks, 1);
}

void TestCelebrationOverlay::keyboardStaysOnTheCard_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("action");
    for (const char *kind : {"all done", "reward", "streak"}) {
        for (const char *action : {"Tab, Space", "Shift+Tab, Return", "Escape", "Space", "Return", "timer"})
            QTest::addRow("%s, %s", kind, action) << kind << action;
    }
}

// While a card is shown the keyboard reaches only its button; nothing behind it takes the focus, a key,
// a mnemonic or a shortcut; the card ends by its button, Escape or its timer, and the focus comes back.
void TestCelebrationOverlay::keyboardStaysOnTheCard()
{
    QFETCH(QString, kind);
    QFETCH(QString, action);
    int shortcuts = 0;
    auto *shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+N")), m_below);
    connect(shortcut, &QShortcut::activated, this, [&shortcuts] { ++shortcuts; });
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_below->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), m_below);

    showKind(kind);
    QVERIFY(m_manager->activeEvent());
    QWidget *onCard = QApplication::focusWidget();
    QVERIFY(onCard && m_overlay->isAncestorOf(onCard));
    QCOMPARE(onCard->accessibleName(), CelebrationOverlay::buttonTitle(*m_manager->activeEvent()));

    // Behind the card: focus, keys, the mnemonic and the shortcut all go nowhere.
    m_below->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), onCard);
    QTest::keyClick(m_below, Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(m_belowClicks, 0);
    QCOMPARE(shortcuts, 0);
    QVERIFY(m_manager->activeEvent());

    if (action == "timer") {
        advance(CelebrationManager::displayMs);
    } else {
        for (const QString &name : action.split(QStringLiteral(", "))) {
            if (name == "Tab" || name == "Shift+Tab") {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                                name == "Tab" ? Qt::NoModifier : Qt::ShiftModifier);
                QCOMPARE(QApplication::focusWidget(), onCard); // its only stop
            } else {
                const Qt::Key key = name == "Space"    ? Qt::Key_Space
                                    : name == "Return" ? Qt::Key_Return
                                                       : Qt::Key_Escape;
                QTest::keyClick(QApplication::focusWidget(), key);
            }
        }
    }
    QVERIFY(!m_manager->activeEvent());
    QCOMPARE(QApplication::focusWidget(), m_below);
    QCOMPARE(m_belowClicks, 0);
    QCOMPARE(shortcuts, 0);

    // Free again: the window's own keys work.
    advance(1000);
    QVERIFY(m_overlay->isIdle());
    QTest::keyClick(m_below, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(shortcuts, 1);
}

void TestCelebrationOverlay::queuedCardsGiveTheFocusBackOnce()
{
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_below->setFocus(Qt::TabFocusReason);
    showEvent(7);
    showEvent(14);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!m_manager->activeEvent());
    QCOMPARE(QApplication::focusWidget(), m_below);
    // The next card takes the keyboard as the first did, and gives it back to the same place.
    advance(CelebrationManager::gapMs);
    QCOMPARE(m_manager->activeEvent(), std::optional(CelebrationEvent::streakMilestone(14)));
    QVERIFY(m_overlay->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(m_overlay->isAncestorOf(QApplication::focusWidget()));
    advance(CelebrationManager::displayMs);
    QCOMPARE(QApplication::focusWidget(), m_below);
    QCOMPARE(m_belowClicks, 0);
}

void TestCelebrationOverlay::buttonDrawsTheFocusRing_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("shown after a key") << true;
    QTest::newRow("shown after a click") << false;
}

void TestCelebrationOverlay::buttonDrawsTheFocusRing()
{
    QFETCH(bool, byKeyboard);
    KeyboardFocus::install();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    if (byKeyboard)
        QTest::keyClick(m_below, Qt::Key_Shift);
    else
        QTest::mouseClick(m_below, Qt::LeftButton);
    showEvent(7);
    const QRectF button = m_overlay->buttonRect();
    QVERIFY(!button.isEmpty());
    // A pixel wholly inside the button's left edge, level with the label: the 2 px ring, or the fill.
    const QImage image = m_window->grab().toImage();
    const QPoint at =
        m_overlay->mapTo(m_window.get(), QPoint(int(std::floor(button.left() + 1)), int(button.center().y())));
    const QColor pixel = image.pixelColor(at);
    const QColor ring = ThemeColors::neutral700();
    const int distance = std::abs(pixel.red() - ring.red()) + std::abs(pixel.green() - ring.green()) +
                         std::abs(pixel.blue() - ring.blue());
    QCOMPARE(distance < 60, byKeyboard);
}

void TestCelebrationOverlay::galleryRendersEachEvent()
{
    QList<QPair<QString, std::function<QWidget *()>>> entries;
    registerCelebrationGallery([&](const QString &name, std::function<QWidget *()> make) {
        entries.append({name, make});
    });
    QCOMPARE(entries.size(), 3);

    // OVLIN_GALLERY_OUT keeps the pictures for a look; otherwise they go to a temporary folder.
    QTemporaryDir temp;
    const QString out =
        qEnvironmentVariableIsSet("OVLIN_GALLERY_OUT") ? qEnvironmentVariable("OVLIN_GALLERY_OUT") : temp.path();
    const QStringList titles{"Reward unlocked", "21-day streak", "All done today"};
    for (int i = 0; i < entries.size(); ++i) {
        std::unique_ptr<QWidget> widget(entries[i].second());
        QVERIFY(widget);
        const auto *overlay = widget->findChild<CelebrationOverlay *>();
        QVERIFY(overlay);
        QCOMPARE(CelebrationOverlay::title(*overlay->cardEvent()), titles[i]);
        const QImage image = widget->grab().toImage();
        QVERIFY(image.save(out + QStringLiteral("/celebration-%1.png").arg(i)));
    }
}

QTEST_MAIN(TestCelebrationOverlay)
#include "tst_celebrationoverlay.moc"
