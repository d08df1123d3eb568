#include "MenuBar/MenuBarPopoverView.h"

#include "Base/Clock.h"
#include "Base/MainThread.h"
#include "Base/Uuid.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/ActivitySpinner.h"
#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/CheckOffButton.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/DoubleClickGuard.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Engine/ReminderBehaviorService.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/StoreContext.h"
#include "ScreenParts/MilestoneCard.h"
#include "ScreenParts/ReminderListViewModel.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QShowEvent>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace ovlin {

namespace {

constexpr double kHeaderRingSize = 20;
constexpr double kHeaderRingLineWidth = 2.5;
constexpr double kIllustrationSide = 72;
constexpr double kBadgeRingSize = 52;
constexpr double kBadgeRingLineWidth = 4;
constexpr int kBadgeCheckPixelSize = 16;
constexpr double kCheckOffSize = 24;
constexpr int kActionLineIndent = 34;
constexpr double kCompletedRowOpacity = 0.55;
constexpr double kSkippedRowOpacity = 0.82;
constexpr double kSkippedCheckOpacity = 0.65;
constexpr double kChipFillOpacity = 0.12;

int px(double length)
{
    return int(std::lround(length));
}

QVBoxLayout *vstack(QWidget *owner, double spacing, int horizontal = 0, int vertical = 0)
{
    auto *layout = new QVBoxLayout(owner);
    layout->setSpacing(px(spacing));
    layout->setContentsMargins(horizontal, vertical, horizontal, vertical);
    return layout;
}

OvlinText *text(const QString &content, const QFont &font, const QColor &color, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *label = new OvlinText(content, font, color);
    label->setAlignment(alignment | Qt::AlignTop);
    return label;
}

QString phrase(CopyTrigger trigger)
{
    return CopyEngine::shared().text(trigger, CopyContext{});
}

// A text button without chrome that dims while held down.
class PlainTextButton : public QAbstractButton
{
public:
    PlainTextButton(const QString &title, const QFont &font, const QColor &color) : m_font(font), m_color(color)
    {
        setText(title);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
    }

    QSize sizeHint() const override
    {
        // Room around the text for the keyboard ring.
        const QFontMetricsF fm(m_font);
        return QSize(int(std::ceil(fm.horizontalAdvance(text()) + 2 * LayoutTokens::spacingSM)),
                     int(std::ceil(fm.height() + 2 * LayoutTokens::spacingXS)));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setOpacity(isDown() ? 0.6 : 1.0);
        p.setFont(m_font);
        p.setPen(m_color);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
        p.setOpacity(1);
        p.setRenderHint(QPainter::Antialiasing);
        KeyboardFocus::paintRing(p, this, QRectF(rect()), LayoutTokens::radiusSM);
    }

private:
    QFont m_font;
    QColor m_color;
};

// A row action: its title in the caption font on a capsule of its own colour, 26 pixels high.
class ActionChip : public QAbstractButton
{
public:
    ActionChip(const QString &title, const QColor &textColor, const QColor &fill, std::function<void()> action)
        : m_textColor(textColor), m_fill(fill)
    {
        setText(title);
        setAccessibleName(title);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
            if (action)
                action();
        });
        // An answer redraws the rows at once: a double-click's second press would land on the next row.
        DoubleClickGuard::guard(this);
    }

    QSize sizeHint() const override
    {
        const QFontMetricsF fm(ThemeFonts::caption());
        const double width = fm.horizontalAdvance(text()) + 2 * LayoutTokens::spacingMD;
        return QSize(int(std::ceil(width)), px(LayoutTokens::popoverChipHeight));
    }

    QColor textColor() const { return m_textColor; }
    QColor fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setOpacity(isDown() ? 0.7 : 1.0);
        const QRectF r(rect());
        p.setPen(Qt::NoPen);
        p.setBrush(m_fill);
        p.drawPath(Painting::capsule(r));
        p.setFont(ThemeFonts::caption());
        p.setPen(m_textColor);
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text());
        p.setOpacity(1);
        KeyboardFocus::paintRing(p, this, r, r.height() / 2);
    }

private:
    QColor m_textColor;
    QColor m_fill;
};

