#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/OvlinConfirmationOverlay.h"
#include "DesignSystem/OvlinInputModifier.h"
#include "DesignSystem/OvlinMenuField.h"
#include "DesignSystem/OvlinSegmentedControl.h"
#include "DesignSystem/OvlinSliderControl.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/OvlinSwitch.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Support/WarningGuard.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStyleHints>
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

// The longest vertical run of pixels of `color` in any one column of `image`.
int longestRun(const QImage &image, const QColor &color)
{
    int longest = 0;
    for (int x = 0; x < image.width(); ++x) {
        int run = 0;
        for (int y = 0; y < image.height(); ++y) {
            run = near(image.pixelColor(x, y), color, 24) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    }
    return longest;
}

template <typename T> Binding<T> bound(std::shared_ptr<T> storage)
{
    return {[storage] { return *storage; }, [storage](const T &v) { *storage = v; }};
}

// Shows `first` and `second` side by side in an active window, focuses `first`, then hands the focus to
// `second` as `how` says: "tab" (the Tab key), "click" (a Tab reason right after a mouse click) or
// "activate" (window activation); anything else leaves it on `first`.
bool showAndMoveFocus(QWidget &window, QWidget *first, QWidget *second, const QString &how)
{
    KeyboardFocus::install();
    auto *row = new QHBoxLayout(&window);
    row->addWidget(first);
    row->addWidget(second);
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    first->setFocus(Qt::OtherFocusReason);
    if (how == "tab") {
        QTest::keyClick(first, Qt::Key_Tab);
    } else if (how == "click") {
        QTest::mousePress(&window, Qt::LeftButton);
        QTest::mouseRelease(&window, Qt::LeftButton);
        second->setFocus(Qt::TabFocusReason);
    } else if (how == "activate") {
        second->setFocus(Qt::ActiveWindowFocusReason);
    }
    return true;
}

} // namespace

class TestDesignControls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { Motion::setAnimationsEnabled(false); }

    void hugeTextIsLaidOutFromItsStart_data();
    void hugeTextIsLaidOutFromItsStart();

    void buttonRunsActionOnlyWhenAllowed_data();
    void buttonRunsActionOnlyWhenAllowed();
    void onlyIsDisabledDims_data();
    void onlyIsDisabledDims();
    void blockedButtonIsOffForThePlatform_data();
    void blockedButtonIsOffForThePlatform();
    void ownersWishOutlastsLoading_data();
    void ownersWishOutlastsLoading();
    void focusRingOnlyFromTheKeyboard_data();
    void focusRingOnlyFromTheKeyboard();
    void confirmationHoldsTheKeyboard_data();
    void confirmationHoldsTheKeyboard();
    void buttonAccessibility();
    void segmentedWritesChosenValue();
    void stepperEnabling_data();
    void stepperEnabling();
    void stepperWritesSteps();
    void menuFieldTitle_data();
    void menuFieldTitle();
    void menuFieldMenuWritesChoice();
    void sliderGuardsBadRanges();
    void inputCaret_data();
    void inputCaret();
    void inputCaretBlinks();
    void switchLook_data();
    void switchLook();
    void scaledSwitchKeepsItsPlace();
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
    QTest::addColumn<QString>("look");
    QTest::newRow("normal") << false << false << true << "bright";
    QTest::newRow("loading") << true << false << true << "bright";
    QTest::newRow("setEnabled(false)") << false << false << false << "muted";
    QTest::newRow("isDisabled") << false << true << true << "dimmed";
}

// Only `isDisabled` dims; a button switched off from outside (or inside a disabled parent) is muted.
void TestDesignControls::onlyIsDisabledDims()
{
    QFETCH(bool, loading);
    QFETCH(bool, disabled);
    QFETCH(bool, platformEnabled);
    QFETCH(QString, look);
    QWidget parent;
    auto *button = new OvlinButton(
        "Save", OvlinButtonStyle::primary, OvlinButtonSize::default_, loading, disabled, [] {}, &parent);
    button->resize(160, 44);
    parent.setEnabled(platformEnabled);
    QCOMPARE(button->showsMutedLook(), look == "muted");
    const QColor fill = ThemeColors::primary();
    const QColor px = fillPixel(button);
    if (look == "dimmed") {
        const QColor expected =
            QColor::fromRgbF(0.45f * fill.redF() + 0.55f, 0.45f * fill.greenF() + 0.55f, 0.45f * fill.blueF() + 0.55f);
        QVERIFY2(near(px, expected), qPrintable(px.name() + " vs " + expected.name()));
    } else {
        const QColor expected = look == "muted" ? ThemeColors::surfaceMuted() : fill;
        QVERIFY2(near(px, expected), qPrintable(px.name() + " vs " + expected.name()));
    }
}

