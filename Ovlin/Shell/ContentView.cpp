#include "Shell/ContentView.h"

#include "Banners/BannerManager.h"
#include "Banners/CelebrationManager.h"
#include "Banners/CelebrationOverlay.h"
#include "Banners/InAppBannerSlot.h"
#include "Banners/InAppBannerView.h"
#include "Base/Clock.h"
#include "Base/MainThread.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/FocusOrder.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Engine/ReminderBehaviorService.h"
#include "Model/AppSettings.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Shell/AppDelegate.h"
#include "Shell/OnboardingView.h"
#include "Shell/SheetDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

namespace ovlin {

QString tabTitle(OvlinTab tab)
{
    switch (tab) {
    case OvlinTab::reminders: return QStringLiteral("Home");
    case OvlinTab::habits: return QStringLiteral("Habits");
    case OvlinTab::milestones: return QStringLiteral("Rewards");
    case OvlinTab::settings: return QStringLiteral("Settings");
    }
    return {};
}

QString tabSymbol(OvlinTab tab)
{
    switch (tab) {
    case OvlinTab::reminders: return QStringLiteral("house.fill");
    case OvlinTab::habits: return QStringLiteral("list.bullet");
    case OvlinTab::milestones: return QStringLiteral("trophy.fill");
    case OvlinTab::settings: return QStringLiteral("gearshape.fill");
    }
    return {};
}

namespace {

double lineHeight(const QFont &font)
{
    const QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

// The logo, fitted to a height of 20 and set on the leading edge.
class SidebarLogo : public QWidget
{
public:
    explicit SidebarLogo(QWidget *parent = nullptr) : QWidget(parent)
    {
        setFixedHeight(20);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(QStringLiteral("Ovlin"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        ImageAssets::paint(p, QRectF(rect()), QStringLiteral("OvlinLogo"), Qt::KeepAspectRatio,
                           Qt::AlignLeft | Qt::AlignVCenter);
    }
};

// "New habit": a white, outlined, full-width button with a plus.
class NewHabitButton : public QAbstractButton
{
public:
    explicit NewHabitButton(QWidget *parent = nullptr) : QAbstractButton(parent)
    {
        setText(QStringLiteral("New habit"));
        setAccessibleName(text());
        setFixedHeight(int(LayoutTokens::controlHeightMedium));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Painting::fillRounded(p, r, LayoutTokens::radiusMD, ThemeColors::surface());
        Painting::strokeInside(p, r, LayoutTokens::radiusMD, ThemeColors::border());
        if (KeyboardFocus::hasRing(this))
            Painting::strokeInside(p, r, LayoutTokens::radiusMD, Painting::withOpacity(ThemeColors::primaryDark(), 0.5),
                                   2);
        // A plain button only dims its label while pressed.
        p.setOpacity(isDown() ? 0.6 : 1.0);
        const QFont &font = ThemeFonts::bodyEmphasis();
        const double icon = IconRegistry::symbolSize(font);
        const double textWidth = QFontMetricsF(font).horizontalAdvance(text());
        const double total = icon + LayoutTokens::spacingXS + textWidth;
        const double x = (r.width() - total) / 2.0;
        IconRegistry::paint(p, QRectF(x, (r.height() - icon) / 2.0, icon, icon), QStringLiteral("plus"),
                            ThemeColors::textPrimary());
        p.setFont(font);
        p.setPen(ThemeColors::textPrimary());
        p.drawText(QRectF(x + icon + LayoutTokens::spacingXS, 0, textWidth + 1, r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text());
    }
    QSize sizeHint() const override
    {
        return {int(LayoutTokens::sidebarWidth), int(LayoutTokens::controlHeightMedium)};
    }
};

// One tab row: symbol, title, highlight when selected. The whole row including its side margins reacts.
class TabRow : public QAbstractButton
{
public:
    TabRow(OvlinTab tab, QWidget *parent = nullptr) : QAbstractButton(parent), m_tab(tab)
    {
        setText(tabTitle(tab));
        setAccessibleName(text());
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFocusPolicy(Qt::TabFocus);
        setFixedHeight(rowHeight());
    }

    OvlinTab tab() const { return m_tab; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected)
    {
        if (selected == m_selected)
            return;
        m_selected = selected;
        // The platform's "selected" state for assistive technology.
        setCheckable(true);
        setChecked(selected);
        setFixedHeight(rowHeight());
        update();
    }

    static int rowHeightFor(bool selected)
    {
        const QFont &font = selected ? ThemeFonts::bodyEmphasis() : ThemeFonts::body();
        return int(std::ceil(2 * LayoutTokens::spacingMD +
                             std::max(lineHeight(font), IconRegistry::symbolSize(ThemeFonts::tabIcon()))));
    }
    QSize sizeHint() const override { return {int(LayoutTokens::sidebarWidth), rowHeight()}; }

protected:
    void nextCheckState() override {}

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(LayoutTokens::spacingSM, 0, -LayoutTokens::spacingSM, 0);
        if (m_selected) {
            Painting::fillRounded(p, r, LayoutTokens::radiusMD, ThemeColors::neutral100());
            Painting::strokeInside(p, r, LayoutTokens::radiusMD, ThemeColors::neutral200());
        }
        if (KeyboardFocus::hasRing(this))
            Painting::strokeInside(p, r, LayoutTokens::radiusMD, Painting::withOpacity(ThemeColors::primaryDark(), 0.5),
                                   2);
        if (isDown())
            p.setOpacity(0.6);
        const double left = r.left() + LayoutTokens::spacingLG;
        const double icon = IconRegistry::symbolSize(ThemeFonts::tabIcon());
        IconRegistry::paint(p, QRectF(left + (20 - icon) / 2.0, (height() - icon) / 2.0, icon, icon), tabSymbol(m_tab),
                            m_selected ? ThemeColors::textPrimary() : ThemeColors::tabIconInactive());
        const QFont &font = m_selected ? ThemeFonts::bodyEmphasis() : ThemeFonts::body();
        p.setFont(font);
        p.setPen(m_selected ? ThemeColors::textPrimary() : ThemeColors::tabLabelInactive());
        const double textLeft = left + 20 + LayoutTokens::spacingSM;
        p.drawText(QRectF(textLeft, 0, std::max(0.0, r.right() - LayoutTokens::spacingLG - textLeft), height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    int rowHeight() const { return rowHeightFor(m_selected); }

    OvlinTab m_tab;
    bool m_selected = false;
};

// The sidebar's white, rounded panel.
class SidebarPanel : public QWidget
{
public:
    explicit SidebarPanel(QWidget *parent = nullptr) : QWidget(parent)
    {
        setFixedWidth(int(LayoutTokens::sidebarWidth));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Painting::fillRounded(p, QRectF(rect()), LayoutTokens::radiusLG, ThemeColors::sidebarBackground());
    }
};

// A screen whose implementation is not part of this build yet.
class PlaceholderScreen : public QWidget
{
public:
    explicit PlaceholderScreen(QString title, QWidget *parent = nullptr) : QWidget(parent), m_title(std::move(title)) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setFont(ThemeFonts::heading());
        p.setPen(ThemeColors::textSecondary());
        p.drawText(rect(), Qt::AlignCenter, m_title);
    }

private:
    QString m_title;
};

} // namespace

ContentView::ContentView(StoreContext *modelContext, std::shared_ptr<ShellServices> services, QWidget *parent)
    : QWidget(parent), m_modelContext(modelContext), m_services(std::move(services)),
      m_allMilestones(new LiveQuery<Milestone>(modelContext, {}, {}, this)),
      m_allReminders(new LiveQuery<Reminder>(modelContext, {}, {}, this)),
      m_allLogs(new LiveQuery<ReminderLog>(modelContext, {}, {}, this)),
      m_showOnboarding(!AppSettings::shared().hasCompletedOnboarding()),
      m_celebrationManager(new CelebrationManager(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ThemeColors::background());
    setPalette(pal);

    auto *row = new QHBoxLayout(this);
    const int margin = int(LayoutTokens::spacingSM);
    row->setContentsMargins(margin, margin, margin, margin);
    row->setSpacing(int(LayoutTokens::spacingSM));
    buildSidebar();
    row->addWidget(m_sidebar);
    m_tabContent = new QWidget;
    m_tabContent->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_tabLayout = new QVBoxLayout(m_tabContent);
    m_tabLayout->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_tabContent, 1);

    m_celebrationOverlay = new CelebrationOverlay(m_celebrationManager, this);

    m_screen = makeScreen(m_selectedTab);
    m_tabLayout->addWidget(m_screen);
    updateTabRows();

    connect(m_allReminders, &LiveQueryBase::resultChanged, this, &ContentView::onRemindersOrLogsChange);
    connect(m_allLogs, &LiveQueryBase::resultChanged, this, &ContentView::onRemindersOrLogsChange);
    connect(m_allMilestones, &LiveQueryBase::resultChanged, this, &ContentView::onMilestonesChange);
    connect(&AppSettings::shared(), &AppSettings::changed, this, [this](const QString &key) {
        if (key == QLatin1String("hasCompletedOnboarding"))
            onOnboardingFlagChange();
    });
    connect(&BannerManager::shared(), &BannerManager::currentChanged, this, &ContentView::updateBanner);
    updateBanner();
    placeOverlays();
}

void ContentView::setStoreNotice(const QString &text)
{
    if (!m_storeNotice) {
        m_storeNotice = new QLabel(m_tabContent);
        m_storeNotice->setObjectName(QStringLiteral("storeNotice"));
        m_storeNotice->setTextFormat(Qt::PlainText);
        m_storeNotice->setWordWrap(true);
        m_storeNotice->setFont(ThemeFonts::caption());
        QColor tint = ThemeColors::amber500();
        tint.setAlphaF(0.14);
        m_storeNotice->setStyleSheet(
            QStringLiteral("QLabel { background: %1; color: %2; border: 1px solid %3; "
                           "border-radius: %4px; padding: %5px %6px; }")
                .arg(tint.name(QColor::HexArgb), ThemeColors::textPrimary().name(), ThemeColors::amber500().name())
                .arg(LayoutTokens::radiusSM)
                .arg(LayoutTokens::spacingXS)
                .arg(LayoutTokens::spacingSM));
        m_tabLayout->insertWidget(0, m_storeNotice);
    }
    m_storeNotice->setText(text);
    m_storeNotice->setVisible(!text.isEmpty());
}

ContentView::~ContentView()
{
    // The sheets are separate windows: take them down with the view.
    for (SheetDialog *sheet : {m_onboardingSheet.data(), m_newHabitSheet.data(), m_editorSheet.data()})
        delete sheet;
}

QWidget *ContentView::makeScreen(OvlinTab tab) const
{
    QWidget *screen = m_services->makeScreen ? m_services->makeScreen(tab, environment()) : nullptr;
    return screen ? screen : new PlaceholderScreen(tabTitle(tab));
}

ScreenEnvironment ContentView::environment() const
{
    // Asked from inside a screen's own handler: the sheet opens after it.
    QPointer<ContentView> self(const_cast<ContentView *>(this));
    ScreenEnvironment env{m_modelContext, m_celebrationManager, {}, {}};
    env.requestNewHabit = [self] {
        QTimer::singleShot(0, self, [self] {
            if (self)
                self->setShowNewHabitSheet(true);
        });
    };
    env.requestEdit = [self](const std::shared_ptr<Reminder> &reminder) {
        QTimer::singleShot(0, self, [self, reminder] {
            if (self)
                self->presentReminderEditor(reminder);
        });
    };
    return env;
}

void ContentView::buildSidebar()
{
    m_sidebar = new SidebarPanel;
    auto *column = new QVBoxLayout(m_sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *logoBox = new QWidget;
    auto *logoLayout = new QVBoxLayout(logoBox);
    logoLayout->setContentsMargins(int(LayoutTokens::spacingLG), 28, int(LayoutTokens::spacingLG),
                                   int(LayoutTokens::spacingXXL));
    logoLayout->addWidget(new SidebarLogo);
    column->addWidget(logoBox);

    auto *buttonBox = new QWidget;
    auto *buttonLayout = new QVBoxLayout(buttonBox);
    buttonLayout->setContentsMargins(int(LayoutTokens::spacingSM), 0, int(LayoutTokens::spacingSM), 0);
    m_newHabitButton = new NewHabitButton;
    connect(m_newHabitButton, &QAbstractButton::clicked, this, [this] {
        OVLIN_ASSERT_MAIN_THREAD();
        setShowNewHabitSheet(true);
    });
    buttonLayout->addWidget(m_newHabitButton);
    column->addWidget(buttonBox);

    auto *rowsBox = new QWidget;
    auto *rows = new QVBoxLayout(rowsBox);
    rows->setContentsMargins(0, int(LayoutTokens::spacingXL), 0, 0);
    rows->setSpacing(int(LayoutTokens::spacingXS));
    column->addWidget(rowsBox);
    for (OvlinTab tab : allOvlinTabs) {
        auto *tabRow = new TabRow(tab);
        m_tabRows[size_t(tab)] = tabRow;
        connect(tabRow, &QAbstractButton::clicked, this, [this, tab] {
            OVLIN_ASSERT_MAIN_THREAD();
            selectTab(tab);
        });
        if (tab != OvlinTab::settings)
            rows->addWidget(tabRow);
    }

    column->addStretch(1);
    auto *dividerBox = new QWidget;
    auto *dividerLayout = new QVBoxLayout(dividerBox);
    dividerLayout->setContentsMargins(int(LayoutTokens::spacingLG), 0, int(LayoutTokens::spacingLG),
                                      int(LayoutTokens::spacingXS));
    dividerLayout->addWidget(new DividerLine);
    column->addWidget(dividerBox);

    auto *settingsBox = new QWidget;
    auto *settingsLayout = new QVBoxLayout(settingsBox);
    settingsLayout->setContentsMargins(0, 0, 0, int(LayoutTokens::spacingXXL));
    settingsLayout->addWidget(m_tabRows[size_t(OvlinTab::settings)]);
    column->addWidget(settingsBox);
}

QAbstractButton *ContentView::tabRow(OvlinTab tab) const
{
    return m_tabRows[size_t(tab)];
}

void ContentView::updateTabRows()
{
    for (OvlinTab tab : allOvlinTabs)
        static_cast<TabRow *>(m_tabRows[size_t(tab)])->setSelected(tab == m_selectedTab);
}

void ContentView::selectTab(OvlinTab tab)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (tab == m_selectedTab)
        return;
    m_selectedTab = tab;
    // The screen that is left goes with its state; it may be the sender of the current event.
    if (m_screen) {
        m_tabLayout->removeWidget(m_screen);
        m_screen->hide();
        m_screen->deleteLater();
    }
    m_screen = makeScreen(tab);
    m_tabLayout->addWidget(m_screen);
    m_screen->show();
    updateTabRows();
}

void ContentView::setShowOnboarding(bool show)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_showOnboarding = show;
    syncSheets();
}

void ContentView::setShowNewHabitSheet(bool show)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_showNewHabitSheet = show;
    syncSheets();
}

void ContentView::presentReminderEditor(const std::shared_ptr<Reminder> &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_editorSheet || !isVisible())
        return;
    QPointer<ContentView> self(this);
    m_editorSheet = presentEditorSheet(reminder, [self] {
        if (self && self->m_editorSheet)
            self->m_editorSheet->closeSheet();
    });
}

SheetDialog *ContentView::presentEditorSheet(const std::shared_ptr<Reminder> &existing, std::function<void()> onDone)
{
    QWidget *form =
        m_services->makeReminderForm ? m_services->makeReminderForm(environment(), existing, onDone) : nullptr;
    if (!form)
        return nullptr;
    auto *sheet = new SheetDialog(form, window());
    sheet->present();
    return sheet;
}

void ContentView::syncSheets()
{
    // Sheets hang on the window: nothing is presented before it is on screen.
    if (!isVisible())
        return;
    if (m_showOnboarding && !m_onboardingSheet) {
        QPointer<ContentView> self(this);
        auto *onboarding = new OnboardingView(Binding<bool>{[self] { return self && self->m_showOnboarding; },
                                                            [self](const bool &value) {
                                                                if (self)
                                                                    self->setShowOnboarding(value);
                                                            }},
                                              m_services->sendSignal);
        m_onboardingSheet = new SheetDialog(onboarding, window());
        m_onboardingSheet->present();
    } else if (!m_showOnboarding && m_onboardingSheet) {
        m_onboardingSheet->closeSheet();
        m_onboardingSheet.clear();
    }

    if (m_showNewHabitSheet && !m_newHabitSheet) {
        QPointer<ContentView> self(this);
        m_newHabitSheet = presentEditorSheet(nullptr, [self] {
            if (self)
                self->setShowNewHabitSheet(false);
        });
        if (!m_newHabitSheet)
            m_showNewHabitSheet = false;
    } else if (!m_showNewHabitSheet && m_newHabitSheet) {
        m_newHabitSheet->closeSheet();
        m_newHabitSheet.clear();
    }
}

InAppBannerView *ContentView::bannerView() const
{
    return m_bannerSlot && !m_bannerSlot->isLeaving() ? m_bannerSlot->view() : nullptr;
}

void ContentView::updateBanner()
{
    OVLIN_ASSERT_MAIN_THREAD();
    BannerManager &manager = BannerManager::shared();
    const std::optional<BannerData> &current = manager.current();
    if (current && m_bannerSlot && !m_bannerSlot->isLeaving() && m_bannerSlot->view()->banner().id == current->id)
        return;
    if (m_bannerSlot) {
        // An answer or Escape from the keyboard: the focus goes on to the window's next stop, ring and all,
        // rather than nowhere as the banner's buttons are disabled.
        QWidget *focus = QApplication::focusWidget();
        if (focus && m_bannerSlot->isAncestorOf(focus)) {
            const bool ring = KeyboardFocus::hasRing(focus);
            const QList<QWidget *> order = FocusOrder::stops(this);
            QWidget *next = nullptr;
            for (qsizetype i = order.indexOf(focus) + 1; i < order.size() && !next; ++i) {
                if (!m_bannerSlot->isAncestorOf(order.at(i)))
                    next = order.at(i);
            }
            if (next)
                KeyboardFocus::handOver(next, ring);
        }
        m_bannerSlot->leave();
        m_bannerSlot.clear();
    }
    if (current) {
        auto *view = new InAppBannerView(*current, [] { BannerManager::shared().dismiss(); });
        // In the window the keyboard reaches the banner: first in the Tab order, as it is on top.
        view->setKeyboardReachable(true);
        m_bannerSlot = new InAppBannerSlot(view, this);
        m_bannerSlots.append(m_bannerSlot);
        m_bannerSlot->show();
    }
    placeOverlays();
}

void ContentView::placeOverlays()
{
    m_bannerSlots.removeAll(nullptr);
    for (const QPointer<InAppBannerSlot> &slot : std::as_const(m_bannerSlots)) {
        slot->place();
        slot->raise();
    }
    m_celebrationOverlay->setGeometry(rect());
    m_celebrationOverlay->raise();
}

// Tab follows the screen, not the order in which widgets were made.
bool ContentView::focusNextPrevChild(bool next)
{
    return FocusOrder::focusNext(this, next) || QWidget::focusNextPrevChild(next);
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    placeOverlays();
    syncSheets();
    if (m_appeared)
        return;
    m_appeared = true;
    if (!m_deferAppearance) {
        firstAppearance();
        return;
    }
    // Nothing that can wait keeps the first frame off the screen: the rest follows once it is there.
    if (QWindow *handle = windowHandle(); handle && !handle->isExposed())
        handle->installEventFilter(this);
    else
        QMetaObject::invokeMethod(this, &ContentView::firstAppearance, Qt::QueuedConnection);
    m_appearanceQueued = true;
    // Not drawn at all (a window that starts minimised): go on after a moment anyway.
    QTimer::singleShot(1000, this, [this] {
        if (m_appearanceQueued)
            firstAppearance();
    });
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        // After the frame that this exposure draws.
        QMetaObject::invokeMethod(this, &ContentView::firstAppearance, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::deferFirstAppearance(std::function<void()> beforeAppearance)
{
    m_deferAppearance = true;
    m_beforeAppearance = std::move(beforeAppearance);
}

void ContentView::firstAppearance()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_deferAppearance && !m_appearanceQueued)
        return;
    m_appearanceQueued = false;
    if (QWindow *handle = windowHandle())
        handle->removeEventFilter(this);
    if (const auto before = std::exchange(m_beforeAppearance, nullptr))
        before();
    appearTask();
    Q_EMIT appeared();
}

void ContentView::appearTask()
{
    OVLIN_ASSERT_MAIN_THREAD();
    evaluateMilestones(true);
    syncMenuBarMirror();
    refreshMenuBarIcon();
}

void ContentView::onRemindersOrLogsChange()
{
    OVLIN_ASSERT_MAIN_THREAD();
    evaluateMilestones(false);
    syncMenuBarMirror();
    refreshMenuBarIcon();
}

void ContentView::onMilestonesChange()
{
    OVLIN_ASSERT_MAIN_THREAD();
    evaluateMilestones(false);
    syncMenuBarMirror();
}

void ContentView::onOnboardingFlagChange()
{
    OVLIN_ASSERT_MAIN_THREAD();
    setShowOnboarding(!AppSettings::shared().hasCompletedOnboarding());
}

void ContentView::evaluateMilestones(bool notify)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_services->evaluateMilestones || !m_modelContext)
        return;
    QList<std::shared_ptr<Milestone>> open;
    for (const auto &milestone : m_allMilestones->result()) {
        const QString status = milestone->statusRaw();
        // Text that names no state counts as active.
        if (status != QLatin1String("achieved") && status != QLatin1String("failed"))
            open.append(milestone);
    }
    m_services->evaluateMilestones(open, m_allReminders->result(), m_allLogs->result(), *m_modelContext, notify);
}

void ContentView::syncMenuBarMirror()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_services->updateMenuBarMirror)
        m_services->updateMenuBarMirror(m_allReminders->result(), m_allLogs->result(), m_allMilestones->result());
}

void ContentView::refreshMenuBarIcon()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const ReminderBehaviorService &behavior = ReminderBehaviorService::shared();
    const QDateTime now = Clock::now();
    const QList<std::shared_ptr<Reminder>> today = behavior.remindersScheduled(now, m_allReminders->result());
    int completed = 0;
    for (const auto &reminder : today) {
        if (behavior.resolution(*reminder, now) == ReminderBehaviorService::Resolution::completed)
            ++completed;
    }
    int overdue = 0;
    for (const auto &reminder : today) {
        if (behavior.resolution(*reminder, now) == ReminderBehaviorService::Resolution::pending &&
            m_services->isOverdue && m_services->isOverdue(*reminder, Clock::now()))
            ++overdue;
    }
    const double progress = today.isEmpty() ? 0.0 : double(completed) / double(today.size());

    AppDelegate *delegate = AppDelegate::current();
    if (!delegate || !delegate->menuBarController())
        return;
    delegate->menuBarController()->updateIcon(overdue > 0, overdue, progress);
}

} // namespace ovlin