// An image from the assets fitted into a fixed square; decoration only.
class Illustration : public QWidget
{
public:
    Illustration(const QString &name, double side) : m_name(name)
    {
        setFixedSize(px(side), px(side));
        setAccessibleName(QString());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        ImageAssets::paint(p, QRectF(rect()), m_name, Qt::KeepAspectRatio, Qt::AlignCenter);
    }

private:
    QString m_name;
};

// The all-done badge: a full ring with a check mark over its centre. Decoration only.
class AllDoneBadge : public QWidget
{
public:
    AllDoneBadge()
    {
        auto *ring = new ProgressRing(1.0, kBadgeRingSize, kBadgeRingLineWidth, ThemeColors::primary(),
                                      ThemeColors::surface(), true, this);
        ring->setAccessibleName(QString());
        setFixedSize(ring->sizeHint());
        // A later sibling paints over an earlier one: the mark lies on the ring.
        auto *mark = new CheckMark(this);
        mark->setGeometry(rect());
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

private:
    class CheckMark : public QWidget
    {
    public:
        explicit CheckMark(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

    protected:
        void paintEvent(QPaintEvent *) override
        {
            QPainter p(this);
            p.setRenderHint(QPainter::Antialiasing);
            const QFont font = ThemeFonts::font(ThemeFonts::Face::semiBold, kBadgeCheckPixelSize);
            const double side = IconRegistry::symbolSize(font);
            const QPointF c = QRectF(rect()).center();
            IconRegistry::paint(p, QRectF(c.x() - side / 2, c.y() - side / 2, side, side), QStringLiteral("checkmark"),
                                ThemeColors::primary());
        }
    };
};

// "<done> of <total> done" with the digits in cells of equal width, so counts do not shift the line.
class CountLine : public QWidget
{
public:
    explicit CountLine(const QString &content) : m_text(content)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setAccessibleName(content);
    }

    QSize sizeHint() const override
    {
        const QFontMetricsF fm(ThemeFonts::subheadline());
        return QSize(int(std::ceil(width(fm))), int(std::ceil(fm.height())));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(ThemeFonts::subheadline());
        p.setPen(ThemeColors::textSecondary());
        const QFontMetricsF fm(ThemeFonts::subheadline());
        double x = (QWidget::width() - width(fm)) / 2;
        const double baseline = (height() - fm.height()) / 2 + fm.ascent();
        const double cell = digitCell(fm);
        for (const QChar ch : m_text) {
            const QString glyph(ch);
            if (ch.isDigit()) {
                p.drawText(QPointF(x + (cell - fm.horizontalAdvance(glyph)) / 2, baseline), glyph);
                x += cell;
            } else {
                p.drawText(QPointF(x, baseline), glyph);
                x += fm.horizontalAdvance(glyph);
            }
        }
    }

private:
    static double digitCell(const QFontMetricsF &fm)
    {
        double cell = 0;
        for (char d = '0'; d <= '9'; ++d)
            cell = std::max(cell, fm.horizontalAdvance(QChar::fromLatin1(d)));
        return cell;
    }

    double width(const QFontMetricsF &fm) const
    {
        double w = 0;
        for (const QChar ch : m_text)
            w += ch.isDigit() ? digitCell(fm) : fm.horizontalAdvance(QString(ch));
        return w;
    }

    QString m_text;
};

// A scroll area as tall as its content wants (for the popover's fitting height); the popover's window
// may then give it less, and it scrolls.
class FittingScrollArea : public QScrollArea
{
public:
    FittingScrollArea()
    {
        setObjectName(QStringLiteral("MenuBarPopoverList"));
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        // Tab goes to the rows' controls, not to the area around them.
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        viewport()->setAutoFillBackground(false);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, ThemeColors::background());
        pal.setColor(QPalette::Base, ThemeColors::background());
        setPalette(pal);
    }

    QSize sizeHint() const override
    {
        const int w = int(LayoutTokens::popoverWidth);
        return QSize(w, heightForWidth(w));
    }
    QSize minimumSizeHint() const override { return QSize(0, 0); }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        QWidget *content = widget();
        if (!content)
            return 0;
        const int h = content->hasHeightForWidth() ? content->heightForWidth(width) : -1;
        return h >= 0 ? h : content->sizeHint().height();
    }
};

