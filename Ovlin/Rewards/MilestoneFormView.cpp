#include "Rewards/MilestoneFormView.h"

#include "Analytics/Analytics.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/FocusOrder.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinInputModifier.h"
#include "DesignSystem/OvlinMenuField.h"
#include "DesignSystem/OvlinSliderControl.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/SheetCloseButton.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/Milestone.h"
#include "Platform/Store.h"
#include "Rewards/ImageFileChooser.h"
#include "Rewards/MilestoneFormViewModel.h"
#include "ScreenParts/RewardImage.h"

#include <QAbstractButton>
#include <QDebug>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace ovlin {

QDebug operator<<(QDebug debug, const LinkedCategoryOption &option)
{
    const QDebugStateSaver saver(debug);
    debug.nospace() << (option.category ? rawValue(*option.category) : QStringLiteral("all"));
    return debug;
}

namespace {

constexpr int kPreviewSide = 72;

// A plain text button ("Remove").
class TextButton : public QAbstractButton
{
public:
    TextButton(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
        : QAbstractButton(parent), m_font(font), m_color(color)
    {
        setText(text);
        setAccessibleName(text);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetricsF fm(m_font);
        return QSize(int(std::ceil(fm.horizontalAdvance(text()))), int(std::ceil(fm.ascent() + fm.descent())));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(m_font);
        p.setPen(isDown() ? Painting::withOpacity(m_color, 0.6) : m_color);
        const QFontMetricsF fm(m_font);
        p.drawText(QPointF(0, fm.ascent()), text());
        if (KeyboardFocus::hasRing(this)) {
            p.setRenderHint(QPainter::Antialiasing);
            Painting::strokeInside(p, QRectF(rect()), LayoutTokens::radiusSM, ThemeColors::neutral700(), 1);
        }
    }

private:
    QFont m_font;
    QColor m_color;
};

// The photo preview: the picture cropped to fill, or the trophy symbol.
class PreviewTile : public QWidget
{
public:
    PreviewTile(MilestoneFormViewModel *model, QWidget *parent)
        : QWidget(parent), m_model(model), m_picture(kPreviewSide * 4)
    {
        setFixedSize(kPreviewSide, kPreviewSide);
    }

    bool showsPicture() { return !m_picture.imageFor(m_model->thumbnailData()).isNull(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        const QImage &image = m_picture.imageFor(m_model->thumbnailData());
        Painting::fillPathWith(p, Painting::roundedRect(r, LayoutTokens::radiusMD), [&](QPainter &lp) {
            lp.fillRect(r, ThemeColors::neutral200());
            if (!image.isNull()) {
                RewardImage::paintFilled(lp, r, image);
                return;
            }
            const double side = IconRegistry::symbolSize(ThemeFonts::display());
            IconRegistry::paint(lp, QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side),
                                QStringLiteral("trophy.fill"), ThemeColors::primaryDark());
        });
    }

private:
    MilestoneFormViewModel *m_model;
    DecodedRewardImage m_picture;
};

} // namespace

MilestoneFormView::MilestoneFormView(std::shared_ptr<Milestone> milestone, QWidget *parent) : QDialog(parent)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The model always has a context to hold; the real one comes when the sheet is shown.
    QString error;
    m_placeholder = StoreContainer::openInMemory(&error);
    if (!m_placeholder)
        qCCritical(lcUi) << "reward editor: no placeholder store:" << error;
    m_viewModel =
        new MilestoneFormViewModel(std::move(milestone), m_placeholder ? m_placeholder->mainContext() : nullptr, this);

    setWindowTitle(titleText());
    setModal(true);
    setWindowModality(Qt::WindowModal);
    setMinimumSize(int(LayoutTokens::sheetWidth), int(LayoutTokens::sheetMinHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ThemeColors::background());
    setPalette(palette);
    setAutoFillBackground(true);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildHeader());
    root->addWidget(new DividerLine(this));
    root->addWidget(buildContent(), 1);
    root->addWidget(new DividerLine(this));
    root->addWidget(buildFooter());