void TestDesignControls::blockedButtonIsOffForThePlatform_data()
{
    QTest::addColumn<bool>("loading");
    QTest::addColumn<bool>("disabled");
    QTest::newRow("neither") << false << false;
    QTest::newRow("isDisabled") << false << true;
    QTest::newRow("loading") << true << false;
    QTest::newRow("both") << true << true;
}

// Disabled or loading, the button is off for the platform: Tab passes it by, accessibility reads it as
// disabled, clicks do nothing. Freed again, it is back.
void TestDesignControls::blockedButtonIsOffForThePlatform()
{
    QFETCH(bool, loading);
    QFETCH(bool, disabled);
    const bool blocked = loading || disabled;
    int runs = 0;
    QWidget window;
    auto *before = new OvlinButton("Back", OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, false, [] {});
    auto *button = new OvlinButton("Save", OvlinButtonStyle::primary, OvlinButtonSize::default_, loading, disabled,
                                   [&runs] { ++runs; });
    auto *after = new OvlinButton("Next", OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, false, [] {});
    auto *row = new QHBoxLayout(&window);
    for (QWidget *w : {static_cast<QWidget *>(before), static_cast<QWidget *>(button), static_cast<QWidget *>(after)})
        row->addWidget(w);
    window.resize(480, 60);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QCOMPARE(button->isEnabled(), !blocked);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(button);
    QVERIFY(iface);
    QCOMPARE(bool(iface->state().disabled), blocked);
    before->setFocus(Qt::TabFocusReason);
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), blocked ? static_cast<QWidget *>(after) : button);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    QCOMPARE(runs, blocked ? 0 : 1);
    QVERIFY(!button->showsMutedLook());
    // The pointer still darkens it.
    QTest::mouseMove(button, button->rect().center());
    QTRY_VERIFY(button->isHovered());

    button->setIsLoading(false);
    button->setIsDisabled(false);
    QVERIFY(button->isEnabled());
    QVERIFY(!iface->state().disabled);
    before->setFocus(Qt::TabFocusReason);
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button);

    // Starting to load with the focus hands it on.
    button->setIsLoading(true);
    QVERIFY(!button->hasFocus());
    QVERIFY(!button->isEnabled());
}

void TestDesignControls::ownersWishOutlastsLoading_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("enabledAfter");
    QTest::newRow("off before loading") << "off before" << false;
    QTest::newRow("off while loading") << "off while" << false;
    QTest::newRow("off, then on while loading") << "off before, on while" << true;
    QTest::newRow("on through QWidget while loading") << "off before, QWidget on while" << true;
}

// The owner switches the button on or off while it loads: it stays off until loading ends, then follows
// the owner, with the muted look whenever the owner has it off.
void TestDesignControls::ownersWishOutlastsLoading()
{
    QFETCH(QString, call);
    QFETCH(bool, enabledAfter);
    OvlinButton button("Save", OvlinButtonStyle::primary, OvlinButtonSize::default_, false, false, [] {});
    if (call.startsWith("off before"))
        button.setEnabled(false);
    button.setIsLoading(true);
    if (call == "off while")
        button.setEnabled(false);
    if (call == "off before, on while")
        button.setEnabled(true);
    if (call == "off before, QWidget on while")
        static_cast<QWidget &>(button).setEnabled(true);
    QVERIFY(!button.isEnabled());
    QCOMPARE(button.showsMutedLook(), !enabledAfter);
    button.setIsLoading(false);
    QCOMPARE(button.isEnabled(), enabledAfter);
    QCOMPARE(button.showsMutedLook(), !enabledAfter);
}

void TestDesignControls::focusRingOnlyFromTheKeyboard_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ring");
    QTest::newRow("Tab key") << "tab" << true;
    // Qt hands focus on with a Tab reason when a focused row is hidden or a dialog opens after a click.
    QTest::newRow("Tab reason after a click") << "click" << false;
    QTest::newRow("window activation") << "activate" << false;
}

