#pragma once

#include <QObject>

#include <functional>

namespace ovlin {

// The platform's quit command (Ctrl+Q) in every window of Ovlin: the main window, its sheets and
// confirmations, and the popover, also while the main window is closed. A shortcut belongs to one
// window and is dead while that window is blocked by a sheet or not shown, so the key is taken for the
// whole application instead. Main thread only.
class QuitCommand : public QObject
{
    Q_OBJECT

public:
    // `quit` runs once for each press; by default the application is asked to quit once the key's
    // event has been handled, the same way as the menu's "Quit".
    explicit QuitCommand(std::function<void()> quit = {}, QObject *parent = nullptr);
    ~QuitCommand() override;

    void setHandler(std::function<void()> quit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_quit;
};

} // namespace ovlin
