#include "Shell/OnboardingView.h"

#include "Analytics/Analytics.h"
#include "Base/MainThread.h"
#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/AppSettings.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPointer>
#include <QShowEvent>
#include <QVBoxLayout>

#include <array>
#include <cmath>

namespace ovlin {

namespace {

constexpr int kBandHeight = 232;
constexpr int kIllustrationHeight = 200;
constexpr double kDotSide = 6;
constexpr double kLongDot = 20;

const MotionCurve &pageCurve()
{
    static const MotionCurve curve = MotionCurve::easeOut(0.22);
    return curve;
}

const MotionCurve &dotCurve()
{
    static const MotionCurve curve = MotionCurve::spring(0.3, 0.75);
    return curve;
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// The illustration on a white band with a divider along its bottom edge.
class IllustrationBand : public QWidget
{
public:
    explicit IllustrationBand(QString name, QWidget *parent = nullptr) : QWidget(parent), m_name(std::move(name))
    {
        setFixedHeight(kBandHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(QString()); // decoration only
    }
    QString name() const { return m_name; }
    QSize sizeHint() const override { return {int(LayoutTokens::sheetWidth), kBandHeight}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.fillRect(rect(), ThemeColors::surface());
        const QRectF image(0, (height() - kIllustrationHeight) / 2.0, width(), kIllustrationHeight);
        ImageAssets::paint(p, image, m_name, Qt::KeepAspectRatio, Qt::AlignCenter);
    }

private:
    QString m_name;
};

} // namespace

// Holds one element of the page; a new page's element slides in from the trailing edge and fades in while
// the old one slides out towards the leading edge and fades out.
class SlideSlot : public QWidget
{
public:
    explicit SlideSlot(QWidget *parent = nullptr) : QWidget(parent)
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        connect(&m_progress, &AnimatedValue::valueChanged, this, [this] { place(); });
    }

    QWidget *current() const { return m_current; }

    void replace(QWidget *next, bool animated)
    {
        if (m_current) {
            if (animated && isVisible() && Motion::animationsEnabled())
                m_snapshot = m_current->grab();
            else
                m_snapshot = QPixmap();
            m_current->hide();
            m_current->deleteLater();
        }
        m_current = next;
        next->setParent(this);
        next->show();
        if (!m_snapshot.isNull()) {
            auto *effect = new QGraphicsOpacityEffect(next);
            next->setGraphicsEffect(effect);
            m_progress.setImmediately(0);
            m_progress.animateTo(1, pageCurve());
        } else {
            m_progress.setImmediately(1);
        }
        updateGeometry();
        place();
    }

    QSize sizeHint() const override
    {
        if (!m_current)
            return {0, 0};
        return {m_current->sizeHint().width(), heightForWidth(width() > 0 ? width() : m_current->sizeHint().width())};
    }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }
    bool hasHeightForWidth() const override { return m_current && m_current->hasHeightForWidth(); }
    int heightForWidth(int w) const override
    {
        if (!m_current)
            return 0;
        return m_current->hasHeightForWidth() ? m_current->heightForWidth(w) : m_current->sizeHint().height();
    }

protected:
    void resizeEvent(QResizeEvent *) override { place(); }
    void paintEvent(QPaintEvent *) override
    {
        const double t = m_progress.value();
        if (m_snapshot.isNull() || t >= 1)
            return;
        QPainter p(this);
        p.setOpacity(std::clamp(1 - t, 0.0, 1.0));
        p.drawPixmap(QPointF(-t * width(), 0), m_snapshot);
    }

private:
    void place()
    {
        if (!m_current)
            return;
        const double t = m_progress.value();
        m_current->setGeometry(int(std::lround((1 - t) * width())), 0, width(), height());
        if (auto *effect = qobject_cast<QGraphicsOpacityEffect *>(m_current->graphicsEffect())) {
            effect->setOpacity(std::clamp(t, 0.0, 1.0));
            if (t >= 1) {
                m_current->setGraphicsEffect(nullptr);
                m_snapshot = QPixmap();
            }
        }
        update();
    }

