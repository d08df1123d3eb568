#include "DesignSystem/TimePicker.h"

#include "Base/MainThread.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinTimeField.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace ovlin {

TimePicker::TimePicker(const QDateTime &selection, const QString &label, int minuteInterval, QWidget *parent)
    : QWidget(parent), m_label(label)
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(int(LayoutTokens::spacingLG), int(LayoutTokens::spacingSM), int(LayoutTokens::spacingLG),
                              int(LayoutTokens::spacingSM));
    stack->setSpacing(int(LayoutTokens::spacingXS));

    m_caption = new QLabel(label.toUpper(), this);
    m_caption->setTextFormat(Qt::PlainText);
    QFont font = ThemeFonts::captionEmphasis();
    font.setLetterSpacing(QFont::AbsoluteSpacing, captionTracking);
    m_caption->setFont(font);
    QPalette palette = m_caption->palette();
    palette.setColor(QPalette::WindowText, ThemeColors::textTertiary());
    m_caption->setPalette(palette);
    m_caption->setAccessibleName(label.toUpper());
    stack->addWidget(m_caption, 0, Qt::AlignLeft);

    // A direct user of the field must pass 1 or more; the picker guarantees it.
    m_field = new OvlinTimeField(selection, std::max(1, minuteInterval), 0, this);
    m_field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    stack->addWidget(m_field);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    setAccessibleName(QStringLiteral("%1 time picker").arg(label));
    connect(m_field, &OvlinTimeField::selectionChanged, this, &TimePicker::selectionChanged);
}

QDateTime TimePicker::selection() const
{
    return m_field->selection();
}

void TimePicker::setSelection(const QDateTime &selection)
{
    m_field->setSelection(selection);
}

} // namespace ovlin
