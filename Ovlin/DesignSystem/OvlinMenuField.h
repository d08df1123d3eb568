#pragma once

#include "DesignSystem/Binding.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class QMenu;

namespace ovlin {

// One option of the menu field; `systemImage` names a symbol shown before the title in the menu.
template <typename Value> struct OvlinMenuOption
{
    Value value;
    QString title;
    std::optional<QString> systemImage;

    QString id() const { return title + QLatin1Char('-') + describeValue(value); }
};

// The non-generic part: the field's face and its pop-up menu.
class OvlinMenuFieldBase : public QWidget
{
    Q_OBJECT
public:
    explicit OvlinMenuFieldBase(const QString &title, std::optional<double> width, QWidget *parent = nullptr);

    // The text in the field: the title of the first option whose value is the selection, else the field's title.
    QString displayedTitle() const;
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    void setFieldWidth(std::optional<double> width);
    // Opens the menu under the field and returns it (it deletes itself when closed).
    QMenu *popupMenu();
    void refresh();

    QSize sizeHint() const override;

protected:
    virtual int optionCount() const = 0;
    virtual QString optionTitle(int index) const = 0;
    virtual std::optional<QString> optionImage(int index) const = 0;
    virtual bool isOptionSelected(int index) const = 0;
    virtual void chooseOption(int index) = 0;

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QString m_title;
    std::optional<double> m_width;
};

// One choice out of a list, shown as a field that opens a pop-up menu; choosing an item writes its
// value into `selection`. With `width` set the field has exactly that width, otherwise it fills the width
// offered.
template <typename Value> class OvlinMenuField : public OvlinMenuFieldBase
{
public:
    OvlinMenuField(Binding<Value> selection, const QString &title, QList<OvlinMenuOption<Value>> options,
                   std::optional<double> width = std::nullopt, QWidget *parent = nullptr)
        : OvlinMenuFieldBase(title, width, parent), m_selection(std::move(selection)), m_options(std::move(options))
    {
    }

    void setOptions(QList<OvlinMenuOption<Value>> options)
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
    // Read in place like the others: QList::value() would build a default option to fall back on.
    QString optionTitle(int index) const override
    {
        return index >= 0 && index < m_options.size() ? m_options[index].title : QString();
    }
    std::optional<QString> optionImage(int index) const override
    {
        return index >= 0 && index < m_options.size() ? m_options[index].systemImage : std::nullopt;
    }
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
    QList<OvlinMenuOption<Value>> m_options;
};

} // namespace ovlin
