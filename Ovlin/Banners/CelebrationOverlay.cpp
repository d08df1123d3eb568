#include "Banners/CelebrationOverlay.h"

#include "Banners/CelebrationManager.h"
#include "Banners/ConfettiCanvas.h"
#include "Base/Clock.h"
#include "Base/MainThread.h"
#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/KeyboardHold.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/TextBlock.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kCardWidth = 420;
constexpr double kIconTile = 72;
constexpr double kPhraseMaxWidth = 340;
constexpr double kScrimOpacity = 0.4;
constexpr double kCardShadowOpacity = 0.12;
constexpr double kInsertionScale = 0.85;
constexpr double kRemovalScale = 0.95;
constexpr double kPressedScale = 0.97;
constexpr double kHoverBrightness = -0.03;

const MotionCurve &insertionCurve()
{
    static const MotionCurve curve = MotionCurve::spring(0.45, 0.82);
    return curve;
}
const MotionCurve &removalCurve()
{
    static const MotionCurve curve = MotionCurve::easeOut(0.18);
    return curve;
}
const MotionCurve &iconCurve()
{
    static const MotionCurve curve = MotionCurve::spring(0.5, 0.6);
    return curve;
}
const MotionCurve &textCurve()
{
    static const MotionCurve curve = MotionCurve::easeOut(0.25);
    return curve;
}
MotionCurve pressCurve()
{
    return MotionCurve::easeOut(0.12);
}

// Delays of the staged entrance, counted from the card's appearance.
constexpr double kIconDelay = 0.2;
constexpr double kTitleDelay = 0.3;
constexpr double kPhraseDelay = 0.4;
constexpr double kButtonDelay = 0.5;

double settleSeconds()
{
    static const double seconds = std::max({insertionCurve().totalDuration(), kIconDelay + iconCurve().totalDuration(),
                                            kButtonDelay + textCurve().totalDuration()});
    return seconds;
}

// A moment long after every motion of a card has come to rest.
constexpr double kLongAfter = 1e6;

// Seconds from `since` to `now`; a Clock that went backwards counts as the motion being over.
double elapsedSeconds(qint64 since, qint64 now)
{
    return now >= since ? std::min(double(now - since) / 1000.0, kLongAfter) : kLongAfter;
}

TextBlock centredText(const QString &text, const QFont &font, const QColor &color, double lineSpacing = 0)
{
    TextBlock block;
    block.text = text;
    block.font = font;
    block.color = color;
    block.lineSpacing = lineSpacing;
    block.alignment = Qt::AlignHCenter | Qt::AlignTop;
    return block;
}

} // namespace

// Paints the cards above the confetti; input is handled by the overlay.
class CelebrationCardLayer final : public QWidget
{
public:
    explicit CelebrationCardLayer(CelebrationOverlay *overlay) : QWidget(overlay), m_overlay(overlay)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        m_overlay->paintCards(p);
    }

private:
    CelebrationOverlay *m_overlay;
};

namespace {

// The card's button as the keyboard and accessibility see it: it lies over the drawn button and draws
// nothing itself; the card layer draws it, with its focus ring. Clicks go to the overlay.
class CelebrationButton final : public QAbstractButton
{
public:
    CelebrationButton(QWidget *cardLayer, QWidget *parent) : QAbstractButton(parent), m_cardLayer(cardLayer)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::TabFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override {}
    void keyPressEvent(QKeyEvent *event) override
    {
        // Return presses it as it does a design-system button. At once: the card leaves with it anyway.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (!event->isAutoRepeat())
                click();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent *event) override
    {
        QAbstractButton::focusInEvent(event);
        m_cardLayer->update();
    }
    void focusOutEvent(QFocusEvent *event) override
    {
        QAbstractButton::focusOutEvent(event);
        m_cardLayer->update();
    }

private:
    QWidget *m_cardLayer;
};

} // namespace

