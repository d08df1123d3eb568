#include "DesignSystem/CheckOffButton.h"
#include "DesignSystem/DaySelector.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/ThemeColors.h"
#include "Gallery/GalleryComponents.h"
#include "Support/WarningGuard.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace ovlin;

Q_DECLARE_METATYPE(ovlin::WeekdaySet)

namespace {

QString accessibleText(QWidget *widget, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(which) : QString();
}

QImage renderOf(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

class TestComponents : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { Motion::setAnimationsEnabled(false); }

    void daySelectorValue_data();
    void daySelectorValue();
    void daySelectorPillsInOrder();
    void daySelectorTapsWriteTheWholeSet();

    void progressRingPercent_data();
    void progressRingPercent();
    void progressRingNonFiniteDrawsSafely_data();
    void progressRingNonFiniteDrawsSafely();

    void checkOffSizes_data();
    void checkOffSizes();
    void checkOffActionSeesTheFlip();

    void emptyStateButton_data();
    void emptyStateButton();

    void everyGalleryStateRendersWithoutWarnings();
};

// ---- Day selector

void TestComponents::daySelectorValue_data()
{
    QTest::addColumn<QList<int>>("tapped");
    QTest::addColumn<QString>("value");

    QTest::newRow("nothing") << QList<int>{} << "No days selected";
    QTest::newRow("friday then monday") << QList<int>{5, 1} << "Monday, Friday";
    QTest::newRow("sunday first") << QList<int>{7, 3, 1} << "Monday, Wednesday, Sunday";
    QTest::newRow("all seven") << QList<int>{7, 6, 5, 4, 3, 2, 1}
                               << "Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday";
    QTest::newRow("only day tapped twice") << QList<int>{3, 3} << "No days selected";
    QTest::newRow("tapped three times") << QList<int>{3, 3, 3} << "Wednesday";
}

void TestComponents::daySelectorValue()
{
    QFETCH(QList<int>, tapped);
    QFETCH(QString, value);
    DaySelector selector({});
    for (const int day : tapped)
        QTest::mouseClick(selector.pill(*weekdayFromRaw(day)), Qt::LeftButton);
    QCOMPARE(selector.accessibilityValue(), value);
    QCOMPARE(accessibleText(&selector, QAccessible::Value), value);
    QCOMPARE(accessibleText(&selector, QAccessible::Name), QStringLiteral("Active days"));
}

void TestComponents::daySelectorPillsInOrder()
{
    DaySelector selector({});
    selector.adjustSize();
    const QStringList letters{"M", "T", "W", "T", "F", "S", "S"};
    const QStringList names{"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    int previousX = -1;
    for (int i = 0; i < 7; ++i) {
        DayPill *pill = selector.pill(allWeekdays[size_t(i)]);
        QCOMPARE(pill->day(), allWeekdays[size_t(i)]);
        QCOMPARE(DayPill::letter(pill->day()), letters[i]);
        QCOMPARE(accessibleText(pill, QAccessible::Name), names[i]);
        QCOMPARE(pill->size(), QSize(40, 40));
        QVERIFY(pill->x() > previousX);
        previousX = pill->x();
    }
    // Seven pills of 40 with 8 between them, whatever the set holds.
    QCOMPARE(selector.sizeHint().width(), 328);
    selector.setSelectedDays({Weekday::monday, Weekday::sunday});
    QCOMPARE(selector.sizeHint().width(), 328);
}

void TestComponents::daySelectorTapsWriteTheWholeSet()
{
    qRegisterMetaType<WeekdaySet>();
    DaySelector selector({Weekday::tuesday});
    QSignalSpy spy(&selector, &DaySelector::selectedDaysChanged);
    QTest::mouseClick(selector.pill(Weekday::thursday), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().first().value<WeekdaySet>(), (WeekdaySet{Weekday::tuesday, Weekday::thursday}));
    QTest::mouseClick(selector.pill(Weekday::tuesday), Qt::LeftButton);
    QCOMPARE(spy.last().first().value<WeekdaySet>(), (WeekdaySet{Weekday::thursday}));
    QVERIFY(selector.pill(Weekday::thursday)->isSelected());
    QVERIFY(!selector.pill(Weekday::tuesday)->isSelected());

    // The selected trait follows the set, and a click alone never flips a pill.
    QAccessibleInterface *pill = QAccessible::queryAccessibleInterface(selector.pill(Weekday::thursday));
    QVERIFY(pill->state().checked);
    QVERIFY(!QAccessible::queryAccessibleInterface(selector.pill(Weekday::monday))->state().checked);
    DayPill lone(Weekday::monday, false, {});
    QTest::mouseClick(&lone, Qt::LeftButton);
    QVERIFY(!lone.isSelected());
}

// ---- Progress ring

void TestComponents::progressRingPercent_data()
{
    QTest::addColumn<double>("progress");
    QTest::addColumn<qint64>("percent");

    QTest::newRow("0.999 truncates") << 0.999 << qint64(99);
    QTest::newRow("two thirds truncates") << 2.0 / 3.0 << qint64(66);
    QTest::newRow("over range is not clamped") << 1.5 << qint64(150);
    QTest::newRow("negative truncates toward zero") << -0.255 << qint64(-25);
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << qint64(0);
    QTest::newRow("infinity saturates") << std::numeric_limits<double>::infinity()
                                        << std::numeric_limits<qint64>::max();
    QTest::newRow("beyond 64 bits saturates") << 1e300 << std::numeric_limits<qint64>::max();
}

void TestComponents::progressRingPercent()
{
    QFETCH(double, progress);
    QFETCH(qint64, percent);
    ProgressRing ring(progress, 44, 4, ThemeColors::green500(), ThemeColors::neutral400(), false);
    QCOMPARE(ring.percent(), percent);
    QCOMPARE(ring.accessibilityLabel(), QStringLiteral("Progress: %1 percent").arg(percent));
    QCOMPARE(accessibleText(&ring, QAccessible::Name), QStringLiteral("Progress: %1 percent").arg(percent));
    QCOMPARE(accessibleText(&ring, QAccessible::Value), QStringLiteral("%1%").arg(percent));
}

void TestComponents::progressRingNonFiniteDrawsSafely_data()
{
    QTest::addColumn<double>("progress");
    QTest::addColumn<double>("drawn");
    QTest::newRow("NaN draws nothing") << std::numeric_limits<double>::quiet_NaN() << 0.0;
    QTest::newRow("infinity draws the full ring") << std::numeric_limits<double>::infinity() << 1.0;
    QTest::newRow("over one draws the full ring") << 3.0 << 1.0;
}

void TestComponents::progressRingNonFiniteDrawsSafely()
{
    QFETCH(double, progress);
    QFETCH(double, drawn);
    WarningGuard guard;
    for (const bool animated : {false, true}) {
        ProgressRing ring(progress, 44, 4, ThemeColors::green500(), ThemeColors::neutral400(), animated);
        ring.show();
        QCOMPARE(ring.displayedProgress(), drawn);
        QVERIFY(!renderOf(&ring).isNull());
        ring.setProgress(0.5);
        ring.setProgress(progress);
        QCOMPARE(ring.displayedProgress(), drawn);
    }
    QVERIFY2(guard.messages().isEmpty(), qPrintable(guard.messages().join('\n')));
}

// ---- Check-off button

void TestComponents::checkOffSizes_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<double>("inner");
    QTest::addColumn<double>("checkmark");
    QTest::newRow("24") << 24.0 << 18.0 << 8.1;
    QTest::newRow("20 keeps the minimum") << 20.0 << 18.0 << 8.1;
    QTest::newRow("40") << 40.0 << 34.0 << 15.3;
    QTest::newRow("NaN keeps the minimum") << std::numeric_limits<double>::quiet_NaN() << 18.0 << 8.1;
}

void TestComponents::checkOffSizes()
{
    QFETCH(double, size);
    QFETCH(double, inner);
    QFETCH(double, checkmark);
    QCOMPARE(CheckOffButton::innerSide(size), inner);
    QVERIFY(std::abs(CheckOffButton::checkmarkPointSize(size) - checkmark) < 1e-9);
    if (std::isfinite(size)) {
        // The completed square is filled pale green out to its edge and no further.
        CheckOffButton button(true, {}, size);
        QCOMPARE(button.size(), QSize(int(size), int(size)));
        const QImage image = renderOf(&button);
        const int mid = int(size) / 2;
        const int edge = int((size - inner) / 2);
        QCOMPARE(QColor(image.pixel(edge + 3, mid)), ThemeColors::green200());
        if (edge >= 1)
            QCOMPARE(qAlpha(image.pixel(edge - 1, mid)), 0);
    }
}

void TestComponents::checkOffActionSeesTheFlip()
{
    CheckOffButton *button = nullptr;
    QList<bool> seen;
    QList<QString> order;
    CheckOffButton control(
        false,
        [&] {
            seen << button->isCompleted();
            order << "action";
        },
        24);
    button = &control;
    connect(&control, &CheckOffButton::isCompletedChanged, this, [&] { order << "changed"; });
    QCOMPARE(accessibleText(&control, QAccessible::Name), QStringLiteral("Mark as complete"));

    QTest::mouseClick(&control, Qt::LeftButton);
    QCOMPARE(seen, QList<bool>{true});
    QCOMPARE(order, (QList<QString>{"changed", "action"}));
    QCOMPARE(accessibleText(&control, QAccessible::Name), QStringLiteral("Mark as incomplete"));

    QTest::mouseClick(&control, Qt::LeftButton);
    QCOMPARE(seen, (QList<bool>{true, false}));
    QVERIFY(!control.isCompleted());
    QCOMPARE(accessibleText(&control, QAccessible::Name), QStringLiteral("Mark as complete"));

    // The owner's own change redraws without running the action.
    control.setIsCompleted(true);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(accessibleText(&control, QAccessible::Name), QStringLiteral("Mark as incomplete"));
}

// ---- Empty state

void TestComponents::emptyStateButton_data()
{
    QTest::addColumn<bool>("withTitle");
    QTest::addColumn<bool>("withAction");
    QTest::newRow("title and action") << true << true;
    QTest::newRow("title only") << true << false;
    QTest::newRow("action only") << false << true;
    QTest::newRow("neither") << false << false;
}

void TestComponents::emptyStateButton()
{
    QFETCH(bool, withTitle);
    QFETCH(bool, withAction);
    int runs = 0;
    std::function<void()> action;
    if (withAction)
        action = [&runs] { ++runs; };
    const std::optional<QString> title =
        withTitle ? std::optional<QString>(QStringLiteral("Create habit")) : std::nullopt;
    EmptyState state(QStringLiteral("bell.fill"), std::nullopt, QStringLiteral("No habits"),
                     QStringLiteral("None yet."), title, action);
    EmptyState bare(QStringLiteral("bell.fill"), std::nullopt, QStringLiteral("No habits"), QStringLiteral("None yet."),
                    std::nullopt, {});
    const bool expected = withTitle && withAction;
    QCOMPARE(state.hasActionButton(), expected);
    QCOMPARE(state.findChildren<QAbstractButton *>().size(), expected ? 1 : 0);
    // Without a button the stack ends with the texts: the gap and the button height go with it.
    const double difference = state.geometryForWidth(800).height - bare.geometryForWidth(800).height;
    QCOMPARE(difference, expected ? LayoutTokens::spacingXL + LayoutTokens::controlHeightLarge : 0.0);
    if (expected) {
        state.resize(800, state.heightForWidth(800));
        state.show();
        QCOMPARE(accessibleText(state.actionButton(), QAccessible::Name), QStringLiteral("Create habit"));
        QCOMPARE(state.actionButton()->width(), int(EmptyState::buttonMaxWidth));
        QTest::mouseClick(state.actionButton(), Qt::LeftButton);
        QCOMPARE(runs, 1);
    }
}

// ---- Rendering

void TestComponents::everyGalleryStateRendersWithoutWarnings()
{
    // OVLIN_GALLERY_OUT=<folder> also writes each state as a PNG (at twice the size) for a look.
    const QString out = qEnvironmentVariable("OVLIN_GALLERY_OUT");
    if (!out.isEmpty())
        QDir().mkpath(out);
    QStringList names;
    registerComponentGallery([&](const QString &name, const std::function<QWidget *()> &make) {
        WarningGuard guard;
        std::unique_ptr<QWidget> page(make());
        page->show();
        page->adjustSize();
        QApplication::processEvents();
        for (QWidget *w : page->findChildren<QWidget *>()) {
            if (w->property("galleryFocusReason").isValid()) {
                QApplication::setActiveWindow(page.get());
                w->setFocus(Qt::FocusReason(w->property("galleryFocusReason").toInt()));
            }
        }
        QApplication::processEvents();
        const double scale = out.isEmpty() ? 1 : 2;
        QImage image(page->size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        page->render(&image);
        QVERIFY2(!image.isNull() && !page->size().isEmpty(), qPrintable(name));
        if (!out.isEmpty())
            QVERIFY(image.save(QDir(out).filePath(name + QStringLiteral(".png"))));
        QVERIFY2(guard.messages().isEmpty(), qPrintable(name + ": " + guard.messages().join('\n')));
        names << name;
    });
    QVERIFY(names.size() >= 30);
    QCOMPARE(names.removeDuplicates(), 0);
}

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
