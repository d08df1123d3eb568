#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;

namespace ovlin {

// The link button of a section header: its text and what it runs.
struct SectionHeaderAction
{
    QString label;
    std::function<void()> handler;
};

// A heading row: the title on the left and, when an action is given, a small green capsule button on the
// right (label and a trailing arrow). 4 pixels above and below, nothing at the sides.
class SectionHeader : public QWidget
{
    Q_OBJECT
public:
    SectionHeader(const QString &title, std::optional<SectionHeaderAction> action, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    // The link button, or null without an action.
    QAbstractButton *actionButton() const { return m_button; }

private:
    QString m_title;
    QAbstractButton *m_button = nullptr;
};

} // namespace ovlin
