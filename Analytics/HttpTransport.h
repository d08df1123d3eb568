#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

namespace analytics {

struct HttpRequest
{
    QUrl url;
    QByteArray method = QByteArrayLiteral("POST");
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    std::chrono::milliseconds timeout{60000};
};

struct HttpResponse
{
    // Absent for a response that is not an HTTP response.
    std::optional<int> statusCode;
};

// What came back: any of the three may be absent.
struct HttpResult
{
    std::optional<QByteArray> data;
    std::optional<HttpResponse> response;
    // The transport's own description of a failure (no connection, time-out, cancelled).
    std::optional<QString> transportError;
};

// Sends one request and reports its result. Implementations are safe to call from any thread and
// call the completion exactly once, on a thread of their choice.
class HttpTransport
{
public:
    using Completion = std::function<void(const HttpResult &)>;

    virtual ~HttpTransport() = default;
    virtual void send(const HttpRequest &request, Completion completion) = 0;
};

} // namespace analytics
