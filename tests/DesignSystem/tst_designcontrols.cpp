#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinButtonPressStyle.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/OvlinInputModifier.h"
#include "DesignSystem/OvlinMenuField.h"
#include "DesignSystem/OvlinSegmentedControl.h"
#include "DesignSystem/OvlinSliderControl.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "WarningGuard.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace ovlin;

namespace {

QImage renderOnWhite(QWidget *w)
{
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// A pixel of the button's fill, away from the text and the rounded corners.
QColor fillPixel(OvlinButton *b)
{
    const QImage image = renderOnWhite(b);
    return image.pixelColor(b->width() / 2, 4);
}

void hover(QWidget *w)
{
    const QPointF c = QRectF(w->rect()).center();
    QEnterEvent enter(c, w->mapToGlobal(c), w->mapToGlobal(c));
    QApplication::sendEvent(w, &enter);
}

bool near(const QColor &a, const QColor &b, int tolerance = 2)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

template <typename T> Binding<T> bound(std::shared_ptr<T> storage)
{
    return {[storage] { return *storage; }, [storage](const T &v) { *storage = v; }};
}

} // namespace

class TestDesignControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Motion::setAnimationsEnabled(false); }

    void buttonRunsActionOnlyWhenAllowed_data();
    void buttonRunsActionOnlyWhenAllowed();
    void onlyIsDisabledDims_data();
    void onlyIsDisabledDims();
    void disabledButtonStillDarkensOnHover();
    void buttonAccessibility();
    void buttonGeometry_data();
    void buttonGeometry();

    void buttonHitAreaIsRounded_data();
    void buttonHitAreaIsRounded();
    void pressShrinksWhileHeld();
    void optionIdentity();
    void textWrapsAndLimitsLines();
    void dialogGrowsWithMessage();

    void segmentedWritesChosenValue();
    void stepperEnabling_data();
    void stepperEnabling();
    void stepperWritesSteps();
    void menuFieldTitle_data();
    void menuFieldTitle();
    void menuFieldMenuWritesChoice();
    void menuFieldWidth();
    void sliderSteps();
    void sliderGuardsBadRanges();
    void inputTracksFocus();

    void cardBorderShadowAndPadding_data();
    void cardBorderShadowAndPadding();
    void cardHoverAndBackground();
    void dialogButtonsAndTile_data();
    void dialogButtonsAndTile();
    void sectionHeaderAction();

    void imagesRender();
    void everyComponentRendersWithoutWarnings();
};

void TestDesignControls::buttonRunsActionOnlyWhenAllowed_data()
{
    QTest::addColumn<bool>("loading");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<bool>("platformEnabled");
    QTest::addColumn<int>("expected");
    QTest::newRow("enabled") << false << false << true << 3;
    QTest::newRow("loading") << true << false << true << 0;
    QTest::newRow("isDisabled") << false << true << true << 0;
    QTest::newRow("loading and isDisabled") << true << true << true << 0;
    // Disabled from outside: presses are blocked, a direct call is not.
    QTest::newRow("setEnabled(false)") << false << false << false << 1;
}

void TestDesignControls::buttonRunsActionOnlyWhenAllowed()
{
    QFETCH(bool, loading);
    QFETCH(bool, disabled);
    QFETCH(bool, platformEnabled);
    QFETCH(int, expected);
    int runs = 0;
    OvlinButton button("Save", OvlinButtonStyle::primary, OvlinButtonSize::default_, loading, disabled,
                       [&runs] { ++runs; });
    button.resize(160, 44);
    button.setEnabled(platformEnabled);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(80, 22));
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    button.performAction();
    QCOMPARE(runs, expected);
}

void TestDesignControls::onlyIsDisabledDims_data()
{
    QTest::addColumn<bool>("loading");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<bool>("platformEnabled");
    QTest::addColumn<bool>("dimmed");
    QTest::newRow("normal") << false << false << true << false;
    QTest::newRow("loading") << true << false << true << false;
    QTest::newRow("setEnabled(false)") << false << false << false << false;
    QTest::newRow("isDisabled") << false << true << true << true;
}

