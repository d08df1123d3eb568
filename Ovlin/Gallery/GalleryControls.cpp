// Gallery pages of the buttons, form controls, input style, card, dialog and section header.
#include "GalleryPage.h"
#include "GalleryRegistry.h"

#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/OvlinInputModifier.h"
#include "DesignSystem/OvlinMenuField.h"
#include "DesignSystem/OvlinSegmentedControl.h"
#include "DesignSystem/OvlinSliderControl.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/OvlinSwitch.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

#include <memory>

using namespace ovlin;
using namespace ovlin::gallery;

namespace {

// One palette colour: a rounded tile with a hairline outline.
class Swatch : public QWidget
{
public:
    explicit Swatch(const QColor &color) : m_color(color) { setFixedSize(64, 40); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        Painting::fillRounded(p, r, LayoutTokens::radiusSM, m_color);
        Painting::strokeInside(p, r, LayoutTokens::radiusSM, ThemeColors::neutral300(), 1);
    }

private:
    QColor m_color;
};

QString styleName(OvlinButtonStyle s)
{
    switch (s) {
    case OvlinButtonStyle::primary: return QStringLiteral("primary");
    case OvlinButtonStyle::accent: return QStringLiteral("accent");
    case OvlinButtonStyle::secondary: return QStringLiteral("secondary");
    case OvlinButtonStyle::ghost: return QStringLiteral("ghost");
    case OvlinButtonStyle::destructive: return QStringLiteral("destructive");
    }
    return {};
}

QWidget *buttonPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinButton"));
    const OvlinButtonStyle styles[] = {OvlinButtonStyle::primary, OvlinButtonStyle::accent, OvlinButtonStyle::secondary,
                                       OvlinButtonStyle::ghost, OvlinButtonStyle::destructive};
    const struct
    {
        OvlinButtonSize size;
        const char *name;
    } sizes[] = {{OvlinButtonSize::small, "small"},
                 {OvlinButtonSize::default_, "default"},
                 {OvlinButtonSize::large, "large"},
                 {OvlinButtonSize::icon, "icon"}};
    for (const auto &size : sizes) {
        page->addRow(QString::fromLatin1(size.name));
        for (auto style : styles) {
            const bool icon = size.size == OvlinButtonSize::icon;
            auto *b = new OvlinButton(icon ? QStringLiteral("plus") : QStringLiteral("Save"), style, size.size, false,
                                      false, [] {});
            page->addCell(b, styleName(style), icon ? 0 : 140);
        }
    }
    const char *states[] = {"hover", "pressed", "loading", "isDisabled", "setEnabled(false)", "keyboard focus"};
    for (auto style : styles) {
        page->addRow(styleName(style));
        for (int i = 0; i < 6; ++i) {
            auto *b = new OvlinButton(QStringLiteral("Next"), style, OvlinButtonSize::default_, i == 2, i == 3, [] {});
            if (i == 4)
                b->setEnabled(false);
            page->addCell(b, QString::fromLatin1(states[i]), 140);
            if (i == 0)
                simulateHover(b);
            if (i == 1)
                simulatePress(b);
            if (i == 5)
                simulateFocus(b);
        }
        auto *loadingIcon = new OvlinButton(QStringLiteral("trash"), style, OvlinButtonSize::icon, true, false, [] {});
        page->addCell(loadingIcon, QStringLiteral("icon loading"));
    }
    return page;
}

// Bound values live as long as the page.
template <typename T> Binding<T> heldValue(QWidget *owner, T initial)
{
    auto *holder = new QObject(owner);
    auto value = std::make_shared<T>(initial);
    holder->setProperty("held", true);
    return {[value] { return *value; }, [value](const T &v) { *value = v; }};
}

