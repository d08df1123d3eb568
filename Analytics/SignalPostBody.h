#pragma once

#include "Analytics/Parameters.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace analytics {

// One signal, the same in memory, in the cache file and on the wire.
struct SignalPostBody
{
    // How receivedAt is written: text on the wire, seconds since 2001-01-01 UTC in the cache file.
    enum class DateForm { wire, cache };

    QDateTime receivedAt;
    QString appID;
    QString clientUser;
    QString sessionID;
    QString type;
    std::optional<double> floatValue;
    Parameters payload;
    QString isTestMode;

    // Nothing when floatValue is not a finite number (JSON cannot carry it).
    std::optional<QJsonObject> toJson(DateForm form) const;
    // Nothing when a required key is missing or a value has the wrong type.
    static std::optional<SignalPostBody> fromJson(const QJsonObject &object, DateForm form);

    // Type name and every field with its label, in field order (for debug logs).
    QString debugDescription() const;

    bool operator==(const SignalPostBody &other) const;
    bool operator!=(const SignalPostBody &other) const { return !(*this == other); }
};

// Encodes lists of records as compact JSON arrays.
class SignalEncoder
{
public:
    explicit SignalEncoder(SignalPostBody::DateForm form) : m_form(form) {}
    // Nothing when a record cannot be encoded.
    std::optional<QByteArray> encode(const QList<SignalPostBody> &records) const;
    // Nothing when the data is not a JSON array of records.
    std::optional<QList<SignalPostBody>> decode(const QByteArray &data) const;

private:
    SignalPostBody::DateForm m_form;
};

// A fresh encoder for request bodies (dates as "yyyy-MM-dd'T'HH:mm:ssZ" in UTC).
SignalEncoder analyticsEncoder();

// "2025-01-31T09:05:07+0000": UTC, fractions of a second dropped.
QString wireDateText(const QDateTime &moment);

} // namespace analytics
