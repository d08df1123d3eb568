#pragma once

#include "Analytics/Analytics.h"
#include "Analytics/SignalPostBody.h"

#include "Support/AnalyticsTestSupport.h"

#include <QList>
#include <QtTest>

// The signals the registered manager has cached, read back in the order they were sent. A marker
// signal sent through the internal path shows when everything sent before it has arrived; its record
// also shows which parameters every signal carries by default.
class SignalRecording
{
public:
    struct Settled
    {
        QList<analytics::SignalPostBody> records; // markers left out
        analytics::SignalPostBody marker;         // the latest marker
        bool arrived = false;
    };

    static Settled settle()
    {
        static int markers = 0;
        const QString marker = QStringLiteral("test.marker.%1").arg(++markers);
        analytics::Analytics::sendInternal(marker);
        Settled result;
        const auto cache = AnalyticsSandbox::cache();
        if (!cache)
            return result;
        result.arrived = QTest::qWaitFor(
            [&] {
                const auto waiting = cache->waitingRecords();
                return !waiting.isEmpty() && waiting.last().type == marker;
            },
            5000);
        for (const analytics::SignalPostBody &record : cache->waitingRecords()) {
            if (record.type == marker)
                result.marker = record;
            else if (!record.type.startsWith(QStringLiteral("test.marker.")))
                result.records.append(record);
        }
        return result;
    }

    // The record's parameters that a plain signal does not carry: the signal's own.
    static analytics::Parameters ownParameters(const analytics::SignalPostBody &record,
                                               const analytics::SignalPostBody &marker)
    {
        analytics::Parameters own;
        for (auto it = record.payload.cbegin(); it != record.payload.cend(); ++it) {
            if (!marker.payload.contains(it.key()))
                own.insert(it.key(), it.value());
        }
        return own;
    }

    static QStringList types(const QList<analytics::SignalPostBody> &records)
    {
        QStringList result;
        for (const analytics::SignalPostBody &record : records)
            result.append(record.type);
        return result;
    }
};
