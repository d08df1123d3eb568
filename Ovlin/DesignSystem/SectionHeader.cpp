#include "DesignSystem/SectionHeader.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

namespace ovlin {

namespace {

constexpr double kLabelArrowGap = 6;

// The capsule: label, 6 pixels, arrow; 8 pixels at the sides, 4 above and below.
class LinkCapsule : public QAbstractButton
{
public:
    LinkCapsule(const QString &label, QWidget *parent) : QAbstractButton(parent)
    {
        setText(label);
        setAccessibleName(label);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetricsF fm(ThemeFonts::label());
        const double arrow = IconRegistry::symbolSize(ThemeFonts::caption());
        const double w = fm.horizontalAdvance(text()) + kLabelArrowGap + arrow + 2 * LayoutTokens::spacingSM;
        const double h = std::max(fm.ascent() + fm.descent(), arrow) + 2 * LayoutTokens::spacingXS;
        return QSize(int(std::ceil(w)), int(std::ceil(h)));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF r(rect());
        p.setPen(Qt::NoPen);
        p.setBrush(ThemeColors::green200());
        p.drawPath(Painting::capsule(r));
        const QFontMetricsF fm(ThemeFonts::label());
        const double arrow = IconRegistry::symbolSize(ThemeFonts::caption());
        double x = r.left() + LayoutTokens::spacingSM;
        p.setFont(ThemeFonts::label());
        p.setPen(ThemeColors::primaryDark());
        p.drawText(QPointF(x, r.center().y() + (fm.ascent() - fm.descent()) / 2), text());
        x += fm.horizontalAdvance(text()) + kLabelArrowGap;
        IconRegistry::paint(p, QRectF(x, r.center().y() - arrow / 2, arrow, arrow), QStringLiteral("arrow.right"),
                            ThemeColors::primaryDark());
        if (KeyboardFocus::hasRing(this))
            Painting::strokeInside(p, r, r.height() / 2, ThemeColors::neutral700(), 1.5);
    }
};

} // namespace

SectionHeader::SectionHeader(const QString &title, std::optional<SectionHeaderAction> action, QWidget *parent)
    : QWidget(parent), m_title(title)
{
    auto *row = new QHBoxLayout(this);
    const int pad = int(LayoutTokens::spacingXS);
    row->setContentsMargins(0, pad, 0, pad);
    row->setSpacing(int(LayoutTokens::spacingSM));
    auto *titleText = new OvlinText(title, ThemeFonts::headline(), ThemeColors::textPrimary(), this);
    titleText->setSingleLine(true);
    row->addWidget(titleText, 0, Qt::AlignVCenter);
    row->addStretch(1);
    if (action) {
        auto *button = new LinkCapsule(action->label, this);
        connect(button, &QAbstractButton::clicked, this, [handler = action->handler] {
            OVLIN_ASSERT_MAIN_THREAD();
            if (handler)
                handler();
        });
        row->addWidget(button, 0, Qt::AlignVCenter);
        m_button = button;
    }
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

} // namespace ovlin
