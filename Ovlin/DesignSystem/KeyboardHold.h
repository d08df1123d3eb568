#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace ovlin {

// Makes a layer over a widget (its parent, the host) modal for the keyboard while held: Tab and
// Shift+Tab go round the layer's own controls, Escape runs the layer's way out, and nothing in the host
// behind it takes focus, keys, clicks, shortcuts or mnemonics. Keys aimed at the layer itself still
// reach it, so the application's own keys (Ctrl+Q) keep working. Released, it gives the focus back to
// the widget that had it or, where a rebuild took that one away meanwhile, to the control now at its place
// in the window's Tab order. Main thread only.
class KeyboardHold final : public QObject
{
    Q_OBJECT
public:
    // For `layer`, which owns it as a member, so it stops watching before the layer goes. `onEscape` runs
    // for an Escape pressed while held.
    KeyboardHold(QWidget *layer, std::function<void()> onEscape);
    ~KeyboardHold() override;

    bool isHolding() const { return m_holding; }
    // Remembers where the focus is and moves it onto the layer. Does nothing while held.
    void hold();
    // Hands the focus back, unless it has moved on meanwhile. Does nothing unless held.
    void release();
    // Lets go without touching the focus, for a window that is being taken down.
    void stop();
    // Puts the focus on the layer's first control, or on the layer while it shows none.
    void takeFocus();
    // The layer's controls that take Tab focus, in focus-chain order.
    QList<QWidget *> stops() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isInLayer(const QObject *object) const;
    bool isBehind(const QObject *object) const;
    void step(bool next);
    // The window's Tab stops outside the layer, in reading order.
    QList<QWidget *> stopsBehind() const;

    QWidget *m_layer;
    std::function<void()> m_onEscape;
    QPointer<QWidget> m_returnFocus;
    qsizetype m_returnPlace = -1;
    bool m_holding = false;
};

} // namespace ovlin
