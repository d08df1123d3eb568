#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QDateTime>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QLineEdit;

namespace ovlin {

// The 24-hour time-of-day entry: an hour and a minute field, each with a step button above (up) and
// below (down), separated by a colon. It edits the hour and minute of `selection` and writes back a
// moment on the same calendar day with the seconds at zero (selectionChanged).
//
// Steps wrap the hour around midnight without changing the day and move the minute on a grid of
// `minuteInterval`, carrying into the hour. A field accepts numerals only, at most two, and is applied
// when it holds two, on Return, and when keyboard focus leaves the control (moving between the two
// fields applies nothing). A wall-clock time that does not exist on that day (daylight-saving gap)
// becomes the next one that does; a repeated one takes its first occurrence.
class OvlinTimeField : public QWidget
{
    Q_OBJECT
public:
    enum class EditableField { hour, minute };
    Q_ENUM(EditableField)

    OvlinTimeField(const QDateTime &selection, int minuteInterval, double minWidth, QWidget *parent = nullptr);
    ~OvlinTimeField() override;

    QDateTime selection() const { return m_selection; }
    // The owner's value changed (an invalid moment is ignored). The texts follow unless a field has focus.
    void setSelection(const QDateTime &selection);
    int minuteInterval() const { return m_minuteInterval; }
    // Values below 1 step by one minute.
    void setMinuteInterval(int minutes);
    double minWidth() const { return m_minWidth; }

    std::optional<EditableField> focusedField() const { return m_focusedField; }
    QString hourText() const;
    QString minuteText() const;

    QLineEdit *hourEdit() const { return m_hourEdit; }
    QLineEdit *minuteEdit() const { return m_minuteEdit; }
    QAbstractButton *stepButton(EditableField field, bool up) const;

    // Hour and minute of `selection` in the current time zone.
    int currentHour() const;
    int currentMinute() const;

    // The width the two columns, the colon and their gaps take, before minWidth.
    double contentWidth() const;
    static constexpr double fieldWidth = 56;
    static constexpr double fieldHeight = 40;
    static constexpr double stepSide = 32;

public Q_SLOTS:
    void incrementHour();
    void decrementHour();
    void incrementMinute();
    void decrementMinute();

Q_SIGNALS:
    void selectionChanged(const QDateTime &selection);

protected:
    void showEvent(QShowEvent *event) override;

private:
    class FieldBox;

    void setHour(int hour);
    void setMinute(int minute);
    void writeSelection(const QDateTime &moment);
    void finishAction();
    void stepHour(int delta);
    void stepMinute(bool up);
    void syncTexts();
    void commitHourText();
    void commitMinuteText();
    void commitField(EditableField field);
    void handleTextChange(const QString &text, EditableField field);
    void handleFocusChange(QWidget *now);
    QLineEdit *editFor(EditableField field) const;
    QWidget *fieldColumn(const QString &title, EditableField field);

    QDateTime m_selection;
    int m_minuteInterval;
    double m_minWidth;
    std::optional<EditableField> m_focusedField;
    QLineEdit *m_hourEdit = nullptr;
    QLineEdit *m_minuteEdit = nullptr;
    QAbstractButton *m_steps[2][2] = {{nullptr, nullptr}, {nullptr, nullptr}};
    QWidget *m_colon = nullptr;
    FieldBox *m_hourBox = nullptr;
    FieldBox *m_minuteBox = nullptr;
    QMetaObject::Connection m_focusConnection;
    bool m_selectionChangedDuringAction = false;
};

} // namespace ovlin