void TestDesignControls::focusRingOnlyFromTheKeyboard()
{
    QFETCH(QString, how);
    QFETCH(bool, ring);
    QWidget window;
    auto *first = new OvlinButton("One", OvlinButtonStyle::secondary, OvlinButtonSize::small, false, false, [] {});
    auto *second = new OvlinButton("Two", OvlinButtonStyle::secondary, OvlinButtonSize::small, false, false, [] {});
    QVERIFY(showAndMoveFocus(window, first, second, how));
    QVERIFY(second->hasFocus());
    QCOMPARE(KeyboardFocus::hasRing(second), ring);
    QVERIFY(!KeyboardFocus::hasRing(first));
}

void TestDesignControls::confirmationHoldsTheKeyboard_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("reachesWhileShown");
    QTest::newRow("mnemonic behind") << "Alt+Z" << false;
    QTest::newRow("shortcut behind") << "Ctrl+D" << false;
    QTest::newRow("shortcut of the window") << "Ctrl+E" << true;
}

// A confirmation over a part of a window: mnemonics, shortcuts, focus and typing behind it do nothing
// while it is shown, the window's own shortcuts still work, and once it is gone all is as before.
void TestDesignControls::confirmationHoldsTheKeyboard()
{
    QFETCH(QString, keys);
    QFETCH(bool, reachesWhileShown);
    KeyboardFocus::install();
    QWidget window;
    auto *outside =
        new OvlinButton("Outside", OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, false, [] {});
    auto *host = new QWidget;
    auto *row = new QHBoxLayout(&window);
    row->addWidget(outside);
    row->addWidget(host, 1);
    auto *zap = new QPushButton("&Zap");
    auto *field = new QLineEdit;
    auto *column = new QVBoxLayout(host);
    column->addWidget(zap);
    column->addWidget(field);
    QStringList fired;
    connect(zap, &QAbstractButton::pressed, &window, [&fired] { fired << "Alt+Z"; });
    connect(new QShortcut(QKeySequence("Ctrl+D"), field), &QShortcut::activated, &window,
            [&fired] { fired << "Ctrl+D"; });
    connect(new QShortcut(QKeySequence("Ctrl+E"), &window), &QShortcut::activated, &window,
            [&fired] { fired << "Ctrl+E"; });
    window.resize(720, 520);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus(Qt::OtherFocusReason);

    int cancels = 0;
    QPointer<OvlinConfirmationOverlay> overlay;
    overlay = OvlinConfirmationOverlay::askToDelete(
        host, "Delete?", "Gone for good.",
        [&] {
            ++cancels;
            overlay->dismiss();
        },
        [&] { overlay->dismiss(); });
    overlay->present();
    QWidget *cancel = overlay->dialog()->cancelButton();
    QWidget *confirm = overlay->dialog()->confirmButton();
    auto inDialog = [&] { return QApplication::focusWidget() == cancel || QApplication::focusWidget() == confirm; };
    QCOMPARE(QApplication::focusWidget(), cancel);

    QTest::keySequence(QApplication::focusWidget(), QKeySequence(keys));
    QCOMPARE(fired, reachesWhileShown ? QStringList{keys} : QStringList());
    QVERIFY(inDialog());
    field->setFocus(Qt::OtherFocusReason);
    QVERIFY(inDialog());
    QTest::keyClicks(field, "abc");
    QCOMPARE(field->text(), QString());
    // Tab from beside the confirmation goes into it, not to the controls under it.
    outside->setFocus(Qt::TabFocusReason);
    QTest::keyClick(outside, Qt::Key_Tab);
    QVERIFY(inDialog());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(cancels, 1);
    QCOMPARE(QApplication::focusWidget(), field);
    fired.clear();
    QTest::keySequence(field, QKeySequence(keys));
    QCOMPARE(fired, QStringList{keys});
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
    QTest::newRow("above range") << qint64(400) << qint64(1) << qint64(365) << qint64(1) << true << false;
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
}

void TestDesignControls::menuFieldTitle_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("shown");
    QTest::newRow("first option") << "a"
                                  << "Alpha";
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
    actions[2]->trigger();
    QCOMPARE(*v, QStringLiteral("c"));
    QCOMPARE(field.displayedTitle(), QStringLiteral("Gamma"));
    menu->close();
    QTRY_VERIFY(!menu);
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