struct CelebrationOverlay::Card
{
    CelebrationEvent event;
    QString copy;
    qint64 appearedAt = 0;
    bool animated = true; // animations were on when it appeared
    bool showContent = false;
    std::optional<qint64> removedAt;
    double opacityAtRemoval = 1;
    double scaleAtRemoval = 1;
};

struct CelebrationOverlay::Layout
{
    QRectF card;
    QRectF icon;
    QRectF title;
    QRectF phrase;
    QRectF button;
    TextBlock titleText;
    TextBlock phraseText;
    TextBlock buttonText;
};

CelebrationOverlay::ContentStage CelebrationOverlay::ContentStage::at(double seconds)
{
    ContentStage s;
    const double icon = iconCurve().progressAt(seconds - kIconDelay);
    const double title = textCurve().progressAt(seconds - kTitleDelay);
    const double phrase = textCurve().progressAt(seconds - kPhraseDelay);
    const double button = textCurve().progressAt(seconds - kButtonDelay);
    s.iconScale = 0.5 + 0.5 * icon;
    s.titleOpacity = title;
    s.titleOffset = 12 * (1 - title);
    s.phraseOpacity = phrase;
    s.phraseOffset = 8 * (1 - phrase);
    s.buttonOpacity = button;
    return s;
}

CelebrationOverlay::CelebrationOverlay(CelebrationManager *manager, QWidget *parent)
    : QWidget(parent), m_manager(manager)
{
    OVLIN_ASSERT_MAIN_THREAD();
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);

    m_confetti = new ConfettiCanvas(false, this);
    m_cardLayer = new CelebrationCardLayer(this);
    m_pressScale = new AnimatedValue(1, this);
    connect(m_pressScale, &AnimatedValue::valueChanged, m_cardLayer, qOverload<>(&QWidget::update));
    m_button = new CelebrationButton(m_cardLayer, this);
    connect(m_button, &QAbstractButton::pressed, this,
            [this] { m_pressScale->animateTo(kPressedScale, pressCurve()); });
    connect(m_button, &QAbstractButton::released, this, [this] { m_pressScale->animateTo(1, pressCurve()); });
    connect(m_button, &QAbstractButton::clicked, this, [this] {
        if (m_manager)
            m_manager->dismiss();
    });
    // Escape ends the card as a click on the scrim does.
    m_keyboard = std::make_unique<KeyboardHold>(this, [this] {
        if (m_manager)
            m_manager->dismiss();
    });

    m_frameTimer.setTimerType(Qt::PreciseTimer);
    m_frameTimer.setInterval(ConfettiCanvas::frameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &CelebrationOverlay::advanceAnimations);

    if (parent) {
        parent->installEventFilter(this);
        setGeometry(parent->rect());
    }
    if (m_manager) {
        connect(m_manager, &CelebrationManager::activeEventChanged, this, &CelebrationOverlay::onActiveEventChanged);
        connect(m_manager, &CelebrationManager::celebrationCopyChanged, this,
                &CelebrationOverlay::onCelebrationCopyChanged);
        // Without its manager nothing could dismiss a card: leave the window free. The manager goes with
        // the window, whose widgets are being deleted: the focus is left alone.
        connect(m_manager, &QObject::destroyed, this, [this] {
            m_keyboard->stop();
            m_cards.clear();
            advanceAnimations();
        });
    }
    onActiveEventChanged();
}

CelebrationOverlay::~CelebrationOverlay() = default;

QString CelebrationOverlay::symbolName(const CelebrationEvent &event)
{
    switch (event.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked: return QStringLiteral("trophy.fill");
    case CelebrationEvent::Kind::streakMilestone: return QStringLiteral("flame.fill");
    case CelebrationEvent::Kind::allDailyDone: return QStringLiteral("checkmark.seal.fill");
    }
    return {};
}

QString CelebrationOverlay::title(const CelebrationEvent &event)
{
    switch (event.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked: return QStringLiteral("Reward unlocked");
    case CelebrationEvent::Kind::streakMilestone: return QString::number(event.days) + QStringLiteral("-day streak");
    case CelebrationEvent::Kind::allDailyDone: return QStringLiteral("All done today");
    }
    return {};
}

