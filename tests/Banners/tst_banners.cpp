#include "Banners/BannerManager.h"
#include "Banners/FloatingBannerPanel.h"
#include "Banners/InAppBannerSlot.h"
#include "Banners/InAppBannerView.h"
#include "Banners/MainWindowActivity.h"
#include "DesignSystem/DesktopCompositing.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "Engine/BannerPresenter.h"
#include "Gallery/GalleryBanners.h"
#include "Support/WarningGuard.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace ovlin;
using Role = BannerAction::Role;

Q_DECLARE_METATYPE(QList<ovlin::BannerAction::Role>)

namespace {

BannerAction makeAction(const QString &title, Role role, std::function<void()> handler = {})
{
    BannerAction a;
    a.title = title;
    a.role = role;
    a.handler = std::move(handler);
    return a;
}

QList<BannerAction> reminderActions(QStringList *log = nullptr)
{
    auto note = [log](const QString &what) {
        return [log, what] {
            if (log)
                log->append(what);
        };
    };
    return {makeAction("Skip", Role::destructive, note("Skip")),
            makeAction("In 15 min", Role::secondary, note("In 15 min")),
            makeAction("Done", Role::primary, note("Done"))};
}

BannerData makeBanner(const QString &title, const QString &message, QList<BannerAction> actions = {})
{
    BannerData b;
    b.title = title;
    b.message = message;
    b.actions = std::move(actions);
    return b;
}

QStringList titles(const QList<QAbstractButton *> &buttons)
{
    QStringList out;
    for (const auto *b : buttons)
        out << b->text();
    return out;
}

QAbstractButton *buttonTitled(const InAppBannerView &view, const QString &title)
{
    for (QAbstractButton *b : view.buttons())
        if (b->text() == title)
            return b;
    return nullptr;
}

// Shown, so that the view has laid out its buttons for the width.
void showAt(InAppBannerView &view, int width)
{
    view.resize(width, view.heightForWidth(width));
    view.show();
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class FakeActivity : public AppActivity
{
public:
    bool active = false;
    bool isActiveWithVisibleWindow() const override { return active; }
};

class RecordingPresenter : public BannerPresenter
{
public:
    QStringList calls;
    void present(const QString &title, const QString &, BannerStyle, const QList<BannerAction> &) override
    {
        calls << "present " + title;
    }
    void showFloating(const QString &title, const QString &, BannerStyle, const QList<BannerAction> &) override
    {
        calls << "showFloating " + title;
    }
    void dismiss() override { calls << "dismiss"; }
    void dismissBannerWithAction(const QUuid &) override { calls << "dismissBannerWithAction"; }
};

} // namespace

class TestBanners : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void bannerEqualityById();
    void presentReplacesCurrent();
    void dismissClearsBothPlaces_data();
    void dismissClearsBothPlaces();
    void dismissOneBannerByItsAction_data();
    void dismissOneBannerByItsAction();
    void oneBannerOnScreen_data();
    void oneBannerOnScreen();
    void windowOrFloatingByActivity_data();
    void windowOrFloatingByActivity();
    void mainWindowActivity_data();
    void mainWindowActivity();

    void actionOrderByRole_data();
    void actionOrderByRole();
    void okWhenNoActions();
    void slotHoldsTheCardOnly_data();
    void slotHoldsTheCardOnly();
    void handlerRunsThenDismisses_data();
    void handlerRunsThenDismisses();

    void panelPlacementIsPureAndUsesTheAvailableArea_data();
    void panelPlacementIsPureAndUsesTheAvailableArea();
    void panelWithoutScreenShowsAtOnce();
    void panelShapeFollowsCompositing_data();
    void panelShapeFollowsCompositing();
    void compositingIsTheSelectionOwner();

    void galleryRenders();

private:
    std::unique_ptr<BannerManager> m_manager;
};

void TestBanners::init()
{
    Motion::setAnimationsEnabled(false);
    m_manager = std::make_unique<BannerManager>();
}

void TestBanners::cleanup()
{
    DesktopCompositing::setProbe({});
    m_manager.reset();
    flushDeletes();
}

void TestBanners::bannerEqualityById()
{
    const BannerData a = makeBanner("Water", "Drink");
    BannerData sameTexts = makeBanner("Water", "Drink");
    QVERIFY(a.id != sameTexts.id);
    QVERIFY(!(a == sameTexts));

    BannerData copy = a;
    copy.title = "Something else";
    copy.actions = reminderActions();
    QVERIFY(copy == a);
}