void TestDesignControls::onlyIsDisabledDims()
{
    QFETCH(bool, loading);
    QFETCH(bool, disabled);
    QFETCH(bool, platformEnabled);
    QFETCH(bool, dimmed);
    OvlinButton button("Save", OvlinButtonStyle::primary, OvlinButtonSize::default_, loading, disabled, [] {});
    button.resize(160, 44);
    button.setEnabled(platformEnabled);
    const QColor fill = ThemeColors::primary();
    const QColor px = fillPixel(&button);
    if (dimmed) {
        const QColor expected =
            QColor::fromRgbF(0.45f * fill.redF() + 0.55f, 0.45f * fill.greenF() + 0.55f, 0.45f * fill.blueF() + 0.55f);
        QVERIFY2(near(px, expected), qPrintable(px.name() + " vs " + expected.name()));
    } else {
        QVERIFY2(near(px, fill), qPrintable(px.name()));
    }
}

void TestDesignControls::disabledButtonStillDarkensOnHover()
{
    OvlinButton plain("Save", OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, true, [] {});
    OvlinButton hovered("Save", OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, true, [] {});
    plain.resize(160, 44);
    hovered.resize(160, 44);
    hover(&hovered);
    QVERIFY(hovered.isHovered());
    const QColor a = fillPixel(&plain);
    const QColor b = fillPixel(&hovered);
    // White fill: brightness -0.03, then 0.45 opacity over white.
    QVERIFY2(b.red() < a.red() && a.red() - b.red() <= 5, qPrintable(a.name() + " " + b.name()));
}

void TestDesignControls::buttonAccessibility()
{
    OvlinButton button("Save & close", OvlinButtonStyle::primary, OvlinButtonSize::large, false, false, [] {});
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&button);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Button);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Save & close"));
    QCOMPARE(iface->text(QAccessible::Description), QString());
    button.setIsLoading(true);
    QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("Loading"));
    button.setIsLoading(false);
    QCOMPARE(iface->text(QAccessible::Description), QString());

    OvlinButton icon("trash", OvlinButtonStyle::destructive, OvlinButtonSize::icon, true, false, [] {});
    QCOMPARE(QAccessible::queryAccessibleInterface(&icon)->text(QAccessible::Name), QStringLiteral("trash"));
}

void TestDesignControls::buttonGeometry_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("fillsWidth");
    QTest::newRow("small") << int(OvlinButtonSize::small) << 36 << true;
    QTest::newRow("default") << int(OvlinButtonSize::default_) << 44 << true;
    QTest::newRow("large") << int(OvlinButtonSize::large) << 52 << true;
    QTest::newRow("icon") << int(OvlinButtonSize::icon) << 52 << false;
}

void TestDesignControls::buttonGeometry()
{
    QFETCH(int, size);
    QFETCH(int, height);
    QFETCH(bool, fillsWidth);
    QWidget host;
    auto *row = new QHBoxLayout(&host);
    row->setContentsMargins(0, 0, 0, 0);
    auto *button = new OvlinButton(size == int(OvlinButtonSize::icon) ? "plus" : "Next", OvlinButtonStyle::primary,
                                   OvlinButtonSize(size), false, false, [] {});
    row->addWidget(button);
    host.resize(300, 80);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(button->height(), height);
    QCOMPARE(button->width(), fillsWidth ? 300 : 52);
}

void TestDesignControls::buttonHitAreaIsRounded_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("expected");
    QTest::newRow("centre") << QPoint(80, 22) << 1;
    QTest::newRow("edge middle") << QPoint(1, 22) << 1;
    QTest::newRow("top-left corner") << QPoint(1, 1) << 0;
    QTest::newRow("bottom-right corner") << QPoint(158, 42) << 0;
}