QString CelebrationOverlay::buttonTitle(const CelebrationEvent &event)
{
    switch (event.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked: return QStringLiteral("Claim it");
    case CelebrationEvent::Kind::streakMilestone: return QStringLiteral("Keep going");
    case CelebrationEvent::Kind::allDailyDone: return QStringLiteral("Nice");
    }
    return {};
}

qint64 CelebrationOverlay::nowMs() const
{
    return m_frozenAt.value_or(Clock::nowMSecs());
}

CelebrationOverlay::Card *CelebrationOverlay::currentCard()
{
    if (m_cards.empty() || m_cards.back()->removedAt)
        return nullptr;
    return m_cards.back().get();
}

const CelebrationOverlay::Card *CelebrationOverlay::currentCard() const
{
    if (m_cards.empty() || m_cards.back()->removedAt)
        return nullptr;
    return m_cards.back().get();
}

const CelebrationOverlay::Card *CelebrationOverlay::topCard() const
{
    return m_cards.empty() ? nullptr : m_cards.back().get();
}

std::optional<CelebrationEvent> CelebrationOverlay::cardEvent() const
{
    if (const Card *card = currentCard())
        return card->event;
    return std::nullopt;
}

QString CelebrationOverlay::cardCopy() const
{
    const Card *card = currentCard();
    return card ? card->copy : QString();
}

bool CelebrationOverlay::showContent() const
{
    const Card *card = currentCard();
    return card && card->showContent;
}

CelebrationOverlay::ContentStage CelebrationOverlay::contentStage() const
{
    const Card *card = currentCard();
    return card ? stageOf(*card) : ContentStage::hidden();
}

CelebrationOverlay::ContentStage CelebrationOverlay::stageOf(const Card &card) const
{
    if (!card.showContent)
        return ContentStage::hidden();
    if (!card.animated)
        return ContentStage::shown();
    return ContentStage::at(elapsedSeconds(card.appearedAt, nowMs()));
}

double CelebrationOverlay::presenceOpacity(const Card &card) const
{
    const qint64 now = nowMs();
    if (card.removedAt) {
        if (!card.animated)
            return 0;
        const double q = removalCurve().progressAt(elapsedSeconds(*card.removedAt, now));
        return std::clamp(card.opacityAtRemoval * (1 - q), 0.0, 1.0);
    }
    if (!card.animated)
        return 1;
    return std::clamp(insertionCurve().progressAt(elapsedSeconds(card.appearedAt, now)), 0.0, 1.0);
}

double CelebrationOverlay::presenceScale(const Card &card) const
{
    const qint64 now = nowMs();
    if (card.removedAt) {
        if (!card.animated)
            return kRemovalScale;
        const double q = removalCurve().progressAt(elapsedSeconds(*card.removedAt, now));
        return card.scaleAtRemoval + (kRemovalScale - card.scaleAtRemoval) * q;
    }
    if (!card.animated)
        return 1;
    const double p = insertionCurve().progressAt(elapsedSeconds(card.appearedAt, now));
    return kInsertionScale + (1 - kInsertionScale) * p;
}

bool CelebrationOverlay::isAnimating() const
{
    const qint64 now = nowMs();
    for (const auto &card : m_cards) {
        if (card->removedAt)
            return true;
        if (card->animated && elapsedSeconds(card->appearedAt, now) < settleSeconds())
            return true;
    }
    return false;
}

void CelebrationOverlay::onActiveEventChanged()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (Card *current = currentCard())
        beginRemoval(*current);

    bool freshBurst = false;
    if (m_manager && m_manager->activeEvent()) {
        // Every shown event gets a card of its own with its own staged entrance; a card fading out
        // beside it never touches it.
        auto card = std::make_unique<Card>();
        card->event = *m_manager->activeEvent();
        card->copy = m_manager->celebrationCopy();
        card->appearedAt = nowMs();
        card->animated = Motion::animationsEnabled();
        card->showContent = true;
        m_cards.push_back(std::move(card));
        freshBurst = true;
        raise();
    }
    removeFinishedCards();
    if (freshBurst)
        m_confetti->setActive(false);
    syncConfetti();
    syncInteraction();
    syncKeyboard();
    updateFrameTimer();
    update();
    m_cardLayer->update();
}