void TestBanners::presentReplacesCurrent()
{
    QSignalSpy changed(m_manager.get(), &BannerManager::currentChanged);
    QStringList log;
    m_manager->present("Water", "Drink", BannerStyle::reminder, reminderActions(&log));
    QVERIFY(m_manager->current().has_value());
    const BannerData first = *m_manager->current();
    QCOMPARE(first.title, QString("Water"));
    QCOMPARE(first.message, QString("Drink"));
    QCOMPARE(first.actions.size(), 3);
    QCOMPARE(m_manager->currentTransition().kind, MotionCurve::Kind::spring);

    m_manager->present("Water", "Drink", BannerStyle::reminder, reminderActions(&log));
    QVERIFY(m_manager->current().has_value());
    // Same texts, new banner: the window sees a change.
    QVERIFY(!(*m_manager->current() == first));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(m_manager->floatingPanel(), nullptr);
    QVERIFY(log.isEmpty());
}

void TestBanners::dismissClearsBothPlaces_data()
{
    QTest::addColumn<bool>("inWindow");
    QTest::addColumn<bool>("floating");
    QTest::newRow("nothing shown") << false << false;
    QTest::newRow("window only") << true << false;
    QTest::newRow("panel only") << false << true;
    QTest::newRow("window, then panel") << true << true;
}

void TestBanners::dismissClearsBothPlaces()
{
    QFETCH(bool, inWindow);
    QFETCH(bool, floating);
    if (inWindow)
        m_manager->present("Water", "Drink", BannerStyle::reminder, reminderActions());
    if (floating)
        m_manager->showFloating("Walk", "Outside", BannerStyle::reminder, reminderActions());
    QPointer<FloatingBannerPanel> panel = m_manager->floatingPanel();

    QSignalSpy changed(m_manager.get(), &BannerManager::currentChanged);
    m_manager->dismiss();
    QVERIFY(!m_manager->current());
    QCOMPARE(m_manager->floatingPanel(), nullptr);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_manager->currentTransition().kind, MotionCurve::Kind::easeOut);
    QVERIFY(!panel || !panel->isVisible());
    flushDeletes();
    QVERIFY(!panel);
}

void TestBanners::dismissOneBannerByItsAction_data()
{
    QTest::addColumn<bool>("floating"); // where the banner on screen is
    QTest::addColumn<QString>("whose"); // the action's banner
    QTest::addColumn<bool>("keeps");
    QTest::newRow("the window's banner") << false << "shown" << false;
    QTest::newRow("the panel's banner") << true << "shown" << false;
    QTest::newRow("replaced in the window") << false << "replaced" << true;
    QTest::newRow("replaced in the panel") << true << "replaced" << true;
}

void TestBanners::dismissOneBannerByItsAction()
{
    QFETCH(bool, floating);
    QFETCH(QString, whose);
    QFETCH(bool, keeps);
    const QList<BannerAction> replaced = reminderActions();
    const QList<BannerAction> shown = reminderActions();
    const auto show = [&](const QString &title, const QList<BannerAction> &actions) {
        if (floating)
            m_manager->showFloating(title, "Outside", BannerStyle::reminder, actions);
        else
            m_manager->present(title, "Drink", BannerStyle::reminder, actions);
    };
    show("Old", replaced);
    show("Walk", shown);
    QPointer<FloatingBannerPanel> panel = m_manager->floatingPanel();

    m_manager->dismissBannerWithAction((whose == "shown" ? shown : replaced).last().id);
    QCOMPARE(m_manager->current().has_value(), keeps && !floating);
    QCOMPARE(bool(m_manager->floatingPanel()), keeps && floating);
    QCOMPARE(bool(panel) && panel->isVisible(), keeps && floating);
}

// A new banner replaces the one on screen wherever it is: never two banners at once.
void TestBanners::oneBannerOnScreen_data()
{
    QTest::addColumn<QStringList>("places"); // where each banner in turn goes
    QTest::newRow("window, then panel") << QStringList{"window", "panel"};
    QTest::newRow("panel, then window") << QStringList{"panel", "window"};
    QTest::newRow("window, window") << QStringList{"window", "window"};
    QTest::newRow("panel, panel") << QStringList{"panel", "panel"};
    QTest::newRow("back and forth") << QStringList{"panel", "window", "panel", "window"};
}

