#pragma once

#include "DesignSystem/KeyboardFocus.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <QtTest>

// Walks a window's Tab chain as a keyboard user does (the Tab key, offscreen; the window must be
// active) and checks what each stop shows. Header only: the tests that use it link the widgets library.
namespace focustest {

struct Stop
{
    QPointer<QWidget> widget;
    QString name;
    bool visible = false;
    bool enabled = false;
    bool container = false;
    bool ring = false;
    QRect rect; // in window coordinates, all taken at the end of the walk
};

inline QString describe(const QWidget *w)
{
    if (!w)
        return QStringLiteral("(none)");
    QString label = w->accessibleName();
    if (label.isEmpty())
        label = w->property("text").toString();
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName() +
           QStringLiteral(" \"") + label + QLatin1Char('"');
}

// Whether `w`, focused from the keyboard, looks different from `w` without the focus around its own
// rectangle: it draws a ring. The focus is given back afterwards.
inline bool drawsRing(QWidget *w)
{
    if (!ovlin::KeyboardFocus::hasRing(w))
        return false;
    QWidget *window = w->window();
    const QRect area =
        QRect(w->mapTo(window, QPoint(0, 0)), w->size()).adjusted(-4, -4, 4, 4).intersected(window->rect());
    const QImage with = window->grab(area).toImage();
    w->clearFocus();
    QCoreApplication::processEvents();
    const QImage without = window->grab(area).toImage();
    w->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    return !area.isEmpty() && with != without;
}

// A stop that holds other stops, or a scroll area: nothing of its own to act on.
inline bool isContainer(const QWidget *w)
{
    if (qobject_cast<const QAbstractScrollArea *>(w))
        return true;
    for (const QWidget *child : w->findChildren<QWidget *>()) {
        if (child->isVisible() && (child->focusPolicy() & Qt::TabFocus) && child->isEnabled())
            return true;
    }
    return false;
}

inline Stop noteStop(QWidget *w)
{
    Stop stop;
    stop.widget = w;
    stop.name = describe(w);
    stop.visible = w->isVisible() && !w->visibleRegion().isEmpty();
    stop.enabled = w->isEnabled();
    stop.container = isContainer(w);
    stop.ring = drawsRing(w);
    return stop;
}

// Focuses `start` as Tab would, then presses Tab until the focus comes back to it: every stop once, in
// order, `start` first. Stops after `limit` presses (a chain that never closes).
inline QList<Stop> walkTabChain(QWidget *start, int limit = 120)
{
    QList<Stop> stops;
    QWidget *window = start->window();
    ovlin::KeyboardFocus::install();
    QTest::keyClick(start, Qt::Key_Shift); // the last input is a key, as when the user tabs
    start->clearFocus();
    start->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    for (int i = 0; i < limit; ++i) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus || (i > 0 && focus == start))
            break;
        stops.append(noteStop(focus));
        QTest::keyClick(focus, Qt::Key_Tab);
        QCoreApplication::processEvents();
    }
    // Scrolling moved things while walking: the geometry of all stops is read at one moment.
    for (Stop &stop : stops) {
        if (stop.widget)
            stop.rect = QRect(stop.widget->mapTo(window, QPoint(0, 0)), stop.widget->size());
    }
    return stops;
}

inline QStringList names(const QList<Stop> &stops)
{
    QStringList out;
    for (const Stop &stop : stops)
        out << stop.name;
    return out;
}

// The first stop that is no visible, enabled control drawing its ring, or an empty text.
inline QString badStop(const QList<Stop> &stops)
{
    for (const Stop &stop : stops) {
        if (!stop.widget)
            return stop.name + QStringLiteral(" is gone");
        if (!stop.visible)
            return stop.name + QStringLiteral(" cannot be seen");
        if (!stop.enabled)
            return stop.name + QStringLiteral(" is disabled");
        if (stop.container)
            return stop.name + QStringLiteral(" is a container");
        if (!stop.ring)
            return stop.name + QStringLiteral(" draws no ring");
    }
    return {};
}

// The first step of the walk that goes back up the screen: each stop must lie below the one before
// (top under its bottom) or beside it toward the trailing edge (left of it past its right, in a
// left-to-right window). `tolerance` pixels of overlap are allowed.
inline QString orderBreach(const QList<Stop> &stops, int tolerance = 2)
{
    for (qsizetype i = 1; i < stops.size(); ++i) {
        const QRect a = stops.at(i - 1).rect;
        const QRect b = stops.at(i).rect;
        const bool below = b.top() >= a.bottom() - tolerance;
        const bool trailing = b.left() >= a.right() - tolerance;
        if (!below && !trailing)
            return stops.at(i - 1).name + QStringLiteral(" at ") + QString::number(a.x()) + QLatin1Char(',') +
                   QString::number(a.y()) + QStringLiteral(" then ") + stops.at(i).name + QStringLiteral(" at ") +
                   QString::number(b.x()) + QLatin1Char(',') + QString::number(b.y());
    }
    return {};
}

// Every visible Tab stop of the window (for checking that the walk missed none).
inline int tabStopCount(QWidget *window)
{
    int count = 0;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() &&
            w->window() == window)
            ++count;
    }
    return count;
}

} // namespace focustest