void TestDesignControls::inputCaret_data()
{
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("caret");
    QTest::newRow("focused") << true << false << true;
    QTest::newRow("not focused") << false << false << false;
    QTest::newRow("read-only") << true << true << false;
}

void TestDesignControls::inputCaret()
{
    QFETCH(bool, focused);
    QFETCH(bool, readOnly);
    QFETCH(bool, caret);
    QWidget window;
    auto *column = new QVBoxLayout(&window);
    auto *other = new QLineEdit;
    auto *field = new QLineEdit("Stretch");
    field->setReadOnly(readOnly);
    OvlinInputModifier *modifier = OvlinInputModifier::apply(field);
    column->addWidget(other);
    column->addWidget(field);
    window.resize(300, 120);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    (focused ? field : other)->setFocus(Qt::MouseFocusReason);
    QCOMPARE(field->hasFocus(), focused);
    QCOMPARE(modifier->caretRect().isEmpty(), !caret);

    const QImage image = field->grab().toImage();
    const QFontMetrics metrics(field->font());
    // A caret is a column of the accent colour as tall as the line; the text keeps its own colour.
    QCOMPARE(longestRun(image, ThemeColors::accent()) >= metrics.ascent(), caret);
    if (caret) {
        const QRect drawn = modifier->caretRect().toAlignedRect();
        QVERIFY(near(image.pixelColor(drawn.center()), ThemeColors::accent()));
        QVERIFY(drawn.left() > metrics.horizontalAdvance(field->text()));
    }
    QVERIFY(longestRun(image, ThemeColors::textPrimary()) >= metrics.capHeight() / 2);
    // Nothing of the toolkit's own cursor, which inverts the fill under it.
    const QColor fill = ThemeColors::inputBackground();
    QCOMPARE(longestRun(image, QColor(255 - fill.red(), 255 - fill.green(), 255 - fill.blue())), 0);
}

void TestDesignControls::inputCaretBlinks()
{
    Motion::setAnimationsEnabled(true);
    const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });
    QWidget window;
    auto *column = new QVBoxLayout(&window);
    auto *field = new QLineEdit("Stretch");
    OvlinInputModifier *modifier = OvlinInputModifier::apply(field);
    column->addWidget(field);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(!modifier->caretRect().isEmpty());

    // The blink's timer, stepped by hand: half a flash period per phase.
    auto *blink = modifier->findChild<QTimer *>();
    QVERIFY(blink && blink->isActive());
    QCOMPARE(blink->interval(), QGuiApplication::styleHints()->cursorFlashTime() / 2);
    const auto step = [blink] {
        QTimerEvent tick(blink->timerId());
        QCoreApplication::sendEvent(blink, &tick);
    };
    step();
    QVERIFY(modifier->caretRect().isEmpty());
    // The off phase shows no caret at all, neither ours nor the toolkit's.
    const QImage off = field->grab().toImage();
    const QColor fill = ThemeColors::inputBackground();
    QCOMPARE(longestRun(off, ThemeColors::accent()), 0);
    QCOMPARE(longestRun(off, QColor(255 - fill.red(), 255 - fill.green(), 255 - fill.blue())), 0);
    step();
    QVERIFY(!modifier->caretRect().isEmpty());

    // Typing keeps it on.
    step();
    QTest::keyClick(field, Qt::Key_S);
    QVERIFY(!modifier->caretRect().isEmpty());
    field->clearFocus();
    QVERIFY(!blink->isActive());
}

void TestDesignControls::switchLook_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("ring");
    QTest::newRow("off") << false << false << "none" << false;
    QTest::newRow("on") << true << false << "none" << false;
    QTest::newRow("pressed off") << false << true << "none" << false;
    QTest::newRow("pressed on") << true << true << "none" << false;
    QTest::newRow("Tab key, off") << false << false << "tab" << true;
    QTest::newRow("Tab key, on") << true << false << "tab" << true;
    QTest::newRow("Tab reason after a click") << true << false << "click" << false;
}

