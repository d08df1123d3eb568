#pragma once

#include "DesignSystem/Binding.h"

#include <QList>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;

namespace ovlin {

// One option of the segmented control. Its identity is the title, "-" and a text description of the value.
template <typename Value> struct OvlinSegmentedOption
{
    Value value;
    QString title;

    QString id() const { return title + QLatin1Char('-') + describeValue(value); }
};

// The non-generic part: the track, one segment button per option, the selected look.
class OvlinSegmentedControlBase : public QWidget
{
    Q_OBJECT
public:
    explicit OvlinSegmentedControlBase(QWidget *parent = nullptr);

    int segmentCount() const;
    QAbstractButton *segment(int index) const;
    // Re-reads the options and the selection (call when the bound value changed elsewhere).
    void refresh();

    QSize sizeHint() const override;

protected:
    virtual int optionCount() const = 0;
    virtual QString optionTitle(int index) const = 0;
    virtual bool isOptionSelected(int index) const = 0;
    virtual void chooseOption(int index) = 0;

    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class OvlinSegmentButton;
    void rebuild();

    QHBoxLayout *m_row;
    QList<QAbstractButton *> m_segments;
};

// One choice out of a few, shown side by side; a click on a segment writes its value into `selection`.
template <typename Value> class OvlinSegmentedControl : public OvlinSegmentedControlBase
{
public:
    OvlinSegmentedControl(Binding<Value> selection, QList<OvlinSegmentedOption<Value>> options,
                          QWidget *parent = nullptr)
        : OvlinSegmentedControlBase(parent), m_selection(std::move(selection)), m_options(std::move(options))
    {
        refresh();
    }

    const QList<OvlinSegmentedOption<Value>> &options() const { return m_options; }
    void setOptions(QList<OvlinSegmentedOption<Value>> options)
    {
        m_options = std::move(options);
        refresh();
    }
    void setSelection(Binding<Value> selection)
    {
        m_selection = std::move(selection);
        refresh();
    }

protected:
    int optionCount() const override { return int(m_options.size()); }
    QString optionTitle(int index) const override { return m_options.value(index).title; }
    bool isOptionSelected(int index) const override
    {
        return index >= 0 && index < m_options.size() && m_options[index].value == m_selection.value();
    }
    void chooseOption(int index) override
    {
        if (index >= 0 && index < m_options.size())
            m_selection.write(m_options[index].value);
    }

private:
    Binding<Value> m_selection;
    QList<OvlinSegmentedOption<Value>> m_options;
};

} // namespace ovlin