    QPointer<QWidget> m_current;
    QPixmap m_snapshot;
    AnimatedValue m_progress{1.0};
};

// One capsule per page; the current page's is long and dark, and slides with a spring on every change.
class PageDots : public QWidget
{
public:
    PageDots(int count, QWidget *parent = nullptr) : QWidget(parent)
    {
        for (int i = 0; i < count; ++i) {
            auto *value = new AnimatedValue(0, this);
            connect(value, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
            m_selection.append(value);
        }
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    void setCurrent(int page, bool animated)
    {
        for (int i = 0; i < m_selection.size(); ++i) {
            const double target = i == page ? 1.0 : 0.0;
            if (animated)
                m_selection[i]->animateTo(target, dotCurve());
            else
                m_selection[i]->setImmediately(target);
        }
        setAccessibleName(OnboardingView::pageLabel(page + 1, int(m_selection.size())));
    }

    // The dot's width as drawn now.
    double dotWidth(int index) const { return kDotSide + (kLongDot - kDotSide) * m_selection.value(index)->value(); }

    QSize sizeHint() const override
    {
        const qsizetype n = m_selection.size();
        const double width = kLongDot + double(std::max<qsizetype>(n - 1, 0)) * (kDotSide + LayoutTokens::spacingXS);
        return {int(std::ceil(width)), int(kDotSide)};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        double x = 0;
        const double y = (height() - kDotSide) / 2.0;
        for (int i = 0; i < m_selection.size(); ++i) {
            const double t = std::clamp(m_selection[i]->value(), 0.0, 1.5);
            const double w = std::max(kDotSide, dotWidth(i));
            p.fillPath(Painting::capsule(QRectF(x, y, w, kDotSide)),
                       mix(ThemeColors::border(), ThemeColors::green900(), std::min(t, 1.0)));
            x += w + LayoutTokens::spacingXS;
        }
    }

private:
    QList<AnimatedValue *> m_selection;
};

const QList<OnboardingPage> &OnboardingView::pages()
{
    static const QList<OnboardingPage> table{
        {QStringLiteral("Hey. I'm Ovlin."),
         QStringLiteral("I'll remind you to eat, drink water, move, and breathe on purpose. You'd think this wouldn't "
                        "need an app. And yet."),
         QStringLiteral("OvliIllu1"), QStringLiteral("Continue")},
        {QStringLiteral("One habit. Just one."),
         QStringLiteral("Start with whatever you skip most. That's the one you actually need."),
         QStringLiteral("OvliIllu5"), QStringLiteral("Continue")},
        {QStringLiteral("Pick a real reward."),
         QStringLiteral("Something you'd feel genuinely bad about getting without earning. That's the one."),
         QStringLiteral("OvliIllu11"), QStringLiteral("Let's do this")},
    };
    return table;
}

QString OnboardingView::pageLabel(int page, int count)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(count);
}

OnboardingView::OnboardingView(Binding<bool> isPresented, SignalSender sendSignal, QWidget *parent)
    : QWidget(parent), m_isPresented(std::move(isPresented)), m_sendSignal(std::move(sendSignal))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ThemeColors::background());
    setPalette(pal);
    setFixedWidth(int(LayoutTokens::sheetWidth));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_band = new SlideSlot;
    outer->addWidget(m_band);
    auto *divider = new DividerLine(m_band);
    divider->setAttribute(Qt::WA_TransparentForMouseEvents);
    divider->raise();

    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    const int pad = int(LayoutTokens::spacingXXL);
    column->setContentsMargins(pad, pad, pad, pad);
    column->setSpacing(0);

    m_dots = new PageDots(int(pages().size()));
    column->addWidget(m_dots, 0, Qt::AlignLeft);
    column->addSpacing(int(LayoutTokens::spacingXL));
    m_title = new SlideSlot;
    column->addWidget(m_title);
    column->addSpacing(int(LayoutTokens::spacingSM));
    m_body = new SlideSlot;
    column->addWidget(m_body);
    column->addSpacing(int(LayoutTokens::spacingXXL));