void TestBanners::oneBannerOnScreen()
{
    QFETCH(QStringList, places);
    QList<QPointer<FloatingBannerPanel>> panels;
    for (qsizetype i = 0; i < places.size(); ++i) {
        const QString title = QStringLiteral("Banner %1").arg(i);
        if (places[i] == "panel") {
            m_manager->showFloating(title, "Outside", BannerStyle::reminder, reminderActions());
            panels.append(m_manager->floatingPanel());
        } else {
            m_manager->present(title, "Drink", BannerStyle::reminder, reminderActions());
        }
        const bool floating = places[i] == "panel";
        QCOMPARE(m_manager->current().has_value(), !floating);
        if (!floating)
            QCOMPARE(m_manager->current()->title, title);
        QCOMPARE(bool(m_manager->floatingPanel()), floating);
        qsizetype visiblePanels = 0;
        for (const auto &panel : panels)
            visiblePanels += panel && panel->isVisible() ? 1 : 0;
        QCOMPARE(visiblePanels, floating ? 1 : 0);
        if (floating) {
            QCOMPARE(m_manager->floatingPanel()->bannerView()->banner().title, title);
            // The panel never takes the focus: its buttons are no Tab stops.
            for (const QAbstractButton *button : m_manager->floatingPanel()->bannerView()->buttons())
                QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        }
    }
}

void TestBanners::windowOrFloatingByActivity_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("main window in front: inside the window") << true;
    QTest::newRow("otherwise: the floating panel") << false;
}

void TestBanners::windowOrFloatingByActivity()
{
    QFETCH(bool, active);
    FakeActivity activity;
    activity.active = active;

    RecordingPresenter recorder;
    showBanner(recorder, activity, "Water", "Drink", BannerStyle::reminder, reminderActions());
    QCOMPARE(recorder.calls, QStringList{(active ? "present " : "showFloating ") + QString("Water")});

    showBanner(*m_manager, activity, "Water", "Drink", BannerStyle::reminder, reminderActions());
    QCOMPARE(m_manager->current().has_value(), active);
    QCOMPARE(m_manager->floatingPanel() != nullptr, !active);
    if (!active)
        QVERIFY(m_manager->floatingPanel()->isVisible());
}

void TestBanners::mainWindowActivity_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("expected");
    QTest::newRow("no main window registered") << "none" << false;
    QTest::newRow("visible while frontmost") << "visible" << true;
    QTest::newRow("visible while another program has the focus") << "inactive" << false;
    QTest::newRow("no frontmost answer given") << "no answer" << false;
    QTest::newRow("minimised") << "minimised" << false;
    QTest::newRow("destroyed") << "destroyed" << false;
    QTest::newRow("only a popover is visible") << "popover" << false;
    QTest::newRow("only the floating panel is visible") << "panel" << false;
    QTest::newRow("popover beside the visible window") << "popover and window" << true;
}

void TestBanners::mainWindowActivity()
{
    QFETCH(QString, scenario);
    QFETCH(bool, expected);

    MainWindowActivity activity;
    if (scenario != "no answer")
        activity.setFrontmostSource([scenario] { return scenario != "inactive"; });
    auto main = std::make_unique<QWidget>();
    main->resize(400, 300);
    QWidget popover(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    popover.resize(200, 200);

    if (scenario != "none")
        activity.setMainWindow(main.get());
    if (scenario == "visible" || scenario == "inactive" || scenario == "no answer" ||
        scenario == "popover and window" || scenario == "destroyed")
        main->show();
    if (scenario == "minimised")
        main->showMinimized();
    if (scenario == "destroyed")
        main.reset();
    if (scenario == "popover" || scenario == "popover and window")
        popover.show();
    if (scenario == "panel")
        m_manager->showFloating("Walk", "Outside", BannerStyle::reminder, {});

    QCOMPARE(activity.isActiveWithVisibleWindow(), expected);
    if (main)
        QCOMPARE(activity.mainWindow(), scenario == "none" ? nullptr : main.get());
    else
        QCOMPARE(activity.mainWindow(), nullptr);
}

void TestBanners::actionOrderByRole_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<Role>>("roles");
    QTest::addColumn<QStringList>("leading");
    QTest::addColumn<QStringList>("trailing");

    QTest::newRow("first attempts") << QStringList{"Skip", "In 15 min", "Done"}
                                    << QList<Role>{Role::destructive, Role::secondary, Role::primary}
                                    << QStringList{"Skip"} << QStringList{"In 15 min", "Done"};
    QTest::newRow("third attempt") << QStringList{"I failed", "Done"} << QList<Role>{Role::destructive, Role::primary}
                                   << QStringList{"I failed"} << QStringList{"Done"};
    QTest::newRow("only destructive") << QStringList{"A", "B"} << QList<Role>{Role::destructive, Role::destructive}
                                      << QStringList{"A", "B"} << QStringList{};
    QTest::newRow("no destructive") << QStringList{"Done", "Later"} << QList<Role>{Role::primary, Role::secondary}
                                    << QStringList{} << QStringList{"Done", "Later"};
    QTest::newRow("interleaved keeps each group's order")
        << QStringList{"P", "D1", "S", "D2"}
        << QList<Role>{Role::primary, Role::destructive, Role::secondary, Role::destructive} << QStringList{"D1", "D2"}
        << QStringList{"P", "S"};
}