// The list inside the scroll area. The scroll area never makes it shorter than its minimum, so that
// minimum is the list's full height: rows keep their size and what does not fit scrolls. With a wrapped
// text in it, the scroll area itself asks for the height at the viewport's width; the layout's own
// minimum would count that text at its narrowest, far taller (a scroll bar and a gap under the last row).
class ListContent : public QWidget
{
public:
    QSize minimumSizeHint() const override
    {
        const QLayout *stack = layout();
        if (!stack || stack->hasHeightForWidth())
            return {0, 0};
        return {0, stack->totalSizeHint().height()};
    }
};

} // namespace

MenuBarPopoverView::MenuBarPopoverView(StoreContext *context, std::function<void()> onOpenMainWindow, QWidget *parent)
    : QWidget(parent), m_context(context), m_onOpenMainWindow(std::move(onOpenMainWindow)),
      m_layout(new QVBoxLayout(this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setObjectName(QStringLiteral("MenuBarPopoverView"));
    setFixedWidth(int(LayoutTokens::popoverWidth));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    // Until the model exists: only a busy indicator, 320 x 120.
    m_loading = new QWidget(this);
    m_loading->setFixedSize(int(LayoutTokens::popoverWidth), int(LayoutTokens::popoverMinHeight));
    auto *busyLayout = new QHBoxLayout(m_loading);
    auto *busy = new ActivitySpinner(ActivitySpinner::regularSide, m_loading);
    busy->setObjectName(QStringLiteral("MenuBarPopoverSpinner"));
    busyLayout->addWidget(busy, 0, Qt::AlignCenter);
    m_layout->addWidget(m_loading);

    if (m_context) {
        connect(m_context, &StoreContext::objectsChanged, this, [this](RecordTypes) { scheduleRedraw(); });
    }
}

void MenuBarPopoverView::makeQueries() const
{
    if (m_reminders)
        return;
    auto *self = const_cast<MenuBarPopoverView *>(this);
    m_reminders = std::make_unique<LiveQuery<Reminder>>(m_context);
    m_logs = std::make_unique<LiveQuery<ReminderLog>>(m_context);
    m_milestones = std::make_unique<LiveQuery<Milestone>>(m_context);
    for (LiveQueryBase *query :
         std::initializer_list<LiveQueryBase *>{m_reminders.get(), m_logs.get(), m_milestones.get()})
        connect(query, &LiveQueryBase::resultChanged, self, &MenuBarPopoverView::scheduleRedraw);
}

const LiveQuery<Reminder> &MenuBarPopoverView::reminderQuery() const
{
    makeQueries();
    return *m_reminders;
}

const LiveQuery<ReminderLog> &MenuBarPopoverView::logQuery() const
{
    makeQueries();
    return *m_logs;
}

const LiveQuery<Milestone> &MenuBarPopoverView::milestoneQuery() const
{
    makeQueries();
    return *m_milestones;
}

void MenuBarPopoverView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Closed, the popover keeps no queries: every change to the store would fetch them again for nothing.
    // The store's own notification still marks it for a fresh drawing when it next comes on screen.
    if (!event->spontaneous()) {
        m_reminders.reset();
        m_logs.reset();
        m_milestones.reset();
    }
}

MenuBarPopoverView::~MenuBarPopoverView() = default;

// ---- model ----

void MenuBarPopoverView::ensureViewModel()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_viewModel && m_context)
        m_viewModel = std::make_unique<ReminderListViewModel>(m_context);
}

void MenuBarPopoverView::syncViewModel()
{
    OVLIN_ASSERT_MAIN_THREAD();
    ensureViewModel();
    if (!m_viewModel)
        return;
    m_viewModel->refreshDate();
    m_viewModel->setReminders(reminderQuery().result());
    m_viewModel->setAllLogs(logQuery().result());
    m_viewModel->setMilestones(milestoneQuery().result());
    m_lastKey = refreshKey();
    Q_EMIT viewModelSynced();
}

double MenuBarPopoverView::progress() const
{
    if (!m_viewModel)
        return 0;
    const qsizetype today = m_viewModel->todaysReminders().size();
    if (today == 0)
        return 0;
    return double(m_viewModel->completedToday().size()) / double(today);
}

QColor MenuBarPopoverView::ringColor() const
{
    return m_viewModel && !m_viewModel->overdue().isEmpty() ? ThemeColors::destructive() : ThemeColors::primary();
}

