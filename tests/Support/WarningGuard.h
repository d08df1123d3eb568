#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Collects every warning (and worse) logged while it is alive, so a test can fail on them.
class WarningGuard
{
public:
    WarningGuard() { s_previous = qInstallMessageHandler(&WarningGuard::handler), s_messages().clear(); }
    ~WarningGuard() { qInstallMessageHandler(s_previous); }
    QList<QString> messages() const { return s_messages(); }

private:
    static QList<QString> &s_messages()
    {
        static QList<QString> list;
        return list;
    }
    static void handler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
    {
        // The offscreen platform reports what it cannot do (size hints, raising, grabbing); that is
        // not a fault of the widget under test.
        const bool platformLimit = msg.startsWith(QLatin1String("This plugin does not support"));
        if (type != QtDebugMsg && type != QtInfoMsg && !platformLimit)
            s_messages().append(msg);
        if (s_previous)
            s_previous(type, ctx, msg);
    }
    static inline QtMessageHandler s_previous = nullptr;
};
