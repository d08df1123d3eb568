#pragma once

#include "MenuBar/MenuBarStatusItem.h"

#include <QList>
#include <QString>
#include <QtGlobal>

// A status item under the test's control: it has a button (a status area host) or not yet, and sits at
// a chosen place on the screen. Clicks are sent with click().
class FakeStatusItem final : public ovlin::MenuBarStatusItem
{
public:
    explicit FakeStatusItem(bool hasButton, const QRect &geometry = QRect(600, 0, 24, 24))
        : m_hasButton(hasButton), m_geometry(geometry)
    {
    }

    bool hasButton() const override { return m_hasButton; }
    void setVisible(bool visible) override
    {
        m_visible = visible;
        if (visible)
            shownWithIcon = !m_icon.isNull();
    }
    bool isVisible() const override { return m_visible; }
    void setIcon(const QIcon &icon) override
    {
        m_icon = icon;
        ++iconChanges;
    }
    QIcon icon() const override { return m_icon; }
    void setAccessibleName(const QString &name) override { m_name = name; }
    QString accessibleName() const override { return m_name; }
    QRect geometry() const override { return m_geometry; }

    void click(Click which) { Q_EMIT clicked(which); }
    // A status area host starts (or goes away).
    void setHasButton(bool hasButton) { m_hasButton = hasButton; }

    int iconChanges = 0;
    // Whether the item had its icon when it was last shown.
    bool shownWithIcon = false;

private:
    bool m_hasButton;
    QRect m_geometry;
    bool m_visible = false;
    QIcon m_icon;
    QString m_name;
};

// Collects every warning (and worse) logged while it is alive. What the offscreen platform says it
// cannot do is not the code's fault.
class WarningCollector
{
public:
    WarningCollector()
    {
        s_messages().clear();
        s_previous = qInstallMessageHandler(&WarningCollector::handler);
    }
    ~WarningCollector() { qInstallMessageHandler(s_previous); }
    QList<QString> messages() const { return s_messages(); }

private:
    static QList<QString> &s_messages()
    {
        static QList<QString> list;
        return list;
    }
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg &&
            !message.startsWith(QLatin1String("This plugin does not support")))
            s_messages().append(message);
        if (s_previous)
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
};
