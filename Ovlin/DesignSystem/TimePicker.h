#pragma once

#include <QDateTime>
#include <QWidget>

class QLabel;

namespace ovlin {

class OvlinTimeField;

// A labelled time field: the label upper-cased as a small caption over an OvlinTimeField that spans the
// full width. A minute interval below 1 steps by one minute. Accessibility: "<label> time picker".
class TimePicker : public QWidget
{
    Q_OBJECT
public:
    TimePicker(const QDateTime &selection, const QString &label, int minuteInterval, QWidget *parent = nullptr);

    QString label() const { return m_label; }
    OvlinTimeField *timeField() const { return m_field; }
    QDateTime selection() const;
    void setSelection(const QDateTime &selection);

    static constexpr double captionTracking = 0.8;

Q_SIGNALS:
    void selectionChanged(const QDateTime &selection);

private:
    QString m_label;
    QLabel *m_caption = nullptr;
    OvlinTimeField *m_field = nullptr;
};

} // namespace ovlin
