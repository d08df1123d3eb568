#pragma once

#include <QObject>
#include <QPointer>

class QWindow;

namespace ovlin {

// Whether Ovlin is the program the user works in: one of its own windows is on screen and has the
// keyboard focus. Qt's application state alone does not tell: it stays "active" once the focused window
// is closed or hidden, and a later focus change to another program never reaches Ovlin.
//
// Popups (the popover, menus) count as neither: while one has the focus, the answer is what it was
// before it opened, so opening and closing the popover changes nothing. Main thread only.
class FrontmostState : public QObject
{
    Q_OBJECT

public:
    // Follows the focus from its first use on; create it before any window is shown.
    static FrontmostState &shared();

    bool isFrontmost() const;

Q_SIGNALS:
    void frontmostChanged(bool frontmost);

private:
    FrontmostState();

    void focusWindowChanged(QWindow *window);
    void update();

    // The last window other than a popup to get the focus (none once the focus left Ovlin). It is
    // watched: closing, hiding or minimising it ends Ovlin's turn without any focus change in Qt.
    QPointer<QWindow> m_lastFocus;
    bool m_frontmost = false;
};

} // namespace ovlin