QList<std::shared_ptr<Milestone>> MenuBarPopoverView::activeMilestones() const
{
    QList<std::shared_ptr<Milestone>> active;
    for (const auto &milestone : milestoneQuery().result()) {
        const QString status = milestone->statusRaw();
        if (status != rawValue(MilestoneStatus::achieved) && status != rawValue(MilestoneStatus::failed))
            active.append(milestone);
    }
    return active;
}

QString MenuBarPopoverView::progressAccessibilityLabel() const
{
    return QStringLiteral("Today's completion: %1%").arg(ProgressRing::percent(progress()));
}

// ---- refresh key ----

QString MenuBarPopoverView::secondsText(double seconds)
{
    if (!std::isfinite(seconds))
        return QString::number(seconds);
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QString::number(seconds, 'g', 17);
    QString out = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!out.contains(QLatin1Char('.')))
        out += QLatin1String(".0");
    return out;
}

QString MenuBarPopoverView::reminderSignature(const Reminder &reminder)
{
    return uuidText(reminder.id()) + QLatin1Char('-') + reminder.title() + QLatin1Char('-') +
           (reminder.isActive() ? QLatin1String("true") : QLatin1String("false")) + QLatin1Char('-') +
           rawValue(reminder.categoryValue());
}

QString MenuBarPopoverView::logSignature(const ReminderLog &log)
{
    const auto at = log.scheduledMSecs();
    const double seconds = at ? double(*at) / 1000.0 : 0.0;
    return uuidText(log.id()) + QLatin1Char('-') + rawValue(log.status()) + QLatin1Char('-') + secondsText(seconds);
}

QString MenuBarPopoverView::milestoneSignature(const Milestone &milestone)
{
    return uuidText(milestone.id()) + QLatin1Char('-') + milestone.name() + QLatin1Char('-') +
           rawValue(milestone.status());
}

QString MenuBarPopoverView::refreshKey() const
{
    QStringList reminders;
    for (const auto &reminder : reminderQuery().result())
        reminders.append(reminderSignature(*reminder));
    QStringList logs;
    for (const auto &log : logQuery().result())
        logs.append(logSignature(*log));
    QStringList milestones;
    for (const auto &milestone : milestoneQuery().result())
        milestones.append(milestoneSignature(*milestone));
    return reminders.join(QLatin1Char('|')) + QLatin1String("::") + logs.join(QLatin1Char('|')) + QLatin1String("::") +
           milestones.join(QLatin1Char('|'));
}

// ---- actions ----

void MenuBarPopoverView::markDone(const std::shared_ptr<Reminder> &reminder, bool rowWasCompleted)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The popover offers no way to take a completion back.
    if (rowWasCompleted)
        return;
    completeReminder(reminder);
}

void MenuBarPopoverView::completeReminder(const std::shared_ptr<Reminder> &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_viewModel && reminder)
        m_viewModel->complete(reminder, false);
}

void MenuBarPopoverView::skipReminder(const std::shared_ptr<Reminder> &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_viewModel && reminder)
        m_viewModel->skip(reminder);
}

void MenuBarPopoverView::undoReminder(const std::shared_ptr<Reminder> &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_viewModel && reminder)
        m_viewModel->undoSkip(reminder);
}

void MenuBarPopoverView::openMainWindow()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_onOpenMainWindow)
        m_onOpenMainWindow();
}

QString MenuBarPopoverView::statusWord(bool completed, bool overdue, bool skipped)
{
    if (completed)
        return QStringLiteral("completed");
    if (overdue)
        return QStringLiteral("overdue");
    if (skipped)
        return QStringLiteral("skipped");
    return QStringLiteral("pending");
}

// ---- drawing ----

void MenuBarPopoverView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    ensureViewModel();
    syncViewModel();
    redraw();
}

void MenuBarPopoverView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), ThemeColors::background());
}

void MenuBarPopoverView::scheduleRedraw()
{
    if (!isVisible()) {
        // Drawn afresh the next time it comes on screen.
        m_dirty = true;
        return;
    }
    if (m_redrawPending)
        return;
    m_redrawPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_redrawPending = false;
            if (isVisible())
                redraw();
            else
                m_dirty = true;
        },
        Qt::QueuedConnection);
}

