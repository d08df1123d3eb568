#pragma once

#include "Model/Enums.h"

#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QAbstractButton;
class QLineEdit;

namespace ovlin {

class ImageFileChooser;
class Milestone;
class MilestoneFormViewModel;
class OvlinButton;
class OvlinMenuFieldBase;
class OvlinSliderControl;
class OvlinStepperField;
class OvlinText;
class StoreContainer;
class StoreContext;

// The menu value of the category field: a category, or none for all habits.
struct LinkedCategoryOption
{
    std::optional<ReminderCategory> category;
    friend bool operator==(const LinkedCategoryOption &, const LinkedCategoryOption &) = default;
};
QDebug operator<<(QDebug debug, const LinkedCategoryOption &option);

// The reward editor sheet: creates a reward (no reward given) or edits one. Name, days in a row,
// completion threshold, linked category and an optional photo; Cancel and the close button leave the store
// untouched, the save button writes through the view model and, for a new reward, sends the analytics
// signal "milestone.created". Every way out closes the dialog (accept() after saving, reject() otherwise).
//
// Present it window-modal (open()) over the screen that asks for it, after giving it that screen's store
// context; the view model starts on a private in-memory store and is moved to that context when the sheet
// is first shown. Main thread only.
class MilestoneFormView : public QDialog
{
    Q_OBJECT
public:
    // Sends one analytics signal by name (empty parameters, no value, no user of its own).
    using SignalSender = std::function<void(const QString &signalName)>;

    explicit MilestoneFormView(std::shared_ptr<Milestone> milestone, QWidget *parent = nullptr);
    ~MilestoneFormView() override;

    // The presenting screen's store context, which saves go to once the sheet is shown.
    void setEnvironmentContext(StoreContext *context);
    StoreContext *environmentContext() const { return m_environmentContext.data(); }
    // Where the images come from (default: the file dialog) and where the signal goes (default: analytics).
    void setImageChooser(std::shared_ptr<ImageFileChooser> chooser);
    void setSignalSender(SignalSender sender);
    static void sendToAnalytics(const QString &signalName);

    MilestoneFormViewModel *viewModel() const { return m_viewModel; }
    bool isEditing() const;

    // The sheet's operations, as its controls run them.
    void attachModelContext();
    void closeSheet();
    void cancel();
    void pickRewardImage();
    void removeImage();
    void saveAndDismiss();
    // The picture as stored: at most 512 pixels on the longer side, as JPEG; bytes that are no image stay
    // as they are; a failed encoding gives none.
    static std::optional<QByteArray> makeThumbnail(const QByteArray &bytes);

    // Texts the sheet shows.
    QString titleText() const;
    QString saveTitle() const;
    QString imageButtonTitle() const;
    QString thresholdValueLabel() const;
    QString thresholdSubtitle() const;
    static QList<QString> sectionTitles();
    // requirePercent as a whole percentage, cut toward zero (0.8 gives 80, 0.999 gives 99).
    static int wholePercent(double fraction);
    static QString daySuffix(qint64 days);
    static QList<std::pair<LinkedCategoryOption, QString>> categoryTitles();

    // The controls, for the screen's tests.
    QAbstractButton *closeButton() const { return m_closeButton; }
    OvlinButton *cancelButton() const { return m_cancelButton; }
    OvlinButton *saveButton() const { return m_saveButton; }
    OvlinButton *imageButton() const { return m_imageButton; }
    QAbstractButton *removeButton() const { return m_removeButton; }
    QLineEdit *nameField() const { return m_nameField; }
    OvlinStepperField *daysStepper() const { return m_daysStepper; }
    OvlinSliderControl *thresholdSlider() const { return m_thresholdSlider; }
    OvlinMenuFieldBase *categoryMenu() const { return m_categoryMenu; }
    OvlinText *thresholdSubtitleText() const { return m_thresholdSubtitle; }
    // Whether the preview tile shows the picture (otherwise the trophy symbol).
    bool previewShowsPicture() const;

    // The height that shows the whole form without scrolling.
    int naturalHeight() const;
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QWidget *buildHeader();
    QWidget *buildContent();
    QWidget *buildPhotoRow();
    QWidget *buildCategoryMenu();
    QWidget *buildFooter();
    QWidget *section(const QString &title, QWidget *control, OvlinText *subtitle = nullptr);
    void syncFromModel();

    std::unique_ptr<StoreContainer> m_placeholder;
    QPointer<StoreContext> m_environmentContext;
    std::shared_ptr<ImageFileChooser> m_imageChooser;
    SignalSender m_sendSignal;
    MilestoneFormViewModel *m_viewModel = nullptr;
    bool m_attached = false;

    QAbstractButton *m_closeButton = nullptr;
    OvlinButton *m_cancelButton = nullptr;
    OvlinButton *m_saveButton = nullptr;
    OvlinButton *m_imageButton = nullptr;
    QAbstractButton *m_removeButton = nullptr;
    QWidget *m_preview = nullptr;
    QLineEdit *m_nameField = nullptr;
    OvlinStepperField *m_daysStepper = nullptr;
    OvlinSliderControl *m_thresholdSlider = nullptr;
    OvlinMenuFieldBase *m_categoryMenu = nullptr;
    OvlinText *m_thresholdSubtitle = nullptr;
    QWidget *m_content = nullptr;
    QWidget *m_scroll = nullptr;
};

} // namespace ovlin