    connect(m_viewModel, &MilestoneFormViewModel::changed, this, &MilestoneFormView::syncFromModel);
    syncFromModel();
    resize(sizeHint());
}

MilestoneFormView::~MilestoneFormView() = default;

QWidget *MilestoneFormView::buildHeader()
{
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    const int side = int(LayoutTokens::spacingXL);
    const int edge = int(LayoutTokens::spacingLG);
    row->setContentsMargins(side, edge, side, edge);
    row->setSpacing(int(LayoutTokens::spacingSM));
    auto *closeButton = new SheetCloseButton(ThemeFonts::bodyEmphasis(), header);
    closeButton->setCursor(Qt::PointingHandCursor);
    closeButton->setShowsFocusRing(true);
    m_closeButton = closeButton;
    connect(m_closeButton, &QAbstractButton::clicked, this, &MilestoneFormView::closeSheet);
    row->addWidget(m_closeButton, 0, Qt::AlignVCenter);
    row->addStretch(1);
    auto *title = new OvlinText(titleText(), ThemeFonts::sheetTitle(), ThemeColors::textPrimary(), header);
    title->setSingleLine(true);
    row->addWidget(title, 0, Qt::AlignVCenter);
    row->addStretch(1);
    // The hidden twin of the close symbol: it takes its own size and draws nothing.
    const int ghost = int(std::ceil(IconRegistry::symbolSize(ThemeFonts::bodyEmphasis())));
    row->addSpacing(ghost);
    return header;
}

QWidget *MilestoneFormView::section(const QString &title, QWidget *control, OvlinText *subtitle)
{
    auto *block = new QWidget(m_content);
    auto *column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(int(LayoutTokens::stackTight));
    auto *heading = new OvlinText(title.toUpper(), ThemeFonts::captionEmphasis(), ThemeColors::textSecondary(), block);
    column->addWidget(heading);
    control->setParent(block);
    column->addWidget(control);
    if (subtitle) {
        subtitle->setParent(block);
        column->addWidget(subtitle);
    }
    return block;
}

QList<QString> MilestoneFormView::sectionTitles()
{
    return {QStringLiteral("Add a photo?"), QStringLiteral("What are you earning?"),
            QStringLiteral("How many days in a row?"), QStringLiteral("How much of your habits counts as a good day?"),
            QStringLiteral("Tie it to a category?")};
}

QList<std::pair<LinkedCategoryOption, QString>> MilestoneFormView::categoryTitles()
{
    return {{{std::nullopt}, QStringLiteral("All habits")},
            {{ReminderCategory::meal}, QStringLiteral("Meal")},
            {{ReminderCategory::snack}, QStringLiteral("Snack")},
            {{ReminderCategory::water}, QStringLiteral("Water")},
            {{ReminderCategory::movement}, QStringLiteral("Movement")},
            {{ReminderCategory::meditation}, QStringLiteral("Meditation")},
            {{ReminderCategory::general}, QStringLiteral("General")}};
}

QWidget *MilestoneFormView::buildContent()
{
    auto *scroll = new QScrollArea(this);
    m_scroll = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes to the form's controls, not to the area around them.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette palette = scroll->palette();
    palette.setColor(QPalette::Window, ThemeColors::background());
    scroll->setPalette(palette);
    scroll->viewport()->setAutoFillBackground(true);
    scroll->viewport()->setPalette(palette);

    m_content = new QWidget;
    m_content->setPalette(palette);
    auto *column = new QVBoxLayout(m_content);
    const int pad = int(LayoutTokens::spacingXXL);
    column->setContentsMargins(pad, pad, pad, pad);
    column->setSpacing(int(LayoutTokens::stackLoose));

    const QList<QString> titles = sectionTitles();

    column->addWidget(section(titles[0], buildPhotoRow()));

    // Name
    m_nameField = new QLineEdit;
    m_nameField->setPlaceholderText(QStringLiteral("Burger run"));
    m_nameField->setAccessibleName(QStringLiteral("Reward name"));
    OvlinInputModifier::apply(m_nameField);
    connect(m_nameField, &QLineEdit::textEdited, this, [this](const QString &text) { m_viewModel->setName(text); });
    column->addWidget(section(titles[1], m_nameField));

    // Days
    m_daysStepper =
        new OvlinStepperField(Binding<qint64>{[this] { return m_viewModel->requireDays(); },
                                              [this](const qint64 &days) { m_viewModel->setRequireDays(days); }},
                              1, 365, 1, daySuffix(m_viewModel->requireDays()));
    column->addWidget(section(titles[2], m_daysStepper));

    // Threshold
    m_thresholdSlider = new OvlinSliderControl(
        Binding<double>{[this] { return m_viewModel->requirePercent(); },
                        [this](const double &fraction) { m_viewModel->setRequirePercent(fraction); }},
        0.5, 1.0, 0.05, QStringLiteral("50%"), QStringLiteral("100%"), thresholdValueLabel());
    m_thresholdSubtitle = new OvlinText(thresholdSubtitle(), ThemeFonts::subheadline(), ThemeColors::textSecondary());
    column->addWidget(section(titles[3], m_thresholdSlider, m_thresholdSubtitle));

    column->addWidget(section(titles[4], buildCategoryMenu()));
    column->addStretch(1);

    scroll->setWidget(m_content);
    return scroll;
}