void MenuBarPopoverView::redraw()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_dirty = false;
    if (!m_viewModel) {
        m_mainArea = MainArea::loading;
        return;
    }
    // New arrays go into the model before anything is drawn from it.
    if (refreshKey() != m_lastKey)
        syncViewModel();
    if (m_loading) {
        m_layout->removeWidget(m_loading);
        m_loading->hide();
        m_loading->deleteLater();
        m_loading = nullptr;
    }
    if (!m_header)
        buildHeader();
    updateHeader();
    // A list stays a list: its rows are brought up to date in place, so unchanged rows keep their widgets.
    if (m_mainArea == MainArea::list && m_listContent && !m_viewModel->todaysReminders().isEmpty() &&
        m_viewModel->completedToday().size() != m_viewModel->todaysReminders().size())
        updateList(activeMilestones());
    else
        replaceMainArea(buildMainArea());
    updateGeometry();
    Q_EMIT redrawn();
}

void MenuBarPopoverView::buildHeader()
{
    m_header = new QWidget(this);
    m_header->setObjectName(QStringLiteral("MenuBarPopoverHeader"));
    auto *row = new QHBoxLayout(m_header);
    row->setSpacing(px(LayoutTokens::spacingSM));
    row->setContentsMargins(px(LayoutTokens::spacingXL), px(LayoutTokens::spacingLG), px(LayoutTokens::spacingXL),
                            px(LayoutTokens::spacingLG));
    auto *name = text(QStringLiteral("Ovlin"), ThemeFonts::dialogTitle(), ThemeColors::textPrimary());
    name->setSingleLine(true);
    row->addWidget(name, 0, Qt::AlignVCenter);
    row->addStretch(1);
    // The ring goes in front of the button (updateHeader).
    auto *open = new PlainTextButton(QStringLiteral("Open app"), ThemeFonts::label(), ThemeColors::primaryDark());
    open->setObjectName(QStringLiteral("OpenAppButton"));
    open->setAccessibleName(QStringLiteral("Open Ovlin main window"));
    connect(open, &QAbstractButton::clicked, this, &MenuBarPopoverView::openMainWindow);
    row->addWidget(open, 0, Qt::AlignVCenter);
    m_layout->insertWidget(0, m_header);
    m_divider = new DividerLine;
    m_layout->insertWidget(1, m_divider);
    // Shown now, not after the layout's queued show: the fitting height must count them at once.
    m_header->show();
    m_divider->show();
}

void MenuBarPopoverView::updateHeader()
{
    const double shown = std::clamp(progress(), 0.0, 1.0);
    const QColor color = ringColor();
    auto *row = static_cast<QHBoxLayout *>(m_header->layout());
    if (!m_ring || m_ringColor != color) {
        // The ring's colour is fixed at creation; a new colour takes a new ring.
        auto *ring =
            new ProgressRing(shown, kHeaderRingSize, kHeaderRingLineWidth, color, ThemeColors::surface(), true);
        ring->setObjectName(QStringLiteral("TodayProgressRing"));
        if (m_ring) {
            delete row->replaceWidget(m_ring, ring);
            m_ring->hide();
            m_ring->deleteLater();
        } else {
            row->insertWidget(row->count() - 1, ring, 0, Qt::AlignVCenter);
        }
        ring->show();
        m_ring = ring;
        m_ringColor = color;
    } else {
        m_ring->setProgress(shown);
    }
    m_ring->setAccessibleName(progressAccessibilityLabel());
}

void MenuBarPopoverView::replaceMainArea(QWidget *area)
{
    if (!qobject_cast<QScrollArea *>(area)) {
        m_listContent = nullptr;
        m_todaySection = nullptr;
        m_listItems.forget();
        m_rowItems.forget();
    }
    int scrolled = -1;
    if (auto *old = qobject_cast<QScrollArea *>(m_mainAreaWidget))
        scrolled = old->verticalScrollBar()->value();
    if (m_mainAreaWidget) {
        m_layout->removeWidget(m_mainAreaWidget);
        m_mainAreaWidget->hide();
        // Out of the tree at once (nothing finds its rows any more), deleted once control returns.
        m_mainAreaWidget->setParent(nullptr);
        m_mainAreaWidget->deleteLater();
    }
    m_mainAreaWidget = area;
    m_layout->addWidget(area, 1);
    area->show();
    if (auto *list = qobject_cast<QScrollArea *>(area); list && scrolled > 0) {
        // The range is known once the new list is laid out.
        QPointer<QScrollArea> target(list);
        QMetaObject::invokeMethod(
            list,
            [target, scrolled] {
                if (target)
                    target->verticalScrollBar()->setValue(scrolled);
            },
            Qt::QueuedConnection);
    }
}

