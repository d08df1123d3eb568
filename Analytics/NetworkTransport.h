#pragma once

#include "Analytics/HttpTransport.h"

#include <memory>

namespace analytics {

// The transport over QNetworkAccessManager, which lives on a thread of its own.
class NetworkTransport final : public HttpTransport
{
public:
    NetworkTransport();
    ~NetworkTransport() override;

    // The process-wide transport, created on first use and shut down when the application object goes.
    static std::shared_ptr<NetworkTransport> shared();

    void send(const HttpRequest &request, Completion completion) override;

    // Cancels what is in flight (each completion reports the cancellation) and ends the thread.
    // Later sends fail at once.
    void shutdown();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace analytics