QWidget *segmentedPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinSegmentedControl"));
    page->setBackground(ThemeColors::surface());
    const QList<OvlinSegmentedOption<QString>> sounds{{QStringLiteral("default"), QStringLiteral("Default")},
                                                      {QStringLiteral("soft"), QStringLiteral("Soft")},
                                                      {QStringLiteral("none"), QStringLiteral("None")}};
    page->addRow(QStringLiteral("selection"));
    page->addCell(new OvlinSegmentedControl<QString>(heldValue<QString>(page, "default"), sounds), "first selected",
                  320);
    page->addCell(new OvlinSegmentedControl<QString>(heldValue<QString>(page, "none"), sounds), "last selected", 320);
    page->addRow(QStringLiteral("edge cases"));
    page->addCell(new OvlinSegmentedControl<QString>(heldValue<QString>(page, "other"), sounds), "no match", 320);
    const QList<OvlinSegmentedOption<int>> shared{
        {1, QStringLiteral("One")}, {1, QStringLiteral("Also one")}, {2, QStringLiteral("Two")}};
    page->addCell(new OvlinSegmentedControl<int>(heldValue<int>(page, 1), shared), "shared value", 320);
    auto *focused = new OvlinSegmentedControl<QString>(heldValue<QString>(page, "soft"), sounds);
    page->addRow(QStringLiteral("focus"));
    page->addCell(focused, "keyboard focus on 1st", 320);
    simulateFocus(focused->segment(0));
    return page;
}

QWidget *stepperPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinStepperField"));
    page->addRow(QStringLiteral("interval"));
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 30), 5, 240, 5, "min"), "30 in 5...240", 260);
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 5), 5, 240, 5, "min"), "at lower bound", 260);
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 238), 5, 240, 5, "min"), "238: plus off", 260);
    page->addRow(QStringLiteral("days"));
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 1), 1, 365, 1, "day"), "1 day", 260);
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 365), 1, 365, 1, "days"), "at upper bound", 260);
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 400), 1, 365, 1, "days"), "outside range", 260);
    page->addRow(QStringLiteral("suffix"));
    page->addCell(new OvlinStepperField(heldValue<qint64>(page, 111), 1, 365, 1, ""), "empty suffix", 260);
    auto *focused = new OvlinStepperField(heldValue<qint64>(page, 88), 1, 365, 1, "days");
    page->addCell(focused, "plus focused", 260);
    simulateFocus(focused->incrementButton());
    return page;
}

QWidget *menuFieldPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinMenuField"));
    using Opt = OvlinMenuOption<QString>;
    const QList<Opt> categories{{"any", "Any category", std::nullopt},
                                {"meal", "Meal", QStringLiteral("fork.knife.circle.fill")},
                                {"water", "Water", QStringLiteral("drop.fill")},
                                {"movement", "Movement", QStringLiteral("figure.run.circle.fill")}};
    page->addRow(QStringLiteral("fills width"));
    page->addCell(new OvlinMenuField<QString>(heldValue<QString>(page, "water"), "Category", categories), "match", 280);
    page->addCell(new OvlinMenuField<QString>(heldValue<QString>(page, "zzz"), "Category", categories),
                  "no match: own title", 280);
    page->addRow(QStringLiteral("fixed width"));
    page->addCell(new OvlinMenuField<QString>(heldValue<QString>(page, "meal"), "Category", categories, 180.0),
                  "width 180");
    auto *longTitle = new OvlinMenuField<QString>(heldValue<QString>(page, "x"),
                                                  "A rather long title that does not fit", categories, 180.0);
    page->addCell(longTitle, "elided");
    auto *focused = new OvlinMenuField<QString>(heldValue<QString>(page, "any"), "Category", categories, 180.0);
    page->addCell(focused, "keyboard focus");
    simulateFocus(focused);

    // The open menu, captured as a picture (it is a window of its own).
    auto *opened = new OvlinMenuField<QString>(heldValue<QString>(page, "water"), "Category", categories, 220.0);
    opened->resize(220, 44);
    QMenu *menu = opened->popupMenu();
    menu->adjustSize();
    auto *shot = new QLabel;
    shot->setPixmap(menu->grab());
    menu->close();
    delete opened;
    page->addRow(QStringLiteral("menu"));
    page->addCell(shot, "open menu, Water selected");
    return page;
}