QWidget *MenuBarPopoverView::buildMainArea()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const qsizetype today = m_viewModel->todaysReminders().size();
    const QList<std::shared_ptr<Milestone>> active = activeMilestones();
    if (today == 0) {
        m_mainArea = MainArea::nothingToday;
        return buildNothingToday();
    }
    if (m_viewModel->completedToday().size() == today) {
        m_mainArea = MainArea::allDone;
        return buildAllDone(active);
    }
    m_mainArea = MainArea::list;
    return buildList(active);
}

QWidget *MenuBarPopoverView::buildNothingToday()
{
    auto *area = new QWidget;
    area->setObjectName(QStringLiteral("MenuBarNothingToday"));
    auto *stack = vstack(area, LayoutTokens::spacingLG, px(LayoutTokens::spacingXL), px(LayoutTokens::spacingLG));
    stack->addWidget(new Illustration(QStringLiteral("OvliIllu1"), kIllustrationSide), 0, Qt::AlignHCenter);
    stack->addWidget(text(phrase(CopyTrigger::emptyReminders), ThemeFonts::subheadline(), ThemeColors::textSecondary(),
                          Qt::AlignHCenter));
    stack->addStretch(1);
    return area;
}

QWidget *MenuBarPopoverView::buildAllDone(const QList<std::shared_ptr<Milestone>> &active)
{
    auto *area = new QWidget;
    area->setObjectName(QStringLiteral("MenuBarAllDone"));
    auto *outer = vstack(area, 0);

    auto *top = new QWidget;
    auto *stack = vstack(top, LayoutTokens::spacingLG, px(LayoutTokens::spacingXL), px(LayoutTokens::spacingLG));
    stack->addWidget(new AllDoneBadge, 0, Qt::AlignHCenter);
    auto *progressText = new QWidget;
    auto *lines = vstack(progressText, LayoutTokens::spacingXS);
    lines->addWidget(text(phrase(CopyTrigger::habitCompleted), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary(),
                          Qt::AlignHCenter));
    const qsizetype done = m_viewModel->completedToday().size();
    const qsizetype total = m_viewModel->todaysReminders().size();
    lines->addWidget(new CountLine(QStringLiteral("%1 of %2 done").arg(qlonglong(done)).arg(qlonglong(total))));
    stack->addWidget(progressText);
    outer->addWidget(top);

    if (!active.isEmpty()) {
        auto *divider = new QWidget;
        auto *dividerRow = new QHBoxLayout(divider);
        dividerRow->setContentsMargins(px(LayoutTokens::spacingXL), 0, px(LayoutTokens::spacingXL), 0);
        dividerRow->addWidget(new DividerLine);
        outer->addWidget(divider);
        auto *reward = new QWidget;
        auto *rewardStack =
            vstack(reward, LayoutTokens::spacingSM, px(LayoutTokens::spacingXL), px(LayoutTokens::spacingLG));
        rewardStack->addWidget(buildRewardRow(active.first()));
        outer->addWidget(reward);
    }
    outer->addStretch(1);
    return area;
}

QWidget *MenuBarPopoverView::buildList(const QList<std::shared_ptr<Milestone>> &active)
{
    auto *scroll = new FittingScrollArea;
    auto *content = new ListContent;
    content->setObjectName(QStringLiteral("MenuBarPopoverListContent"));
    auto *stack = vstack(content, 0, px(LayoutTokens::spacingXL), px(LayoutTokens::spacingLG));
    m_listContent = new QWidget;
    vstack(m_listContent, LayoutTokens::spacingLG);
    stack->addWidget(m_listContent);
    stack->addStretch(1);
    m_listItems.forget();
    m_rowItems.forget();
    m_todaySection = nullptr;
    scroll->setWidget(content);
    updateList(active);
    return scroll;
}