void TestDesignControls::buttonHitAreaIsRounded()
{
    QFETCH(QPoint, point);
    QFETCH(int, expected);
    int runs = 0;
    OvlinButton button("Save", OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, false, [&] { ++runs; });
    button.resize(160, 44);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton, {}, point);
    QCOMPARE(runs, expected);
}

void TestDesignControls::pressShrinksWhileHeld()
{
    OvlinButton button("Save", OvlinButtonStyle::primary, OvlinButtonSize::large, false, false, [] {});
    button.resize(160, 52);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    auto *press = button.findChild<OvlinButtonPressStyle *>();
    QVERIFY(press);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(80, 26));
    button.repaint();
    QCOMPARE(press->scale(), OvlinButtonPressStyle::pressedScale);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(80, 26));
    button.repaint();
    QCOMPARE(press->scale(), 1.0);

    // No press feedback while blocked.
    button.setIsLoading(true);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(80, 26));
    button.repaint();
    QCOMPARE(press->scale(), 1.0);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(80, 26));
}

void TestDesignControls::optionIdentity()
{
    QCOMPARE((OvlinSegmentedOption<int>{7, "Seven"}.id()), QStringLiteral("Seven-7"));
    QCOMPARE((OvlinSegmentedOption<QString>{"soft", "Soft"}.id()), QStringLiteral("Soft-soft"));
    QCOMPARE((OvlinMenuOption<Qt::AlignmentFlag>{Qt::AlignLeft, "Left", std::nullopt}.id()), QStringLiteral("Left-1"));
}

void TestDesignControls::textWrapsAndLimitsLines()
{
    OvlinText text("<b>Bold?</b> No, plain text that is long enough to wrap onto several lines", ThemeFonts::body(),
                   ThemeColors::textPrimary());
    QCOMPARE(text.text(), QStringLiteral("<b>Bold?</b> No, plain text that is long enough to wrap onto several lines"));
    QVERIFY(text.hasHeightForWidth());
    const int wide = text.heightForWidth(2000);
    const int narrow = text.heightForWidth(120);
    QVERIFY(narrow > 2 * wide);
    text.setMaxLines(2);
    QVERIFY(text.heightForWidth(120) < narrow);
    const int twoLines = text.heightForWidth(120);
    text.setLineSpacing(4);
    QCOMPARE(text.heightForWidth(120), twoLines + 4);
    text.setLineSpacing(std::nan(""));
    QCOMPARE(text.heightForWidth(120), twoLines);
}

void TestDesignControls::dialogGrowsWithMessage()
{
    OvlinConfirmationDialog shortOne(
        "trash", "Delete?", "Short.", "Delete", OvlinButtonStyle::destructive, "Cancel", [] {}, [] {});
    const QString longMessage = QString("A message that keeps going. ").repeated(12);
    OvlinConfirmationDialog longOne(
        "trash", "Delete?", longMessage, "Delete", OvlinButtonStyle::destructive, "Cancel", [] {}, [] {});
    shortOne.show();
    longOne.show();
    QVERIFY(QTest::qWaitForWindowExposed(&longOne));
    QCOMPARE(longOne.width(), 448);
    QVERIFY(longOne.height() > shortOne.height() + 60);
    OvlinText *message = nullptr;
    for (auto *t : longOne.findChildren<OvlinText *>())
        if (t->text() == longMessage)
            message = t;
    QVERIFY(message);
    QVERIFY(message->width() <= 360);
    QVERIFY(message->height() >= message->heightForWidth(message->width()));
}

void TestDesignControls::segmentedWritesChosenValue()
{
    auto value = std::make_shared<int>(2);
    OvlinSegmentedControl<int> control(bound(value), {{1, "One"}, {2, "Two"}, {3, "Three"}, {3, "Also three"}});
    control.resize(400, 44);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QCOMPARE(control.height(), 44);
    QCOMPARE(control.segmentCount(), 4);
    QCOMPARE(control.segment(0)->width(), control.segment(3)->width());
    QTest::mouseClick(control.segment(2), Qt::LeftButton);
    QCOMPARE(*value, 3);
    QTest::mouseClick(control.segment(0), Qt::LeftButton);
    QCOMPARE(*value, 1);
}

