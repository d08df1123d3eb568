#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QLayout>
#include <QList>
#include <QMarginsF>
#include <QString>
#include <QWidget>

#include <QHash>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class QBoxLayout;
class QHBoxLayout;
class QLayout;
class QLayoutItem;
class QScrollArea;
class QVBoxLayout;

namespace ovlin::today {

// Small painted pieces the today and habits screens are built from. Everything here draws plain text only.

// A square tile: a symbol centred on a rounded fill, or an image filling it (cropped, aspect kept).
class IconTile : public QWidget
{
    Q_OBJECT
public:
    IconTile(double side, double radius, const QColor &fill, const QString &symbol, const QFont &symbolFont,
             const QColor &symbolColor, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    QColor symbolColor() const { return m_symbolColor; }
    void setImage(const QImage &image);
    bool showsImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_side;
    double m_radius;
    QColor m_fill;
    QString m_symbol;
    QFont m_symbolFont;
    QColor m_symbolColor;
    QImage m_image;
};

// One run of text inside a pill.
struct PillSegment
{
    QString text;
    QFont font;
    QColor color;
};

// Texts side by side on a rounded fill (a capsule unless a radius is given), outlined inside its edge.
class Pill : public QWidget
{
    Q_OBJECT
public:
    Pill(const QList<PillSegment> &segments, double spacing, const QMarginsF &padding, const QColor &fill,
         const QColor &outline, QWidget *parent = nullptr);

    void setRadius(double radius);
    // The segments' texts joined by single spaces.
    QString text() const;
    QColor fill() const { return m_fill; }
    QColor outline() const { return m_outline; }
    const QList<PillSegment> &segments() const { return m_segments; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<PillSegment> m_segments;
    double m_spacing;
    QMarginsF m_padding;
    QColor m_fill;
    QColor m_outline;
    double m_radius;
};

// A chrome-less button drawn as its label in a rounded rectangle (fill and inside outline optional). It
// dims slightly while held down.
class LabelButton : public QAbstractButton
{
    Q_OBJECT
public:
    struct Look
    {
        QFont font;
        QColor textColor;
        QColor fill = Qt::transparent;
        QColor outline = Qt::transparent;
        double height = 32;
        double horizontalPadding = 8;
        double radius = 14;
    };

    LabelButton(const QString &title, const Look &look, std::function<void()> action, QWidget *parent = nullptr);

    const Look &look() const { return m_look; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Look m_look;
    std::function<void()> m_action;
};

// A thin bar: a full-width track and a fill `fraction` of the width (never narrower than `minimumFill`).
class ProgressBar : public QWidget
{
    Q_OBJECT
public:
    ProgressBar(double height, const QColor &track, const QColor &fill, double fraction, double minimumFill,
                QWidget *parent = nullptr);

    double fraction() const { return m_fraction; }
    QColor fillColor() const { return m_fill; }
    // The fill's width for a bar `width` wide.
    double fillWidth(double width) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_height;
    QColor m_track;
    QColor m_fill;
    double m_fraction;
    double m_minimumFill;
};

// A plain container that paints a rounded fill (and an optional inside outline) behind its layout.
class RoundedPanel : public QWidget
{
    Q_OBJECT
public:
    RoundedPanel(const QColor &fill, double radius, QWidget *parent = nullptr);
    void setOutline(const QColor &color, double width = 1);
    QColor fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    double m_radius;
    QColor m_outline = Qt::transparent;
    double m_outlineWidth = 1;
};

// Text helpers: a wrapping label, and a one-line label elided at the width it gets.
QWidget *wrappingText(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);
QWidget *singleLineText(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);
// A one-line label that is never squeezed below its first few characters and an ellipsis: a short text
// stays whole, a longer one still says what it is about.
QWidget *readableSingleLineText(const QString &text, const QFont &font, const QColor &color, QWidget *parent = nullptr);
inline constexpr int readableCharacters = 5;

// A layout that owns a plain list of items, for the layouts below that place them themselves.
class ItemListLayout : public QLayout
{
public:
    using QLayout::QLayout;
    ~ItemListLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

protected:
    // The owner's layout direction (the application's without an owner).
    Qt::LayoutDirection direction() const;