QString MenuBarPopoverView::rowKey(const Reminder &reminder, bool completed, bool overdue, bool skipped)
{
    return uuidText(reminder.id()) + QLatin1Char('|') + reminder.title() + QLatin1Char('|') +
           reminder.detail().value_or(QString()) + QLatin1Char('|') + rawValue(reminder.categoryValue()) +
           QLatin1Char('|') + statusWord(completed, overdue, skipped) + (skipped ? QLatin1String("|s") : QString());
}

void MenuBarPopoverView::updateList(const QList<std::shared_ptr<Milestone>> &active)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_mainArea = MainArea::list;
    QList<today::KeyedItem> items;
    items.append({QStringLiteral("today"), [this]() -> QWidget * {
                      auto *section = new QWidget;
                      section->setObjectName(QStringLiteral("MenuBarTodaySection"));
                      auto *sectionStack = vstack(section, LayoutTokens::spacingSM);
                      sectionStack->addWidget(new SectionHeader(QStringLiteral("Today"), std::nullopt));
                      m_rowItems.forget();
                      m_todaySection = section;
                      return section;
                  }});
    if (!active.isEmpty()) {
        // The reward card is drawn afresh with every redraw: its progress follows the store.
        const std::shared_ptr<Milestone> first = active.first();
        items.append({QStringLiteral("reward|%1").arg(++m_redraws), [this, first] { return buildRewardRow(first); }});
    }
    m_listItems.reconcile(static_cast<QBoxLayout *>(m_listContent->layout()), 0, items, this);
    if (!m_todaySection)
        return;

    QList<today::KeyedItem> rows;
    const QList<std::shared_ptr<Reminder>> overdue = m_viewModel->overdue();
    if (!overdue.isEmpty()) {
        rows.append({QStringLiteral("overdueNote"), [] {
                         auto *note = new QWidget;
                         note->setObjectName(QStringLiteral("MenuBarOverdueNote"));
                         auto *noteLayout = vstack(note, 0);
                         noteLayout->setContentsMargins(0, px(LayoutTokens::spacingXXS), 0, 0);
                         noteLayout->addWidget(text(phrase(CopyTrigger::menuBarOverdue), ThemeFonts::label(),
                                                    ThemeColors::textPrimary()));
                         return note;
                     }});
    }
    QSet<QUuid> overdueIds;
    for (const auto &reminder : overdue)
        overdueIds.insert(reminder->id());
    const QDateTime now = Clock::now();
    int budget = rowLimit;
    for (const auto &reminder : m_viewModel->todaysReminders()) {
        if (budget-- <= 0)
            break;
        const bool completed = m_viewModel->isCompleted(*reminder);
        const bool skipped = ReminderBehaviorService::shared().resolution(*reminder, now) ==
                             ReminderBehaviorService::Resolution::skipped;
        const bool isOverdue = overdueIds.contains(reminder->id());
        rows.append({rowKey(*reminder, completed, isOverdue, skipped), [this, reminder, completed, isOverdue, skipped] {
                         return buildReminderRow(reminder, completed, isOverdue, skipped);
                     }});
    }
    // After the section header, which stays.
    m_rowItems.reconcile(static_cast<QBoxLayout *>(m_todaySection->layout()), 1, rows, this);
}

QWidget *MenuBarPopoverView::buildRewardRow(const std::shared_ptr<Milestone> &milestone)
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto *row = new QWidget;
    row->setObjectName(QStringLiteral("MenuBarRewardRow"));
    auto *stack = vstack(row, LayoutTokens::spacingSM);
    stack->addWidget(new SectionHeader(QStringLiteral("Reward"), std::nullopt));
    stack->addWidget(new MilestoneCard(milestone, {}, {}, {}, MilestoneCardStyle::compact));
    return row;
}

