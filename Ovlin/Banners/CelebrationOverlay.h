#pragma once

#include "Engine/CelebrationEvent.h"

#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QAbstractButton;

namespace ovlin {

class AnimatedValue;
class CelebrationManager;
class ConfettiCanvas;
class KeyboardHold;

// Puts the manager's active celebration over the whole window: a dark scrim, confetti and a centred card
// with an icon, a title, the phrase and one button. A click on the scrim or the button dismisses it.
// While a card is on screen it holds the keyboard as a confirmation does: the focus is on its button
// (Space and Return press it), Escape dismisses like a click on the scrim, and nothing in the window
// behind takes focus or input; when the card goes, the focus goes back where it was.
// While nothing is on screen it draws nothing and lets every click through to the window below.
// It follows its parent's size; the host keeps it above the window's other content.
class CelebrationOverlay final : public QWidget
{
    Q_OBJECT
public:
    explicit CelebrationOverlay(CelebrationManager *manager, QWidget *parent = nullptr);
    ~CelebrationOverlay() override;

    CelebrationManager *manager() const { return m_manager.data(); }
    ConfettiCanvas *confettiCanvas() const { return m_confetti; }
    // The card's button for the keyboard (the card layer draws it); shown only while a card is active.
    QAbstractButton *button() const { return m_button; }

    // The look of each kind of event.
    static QString symbolName(const CelebrationEvent &event);
    static QString title(const CelebrationEvent &event);
    static QString buttonTitle(const CelebrationEvent &event);

    // Where the card's parts stand in their staged entrance.
    struct ContentStage
    {
        double iconScale = 0.5;
        double titleOpacity = 0;
        double titleOffset = 12;
        double phraseOpacity = 0;
        double phraseOffset = 8;
        double buttonOpacity = 0;

        static ContentStage hidden() { return {}; }
        static ContentStage shown() { return {1, 1, 0, 1, 0, 1}; }
        // `seconds` after the card's content was switched on (animations on).
        static ContentStage at(double seconds);
    };

    // The card of the active event (not one that is fading out).
    std::optional<CelebrationEvent> cardEvent() const;
    QString cardCopy() const;
    // True from the card's appearance to its disappearance.
    bool showContent() const;
    ContentStage contentStage() const;
    // Cards on screen, those fading out included.
    int cardCount() const { return int(m_cards.size()); }
    bool isIdle() const { return m_cards.empty(); }
    bool isHovered() const { return m_isHovered; }
    // Geometry of the topmost card and its button, in this widget's coordinates (empty when idle).
    QRectF cardRect() const;
    QRectF buttonRect() const;

    // The frame timer's handler: moves the cards on by the Clock, removes those whose exit is over.
    void advanceAnimations();
    bool isAnimating() const;

    // Shows the cards and the confetti as they stand `seconds` after the newest card appeared, and stops
    // every timer. For previews.
    void freezeAt(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Card;
    struct Layout;
    friend class CelebrationCardLayer;

    void onActiveEventChanged();
    void onCelebrationCopyChanged();
    void beginRemoval(Card &card);
    void removeFinishedCards();
    void syncConfetti();
    void syncInteraction();
    void syncKeyboard();
    void updateFrameTimer();
    void setHovered(bool hovered);
    void paintCards(QPainter &p) const;
    void paintCard(QPainter &p, const Card &card) const;

    qint64 nowMs() const;
    const Card *topCard() const;
    Card *currentCard();
    const Card *currentCard() const;
    Layout layoutFor(const Card &card) const;
    double presenceOpacity(const Card &card) const;
    double presenceScale(const Card &card) const;
    ContentStage stageOf(const Card &card) const;

    enum class PressTarget { none, scrim, card, button };

    QPointer<CelebrationManager> m_manager;
    ConfettiCanvas *m_confetti = nullptr;
    QWidget *m_cardLayer = nullptr;
    QAbstractButton *m_button = nullptr;
    std::unique_ptr<KeyboardHold> m_keyboard;
    std::vector<std::unique_ptr<Card>> m_cards; // oldest first; the last may be the active card
    QTimer m_frameTimer;
    AnimatedValue *m_pressScale = nullptr;
    PressTarget m_pressTarget = PressTarget::none;
    bool m_isHovered = false;
    std::optional<qint64> m_frozenAt;
};

} // namespace ovlin