void TestBanners::actionOrderByRole()
{
    QFETCH(QStringList, names);
    QFETCH(QList<Role>, roles);
    QFETCH(QStringList, leading);
    QFETCH(QStringList, trailing);

    QList<BannerAction> actions;
    for (int i = 0; i < names.size(); ++i)
        actions << makeAction(names.at(i), roles.at(i));
    InAppBannerView withActions(makeBanner("Water", "Drink", actions), {});
    showAt(withActions, 700);

    const auto buttons = withActions.buttons();
    QCOMPARE(titles(buttons), leading + trailing);

    const QRect card = withActions.cardRect();
    QCOMPARE(card.width(), 560);
    const int gap = int(LayoutTokens::spacingSM);
    int x = card.left() + int(LayoutTokens::spacingXL);
    for (int i = 0; i < leading.size(); ++i) {
        QCOMPARE(buttons.at(i)->x(), x);
        x += buttons.at(i)->width() + gap;
    }
    int right = card.left() + card.width() - int(LayoutTokens::spacingXL);
    for (int i = int(buttons.size()) - 1; i >= int(leading.size()); --i) {
        QCOMPARE(buttons.at(i)->x() + buttons.at(i)->width(), right);
        right -= buttons.at(i)->width() + gap;
    }
    for (const auto *b : buttons) {
        QCOMPARE(b->height(), 36);
        QCOMPARE(b->y() + b->height() + int(LayoutTokens::spacingLG), card.bottom() + 1);
    }
}

void TestBanners::okWhenNoActions()
{
    int dismissed = 0;
    InAppBannerView view(makeBanner("Water", "Drink"), [&dismissed] { ++dismissed; });
    showAt(view, 560);
    QCOMPARE(titles(view.buttons()), QStringList{"OK"});
    QAbstractButton *ok = view.buttons().first();
    QCOMPARE(ok->accessibleName(), QString("OK"));
    QCOMPARE(ok->x() + ok->width(), 560 - int(LayoutTokens::spacingXL));

    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dismissed, 1);
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dismissed, 1);
}

void TestBanners::slotHoldsTheCardOnly_data()
{
    QTest::addColumn<int>("hostWidth");
    QTest::addColumn<int>("cardLeft");
    QTest::addColumn<int>("cardWidth");
    QTest::newRow("narrowest window") << 700 << 70 << 560;
    QTest::newRow("usual window") << 860 << 150 << 560;
    QTest::newRow("wide window") << 1400 << 420 << 560;
    QTest::newRow("narrower than a card") << 400 << 32 << 336;
}

void TestBanners::slotHoldsTheCardOnly()
{
    QFETCH(int, hostWidth);
    QFETCH(int, cardLeft);
    QFETCH(int, cardWidth);
    QWidget host;
    host.resize(hostWidth, 400);
    auto *view = new InAppBannerView(makeBanner("Water", "Drink"), [] {});
    QPointer<InAppBannerSlot> slot = new InAppBannerSlot(view, &host);
    host.show();
    const QRect card(cardLeft, 8, cardWidth, InAppBannerView::cardHeight(view->banner(), cardWidth));
    QCOMPARE(slot->geometry(), card);
    QCOMPARE(view->geometry(), QRect(QPoint(), card.size()));
    QCOMPARE(slot->scale(), 1.0);

    // Beside the card the host keeps its clicks; on its way out the card lets them through too.
    QCOMPARE(host.childAt(card.left() - 1, card.center().y()), nullptr);
    QCOMPARE(host.childAt(card.right() + 1, card.center().y()), nullptr);
    QVERIFY(host.childAt(card.center()));
    Motion::setAnimationsEnabled(true);
    slot->leave();
    QVERIFY(slot);
    QCOMPARE(host.childAt(card.center()), nullptr);
    Motion::setAnimationsEnabled(false);
    QTRY_VERIFY(!slot);
}