    m_cta = new OvlinButton(QString(), OvlinButtonStyle::primary, OvlinButtonSize::large, false, false,
                            [this] { advance(); });
    column->addWidget(m_cta);

    m_skipBox = new QWidget;
    auto *skipColumn = new QVBoxLayout(m_skipBox);
    skipColumn->setContentsMargins(0, int(LayoutTokens::spacingXS), 0, 0);
    skipColumn->setSpacing(0);
    m_skip = new OvlinButton(QStringLiteral("Skip for now"), OvlinButtonStyle::ghost, OvlinButtonSize::small, false,
                             false, [this] { finish(); });
    m_skip->setAccessibleName(QStringLiteral("Skip onboarding"));
    skipColumn->addWidget(m_skip);
    column->addWidget(m_skipBox);

    outer->addWidget(content);

    // Keep the divider on the band's bottom edge.
    class DividerKeeper : public QObject
    {
    public:
        DividerKeeper(QWidget *band, QWidget *line) : QObject(band), m_band(band), m_line(line) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded) {
                m_line->setGeometry(0, m_band->height() - 1, m_band->width(), 1);
                m_line->raise();
            }
            return false;
        }

    private:
        QWidget *m_band;
        QWidget *m_line;
    };
    m_band->installEventFilter(new DividerKeeper(m_band, divider));

    showPage(false);
}

OnboardingView::~OnboardingView() = default;

QWidget *OnboardingView::pageDots() const
{
    return m_dots;
}

QString OnboardingView::shownTitle() const
{
    auto *label = static_cast<OvlinText *>(m_title->current());
    return label ? label->text() : QString();
}

QString OnboardingView::shownBody() const
{
    auto *label = static_cast<OvlinText *>(m_body->current());
    return label ? label->text() : QString();
}

QString OnboardingView::shownIllustration() const
{
    auto *band = static_cast<IllustrationBand *>(m_band->current());
    return band ? band->name() : QString();
}

void OnboardingView::showPage(bool animated)
{
    const OnboardingPage &page = pages().at(m_currentPage);
    m_band->replace(new IllustrationBand(page.illustrationName), animated);
    m_title->replace(new OvlinText(page.title, ThemeFonts::cardTitle(), ThemeColors::textPrimary()), animated);
    m_body->replace(new OvlinText(page.body, ThemeFonts::callout(), ThemeColors::textSecondary()), animated);
    m_dots->setCurrent(m_currentPage, animated);

    m_cta->setTitle(page.ctaLabel);
    m_cta->setAccessibleName(isLastPage() ? QStringLiteral("Get started with Ovlin") : page.ctaLabel);
    m_skipVisible = !isLastPage();
    m_skipBox->setVisible(m_skipVisible);
    // The height follows the page at once, not at the next layout pass.
    m_skipBox->parentWidget()->layout()->invalidate();
    m_skipBox->parentWidget()->updateGeometry();
    layout()->invalidate();
    updateGeometry();
}

void OnboardingView::advance()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (isLastPage()) {
        finish();
        return;
    }
    ++m_currentPage;
    showPage(true);
}

void OnboardingView::finish()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The sheet closes after this; a second press meanwhile must not count twice.
    if (m_finished)
        return;
    m_finished = true;
    AppSettings::shared().setHasCompletedOnboarding(true);
    const QString signal = QStringLiteral("onboarding.completed");
    if (m_sendSignal)
        m_sendSignal(signal);
    else
        analytics::Analytics::send(signal);
    m_isPresented.write(false);
}

void OnboardingView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown after a key, the button that moves on shows its ring at once.
    if (!event->spontaneous())
        KeyboardFocus::startAt(m_cta);
}

int OnboardingView::heightForWidth(int width) const
{
    return layout() ? layout()->totalHeightForWidth(width) : 0;
}

QSize OnboardingView::sizeHint() const
{
    const int width = int(LayoutTokens::sheetWidth);
    return {width, heightForWidth(width)};
}

} // namespace ovlin
