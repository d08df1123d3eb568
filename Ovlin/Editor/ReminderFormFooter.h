#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

class QMouseEvent;

namespace ovlin {

class OvlinButton;

// The sheet's footer: "Cancel" on the leading side on the last step only; on the trailing side "Back"
// from step 2 on, then "Next" before the last step or the save button on it. The sheet decides which
// buttons are enabled and what their clicks do.
//
// A press on one of its buttons within the platform's double-click time and distance of the click that
// changed the step does nothing (its release neither): the second half of a double-click must not press
// the button that now stands under the pointer, such as the save button in place of "Next", nor move on
// a second step. Keys are not affected.
class ReminderFormFooter : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderFormFooter(QWidget *parent = nullptr);

    struct State
    {
        int currentStep = 1;
        int totalSteps = 4;
        bool isEditing = false;
        bool canProceed = true;
        bool isValid = false;
    };
    void apply(const State &state);

    OvlinButton *cancelButton() const { return m_cancel; }
    OvlinButton *backButton() const { return m_back; }
    OvlinButton *nextButton() const { return m_next; }
    OvlinButton *saveButton() const { return m_save; }

    // "Save changes" while editing, "Save reminder" otherwise.
    static QString saveTitle(bool isEditing);

Q_SIGNALS:
    void cancelRequested();
    void backRequested();
    void nextRequested();
    void saveRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool followsStepChange(const QMouseEvent &press) const;

    int m_step = 1;
    // The last left-button release on a button: its time (0 for none), place and the step it was made on.
    quint64 m_releaseTime = 0;
    QPointF m_releasePosition;
    int m_releaseStep = 0;
    // The button whose press was dropped, until its release.
    QPointer<QObject> m_droppedOn;
    OvlinButton *m_cancel;
    OvlinButton *m_back;
    OvlinButton *m_next;
    OvlinButton *m_save;
};

} // namespace ovlin