void TestBanners::handlerRunsThenDismisses_data()
{
    QTest::addColumn<bool>("floating");
    QTest::newRow("in-window banner") << false;
    QTest::newRow("floating panel") << true;
}

void TestBanners::handlerRunsThenDismisses()
{
    QFETCH(bool, floating);
    BannerManager &manager = *m_manager;
    QStringList log;
    QPointer<FloatingBannerPanel> panel;
    auto stillShown = [&] { return floating ? bool(panel && panel->isVisible()) : manager.current().has_value(); };
    QList<BannerAction> actions = {
        makeAction("Skip", Role::destructive, [&] { log << "Skip"; }),
        makeAction("Done", Role::primary, [&] { log << (stillShown() ? "Done while shown" : "Done after"); })};
    std::unique_ptr<InAppBannerView> inWindow;
    InAppBannerView *view = nullptr;
    // An older banner was in the other place; the new one replaced it.
    if (floating) {
        manager.present("Other", "Other", BannerStyle::reminder, reminderActions());
        manager.showFloating("Water", "Drink", BannerStyle::reminder, actions);
        panel = manager.floatingPanel();
        view = panel->bannerView();
    } else {
        manager.showFloating("Other", "Other", BannerStyle::reminder, reminderActions());
        manager.present("Water", "Drink", BannerStyle::reminder, actions);
        inWindow = std::make_unique<InAppBannerView>(*manager.current(), [&manager] { manager.dismiss(); });
        showAt(*inWindow, 600);
        view = inWindow.get();
    }
    connect(&manager, &BannerManager::currentChanged, this, [&] {
        if (!manager.current())
            log << "dismissed";
    });

    QAbstractButton *done = buttonTitled(*view, "Done");
    QVERIFY(done);
    QTest::mouseClick(done, Qt::LeftButton);
    QCOMPARE(log, (QStringList{"Done while shown", "dismissed"}));
    QVERIFY(!manager.current());
    QCOMPARE(manager.floatingPanel(), nullptr);
    if (floating)
        QVERIFY(!panel || !panel->isVisible());

    // The same card cannot be answered twice while it goes away.
    if (floating ? bool(panel) : true) {
        QTest::mouseClick(buttonTitled(*view, "Skip"), Qt::LeftButton);
        QCOMPARE(log.size(), 2);
    }
    flushDeletes();
    QVERIFY(!panel);
}

void TestBanners::panelPlacementIsPureAndUsesTheAvailableArea_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("start");
    QTest::addColumn<QRect>("target");

    QTest::newRow("second display to the right")
        << QRect(1920, 30, 1280, 994) << 170 << QRect(2280, -152, 560, 170) << QRect(2280, 50, 560, 170);
    QTest::newRow("dock on the left") << QRect(80, 25, 1360, 875) << 140 << QRect(480, -127, 560, 140)
                                      << QRect(480, 45, 560, 140);
    QTest::newRow("display to the left") << QRect(-1280, 0, 1280, 1024) << 170 << QRect(-920, -182, 560, 170)
                                         << QRect(-920, 20, 560, 170);
}

void TestBanners::panelPlacementIsPureAndUsesTheAvailableArea()
{
    QFETCH(QRect, available);
    QFETCH(int, height);
    QFETCH(QRect, start);
    QFETCH(QRect, target);
    const auto placement = FloatingBannerPanel::placement(available, height);
    QCOMPARE(placement.start, start);
    QCOMPARE(placement.target, target);
    // The start lies wholly above the available area; the resting place is centred on it.
    QVERIFY(placement.start.bottom() < available.top());
    QCOMPARE(placement.target.center().x(), available.center().x());
}

void TestBanners::panelWithoutScreenShowsAtOnce()
{
    Motion::setAnimationsEnabled(true);
    FloatingBannerPanel panel(makeBanner("Water", "Drink"), {});
    const QPoint before = panel.pos();
    panel.appear(nullptr);
    QVERIFY(panel.isVisible());
    QVERIFY(!panel.isSliding());
    QCOMPARE(panel.windowOpacity(), 1.0);
    QCOMPARE(panel.pos(), before);
    panel.orderOut();
    QVERIFY(!panel.isVisible());
}