// The preview tile beside the image button and "Remove".
QWidget *MilestoneFormView::buildPhotoRow()
{
    auto *photo = new QWidget;
    auto *photoRow = new QHBoxLayout(photo);
    photoRow->setContentsMargins(0, 0, 0, 0);
    photoRow->setSpacing(int(LayoutTokens::spacingLG));
    m_preview = new PreviewTile(m_viewModel, photo);
    photoRow->addWidget(m_preview, 0, Qt::AlignVCenter);
    auto *photoColumn = new QVBoxLayout;
    photoColumn->setSpacing(int(LayoutTokens::spacingXS));
    m_imageButton = new OvlinButton(
        imageButtonTitle(), OvlinButtonStyle::secondary, OvlinButtonSize::small, false, false,
        [this] { pickRewardImage(); }, photo);
    photoColumn->addWidget(m_imageButton);
    m_removeButton =
        new TextButton(QStringLiteral("Remove"), ThemeFonts::subheadline(), ThemeColors::destructive(), photo);
    connect(m_removeButton, &QAbstractButton::clicked, this, &MilestoneFormView::removeImage);
    photoColumn->addWidget(m_removeButton, 0, Qt::AlignLeft);
    photoRow->addLayout(photoColumn, 1);
    photoRow->setAlignment(photoColumn, Qt::AlignVCenter);
    return photo;
}

// The linked-category menu: "All habits" and one entry a category, each with its symbol.
QWidget *MilestoneFormView::buildCategoryMenu()
{
    QList<OvlinMenuOption<LinkedCategoryOption>> options;
    const QStringList symbols = {QString(),
                                 QStringLiteral("fork.knife.circle.fill"),
                                 QStringLiteral("carrot.fill"),
                                 QStringLiteral("drop.fill"),
                                 QStringLiteral("figure.run.circle.fill"),
                                 QStringLiteral("brain.head.profile.fill"),
                                 QStringLiteral("bell.fill")};
    const auto titlesByValue = categoryTitles();
    for (int i = 0; i < titlesByValue.size(); ++i) {
        std::optional<QString> symbol;
        if (!symbols.value(i).isEmpty())
            symbol = symbols.value(i);
        options.append({titlesByValue[i].first, titlesByValue[i].second, symbol});
    }
    auto *menu = new OvlinMenuField<LinkedCategoryOption>(
        Binding<LinkedCategoryOption>{
            [this] { return LinkedCategoryOption{m_viewModel->linkedCategory()}; },
            [this](const LinkedCategoryOption &option) { m_viewModel->setLinkedCategory(option.category); }},
        QStringLiteral("Category"), options, std::nullopt);
    menu->setAccessibleName(QStringLiteral("Linked habit category"));
    m_categoryMenu = menu;
    return menu;
}