QWidget *sliderPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinSliderControl"));
    page->setBackground(ThemeColors::surface());
    page->addRow(QStringLiteral("threshold"));
    page->addCell(new OvlinSliderControl(heldValue<double>(page, 0.8), 0.5, 1, 0.05, "50%", "100%", "80%"), "0.8", 360);
    page->addCell(new OvlinSliderControl(heldValue<double>(page, 0.5), 0.5, 1, 0.05, "50%", "100%", "50%"), "lower",
                  360);
    page->addRow(QStringLiteral("ends"));
    page->addCell(new OvlinSliderControl(heldValue<double>(page, 1.0), 0.5, 1, 0.05, "50%", "100%", "100%"), "upper",
                  360);
    auto *focused = new OvlinSliderControl(heldValue<double>(page, 0.65), 0.5, 1, 0.05, "50%", "100%", "65%");
    page->addCell(focused, "keyboard focus", 360);
    simulateFocus(focused->slider());
    return page;
}

QWidget *switchPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinSwitch"));
    page->setBackground(ThemeColors::surface());
    const struct
    {
        double scale;
        const char *name;
    } scales[] = {{1.0, "full size"}, {0.92, "scale 0.92"}};
    const char *states[] = {"off", "on", "pressed off", "pressed on"};
    for (const auto &size : scales) {
        page->addRow(QString::fromLatin1(size.name));
        for (int state = 0; state < 4; ++state) {
            auto *toggle = new OvlinSwitch(size.scale);
            toggle->setChecked(state % 2 == 1);
            page->addCell(toggle, QString::fromLatin1(states[state]));
            if (state >= 2)
                simulatePress(toggle);
        }
    }
    page->addRow(QStringLiteral("focus"));
    auto *focused = new OvlinSwitch;
    focused->setChecked(true);
    page->addCell(focused, "keyboard focus");
    simulateFocus(focused);
    return page;
}

QWidget *inputPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinInputModifier"));
    auto make = [](const QString &text, const QString &prompt) {
        auto *field = new QLineEdit(text);
        field->setPlaceholderText(prompt);
        OvlinInputModifier::apply(field);
        return field;
    };
    page->addRow(QStringLiteral("states"));
    page->addCell(make("", "e.g. Drink water"), "empty, prompt", 260);
    page->addCell(make("Lunch break", ""), "text", 260);
    auto *focused = make("Stretch", "");
    page->addCell(focused, "focused, caret at the end", 260);
    // Clicked into rather than tabbed to, so the text is not selected and the caret shows.
    simulateFocus(focused, Qt::MouseFocusReason);
    auto *disabled = make("Read <b>10</b> pages", "");
    disabled->setEnabled(false);
    page->addCell(disabled, "disabled, markup stays text", 260);
    return page;
}

QWidget *cardPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinCard"));
    auto content = [](const QString &text) {
        auto *t = new OvlinText(text, ThemeFonts::body(), ThemeColors::textPrimary());
        return t;
    };
    page->addRow(QStringLiteral("border / shadow"));
    page->addCell(new OvlinCard(24, ThemeColors::surface(), {}, true, true, content("Border and shadow")),
                  "border on, shadow on", 240);
    page->addCell(new OvlinCard(24, ThemeColors::surface(), {}, false, true, content("Shadow only")),
                  "border off (subtle)", 240);
    page->addCell(new OvlinCard(24, ThemeColors::surface(), {}, true, false, content("Border only")), "shadow off",
                  240);
    page->addRow(QStringLiteral("variants"));
    page->addCell(new OvlinCard(16, ThemeColors::surfaceSubtle(), {}, true, true, content("Padding 16, subtle")),
                  "surfaceSubtle", 240);
    auto background = [](QPainter &p, const QRectF &r) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(ThemeColors::green200());
        p.drawEllipse(QPointF(r.right() - 10, r.bottom() + 10), 80, 80);
    };
    page->addCell(new OvlinCard(32, ThemeColors::surface(), background, true, false, content("Background view")),
                  "background drawing", 240);
    auto *hovered = new OvlinCard(24, ThemeColors::surface(), {}, true, true, content("Hovered"));
    page->addCell(hovered, "hover", 240);
    simulateHover(hovered);
    return page;
}

QWidget *dialogPage()
{
    auto *page = new GalleryPage(QStringLiteral("OvlinConfirmationDialog"));
    page->addRow(QStringLiteral("destructive"));
    page->addCell(new OvlinConfirmationDialog(
        "trash", "Delete reward?", "This reward gets removed completely. If you're sure, do your thing.", "Delete",
        OvlinButtonStyle::destructive, "Cancel", [] {}, [] {}));
    page->addRow(QStringLiteral("primary"));
    page->addCell(new OvlinConfirmationDialog(
        "checkmark.seal.fill", "A long question that wraps onto a second line within the dialog?",
        "A long message wraps onto as many lines as it needs within 360 points and is never cut off, however "
        "much there is to say about the step the user is about to take.",
        "Confirm", OvlinButtonStyle::primary, "Not now", [] {}, [] {}));
    return page;
}