    QList<QLayoutItem *> m_items;
};

// A row of two parts, each vertically centred: a leading part that takes the spare width, and a trailing
// part at its natural width. Where the leading part's minimum (or the width it needs, if set) and the
// trailing part do not fit side by side, the trailing part goes under the leading one, at the trailing
// edge, `wrapSpacing` below it.
class WrappingRowLayout : public ItemListLayout
{
public:
    WrappingRowLayout(QWidget *owner, double spacing, double wrapSpacing, const QMarginsF &margins);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

    // Whether the trailing part sits under the leading one at this width of the owner.
    bool wrapsAt(int width) const;
    // The width the leading part needs beside the trailing one, so that its texts are not cut short.
    void setLeadingNeeds(int width) { m_leadingNeeds = width; }

private:
    QLayoutItem *part(int index) const;
    int partHeight(int index, int width) const;

    int m_wrapSpacing;
    int m_leadingNeeds = 0;
};

// Items side by side at their natural widths from the leading edge, going on to a further line where the
// next one would not fit; each line is as high as its tallest item, which are centred in it. An item
// wider than the whole width gets that width. Its minimum width is that of its widest item's minimum.
class FlowRowLayout : public ItemListLayout
{
public:
    FlowRowLayout(QWidget *owner, double spacing, double lineSpacing);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

    // The least width at which the items, each whole, take at most `lines` lines.
    int widthForLines(int lines) const;

private:
    // Lays the items out in `rect` (or only measures, without `place`); answers the height taken.
    int arrange(const QRect &rect, bool place, int *lineCount = nullptr) const;

    int m_lineSpacing;
};

// A column of texts with something laid over its top trailing corner (an add button): lines beside
// `corner` end short of it, lines below it take the whole width (OvlinText::setFreeCorner). Other items
// are laid out as in a plain column.
class CornerColumnLayout : public ItemListLayout
{
public:
    CornerColumnLayout(QWidget *owner, double spacing, const QSizeF &corner = {});

    // The box at the top trailing corner, gap included.
    void setCorner(const QSizeF &corner);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

private:
    // Lays the items out in `rect` (or only measures, without `place`); answers the height taken.
    int arrange(const QRect &rect, bool place) const;

    QSizeF m_corner;
};

// Fades `widget` in from transparent to `opacity` over `seconds` (ease-out); at once while animations are
// switched off.
void fadeIn(QWidget *widget, double opacity, double seconds);

// Draws `widget` (and its children) at `opacity`, a control's keyboard ring inside excepted; 1 removes
// the effect.
void setOpacity(QWidget *widget, double opacity);
double opacityOf(const QWidget *widget);

// Layout shorthands with spacing and margins in pixels.
QVBoxLayout *vbox(QWidget *owner, double spacing, const QMarginsF &margins = {});
// A frameless, vertically scrolling area over the app background, as the screens use.
QScrollArea *screenScrollArea(QWidget *parent, const QString &objectName);
// Whether the view is within a screenful of its end, where a list built in batches grows.
bool nearScrollEnd(const QScrollArea &area);
QHBoxLayout *hbox(QWidget *owner, double spacing, const QMarginsF &margins = {});
// A flexible space that never shrinks below `minimum` along the layout's direction.
void addFlexibleSpace(QBoxLayout *layout, double minimum);
// Removes every item from index `from` on; widgets are hidden and deleted later, never at once.
void clearLayout(QLayout *layout, int from = 0);

// One entry of a keyed list: `key` names the entry and everything it shows, so an entry whose key is
// unchanged keeps its widget; `make` builds the widget when the key is new.
struct KeyedItem
{
    QString key;
    std::function<QWidget *()> make;
};

// Keeps the widgets of a box layout (from index `from` on) in step with a list of keyed items: widgets
// whose key is still listed stay as they are (moved to their new place), new keys get new widgets, the
// rest are hidden and deleted later (never at once: one of them may be running the handler that caused
// the change). Keyboard focus inside a widget that goes moves to the widget now at its place, or to
// `focusFallback`, rather than on along the window's focus chain.
class KeyedWidgets
{
public:
    // Answers whether anything changed.
    bool reconcile(QBoxLayout *layout, int from, const QList<KeyedItem> &items, QWidget *focusFallback);
    QWidget *widget(const QString &key) const;
    const QStringList &keys() const { return m_keys; }
    void forget();

private:
    QStringList m_keys;
    QHash<QString, QPointer<QWidget>> m_widgets;
};

// A time of day as the user's locale writes it in its short form, hours and minutes only.
QString shortTime(const QDateTime &moment);

} // namespace ovlin::today