QWidget *MilestoneFormView::buildFooter()
{
    auto *footer = new QWidget(this);
    auto *row = new QHBoxLayout(footer);
    const int side = int(LayoutTokens::spacingXL);
    const int edge = int(LayoutTokens::spacingLG);
    row->setContentsMargins(side, edge, side, edge);
    row->setSpacing(int(LayoutTokens::spacingLG));
    m_cancelButton = new OvlinButton(
        QStringLiteral("Cancel"), OvlinButtonStyle::ghost, OvlinButtonSize::default_, false, false,
        [this] { cancel(); }, footer);
    m_cancelButton->setAccessibleName(QStringLiteral("Cancel"));
    m_cancelButton->setFixedWidth(int(LayoutTokens::secondaryActionWidth));
    row->addWidget(m_cancelButton, 0, Qt::AlignVCenter);
    row->addSpacerItem(
        new QSpacerItem(int(LayoutTokens::spacingXL), 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
    m_saveButton = new OvlinButton(
        saveTitle(), OvlinButtonStyle::primary, OvlinButtonSize::large, false, false, [this] { saveAndDismiss(); },
        footer);
    m_saveButton->setAccessibleName(saveTitle());
    m_saveButton->setFixedWidth(int(LayoutTokens::primaryActionWidth));
    row->addWidget(m_saveButton, 0, Qt::AlignVCenter);
    return footer;
}

void MilestoneFormView::syncFromModel()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_nameField->text() != m_viewModel->name())
        m_nameField->setText(m_viewModel->name());

    const qint64 days = m_viewModel->requireDays();
    m_daysStepper->setSuffix(daySuffix(days));
    m_daysStepper->refresh();
    m_daysStepper->setAccessibleName(QStringLiteral("Required days: %1").arg(days));

    const QString percent = thresholdValueLabel();
    m_thresholdSlider->setValueLabel(percent);
    m_thresholdSlider->refresh();
    m_thresholdSlider->setAccessibleName(
        QStringLiteral("Completion threshold: %1 percent").arg(wholePercent(m_viewModel->requirePercent())));
    m_thresholdSubtitle->setText(thresholdSubtitle());

    m_categoryMenu->refresh();

    const bool hasPicture = m_viewModel->thumbnailData().has_value();
    m_imageButton->setTitle(imageButtonTitle());
    m_removeButton->setVisible(hasPicture);
    m_preview->update();

    // Not the button's own disabled look: the platform state only blocks presses until the form is valid.
    m_saveButton->setEnabled(m_viewModel->isValid());
}

void MilestoneFormView::setEnvironmentContext(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_environmentContext = context;
    if (m_attached)
        attachModelContext();
}

void MilestoneFormView::setImageChooser(std::shared_ptr<ImageFileChooser> chooser)
{
    m_imageChooser = std::move(chooser);
}

void MilestoneFormView::setSignalSender(SignalSender sender)
{
    m_sendSignal = std::move(sender);
}

void MilestoneFormView::sendToAnalytics(const QString &signalName)
{
    analytics::Analytics::send(signalName, {}, std::nullopt, std::nullopt);
}

bool MilestoneFormView::isEditing() const
{
    return m_viewModel->isEditing();
}

// Tab follows the screen, not the order in which widgets were made.
bool MilestoneFormView::focusNextPrevChild(bool next)
{
    return FocusOrder::focusNext(this, next) || QDialog::focusNextPrevChild(next);
}

void MilestoneFormView::showEvent(QShowEvent *event)
{
    if (!m_attached) {
        m_attached = true;
        attachModelContext();
    }
    QDialog::showEvent(event);
    // The sheet starts on its first control, not on its close button, where Space would end it.
    if (!event->spontaneous())
        KeyboardFocus::startAt(m_imageButton);
}

void MilestoneFormView::attachModelContext()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_environmentContext) {
        // Saving into the placeholder would look like success and keep nothing; say so.
        qCWarning(lcUi) << "reward editor shown without a store context";
        return;
    }
    m_viewModel->setModelContext(m_environmentContext.data());
}

void MilestoneFormView::closeSheet()
{
    OVLIN_ASSERT_MAIN_THREAD();
    reject();
}

void MilestoneFormView::cancel()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_viewModel->cancel();
    reject();
}