void CelebrationOverlay::onCelebrationCopyChanged()
{
    if (Card *current = currentCard(); current && m_manager) {
        current->copy = m_manager->celebrationCopy();
        syncKeyboard();
        m_cardLayer->update();
    }
}

void CelebrationOverlay::beginRemoval(Card &card)
{
    if (card.removedAt)
        return;
    card.opacityAtRemoval = presenceOpacity(card);
    card.scaleAtRemoval = presenceScale(card);
    card.removedAt = nowMs();
    // A card that came in without animation leaves without one too.
    if (!Motion::animationsEnabled())
        card.animated = false;
}

void CelebrationOverlay::removeFinishedCards()
{
    const qint64 now = nowMs();
    const auto finished = [now](const std::unique_ptr<Card> &card) {
        if (!card->removedAt)
            return false;
        return !card->animated || elapsedSeconds(*card->removedAt, now) >= removalCurve().totalDuration();
    };
    // The disappearance of a card ends only that card's content.
    m_cards.erase(std::remove_if(m_cards.begin(), m_cards.end(), finished), m_cards.end());
}

void CelebrationOverlay::syncConfetti()
{
    // The burst belongs to the newest card and fades out with it.
    const Card *owner = topCard();
    if (!owner) {
        m_confetti->setActive(false);
        m_confetti->setLayerOpacity(1);
        return;
    }
    m_confetti->setActive(owner->showContent);
    m_confetti->setLayerOpacity(presenceOpacity(*owner));
}

void CelebrationOverlay::syncInteraction()
{
    const bool idle = m_cards.empty();
    // Idle, the overlay must not take clicks meant for the window below.
    setAttribute(Qt::WA_TransparentForMouseEvents, idle);
    if (idle && m_pressTarget != PressTarget::none) {
        m_pressTarget = PressTarget::none;
        m_pressScale->setImmediately(1);
    }
}

void CelebrationOverlay::syncKeyboard()
{
    const Card *current = currentCard();
    if (!current) {
        // Given back before the button hides: a hidden focus widget would pass the focus on down the window.
        m_keyboard->release();
        m_button->hide();
        return;
    }
    const QString title = buttonTitle(current->event);
    m_button->setText(title);
    m_button->setAccessibleName(title);
    m_button->setGeometry(layoutFor(*current).button.toAlignedRect());
    m_button->show();
    m_button->raise();
    m_keyboard->hold();
}

void CelebrationOverlay::updateFrameTimer()
{
    const bool run = !m_frozenAt && isAnimating();
    if (run && !m_frameTimer.isActive())
        m_frameTimer.start();
    else if (!run && m_frameTimer.isActive())
        m_frameTimer.stop();
}

void CelebrationOverlay::advanceAnimations()
{
    OVLIN_ASSERT_MAIN_THREAD();
    removeFinishedCards();
    syncConfetti();
    syncInteraction();
    updateFrameTimer();
    update();
    m_cardLayer->update();
}

void CelebrationOverlay::freezeAt(double seconds)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_cards.empty() || !std::isfinite(seconds))
        return;
    const qint64 at = m_cards.back()->appearedAt + qint64(std::llround(std::clamp(seconds, 0.0, kLongAfter) * 1000));
    m_frozenAt = at;
    removeFinishedCards();
    syncConfetti();
    m_confetti->freezeAt(ConfettiCanvas::absoluteTime(at));
    updateFrameTimer();
    update();
    m_cardLayer->update();
}