void TestDesignControls::stepperEnabling_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<qint64>("lower");
    QTest::addColumn<qint64>("upper");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<bool>("minus");
    QTest::addColumn<bool>("plus");
    QTest::newRow("middle") << qint64(30) << qint64(5) << qint64(240) << qint64(5) << true << true;
    QTest::newRow("at lower bound") << qint64(5) << qint64(5) << qint64(240) << qint64(5) << false << true;
    QTest::newRow("at upper bound") << qint64(240) << qint64(5) << qint64(240) << qint64(5) << true << false;
    QTest::newRow("238 step 5 to 240") << qint64(238) << qint64(5) << qint64(240) << qint64(5) << true << false;
    QTest::newRow("7 step 5 from 5") << qint64(7) << qint64(5) << qint64(240) << qint64(5) << false << true;
    QTest::newRow("days at 1") << qint64(1) << qint64(1) << qint64(365) << qint64(1) << false << true;
    QTest::newRow("above range") << qint64(400) << qint64(1) << qint64(365) << qint64(1) << true << false;
    QTest::newRow("below range") << qint64(-3) << qint64(1) << qint64(365) << qint64(1) << false << true;
    QTest::newRow("overflow guarded") << std::numeric_limits<qint64>::max() << qint64(0)
                                      << std::numeric_limits<qint64>::max() << qint64(1) << true << false;
    QTest::newRow("underflow guarded") << std::numeric_limits<qint64>::min() << std::numeric_limits<qint64>::min()
                                       << qint64(0) << qint64(1) << false << true;
}

void TestDesignControls::stepperEnabling()
{
    QFETCH(qint64, value);
    QFETCH(qint64, lower);
    QFETCH(qint64, upper);
    QFETCH(qint64, step);
    QFETCH(bool, minus);
    QFETCH(bool, plus);
    auto v = std::make_shared<qint64>(value);
    OvlinStepperField field(bound(v), lower, upper, step, "min");
    QCOMPARE(field.decrementButton()->isEnabled(), minus);
    QCOMPARE(field.incrementButton()->isEnabled(), plus);
    QCOMPARE(field.valueText(), QString::number(value) + " min");
    QCOMPARE(*v, value); // never corrected by the field
}

void TestDesignControls::stepperWritesSteps()
{
    auto v = std::make_shared<qint64>(230);
    OvlinStepperField field(bound(v), 5, 240, 5, "min");
    field.resize(260, 44);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QCOMPARE(field.height(), 44);
    QTest::mouseClick(field.incrementButton(), Qt::LeftButton);
    QCOMPARE(*v, 235);
    QTest::mouseClick(field.incrementButton(), Qt::LeftButton);
    QCOMPARE(*v, 240);
    QVERIFY(!field.incrementButton()->isEnabled());
    QTest::mouseClick(field.incrementButton(), Qt::LeftButton);
    QCOMPARE(*v, 240);
    QTest::mouseClick(field.decrementButton(), Qt::LeftButton);
    QCOMPARE(*v, 235);
    field.setSuffix(QString());
    QCOMPARE(field.valueText(), QStringLiteral("235 "));
}

void TestDesignControls::menuFieldTitle_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("shown");
    QTest::newRow("first option") << "a"
                                  << "Alpha";
    QTest::newRow("later option") << "c"
                                  << "Gamma";
    QTest::newRow("shared value shows the first") << "b"
                                                  << "Beta";
    QTest::newRow("no match shows own title") << "z"
                                              << "Pick one";
    QTest::newRow("empty selection, no match") << ""
                                               << "Pick one";
}

void TestDesignControls::menuFieldTitle()
{
    QFETCH(QString, selection);
    QFETCH(QString, shown);
    auto v = std::make_shared<QString>(selection);
    OvlinMenuField<QString> field(bound(v), "Pick one",
                                  {{"a", "Alpha", std::nullopt},
                                   {"b", "Beta", QStringLiteral("star.fill")},
                                   {"b", "Beta again", std::nullopt},
                                   {"c", "Gamma", std::nullopt}});
    QCOMPARE(field.displayedTitle(), shown);
}

