#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>

namespace ovlin {

// The application's item in the desktop's status area, as the menu-bar controller sees it. The real one
// is a tray icon (TrayStatusItem); tests hand the controller their own.
class MenuBarStatusItem : public QObject
{
    Q_OBJECT

public:
    enum class Click { left, right };

    using QObject::QObject;
    ~MenuBarStatusItem() override;

    // Whether a status area host shows the item right now. The item is set up and shown either way, so a
    // host that starts later (a panel that comes up after the app at login) still picks it up; until
    // then nothing is clickable.
    virtual bool hasButton() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    virtual void setIcon(const QIcon &icon) = 0;
    virtual QIcon icon() const = 0;
    // What assistive technology (and a hovering pointer) reads for the item.
    virtual void setAccessibleName(const QString &name) = 0;
    virtual QString accessibleName() const = 0;
    // The item's place on the screen, in global coordinates; empty when the host does not say.
    virtual QRect geometry() const = 0;

Q_SIGNALS:
    // A click on the item was released.
    void clicked(ovlin::MenuBarStatusItem::Click click);
};

} // namespace ovlin