QWidget *sectionHeaderPage()
{
    auto *page = new GalleryPage(QStringLiteral("SectionHeader"));
    page->addRow(QStringLiteral("title only"));
    page->addCell(new SectionHeader("Reward", std::nullopt), "", 320);
    page->addRow(QStringLiteral("with action"));
    page->addCell(new SectionHeader("Notifications", SectionHeaderAction{"Test", [] {}}), "", 320);
    page->addCell(new SectionHeader("A", SectionHeaderAction{"See all", [] {}}), "short title", 320);
    return page;
}

QWidget *iconsPage()
{
    auto *page = new GalleryPage(QStringLiteral("Icons"));
    const QStringList names = IconRegistry::names();
    int i = 0;
    for (const QString &name : names) {
        if (i++ % 6 == 0)
            page->addRow(QString());
        auto *cell = new QWidget;
        cell->setFixedSize(32, 32);
        cell->setObjectName(name);
        struct Painter : QObject
        {
            using QObject::QObject;
            bool eventFilter(QObject *o, QEvent *e) override
            {
                if (e->type() == QEvent::Paint) {
                    auto *w = static_cast<QWidget *>(o);
                    QPainter p(w);
                    IconRegistry::paint(p, QRectF(w->rect()), w->objectName(), ThemeColors::textPrimary());
                    return true;
                }
                return false;
            }
        };
        cell->installEventFilter(new Painter(cell));
        page->addCell(cell, name, 150);
    }
    return page;
}

QWidget *tokensPage()
{
    auto *page = new GalleryPage(QStringLiteral("Tokens"));
    const struct
    {
        const char *name;
        const QFont &font;
    } fonts[] = {{"display", ThemeFonts::display()},
                 {"title", ThemeFonts::title()},
                 {"heading", ThemeFonts::heading()},
                 {"headline", ThemeFonts::headline()},
                 {"body", ThemeFonts::body()},
                 {"bodyEmphasis", ThemeFonts::bodyEmphasis()},
                 {"callout", ThemeFonts::callout()},
                 {"label", ThemeFonts::label()},
                 {"caption", ThemeFonts::caption()},
                 {"captionEmphasis", ThemeFonts::captionEmphasis()},
                 {"statNumber", ThemeFonts::statNumber()}};
    for (const auto &f : fonts) {
        page->addRow(QString::fromLatin1(f.name));
        auto *t = new OvlinText(QStringLiteral("Hey. I'm Ovlin. 0123456789"), f.font, ThemeColors::textPrimary());
        t->setSingleLine(true);
        page->addCell(t);
    }
    const struct
    {
        const char *name;
        const QColor &color;
    } colors[] = {{"green900", ThemeColors::green900()},     {"green500", ThemeColors::green500()},
                  {"green400", ThemeColors::green400()},     {"green300", ThemeColors::green300()},
                  {"green200", ThemeColors::green200()},     {"green100", ThemeColors::green100()},
                  {"amber500", ThemeColors::amber500()},     {"red500", ThemeColors::red500()},
                  {"neutral900", ThemeColors::neutral900()}, {"neutral700", ThemeColors::neutral700()},
                  {"neutral500", ThemeColors::neutral500()}, {"neutral400", ThemeColors::neutral400()},
                  {"neutral300", ThemeColors::neutral300()}, {"neutral200", ThemeColors::neutral200()},
                  {"neutral100", ThemeColors::neutral100()}, {"neutral50", ThemeColors::neutral50()}};
    // Eight swatches to a row, in a strip of their own so they do not take the type samples' column width.
    QGridLayout *strip = nullptr;
    int i = 0;
    for (const auto &c : colors) {
        if (i % 8 == 0) {
            page->addRow(QStringLiteral("palette"));
            auto *holder = new QWidget;
            strip = new QGridLayout(holder);
            strip->setContentsMargins(0, 0, 0, 0);
            strip->setHorizontalSpacing(16);
            strip->setVerticalSpacing(6);
            page->addCell(holder);
        }
        // Outlined, so the palest colours still show against the page.
        strip->addWidget(new Swatch(c.color), 0, i % 8, Qt::AlignHCenter);
        auto *name = new OvlinText(QString::fromLatin1(c.name), ThemeFonts::caption(), ThemeColors::textSecondary());
        name->setSingleLine(true);
        strip->addWidget(name, 1, i % 8, Qt::AlignHCenter);
        ++i;
    }
    return page;
}

