#pragma once

#include <QWidget>

namespace ovlin {

class OvlinButton;

// The sheet's footer: "Cancel" on the leading side on the last step only; on the trailing side "Back"
// from step 2 on, then "Next" before the last step or the save button on it. The sheet decides which
// buttons are enabled and what their clicks do.
// The buttons drop the second press of a double-click (DoubleClickGuard): a double-click on Next moves
// one step and never presses the save button that took its place. Keys are not affected.
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

private:
    OvlinButton *m_cancel;
    OvlinButton *m_back;
    OvlinButton *m_next;
    OvlinButton *m_save;
};

} // namespace ovlin