void TestDesignControls::menuFieldMenuWritesChoice()
{
    auto v = std::make_shared<QString>("a");
    OvlinMenuField<QString> field(
        bound(v), "Pick one",
        {{"a", "Alpha", std::nullopt}, {"b", "Beta", QStringLiteral("star.fill")}, {"c", "Gamma", std::nullopt}});
    field.resize(200, 44);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QPointer<QMenu> menu = field.popupMenu();
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[1]->text(), QStringLiteral("Beta"));
    QVERIFY(actions[0]->isChecked());
    QVERIFY(!actions[1]->isChecked() && !actions[2]->isChecked());
    QVERIFY(actions[0]->icon().isNull());
    QVERIFY(!actions[1]->icon().isNull());
    actions[2]->trigger();
    QCOMPARE(*v, QStringLiteral("c"));
    QCOMPARE(field.displayedTitle(), QStringLiteral("Gamma"));
    menu->close();
    QTRY_VERIFY(!menu);
}

void TestDesignControls::menuFieldWidth()
{
    auto v = std::make_shared<int>(0);
    QWidget host;
    auto *row = new QHBoxLayout(&host);
    row->setContentsMargins(0, 0, 0, 0);
    auto *free = new OvlinMenuField<int>(bound(v), "Any", {{1, "One", std::nullopt}});
    auto *fixed = new OvlinMenuField<int>(bound(v), "Any", {{1, "One", std::nullopt}}, 150.0);
    row->addWidget(free);
    row->addWidget(fixed);
    host.resize(500, 60);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(fixed->width(), 150);
    QCOMPARE(free->width(), 500 - 150 - row->spacing());
    QCOMPARE(free->height(), 44);
}

void TestDesignControls::sliderSteps()
{
    auto v = std::make_shared<double>(0.8);
    OvlinSliderControl slider(bound(v), 0.5, 1.0, 0.05, "50%", "100%", "80%");
    QCOMPARE(slider.stepCount(), 10);
    QCOMPARE(slider.slider()->value(), 6);
    slider.slider()->setValue(0);
    QCOMPARE(*v, 0.5);
    slider.slider()->setValue(10);
    QCOMPARE(*v, 1.0);
    slider.slider()->setValue(3);
    QVERIFY(std::abs(*v - 0.65) < 1e-9);
    *v = 0.9;
    slider.refresh();
    QCOMPARE(slider.slider()->value(), 8);
}

void TestDesignControls::sliderGuardsBadRanges()
{
    auto v = std::make_shared<double>(std::nan(""));
    OvlinSliderControl slider(bound(v), 1.0, 0.0, 0.0, "", "", "");
    QCOMPARE(slider.stepCount(), 0);
    QCOMPARE(slider.valueAtPosition(5), 1.0);
    slider.setRange(std::nan(""), std::numeric_limits<double>::infinity(), -1);
    QCOMPARE(slider.positionForValue(std::nan("")), 0);
    slider.setRange(0, 1, 0);
    QVERIFY(slider.stepCount() > 0);
    QCOMPARE(slider.valueAtPosition(slider.stepCount()), 1.0);
}

void TestDesignControls::inputTracksFocus()
{
    QWidget host;
    auto *row = new QHBoxLayout(&host);
    auto *first = new QLineEdit;
    auto *second = new QLineEdit;
    row->addWidget(first);
    row->addWidget(second);
    OvlinInputModifier *a = OvlinInputModifier::apply(first);
    OvlinInputModifier *b = OvlinInputModifier::apply(second);
    QCOMPARE(OvlinInputModifier::apply(first), a); // applied once
    host.show();
    QVERIFY(QTest::qWaitForWindowActive(&host));
    QCOMPARE(first->height(), 44);
    QVERIFY(!first->hasFrame());
    first->setFocus();
    QTRY_VERIFY(a->isFocused());
    QVERIFY(!b->isFocused());
    QCOMPARE(a->focusProgress(), 1.0);
    second->setFocus();
    QTRY_VERIFY(b->isFocused());
    QVERIFY(!a->isFocused());
    QCOMPARE(a->focusProgress(), 0.0);
}

