#include "Analytics/SignalPostBody.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

namespace analytics {

namespace {

// 2001-01-01 00:00:00 UTC, the reference date of the cache form.
constexpr qint64 kReferenceDateMSecs = 978307200000LL;
// Cache dates beyond this many seconds from the reference date are rejected as nonsense.
constexpr double kLargestCacheSeconds = 1e11;

const QString kReceivedAt = QStringLiteral("receivedAt");
const QString kAppID = QStringLiteral("appID");
const QString kClientUser = QStringLiteral("clientUser");
const QString kSessionID = QStringLiteral("sessionID");
const QString kType = QStringLiteral("type");
const QString kFloatValue = QStringLiteral("floatValue");
const QString kPayload = QStringLiteral("payload");
const QString kIsTestMode = QStringLiteral("isTestMode");

std::optional<QDateTime> parseWireDate(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})([+-])(\\d{2})(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const int offsetSeconds = (match.captured(8).toInt() * 60 + match.captured(9).toInt()) * 60;
    const int sign = match.captured(7) == QLatin1String("-") ? -1 : 1;
    return QDateTime(date, time, QTimeZone::utc()).addSecs(-sign * offsetSeconds);
}

std::optional<QString> stringMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace

QString wireDateText(const QDateTime &moment)
{
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + QStringLiteral("+0000");
}

std::optional<QJsonObject> SignalPostBody::toJson(DateForm form) const
{
    QJsonObject object;
    if (form == DateForm::wire)
        object.insert(kReceivedAt, wireDateText(receivedAt));
    else
        object.insert(kReceivedAt, double(receivedAt.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0);
    object.insert(kAppID, appID);
    object.insert(kClientUser, clientUser);
    object.insert(kSessionID, sessionID);
    object.insert(kType, type);
    if (floatValue) {
        if (!std::isfinite(*floatValue))
            return std::nullopt;
        object.insert(kFloatValue, *floatValue);
    }
    QJsonObject payloadObject;
    for (auto it = payload.cbegin(); it != payload.cend(); ++it)
        payloadObject.insert(it.key(), it.value());
    object.insert(kPayload, payloadObject);
    object.insert(kIsTestMode, isTestMode);
    return object;
}

std::optional<SignalPostBody> SignalPostBody::fromJson(const QJsonObject &object, DateForm form)
{
    SignalPostBody record;
    const QJsonValue received = object.value(kReceivedAt);
    if (form == DateForm::wire) {
        if (!received.isString())
            return std::nullopt;
        const auto moment = parseWireDate(received.toString());
        if (!moment)
            return std::nullopt;
        record.receivedAt = *moment;
    } else {
        if (!received.isDouble())
            return std::nullopt;
        const double seconds = received.toDouble();
        if (!std::isfinite(seconds) || std::fabs(seconds) > kLargestCacheSeconds)
            return std::nullopt;
        record.receivedAt = QDateTime::fromMSecsSinceEpoch(kReferenceDateMSecs + std::llround(seconds * 1000.0));
    }

    const auto appID = stringMember(object, kAppID);
    const auto clientUser = stringMember(object, kClientUser);
    const auto sessionID = stringMember(object, kSessionID);
    const auto type = stringMember(object, kType);
    const auto isTestMode = stringMember(object, kIsTestMode);
    if (!appID || !clientUser || !sessionID || !type || !isTestMode)
        return std::nullopt;
    record.appID = *appID;
    record.clientUser = *clientUser;
    record.sessionID = *sessionID;
    record.type = *type;
    record.isTestMode = *isTestMode;

    const QJsonValue floatValue = object.value(kFloatValue);
    if (floatValue.isDouble())
        record.floatValue = floatValue.toDouble();
    else if (!floatValue.isUndefined() && !floatValue.isNull())
        return std::nullopt;

    const QJsonValue payload = object.value(kPayload);
    if (!payload.isObject())
        return std::nullopt;
    const QJsonObject payloadObject = payload.toObject();
    for (auto it = payloadObject.begin(); it != payloadObject.end(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
        record.payload.insert(it.key(), it.value().toString());
    }
    return record;
}

QString SignalPostBody::debugDescription() const
{
    QStringList entries;
    for (auto it = payload.cbegin(); it != payload.cend(); ++it)
        entries.append(QStringLiteral("\"%1\": \"%2\"").arg(it.key(), it.value()));
    const QString floatText =
        floatValue ? QStringLiteral("Optional(%1)").arg(decimalText(*floatValue)) : QStringLiteral("nil");
    return QStringLiteral("SignalPostBody(receivedAt: %1, appID: \"%2\", clientUser: \"%3\", sessionID: \"%4\", "
                          "type: \"%5\", floatValue: %6, payload: [%7], isTestMode: \"%8\")")
        .arg(receivedAt.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000")), appID, clientUser, sessionID,
             type, floatText, entries.join(QStringLiteral(", ")), isTestMode);
}

bool SignalPostBody::operator==(const SignalPostBody &other) const
{
    return receivedAt.toMSecsSinceEpoch() == other.receivedAt.toMSecsSinceEpoch() && appID == other.appID &&
           clientUser == other.clientUser && sessionID == other.sessionID && type == other.type &&
           floatValue == other.floatValue && payload == other.payload && isTestMode == other.isTestMode;
}

std::optional<QByteArray> SignalEncoder::encode(const QList<SignalPostBody> &records) const
{
    QJsonArray array;
    for (const SignalPostBody &record : records) {
        const auto object = record.toJson(m_form);
        if (!object)
            return std::nullopt;
        array.append(*object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<SignalPostBody>> SignalEncoder::decode(const QByteArray &data) const
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<SignalPostBody> records;
    const QJsonArray array = document.array();
    records.reserve(array.size());
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            return std::nullopt;
        auto record = SignalPostBody::fromJson(value.toObject(), m_form);
        if (!record)
            return std::nullopt;
        records.append(std::move(*record));
    }
    return records;
}

SignalEncoder analyticsEncoder()
{
    return SignalEncoder(SignalPostBody::DateForm::wire);
}

} // namespace analytics
