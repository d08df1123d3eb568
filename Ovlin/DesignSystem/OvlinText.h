#pragma once

#include "DesignSystem/TextBlock.h"

#include <QWidget>

namespace ovlin {

// A plain-text label drawn with a TextBlock: wraps to the width it is given (height for width), with an
// optional line limit and line spacing. Text is never read as markup.
class OvlinText : public QWidget
{
    Q_OBJECT
public:
    OvlinText(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);

    QString text() const { return m_block.text; }
    void setText(const QString &text);
    void setColor(const QColor &color);
    void setTextFont(const QFont &font);
    void setAlignment(Qt::Alignment alignment);
    void setMaxLines(int lines);
    void setLineSpacing(double spacing);
    // Keeps the text on one line at its natural width (elided when squeezed).
    void setSingleLine(bool single);
    // Lines beside a box at the top trailing corner end short of it (TextBlock::freeCorner).
    void setFreeCorner(const QSizeF &corner);
    const TextBlock &block() const { return m_block; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void changed();

    TextBlock m_block;
    bool m_singleLine = false;
};

} // namespace ovlin