void TestBanners::panelShapeFollowsCompositing_data()
{
    QTest::addColumn<bool>("composited");
    QTest::newRow("compositing manager: translucent, no cut") << true;
    QTest::newRow("no compositing manager: cut to the card") << false;
}

void TestBanners::panelShapeFollowsCompositing()
{
    QFETCH(bool, composited);
    DesktopCompositing::setProbe([composited](const QScreen *) { return composited; });
    m_manager->showFloating("Water", "Drink", BannerStyle::reminder, reminderActions());
    FloatingBannerPanel *panel = m_manager->floatingPanel();
    QVERIFY(panel);
    QCOMPARE(panel->testAttribute(Qt::WA_TranslucentBackground), composited);
    const QRegion mask = panel->mask();
    QCOMPARE(mask.isEmpty(), composited);
    if (composited)
        return;
    const QRect card = panel->bannerView()->cardRect();
    QCOMPARE(card, panel->rect());
    const int r = int(LayoutTokens::radiusLG);
    for (const QPoint corner : {card.topLeft(), card.topRight(), card.bottomLeft(), card.bottomRight()})
        QVERIFY2(!mask.contains(corner), qPrintable(QStringLiteral("corner %1,%2").arg(corner.x()).arg(corner.y())));
    for (const QPoint inside :
         {card.center(), QPoint(card.left(), card.center().y()), QPoint(card.right(), card.center().y()),
          QPoint(card.left() + r, card.top()), QPoint(card.right() - r, card.bottom())})
        QVERIFY2(mask.contains(inside), qPrintable(QStringLiteral("inside %1,%2").arg(inside.x()).arg(inside.y())));
}

void TestBanners::compositingIsTheSelectionOwner()
{
    // The real desktop query; only an X11 display has the selection (run with QT_QPA_PLATFORM=xcb).
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("Needs an X11 display");
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11->connection();
    QWidget owner;
    owner.winId();
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.indexOf('.', display.lastIndexOf(':'));
    const QByteArray name = "_NET_WM_CM_S" + (dot < 0 ? QByteArray("0") : display.mid(dot + 1));
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    QVERIFY(atom);
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    xcb_get_selection_owner_reply_t *current =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool taken = current && current->owner != XCB_NONE;
    std::free(current);
    if (taken)
        QSKIP("A compositing manager runs on this display; its selection is left alone");
    const auto own = [&](xcb_window_t window) {
        xcb_set_selection_owner(connection, window, selection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    };
    const auto shapeShown = [&](bool composited) {
        m_manager->showFloating("Water", "Drink", BannerStyle::reminder, reminderActions());
        const FloatingBannerPanel *panel = m_manager->floatingPanel();
        return panel->testAttribute(Qt::WA_TranslucentBackground) == composited &&
               panel->mask().isEmpty() == composited;
    };

    own(XCB_NONE);
    QVERIFY(!DesktopCompositing::isActive(QGuiApplication::primaryScreen()));
    QVERIFY(shapeShown(false));
    own(xcb_window_t(owner.winId()));
    QVERIFY(DesktopCompositing::isActive(QGuiApplication::primaryScreen()));
    QVERIFY(shapeShown(true));
    own(XCB_NONE);
}

void TestBanners::galleryRenders()
{
    WarningGuard warnings;
    QStringList names;
    registerBannerGallery([&names](const QString &name, std::function<QWidget *()> make) {
        names << name;
        std::unique_ptr<QWidget> widget(make());
        QVERIFY(widget);
        QVERIFY(!widget->size().isEmpty());
        QImage image(widget->size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(QColor(0xEE, 0xEE, 0xEE));
        widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QString dir = qEnvironmentVariable("OVLIN_BANNER_RENDER_DIR");
        if (!dir.isEmpty()) {
            QString file = name;
            file.replace(QRegularExpression("[^A-Za-z0-9]+"), "-");
            image.save(QDir(dir).filePath(file.toLower() + ".png"));
        }
    });
    QCOMPARE(names, (QStringList{"In-app banner, three actions", "In-app banner, two actions",
                                 "Floating banner panel, three actions", "Floating banner panel, two actions"}));
    QCOMPARE(warnings.messages(), QStringList{});
}

QTEST_MAIN(TestBanners)
#include "tst_banners.moc"
