#pragma once

#include <QAbstractButton>
#include <QFont>

namespace ovlin {

// A sheet header's close button: the "xmark" symbol, sized for the given font, on a muted square tile,
// without hover or press effects. It takes keyboard focus by Tab.
class SheetCloseButton : public QAbstractButton
{
public:
    explicit SheetCloseButton(const QFont &symbolFont, QWidget *parent = nullptr);

    // Whether a keyboard focus ring is drawn inside the tile (off by default).
    void setShowsFocusRing(bool shows) { m_showsFocusRing = shows; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont m_symbolFont;
    bool m_showsFocusRing = false;
};

} // namespace ovlin
