#pragma once

#include "DesignSystem/OvlinButton.h"

#include <QColor>
#include <QWidget>

#include <functional>

namespace ovlin {

// The panel that asks to confirm a step: an icon tile, title, message, and Cancel / Confirm buttons.
// It draws only itself; its owner supplies the backdrop and removes it in both actions.
class OvlinConfirmationDialog : public QWidget
{
    Q_OBJECT
public:
    OvlinConfirmationDialog(const QString &icon, const QString &title, const QString &message,
                            const QString &confirmTitle, OvlinButtonStyle confirmStyle, const QString &cancelTitle,
                            std::function<void()> onCancel, std::function<void()> onConfirm, QWidget *parent = nullptr);

    OvlinButton *cancelButton() const { return m_cancel; }
    OvlinButton *confirmButton() const { return m_confirm; }
    QColor iconTileColor() const;
    QColor iconColor() const;

    static constexpr double messageMaxWidth = 360;
    static constexpr double buttonRowMaxWidth = 380;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    OvlinButtonStyle m_confirmStyle;
    OvlinButton *m_cancel;
    OvlinButton *m_confirm;
};

} // namespace ovlin
