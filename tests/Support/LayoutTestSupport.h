#pragma once

#include "DesignSystem/OvlinText.h"

#include <QAbstractButton>
#include <QStringList>
#include <QWidget>

// What a screen shows in a small window: texts cut short, controls out of sight.
namespace layouttest {

// The texts under `root` that are not shown whole, as "text: why". A one-line text needs its natural
// width, a wrapping one its height at the width it has; either must lie within `area`'s width (the
// visible part of a scrolling screen, which scrolls only vertically).
inline QStringList cutTexts(const QWidget *root, const QWidget *area)
{
    QStringList cut;
    for (const ovlin::OvlinText *text : root->findChildren<ovlin::OvlinText *>()) {
        if (!text->isVisibleTo(root) || text->text().isEmpty())
            continue;
        const int left = text->mapTo(area, QPoint()).x();
        QString why;
        if (text->hasHeightForWidth()) {
            if (text->height() < text->heightForWidth(text->width()))
                why = QStringLiteral("%1 high, needs %2").arg(text->height()).arg(text->heightForWidth(text->width()));
        } else if (text->width() < text->sizeHint().width()) {
            why = QStringLiteral("%1 wide, needs %2").arg(text->width()).arg(text->sizeHint().width());
        }
        if (why.isEmpty() && (left < 0 || left + text->width() > area->width()))
            why = QStringLiteral("at %1..%2 of %3").arg(left).arg(left + text->width()).arg(area->width());
        if (!why.isEmpty())
            cut << text->text() + QStringLiteral(": ") + why;
    }
    return cut;
}

// The texts under `root` one of whose lines, as drawn, reaches under `cover`.
inline QStringList textsUnder(const QWidget *root, const QWidget *cover)
{
    QStringList under;
    const QRectF covered(cover->mapTo(root, QPoint()), cover->size());
    for (const ovlin::OvlinText *text : root->findChildren<ovlin::OvlinText *>()) {
        if (!text->isVisibleTo(root) || text->text().isEmpty())
            continue;
        ovlin::TextBlock block = text->block();
        if (!text->hasHeightForWidth())
            block.maxLines = 1;
        const QRectF shown(text->mapTo(root, QPoint()), text->size());
        for (const QRectF &line : block.lineRects(text->width())) {
            if (line.translated(shown.topLeft()).intersected(shown).intersects(covered)) {
                under << text->text();
                break;
            }
        }
    }
    return under;
}

// What is wrong with a screen's header card beside its add button in a main window `windowWidth` wide:
// texts under the button or cut short, and from 860 wide, where each was one line, texts that wrap.
inline QStringList headerProblems(const QWidget *card, const QWidget *button, const QWidget *area, int windowWidth)
{
    QStringList problems = textsUnder(card, button) + cutTexts(card, area);
    if (windowWidth >= 860) {
        for (const ovlin::OvlinText *text : card->findChildren<ovlin::OvlinText *>()) {
            if (text->height() != text->sizeHint().height())
                problems << text->text() + QStringLiteral(": wraps");
        }
    }
    return problems;
}

// The buttons under `root` that lie partly outside `area`'s width, by accessible name or text.
inline QStringList controlsOutside(const QWidget *root, const QWidget *area)
{
    QStringList outside;
    for (const QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(root))
            continue;
        const int left = button->mapTo(area, QPoint()).x();
        if (left < 0 || left + button->width() > area->width() || button->width() <= 0)
            outside << (button->accessibleName().isEmpty() ? button->text() : button->accessibleName());
    }
    return outside;
}

} // namespace layouttest
