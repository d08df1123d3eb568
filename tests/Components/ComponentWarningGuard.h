#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Collects every warning (and worse) logged while it is alive, so a test can fail on them. What the
// offscreen platform says it cannot do (size hints of windows and the like) is not the widget's fault.
class ComponentWarningGuard
{
public:
    ComponentWarningGuard()
    {
        s_messages().clear();
        s_previous = qInstallMessageHandler(&ComponentWarningGuard::handler);
    }
    ~ComponentWarningGuard() { qInstallMessageHandler(s_previous); }
    QList<QString> messages() const { return s_messages(); }

private:
    static QList<QString> &s_messages()
    {
        static QList<QString> list;
        return list;
    }
    static void handler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
    {
        const bool platformLimit = msg.startsWith(QLatin1String("This plugin does not support"));
        if (type != QtDebugMsg && type != QtInfoMsg && !platformLimit)
            s_messages().append(msg);
        if (s_previous)
            s_previous(type, ctx, msg);
    }
    static inline QtMessageHandler s_previous = nullptr;
};