// Track in the accent colour while on, white knob (shaded while pressed), and a keyboard focus ring that
// is not cut off by the widget's edge.
void TestDesignControls::switchLook()
{
    QFETCH(bool, on);
    QFETCH(bool, pressed);
    QFETCH(QString, focus);
    QFETCH(bool, ring);
    QWidget window;
    auto *before = new OvlinButton("One", OvlinButtonStyle::secondary, OvlinButtonSize::small, false, false, [] {});
    auto *toggle = new OvlinSwitch;
    toggle->setChecked(on);
    QVERIFY(showAndMoveFocus(window, before, toggle, focus));
    QCOMPARE(toggle->hasFocus(), focus != "none");
    if (pressed)
        QTest::mousePress(toggle, Qt::LeftButton);
    const QImage image = renderOnWhite(toggle);
    if (pressed)
        QTest::mouseRelease(toggle, Qt::LeftButton);

    const int y = image.height() / 2;
    const int side = on ? 1 : -1;
    const QColor track = image.pixelColor(image.width() / 2 - 8 * side, y);
    const QColor knob = image.pixelColor(image.width() / 2 + 8 * side, y);
    const QColor edge = image.pixelColor(1, y);
    const QColor trackColor = on ? ThemeColors::primary() : ThemeColors::neutral300();
    QVERIFY2(near(track, trackColor), qPrintable(track.name() + " vs " + trackColor.name()));
    QCOMPARE(near(knob, Qt::white), !pressed);
    QVERIFY2(near(edge, ring ? ThemeColors::neutral700() : QColor(Qt::white), 24), qPrintable(edge.name()));
}

namespace {
// First and last column of the middle row that is not white: the ends of the track.
std::pair<int, int> trackEnds(const QImage &image)
{
    const int y = image.height() / 2;
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (!near(image.pixelColor(x, y), Qt::white, 8)) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return {first, last};
}
} // namespace

// A switch drawn at a smaller scale shrinks about its centre and keeps the room a full-size one takes.
void TestDesignControls::scaledSwitchKeepsItsPlace()
{
    OvlinSwitch full;
    OvlinSwitch scaled(0.92);
    QCOMPARE(scaled.sizeHint(), full.sizeHint());
    for (OvlinSwitch *s : {&full, &scaled}) {
        s->setChecked(true);
        s->resize(s->sizeHint());
    }
    const auto [fullFirst, fullLast] = trackEnds(renderOnWhite(&full));
    const auto [first, last] = trackEnds(renderOnWhite(&scaled));
    QVERIFY(fullFirst > 0 && fullLast < full.width() - 1);
    const double fullSpan = fullLast - fullFirst + 1;
    QVERIFY2(std::abs((last - first + 1) - 0.92 * fullSpan) <= 1.5, qPrintable(QString::number(last - first + 1)));
    QVERIFY(std::abs((first - fullFirst) - (fullLast - last)) <= 1);
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
        column->addWidget(new OvlinSwitch(0.92));
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

// A stored name can be megabytes long: wherever it is shown, it looks and costs as the start of it does.
void TestDesignControls::hugeTextIsLaidOutFromItsStart_data()
{
    QTest::addColumn<int>("maxLines");
    QTest::newRow("one line") << 1;
    QTest::newRow("three lines") << 3;
    QTest::newRow("no line limit") << 0;
}

void TestDesignControls::hugeTextIsLaidOutFromItsStart()
{
    QFETCH(int, maxLines);
    const QString huge = QStringLiteral("Drink water ").repeated(100000);
    TextBlock whole;
    whole.text = huge;
    whole.font = ThemeFonts::body();
    whole.maxLines = maxLines;
    TextBlock start = whole;
    start.text = huge.left(TextBlock::shownCharacters) + QChar(0x2026);
    QCOMPARE(whole.naturalWidth(), start.naturalWidth());
    for (const double width : {300.0, 1e6}) {
        QCOMPARE(whole.lineCount(width), start.lineCount(width));
        QCOMPARE(whole.sizeForWidth(width), start.sizeForWidth(width));
    }
    OvlinText label(huge, ThemeFonts::body(), Qt::black);
    label.setSingleLine(maxLines == 1);
    QVERIFY(label.sizeHint().width() <= int(start.naturalWidth()) + 1);
    QCOMPARE(label.text(), huge);
}

QTEST_MAIN(TestDesignControls)
#include "tst_designcontrols.moc"
