#include "DesignSystem/OvlinSegmentedControl.h"

#include "Base/MainThread.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>

namespace ovlin {

// A segment: a plain button whose look follows the control's selection.
class OvlinSegmentButton : public QAbstractButton
{
public:
    OvlinSegmentButton(OvlinSegmentedControlBase *control, int index)
        : QAbstractButton(control), m_control(control), m_index(index)
    {
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setFixedHeight(int(LayoutTokens::controlHeightSmall));
        connect(this, &QAbstractButton::clicked, this, [this] {
            OVLIN_ASSERT_MAIN_THREAD();
            QPointer<OvlinSegmentedControlBase> owner = m_control;
            if (!owner)
                return;
            owner->chooseOption(m_index);
            if (owner)
                owner->refresh();
        });
    }

    bool selected() const { return m_control && m_control->isOptionSelected(m_index); }

    QSize sizeHint() const override
    {
        const QFont &f = selected() ? ThemeFonts::bodyEmphasis() : ThemeFonts::body();
        return QSize(int(QFontMetricsF(f).horizontalAdvance(text())) + 1, int(LayoutTokens::controlHeightSmall));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        const bool on = selected();
        const double radius = LayoutTokens::radiusButton;
        if (on) {
            Painting::fillRounded(p, r, radius, ThemeColors::surface());
            Painting::strokeInside(p, r, radius, ThemeColors::border(), 1);
        }
        const QFont &f = on ? ThemeFonts::bodyEmphasis() : ThemeFonts::body();
        const QFontMetricsF fm(f);
        const QString shown = fm.elidedText(text(), Qt::ElideRight, r.width());
        p.setFont(f);
        p.setPen(on ? ThemeColors::textPrimary() : ThemeColors::textSecondary());
        const double w = fm.horizontalAdvance(shown);
        p.drawText(QPointF(r.center().x() - w / 2, r.center().y() + (fm.ascent() - fm.descent()) / 2), shown);
        if (KeyboardFocus::hasRing(this))
            Painting::strokeInside(p, r, radius, ThemeColors::neutral700(), 2);
    }

private:
    QPointer<OvlinSegmentedControlBase> m_control;
    int m_index;
};

OvlinSegmentedControlBase::OvlinSegmentedControlBase(QWidget *parent) : QWidget(parent)
{
    m_row = new QHBoxLayout(this);
    const int pad = int(LayoutTokens::spacingXS);
    m_row->setContentsMargins(pad, pad, pad, pad);
    m_row->setSpacing(int(LayoutTokens::spacingXS));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(int(LayoutTokens::controlHeightSmall + 2 * LayoutTokens::spacingXS));
}

int OvlinSegmentedControlBase::segmentCount() const
{
    return int(m_segments.size());
}

QAbstractButton *OvlinSegmentedControlBase::segment(int index) const
{
    return m_segments.value(index);
}

void OvlinSegmentedControlBase::rebuild()
{
    const int count = optionCount();
    while (m_segments.size() > count) {
        QAbstractButton *b = m_segments.takeLast();
        b->hide();
        b->deleteLater(); // may be the button whose click led here
    }
    while (m_segments.size() < count) {
        auto *b = new OvlinSegmentButton(this, int(m_segments.size()));
        m_row->addWidget(b, 1);
        m_segments << b;
    }
    for (int i = 0; i < count; ++i)
        m_segments[i]->setText(optionTitle(i));
}

void OvlinSegmentedControlBase::refresh()
{
    rebuild();
    for (QAbstractButton *b : m_segments)
        b->update();
    updateGeometry();
    update();
}

QSize OvlinSegmentedControlBase::sizeHint() const
{
    int w = 0;
    for (QAbstractButton *b : m_segments)
        w += b->sizeHint().width();
    const int pad = int(LayoutTokens::spacingXS);
    w += 2 * pad + std::max<int>(0, int(m_segments.size()) - 1) * pad;
    return QSize(w, int(LayoutTokens::controlHeightSmall) + 2 * pad);
}

void OvlinSegmentedControlBase::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void OvlinSegmentedControlBase::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF r(rect());
    Painting::fillRounded(p, r, LayoutTokens::radiusButton, ThemeColors::surfaceMuted());
    Painting::strokeInside(p, r, LayoutTokens::radiusButton, ThemeColors::borderSubtle(), 1);
}

} // namespace ovlin