CelebrationOverlay::Layout CelebrationOverlay::layoutFor(const Card &card) const
{
    Layout l;
    const double inset = LayoutTokens::spacingXXL;                            // left and right
    const double insetV = LayoutTokens::spacingXXL + LayoutTokens::spacingXL; // top and bottom
    const double gap = LayoutTokens::spacingXL;
    const double contentWidth = kCardWidth - 2 * inset;
    const double phraseWidth = std::min(kPhraseMaxWidth, contentWidth);

    l.titleText = centredText(title(card.event), ThemeFonts::title(), ThemeColors::textPrimary());
    l.phraseText =
        centredText(card.copy, ThemeFonts::body(), ThemeColors::textSecondary(), LayoutTokens::lineSpacingRegular);
    l.buttonText = centredText(buttonTitle(card.event), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary());

    const QSizeF titleSize = l.titleText.sizeForWidth(contentWidth);
    const QSizeF phraseSize = l.phraseText.sizeForWidth(phraseWidth);
    const QSizeF labelSize = l.buttonText.sizeForWidth(contentWidth - 2 * LayoutTokens::spacingXL);
    const QSizeF buttonSize(labelSize.width() + 2 * LayoutTokens::spacingXL,
                            labelSize.height() + 2 * LayoutTokens::spacingMD);

    const double height =
        2 * insetV + kIconTile + gap + titleSize.height() + gap + phraseSize.height() + gap + buttonSize.height();
    const double left = std::round((width() - kCardWidth) / 2);
    const double top = std::round((this->height() - height) / 2);
    l.card = QRectF(left, top, kCardWidth, height);

    const double centreX = l.card.center().x();
    double y = top + insetV;
    l.icon = QRectF(centreX - kIconTile / 2, y, kIconTile, kIconTile);
    y += kIconTile + gap;
    l.title = QRectF(left + inset, y, contentWidth, titleSize.height());
    y += titleSize.height() + gap;
    l.phrase = QRectF(centreX - phraseWidth / 2, y, phraseWidth, phraseSize.height());
    y += phraseSize.height() + gap;
    l.button = QRectF(centreX - buttonSize.width() / 2, y, buttonSize.width(), buttonSize.height());
    return l;
}

QRectF CelebrationOverlay::cardRect() const
{
    const Card *card = topCard();
    return card ? layoutFor(*card).card : QRectF();
}

QRectF CelebrationOverlay::buttonRect() const
{
    const Card *card = topCard();
    return card ? layoutFor(*card).button : QRectF();
}

void CelebrationOverlay::paintEvent(QPaintEvent *)
{
    double presence = 0;
    for (const auto &card : m_cards)
        presence = std::max(presence, presenceOpacity(*card));
    if (presence <= 0)
        return;
    QPainter p(this);
    p.fillRect(rect(), Painting::withOpacity(ThemeColors::neutral900(), kScrimOpacity * presence));
}

void CelebrationOverlay::paintCards(QPainter &p) const
{
    for (const auto &card : m_cards)
        paintCard(p, *card);
}