void TestDesignControls::cardBorderShadowAndPadding_data()
{
    QTest::addColumn<bool>("hasBorder");
    QTest::addColumn<bool>("hasShadow");
    QTest::newRow("both") << true << true;
    QTest::newRow("border only") << true << false;
    QTest::newRow("shadow only") << false << true;
    QTest::newRow("neither") << false << false;
}

void TestDesignControls::cardBorderShadowAndPadding()
{
    QFETCH(bool, hasBorder);
    QFETCH(bool, hasShadow);
    auto *content = new QWidget;
    content->setFixedSize(100, 40);
    OvlinCard card(24, ThemeColors::surface(), {}, hasBorder, hasShadow, content);
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    QCOMPARE(content->geometry(), QRect(24, 24, 100, 40));
    QCOMPARE(card.size(), QSize(148, 88));
    QCOMPARE(card.borderColor(), hasBorder ? ThemeColors::border() : ThemeColors::borderSubtle());
    QCOMPARE(card.shadowColor().alpha() > 0, hasShadow);
    // The border is always drawn, inside the edge.
    const QImage image = renderOnWhite(&card);
    QVERIFY(near(image.pixelColor(74, 0), card.borderColor(), 3));
}

void TestDesignControls::cardHoverAndBackground()
{
    int painted = 0;
    auto *content = new QWidget;
    content->setFixedSize(60, 20);
    OvlinCard card(
        16, ThemeColors::surface(),
        [&painted](QPainter &p, const QRectF &r) {
            ++painted;
            p.fillRect(r, Qt::red);
        },
        true, false, content);
    card.resize(92, 52);
    const QImage image = renderOnWhite(&card);
    QVERIFY(painted > 0);
    QCOMPARE(image.pixelColor(46, 26).rgb(), QColor(Qt::red).rgb());
    QCOMPARE(image.pixelColor(0, 0).rgb(), QColor(Qt::white).rgb()); // clipped to the corners

    QVERIFY(!card.isHovered());
    hover(&card);
    QVERIFY(card.isHovered());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&card, &leave);
    QVERIFY(!card.isHovered());
}

void TestDesignControls::dialogButtonsAndTile_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("red");
    QTest::newRow("destructive") << int(OvlinButtonStyle::destructive) << true;
    QTest::newRow("primary") << int(OvlinButtonStyle::primary) << false;
    QTest::newRow("accent") << int(OvlinButtonStyle::accent) << false;
}

void TestDesignControls::dialogButtonsAndTile()
{
    QFETCH(int, style);
    QFETCH(bool, red);
    QStringList calls;
    OvlinConfirmationDialog dialog(
        "trash", "Delete reward?", "This reward gets removed completely. If you're sure, do your thing.", "Delete",
        OvlinButtonStyle(style), "Cancel", [&] { calls << "cancel"; }, [&] { calls << "confirm"; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.width(), 448);
    QVERIFY(dialog.cancelButton()->mapTo(&dialog, QPoint()).x() < dialog.confirmButton()->mapTo(&dialog, QPoint()).x());
    QCOMPARE(dialog.cancelButton()->buttonStyle(), OvlinButtonStyle::secondary);
    QCOMPARE(dialog.confirmButton()->buttonStyle(), OvlinButtonStyle(style));
    QCOMPARE(dialog.cancelButton()->width() + dialog.confirmButton()->width() + 8, 380);
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.confirmButton(), Qt::LeftButton);
    QCOMPARE(calls, QStringList({"cancel", "confirm"}));
    QCOMPARE(dialog.iconColor(), red ? ThemeColors::destructive() : ThemeColors::primary());
    QCOMPARE(dialog.iconTileColor().rgb(), red ? ThemeColors::destructive().rgb() : ThemeColors::green200().rgb());
}