// A fixed-size cell that paints one image asset.
QWidget *imageCell(const QString &name, QSize size, Qt::AspectRatioMode mode, bool rounded = false)
{
    auto *cell = new QWidget;
    cell->setFixedSize(size);
    cell->setObjectName(name);
    cell->setProperty("mode", int(mode));
    cell->setProperty("rounded", rounded);
    struct Painter : QObject
    {
        using QObject::QObject;
        bool eventFilter(QObject *o, QEvent *e) override
        {
            if (e->type() != QEvent::Paint)
                return false;
            auto *w = static_cast<QWidget *>(o);
            QPainter p(w);
            const QRectF r(w->rect());
            p.fillRect(r, ThemeColors::surface());
            if (w->property("rounded").toBool()) {
                Painting::fillPathWith(p, Painting::roundedRect(r, LayoutTokens::radiusLG), [&](QPainter &lp) {
                    ImageAssets::paint(lp, r, w->objectName(), Qt::KeepAspectRatioByExpanding);
                });
                p.fillRect(r, Qt::transparent);
            } else {
                ImageAssets::paint(p, r, w->objectName(), Qt::AspectRatioMode(w->property("mode").toInt()),
                                   Qt::AlignLeft | Qt::AlignVCenter);
            }
            return true;
        }
    };
    cell->installEventFilter(new Painter(cell));
    return cell;
}

QWidget *imagesPage()
{
    auto *page = new GalleryPage(QStringLiteral("Images"));
    page->addRow(QStringLiteral("logo, icons"));
    page->addCell(imageCell("OvlinLogo", QSize(120, 20), Qt::KeepAspectRatio), "OvlinLogo (height 20)");
    page->addCell(imageCell("OvlinThumb", QSize(44, 44), Qt::KeepAspectRatioByExpanding, true), "OvlinThumb 44");
    page->addCell(imageCell(ImageAssets::appIconName(), QSize(128, 128), Qt::KeepAspectRatio), "app icon 128");
    page->addCell(imageCell(ImageAssets::appIconName(), QSize(18, 18), Qt::KeepAspectRatio), "app icon 18");
    page->addRow(QStringLiteral("onboarding"));
    for (const char *name : {"OvliIllu1", "OvliIllu5", "OvliIllu11"})
        page->addCell(imageCell(QString::fromLatin1(name), QSize(240, 200), Qt::KeepAspectRatio),
                      QString::fromLatin1(name));
    page->addRow(QStringLiteral("header card"));
    auto *title = new OvlinText(QStringLiteral("Good morning"), ThemeFonts::title(), ThemeColors::textPrimary());
    page->addCell(
        new OvlinCard(
            32, ThemeColors::surface(),
            [](QPainter &p, const QRectF &r) { ImageAssets::paint(p, r, "HeaderCard", Qt::IgnoreAspectRatio); }, true,
            false, title),
        "HeaderCard as card background", 560);
    return page;
}

} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("Images"), imagesPage)
OVLIN_GALLERY_PAGE(QStringLiteral("Tokens"), tokensPage)
OVLIN_GALLERY_PAGE(QStringLiteral("Icons"), iconsPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinButton"), buttonPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinSegmentedControl"), segmentedPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinStepperField"), stepperPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinMenuField"), menuFieldPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinSliderControl"), sliderPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinSwitch"), switchPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinInputModifier"), inputPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinCard"), cardPage)
OVLIN_GALLERY_PAGE(QStringLiteral("OvlinConfirmationDialog"), dialogPage)
OVLIN_GALLERY_PAGE(QStringLiteral("SectionHeader"), sectionHeaderPage)