void MilestoneFormView::pickRewardImage()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::shared_ptr<ImageFileChooser> chooser = m_imageChooser ? m_imageChooser : ImageFileChooser::fileDialog();
    const QPointer<MilestoneFormView> self(this);
    const std::optional<QString> path = chooser->chooseImageFile(this);
    // The chooser runs its own event loop; the sheet may have gone meanwhile.
    if (!self || !path)
        return;
    RewardImage::ReadResult result = RewardImage::ReadResult::ok;
    const std::optional<QByteArray> bytes = RewardImage::readFile(*path, &result);
    if (!bytes) {
        qCDebug(lcUi) << "reward picture not taken:"
                      << (result == RewardImage::ReadResult::tooLarge ? "too large" : "unreadable");
        return;
    }
    // The dialog's filter goes by names, and a typed path may name any file: only the offered types,
    // by their content. Bytes of one that do not decode are still taken as they are.
    if (!RewardImage::contentType(*bytes)) {
        qCDebug(lcUi) << "reward picture not taken: not a JPEG, PNG, HEIC or WebP file";
        return;
    }
    m_viewModel->setThumbnailData(makeThumbnail(*bytes));
}

void MilestoneFormView::removeImage()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_viewModel->setThumbnailData(std::nullopt);
}

void MilestoneFormView::saveAndDismiss()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_viewModel->save();
    if (!m_viewModel->isEditing()) {
        const QString name = QStringLiteral("milestone.created");
        if (m_sendSignal)
            m_sendSignal(name);
        else
            sendToAnalytics(name);
    }
    accept();
}

std::optional<QByteArray> MilestoneFormView::makeThumbnail(const QByteArray &bytes)
{
    return RewardImage::makeThumbnail(bytes);
}

QString MilestoneFormView::titleText() const
{
    return isEditing() ? QStringLiteral("Edit reward") : QStringLiteral("New reward");
}

QString MilestoneFormView::saveTitle() const
{
    return isEditing() ? QStringLiteral("Save changes") : QStringLiteral("Save reward");
}

QString MilestoneFormView::imageButtonTitle() const
{
    return m_viewModel->thumbnailData() ? QStringLiteral("Change image") : QStringLiteral("Choose image");
}

int MilestoneFormView::wholePercent(double fraction)
{
    if (!std::isfinite(fraction))
        return 0;
    // Cut toward zero; the small allowance keeps 0.57 (56.99999... after the product) at 57.
    const double percent = fraction * 100;
    const double cut = std::trunc(percent + (percent >= 0 ? 1e-9 : -1e-9));
    return int(std::clamp(cut, -1e9, 1e9));
}

QString MilestoneFormView::daySuffix(qint64 days)
{
    return days == 1 ? QStringLiteral("day") : QStringLiteral("days");
}

QString MilestoneFormView::thresholdValueLabel() const
{
    return QStringLiteral("%1%").arg(wholePercent(m_viewModel->requirePercent()));
}

QString MilestoneFormView::thresholdSubtitle() const
{
    return QStringLiteral("%1% completion required").arg(wholePercent(m_viewModel->requirePercent()));
}

bool MilestoneFormView::previewShowsPicture() const
{
    return static_cast<PreviewTile *>(m_preview)->showsPicture();
}

int MilestoneFormView::naturalHeight() const
{
    const int width = int(LayoutTokens::sheetWidth);
    const QLayout *content = m_content->layout();
    const int contentHeight =
        content->hasHeightForWidth() ? content->totalHeightForWidth(width) : content->totalSizeHint().height();
    const int chrome = layout()->totalSizeHint().height() - m_scroll->sizeHint().height();
    return std::max(int(LayoutTokens::sheetMinHeight), chrome + std::max(0, contentHeight));
}

QSize MilestoneFormView::sizeHint() const
{
    // As tall as the whole form, within the screen.
    int height = naturalHeight();
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        // The whole screen height less room for the window manager's title bar.
        const int available = screen->availableGeometry().height() - 40;
        if (available >= int(LayoutTokens::sheetMinHeight))
            height = std::min(height, available);
    }
    return QSize(int(LayoutTokens::sheetWidth), height);
}

} // namespace ovlin
