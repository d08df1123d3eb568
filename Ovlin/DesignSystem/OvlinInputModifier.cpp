#include "DesignSystem/OvlinInputModifier.h"

#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinStyle.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

// Qt draws a line edit's cursor by inverting what lies under it, whatever the palette says. Styled fields
// get this style, which gives that cursor no width, and draw their own in the accent colour.
class OwnCaretStyle : public OvlinStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override
    {
        if (metric == PM_TextCursorWidth)
            return 0;
        return OvlinStyle::pixelMetric(metric, option, widget);
    }

    // The width Qt's own cursor would have had.
    int caretWidth() const { return std::max(1, OvlinStyle::pixelMetric(PM_TextCursorWidth)); }
};

OwnCaretStyle *ownCaretStyle()
{
    static QPointer<OwnCaretStyle> style;
    if (!style) {
        style = new OwnCaretStyle;
        style->setParent(qApp);
    }
    return style;
}

// Lies over the field and draws only the caret, so it comes on top of the field's text.
class CaretLayer : public QWidget
{
public:
    CaretLayer(QLineEdit *field, const OvlinInputModifier *modifier) : QWidget(field), m_modifier(modifier)
    {
        setObjectName(QStringLiteral("caretLayer"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(field->rect());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QRectF caret = m_modifier ? m_modifier->caretRect() : QRectF();
        if (caret.isEmpty())
            return;
        const auto *field = static_cast<QLineEdit *>(parentWidget());
        QPainter p(this);
        // Only where the field draws its text.
        p.setClipRect(rect().marginsRemoved(field->textMargins()));
        p.fillRect(caret, ThemeColors::accent());
    }

private:
    QPointer<const OvlinInputModifier> m_modifier;
};

} // namespace

OvlinInputModifier *OvlinInputModifier::apply(QLineEdit *field)
{
    if (!field)
        return nullptr;
    if (auto *existing = field->findChild<OvlinInputModifier *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new OvlinInputModifier(field);
}

OvlinInputModifier::OvlinInputModifier(QLineEdit *field) : QObject(field), m_field(field)
{
    field->setStyle(ownCaretStyle());
    field->setFrame(false);
    field->setFont(ThemeFonts::body());
    QPalette pal = field->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Text, ThemeColors::textPrimary());
        pal.setColor(group, QPalette::Base, Qt::transparent);
        pal.setColor(group, QPalette::Highlight, ThemeColors::accent());
        pal.setColor(group, QPalette::HighlightedText, ThemeColors::textPrimary());
    }
    pal.setColor(QPalette::Disabled, QPalette::Base, Qt::transparent);
    field->setPalette(pal);
    const int pad = int(LayoutTokens::spacingLG);
    field->setTextMargins(pad, 0, pad, 0);
    field->setFixedHeight(int(LayoutTokens::controlHeightMedium));
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_isFocused = field->hasFocus();
    m_focus.setImmediately(m_isFocused ? 1 : 0);
    connect(&m_focus, &AnimatedValue::valueChanged, this, [this] {
        if (m_field)
            m_field->update();
    });

    m_caretLayer = new CaretLayer(field, this);
    m_blink = new QTimer(this);
    connect(m_blink, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        updateCaret();
    });
    // Like the platform's cursor, the caret stays on while the user types or moves it.
    const auto restart = [this] {
        if (m_isFocused)
            restartBlink();
    };
    connect(field, &QLineEdit::textChanged, this, restart);
    connect(field, &QLineEdit::cursorPositionChanged, this, restart);
    connect(field, &QLineEdit::selectionChanged, this, restart);
    connect(QGuiApplication::styleHints(), &QStyleHints::cursorFlashTimeChanged, this, restart);
    if (m_isFocused)
        restartBlink();
    field->installEventFilter(this);
}

QRectF OvlinInputModifier::caretRect() const
{
    if (!m_field || !m_isFocused || !m_caretOn || m_field->isReadOnly() || !m_field->inputMask().isEmpty())
        return {};
    // The field's cursor rectangle is a few pixels wider than the cursor, centred on it.
    const QRectF cursor(m_field->inputMethodQuery(Qt::ImCursorRectangle).toRect());
    if (cursor.isEmpty())
        return {};
    return QRectF(std::round(cursor.center().x()), cursor.top(), ownCaretStyle()->caretWidth(),
                  std::max(1.0, cursor.height() - 1));
}

void OvlinInputModifier::restartBlink()
{
    m_caretOn = m_isFocused;
    m_blink->stop();
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (m_isFocused && flash > 0 && Motion::animationsEnabled())
        m_blink->start(flash / 2);
    updateCaret();
}

void OvlinInputModifier::updateCaret()
{
    if (!m_caretLayer)
        return;
    // Where it was and where it is now.
    const QRect now = caretRect().toAlignedRect();
    m_caretLayer->update(m_caretDrawn.united(now).adjusted(-1, 0, 1, 0));
    m_caretDrawn = now;
}

bool OvlinInputModifier::eventFilter(QObject *watched, QEvent *event)
{
    // A focused field being destroyed loses its focus from ~QWidget, when it is no longer a line edit:
    // compare plain pointers and leave it alone then.
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (field && watched == parent()) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            m_isFocused = event->type() == QEvent::FocusIn;
            m_focus.animateTo(m_isFocused ? 1 : 0, MotionCurve::easeOut(0.12));
            restartBlink();
            field->update();
            break;
        case QEvent::Paint:
            // Drawn under the field's own text, which follows.
            paintBackground();
            break;
        case QEvent::Resize:
            if (m_caretLayer)
                m_caretLayer->setGeometry(field->rect());
            break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void OvlinInputModifier::paintBackground()
{
    QPainter p(m_field);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(m_field->rect());
    const double radius = LayoutTokens::radiusSM;
    Painting::fillRounded(p, r, radius, ThemeColors::inputBackground());
    const double t = m_focus.value();
    const QColor from = ThemeColors::border();
    const QColor to = ThemeColors::neutral700();
    const QColor stroke = QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * float(t),
                                           from.greenF() + (to.greenF() - from.greenF()) * float(t),
                                           from.blueF() + (to.blueF() - from.blueF()) * float(t));
    Painting::strokeInside(p, r, radius, stroke, 1 + t);
}

} // namespace ovlin