QWidget *MenuBarPopoverView::buildReminderRow(const std::shared_ptr<Reminder> &reminder, bool completed, bool overdue,
                                              bool skipped)
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto *row = new QWidget;
    row->setObjectName(QStringLiteral("MenuBarReminderRow"));
    // Names the habit, so the focus can stay with it when an answer redraws its row.
    row->setProperty("reminderId", reminder->id().toString(QUuid::WithoutBraces));
    row->setAccessibleName(reminder->title() + QStringLiteral(", ") + statusWord(completed, overdue, skipped));
    auto *stack = vstack(row, LayoutTokens::spacingSM, 0, px(LayoutTokens::spacingXS));

    auto *mainLine = new QWidget;
    auto *line = new QHBoxLayout(mainLine);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(px(LayoutTokens::spacingSM));

    auto *check = new CheckOffButton(
        completed, [this, reminder, completed] { markDone(reminder, completed); }, kCheckOffSize);
    // The row's state comes from the store alone: the button shows it and never flips it itself.
    connect(check, &CheckOffButton::isCompletedChanged, check,
            [check, completed](bool) { check->setIsCompleted(completed); });
    DoubleClickGuard::guard(check);
    // A completed row's box takes nothing back here: no Tab stop, so the keyboard goes on to what answers.
    check->setEnabled(!completed);
    if (skipped)
        today::setOpacity(check, kSkippedCheckOpacity);
    line->addWidget(check, 0, Qt::AlignVCenter);

    auto *texts = new QWidget;
    auto *textStack = vstack(texts, LayoutTokens::spacingXXS);
    QFont titleFont = ThemeFonts::bodyEmphasis();
    titleFont.setStrikeOut(completed);
    auto *title =
        text(reminder->title(), titleFont, completed ? ThemeColors::textSecondary() : ThemeColors::textPrimary());
    title->setObjectName(QStringLiteral("ReminderTitle"));
    title->setSingleLine(true);
    textStack->addWidget(title);
    const std::optional<QString> detail = reminder->detail();
    if (detail && !detail->isEmpty()) {
        auto *detailText = text(*detail, ThemeFonts::subheadline(), ThemeColors::textSecondary());
        detailText->setObjectName(QStringLiteral("ReminderDetail"));
        detailText->setSingleLine(true);
        textStack->addWidget(detailText);
    } else if (skipped) {
        auto *skippedText =
            text(phrase(CopyTrigger::menuBarSkipped), ThemeFonts::subheadline(), ThemeColors::textSecondary());
        skippedText->setObjectName(QStringLiteral("ReminderSkippedNote"));
        textStack->addWidget(skippedText);
    }
    line->addWidget(texts, 1, Qt::AlignVCenter);
    line->addWidget(new CategoryBadge(reminder->categoryValue(), BadgeSize::small, false), 0, Qt::AlignVCenter);
    stack->addWidget(mainLine);

    QList<ActionChip *> chips;
    if (overdue && !completed) {
        chips << new ActionChip(QStringLiteral("Skip"), ThemeColors::destructive(),
                                Painting::withOpacity(ThemeColors::destructive(), kChipFillOpacity),
                                [this, reminder] { skipReminder(reminder); });
    } else if (skipped && !completed) {
        chips << new ActionChip(QStringLiteral("Undo"), ThemeColors::textPrimary(), ThemeColors::surfaceMuted(),
                                [this, reminder] { undoReminder(reminder); });
    }
    if (!chips.isEmpty()) {
        chips << new ActionChip(QStringLiteral("Done"), ThemeColors::textOnPrimary(), ThemeColors::primary(),
                                [this, reminder] { completeReminder(reminder); });
        auto *actionLine = new QWidget;
        actionLine->setObjectName(QStringLiteral("ReminderActions"));
        auto *actions = new QHBoxLayout(actionLine);
        actions->setContentsMargins(kActionLineIndent, 0, 0, 0);
        actions->setSpacing(px(LayoutTokens::spacingSM));
        for (ActionChip *chip : chips)
            actions->addWidget(chip, 0, Qt::AlignVCenter);
        actions->addStretch(1);
        stack->addWidget(actionLine);
    }

    if (completed)
        today::setOpacity(row, kCompletedRowOpacity);
    else if (skipped)
        today::setOpacity(row, kSkippedRowOpacity);
    return row;
}

QSize MenuBarPopoverView::sizeHint() const
{
    const int width = int(LayoutTokens::popoverWidth);
    return QSize(width, heightForWidth(width));
}

int MenuBarPopoverView::heightForWidth(int width) const
{
    if (m_layout->hasHeightForWidth())
        return m_layout->totalHeightForWidth(width);
    return m_layout->totalSizeHint().height();
}

} // namespace ovlin
