#pragma once

#include <QString>
#include <QtGlobal>

namespace analytics {

// What can go wrong with one batch on the way to the ingest endpoint.
struct AnalyticsError
{
    enum class Kind { invalidStatusCode, unauthorised, forbidden, payloadTooLarge, invalidEndpointUrl };

    Kind kind = Kind::invalidStatusCode;
    qint64 statusCode = 0; // only for invalidStatusCode

    static AnalyticsError invalidStatusCode(qint64 status) { return {Kind::invalidStatusCode, status}; }
    static AnalyticsError unauthorised() { return {Kind::unauthorised, 0}; }
    static AnalyticsError forbidden() { return {Kind::forbidden, 0}; }
    static AnalyticsError payloadTooLarge() { return {Kind::payloadTooLarge, 0}; }
    static AnalyticsError invalidEndpointUrl() { return {Kind::invalidEndpointUrl, 0}; }

    // The user-facing text, e.g. "Unauthorized (401)".
    QString localizedDescription() const;
    // The form written to the log, e.g. "invalidStatusCode(statusCode: 500)".
    QString plainRendering() const;

    bool operator==(const AnalyticsError &other) const { return kind == other.kind && statusCode == other.statusCode; }
};

} // namespace analytics