void TestDesignControls::sectionHeaderAction()
{
    SectionHeader plain("Reward", std::nullopt);
    QVERIFY(!plain.actionButton());
    QVERIFY(plain.findChildren<QAbstractButton *>().isEmpty());

    int runs = 0;
    SectionHeader header("Notifications", SectionHeaderAction{"See all", [&runs] { ++runs; }});
    header.resize(320, header.sizeHint().height());
    header.show();
    QVERIFY(QTest::qWaitForWindowExposed(&header));
    QAbstractButton *button = header.actionButton();
    QVERIFY(button);
    QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), QStringLiteral("See all"));
    QCOMPARE(button->geometry().right(), header.width() - 1); // at the trailing edge
    QCOMPARE(header.height(), button->height() + 8);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(runs, 1);
}

void TestDesignControls::imagesRender()
{
    WarningGuard guard;
    for (const QString &name : ImageAssets::names()) {
        const QImage image = ImageAssets::pixmap(name, QSize(48, 48)).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += image.pixelColor(x, y).alpha() > 200;
        QVERIFY2(opaque > 100, qPrintable(name));
        QVERIFY(!ImageAssets::naturalSize(name).isEmpty());
    }
    QVERIFY(guard.messages().isEmpty());
    QVERIFY(!ImageAssets::appIcon().isNull());
    ImageAssets::pixmap("NoSuchImage", QSize(10, 10));
    ImageAssets::pixmap("NoSuchImage", QSize(10, 10));
    QCOMPARE(guard.messages().size(), 1);
}

void TestDesignControls::everyComponentRendersWithoutWarnings()
{
    WarningGuard guard;
    {
        QWidget host;
        auto *column = new QVBoxLayout(&host);
        auto i = std::make_shared<int>(1);
        auto n = std::make_shared<qint64>(30);
        auto d = std::make_shared<double>(0.8);
        for (auto style : {OvlinButtonStyle::primary, OvlinButtonStyle::accent, OvlinButtonStyle::secondary,
                           OvlinButtonStyle::ghost, OvlinButtonStyle::destructive})
            for (auto size :
                 {OvlinButtonSize::small, OvlinButtonSize::default_, OvlinButtonSize::large, OvlinButtonSize::icon})
                for (int state = 0; state < 3; ++state)
                    column->addWidget(new OvlinButton(size == OvlinButtonSize::icon ? "xmark" : "Go", style, size,
                                                      state == 1, state == 2, [] {}));
        column->addWidget(new OvlinSegmentedControl<int>(bound(i), {{1, "A"}, {2, "B"}}));
        column->addWidget(new OvlinStepperField(bound(n), 5, 240, 5, "min"));
        column->addWidget(new OvlinMenuField<int>(bound(i), "Any", {{1, "One", QStringLiteral("bell.fill")}}));
        column->addWidget(new OvlinSliderControl(bound(d), 0.5, 1, 0.05, "50%", "100%", "80%"));
        auto *field = new QLineEdit("<i>plain</i>");
        OvlinInputModifier::apply(field);
        column->addWidget(field);
        column->addWidget(new OvlinCard(24, ThemeColors::surface(), {}, true, true, new OvlinText("x", {}, Qt::black)));
        column->addWidget(new OvlinConfirmationDialog(
            "trash", "T", "M", "Delete", OvlinButtonStyle::destructive, "Cancel", [] {}, [] {}));
        column->addWidget(new SectionHeader("Title", SectionHeaderAction{"More", [] {}}));
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        const QImage image = host.grab().toImage();
        QVERIFY(!image.isNull());
        for (auto *b : host.findChildren<OvlinButton *>())
            hover(b);
        host.grab();
    }
    QVERIFY2(guard.messages().isEmpty(), qPrintable(guard.messages().join('\n')));
}

QTEST_MAIN(TestDesignControls)
#include "tst_designcontrols.moc"
