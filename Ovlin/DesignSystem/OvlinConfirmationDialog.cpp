#include "DesignSystem/OvlinConfirmationDialog.h"

#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace ovlin {

namespace {

class IconTile : public QWidget
{
public:
    IconTile(const QString &icon, QColor tile, QColor glyph, QWidget *parent)
        : QWidget(parent), m_icon(icon), m_tile(tile), m_glyph(glyph)
    {
        setFixedSize(int(LayoutTokens::dialogIconSize), int(LayoutTokens::dialogIconSize));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Painting::fillRounded(p, r, LayoutTokens::radiusMD, m_tile);
        const double side = IconRegistry::symbolSize(ThemeFonts::heading());
        IconRegistry::paint(p, QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side), m_icon,
                            m_glyph);
    }

private:
    QString m_icon;
    QColor m_tile;
    QColor m_glyph;
};

} // namespace

OvlinConfirmationDialog::OvlinConfirmationDialog(const QString &icon, const QString &title, const QString &message,
                                                 const QString &confirmTitle, OvlinButtonStyle confirmStyle,
                                                 const QString &cancelTitle, std::function<void()> onCancel,
                                                 std::function<void()> onConfirm, QWidget *parent)
    : QWidget(parent), m_confirmStyle(confirmStyle)
{
    setFixedWidth(int(LayoutTokens::dialogWidth));
    auto *stack = new QVBoxLayout(this);
    const int pad = int(LayoutTokens::spacingXXL);
    stack->setContentsMargins(pad, pad, pad, pad);
    stack->setSpacing(int(LayoutTokens::stackRegular));

    stack->addWidget(new IconTile(icon, iconTileColor(), iconColor(), this), 0, Qt::AlignHCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(int(LayoutTokens::stackTight));
    auto *titleText = new OvlinText(title, ThemeFonts::dialogTitle(), ThemeColors::textPrimary(), this);
    titleText->setAlignment(Qt::AlignHCenter);
    texts->addWidget(titleText);
    auto *messageText = new OvlinText(message, ThemeFonts::callout(), ThemeColors::textSecondary(), this);
    messageText->setAlignment(Qt::AlignHCenter);
    messageText->setMaximumWidth(int(messageMaxWidth));
    texts->addWidget(messageText, 0, Qt::AlignHCenter);
    stack->addLayout(texts);

    auto *row = new QWidget(this);
    // At most 380 wide, otherwise as wide as the content area.
    row->setFixedWidth(int(std::min(buttonRowMaxWidth, LayoutTokens::dialogWidth - 2 * LayoutTokens::spacingXXL)));
    auto *buttons = new QHBoxLayout(row);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(int(LayoutTokens::spacingSM));
    m_cancel = new OvlinButton(cancelTitle, OvlinButtonStyle::secondary, OvlinButtonSize::default_, false, false,
                               std::move(onCancel), row);
    m_confirm =
        new OvlinButton(confirmTitle, confirmStyle, OvlinButtonSize::default_, false, false, std::move(onConfirm), row);
    buttons->addWidget(m_cancel, 1);
    buttons->addWidget(m_confirm, 1);
    stack->addWidget(row);
    stack->setAlignment(row, Qt::AlignHCenter);
    // The width is fixed, so the height follows from the wrapped texts once.
    setFixedHeight(stack->heightForWidth(width()));
}

QColor OvlinConfirmationDialog::iconTileColor() const
{
    return m_confirmStyle == OvlinButtonStyle::destructive ? Painting::withOpacity(ThemeColors::destructive(), 0.08)
                                                           : ThemeColors::green200();
}

QColor OvlinConfirmationDialog::iconColor() const
{
    return m_confirmStyle == OvlinButtonStyle::destructive ? ThemeColors::destructive() : ThemeColors::primary();
}

void OvlinConfirmationDialog::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    const double radius = LayoutTokens::radiusXL;
    Painting::drawShadow(p, r, radius, LayoutTokens::overlayShadow, Painting::withOpacity(ThemeColors::shadow(), 0.12));
    Painting::fillRounded(p, r, radius, ThemeColors::surface());
    Painting::strokeInside(p, r, radius, ThemeColors::borderSubtle(), 1);
}

} // namespace ovlin