void CelebrationOverlay::paintCard(QPainter &p, const Card &card) const
{
    const double opacity = presenceOpacity(card);
    if (opacity <= 0)
        return;
    const double scale = presenceScale(card);
    const Layout l = layoutFor(card);
    const ContentStage stage = stageOf(card);
    const bool isTop = &card == topCard();
    const bool pressed = m_pressTarget == PressTarget::button || m_button->isDown();
    const double pressScale = isTop && pressed ? m_pressScale->value() : 1.0;
    const bool hovered = isTop && m_isHovered;

    p.save();
    const QPointF centre = l.card.center();
    p.translate(centre);
    p.scale(scale, scale);
    p.translate(-centre);
    const double extent = Painting::shadowExtent(LayoutTokens::shadowLarge);
    Painting::drawLayer(p, l.card.adjusted(-extent, -extent, extent, extent), opacity, [&](QPainter &lp) {
        lp.setRenderHint(QPainter::Antialiasing);
        lp.setRenderHint(QPainter::SmoothPixmapTransform);
        const double base = lp.opacity();
        Painting::drawShadow(lp, l.card, LayoutTokens::radiusXL, LayoutTokens::shadowLarge,
                             Painting::withOpacity(ThemeColors::neutral900(), kCardShadowOpacity));
        Painting::fillRounded(lp, l.card, LayoutTokens::radiusXL, ThemeColors::surface());

        // Icon tile, scaled about its centre.
        lp.save();
        const QPointF iconCentre = l.icon.center();
        lp.translate(iconCentre);
        lp.scale(stage.iconScale, stage.iconScale);
        lp.translate(-iconCentre);
        Painting::fillRounded(lp, l.icon, LayoutTokens::radiusMD, ThemeColors::green200());
        const double side = IconRegistry::symbolSize(ThemeFonts::display());
        IconRegistry::paint(lp, QRectF(iconCentre.x() - side / 2, iconCentre.y() - side / 2, side, side),
                            symbolName(card.event), ThemeColors::green500());
        lp.restore();

        lp.save();
        lp.setOpacity(base * stage.titleOpacity);
        l.titleText.paint(lp, l.title.translated(0, stage.titleOffset));
        lp.restore();

        lp.save();
        lp.setOpacity(base * stage.phraseOpacity);
        l.phraseText.paint(lp, l.phrase.translated(0, stage.phraseOffset));
        lp.restore();

        // The button: label, padding and background shrink together while pressed.
        lp.save();
        lp.setOpacity(base * stage.buttonOpacity);
        const QPointF buttonCentre = l.button.center();
        lp.translate(buttonCentre);
        lp.scale(pressScale, pressScale);
        lp.translate(-buttonCentre);
        QColor background = ThemeColors::green200();
        TextBlock label = l.buttonText;
        if (hovered) {
            background = Painting::brightened(background, kHoverBrightness);
            label.color = Painting::brightened(label.color, kHoverBrightness);
        }
        Painting::fillRounded(lp, l.button, LayoutTokens::radiusButton, background);
        label.alignment = Qt::AlignCenter;
        label.paint(lp, l.button);
        if (isTop && !card.removedAt && KeyboardFocus::hasRing(m_button))
            Painting::strokeInside(lp, l.button, LayoutTokens::radiusButton, ThemeColors::neutral700(), 2);
        lp.restore();
    });
    p.restore();
}

void CelebrationOverlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_confetti->setGeometry(rect());
    m_cardLayer->setGeometry(rect());
    if (currentCard())
        syncKeyboard();
}

bool CelebrationOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void CelebrationOverlay::mousePressEvent(QMouseEvent *event)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const Card *top = topCard();
    if (!top || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const Layout l = layoutFor(*top);
    const QPointF pos = event->position();
    if (l.button.contains(pos)) {
        m_pressTarget = PressTarget::button;
        m_pressScale->animateTo(kPressedScale, pressCurve());
        m_cardLayer->update();
    } else if (l.card.contains(pos)) {
        m_pressTarget = PressTarget::card;
    } else {
        m_pressTarget = PressTarget::scrim;
    }
    event->accept();
}

void CelebrationOverlay::mouseReleaseEvent(QMouseEvent *event)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const PressTarget target = m_pressTarget;
    m_pressTarget = PressTarget::none;
    m_pressScale->animateTo(1, pressCurve());
    m_cardLayer->update();
    const Card *top = topCard();
    if (!top)
        return;
    const Layout l = layoutFor(*top);
    const QPointF pos = event->position();
    const bool dismisses = (target == PressTarget::button && l.button.contains(pos)) ||
                           (target == PressTarget::scrim && !l.card.contains(pos));
    event->accept();
    if (dismisses && m_manager)
        m_manager->dismiss();
}

void CelebrationOverlay::mouseMoveEvent(QMouseEvent *event)
{
    const Card *top = topCard();
    setHovered(top && layoutFor(*top).button.contains(event->position()));
    QWidget::mouseMoveEvent(event);
}

void CelebrationOverlay::leaveEvent(QEvent *event)
{
    setHovered(false);
    QWidget::leaveEvent(event);
}

void CelebrationOverlay::setHovered(bool hovered)
{
    if (hovered == m_isHovered)
        return;
    m_isHovered = hovered;
    m_cardLayer->update();
}

} // namespace ovlin
