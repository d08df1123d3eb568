#include "Analytics/NetworkTransport.h"

#include "Analytics/Timings.h"

#include <QCoreApplication>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>

#include <mutex>

namespace analytics {

struct NetworkTransport::Private
{
    QThread *thread = nullptr;
    QObject *worker = nullptr; // lives on `thread`; parent of the access manager
    QNetworkAccessManager *manager = nullptr;
    QHash<QNetworkReply *, Completion> pending; // used on `thread` only

    std::mutex mutex;
    bool stopped = false;

    void start(const HttpRequest &request, Completion completion);
    void finish(QNetworkReply *reply);
    void cancelAll();
};

void NetworkTransport::Private::start(const HttpRequest &request, Completion completion)
{
    if (!manager)
        manager = new QNetworkAccessManager(worker);
    QNetworkRequest networkRequest(request.url);
    for (const auto &header : request.headers)
        networkRequest.setRawHeader(header.first, header.second);
    networkRequest.setTransferTimeout(timerMSecs(request.timeout));
    QNetworkReply *reply = manager->sendCustomRequest(networkRequest, request.method, request.body);
    pending.insert(reply, std::move(completion));
    QObject::connect(reply, &QNetworkReply::finished, worker, [this, reply] { finish(reply); });
}

void NetworkTransport::Private::finish(QNetworkReply *reply)
{
    const Completion completion = pending.take(reply);
    reply->deleteLater();
    if (!completion)
        return;
    HttpResult result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        // An HTTP answer, whatever its status: Qt's own error for 4xx/5xx is not a transport failure.
        result.response = HttpResponse{status.toInt()};
        result.data = reply->readAll();
    } else if (reply->error() != QNetworkReply::NoError) {
        result.transportError = reply->errorString();
    }
    completion(result);
}

void NetworkTransport::Private::cancelAll()
{
    const auto replies = pending.keys();
    for (QNetworkReply *reply : replies) {
        const Completion completion = pending.take(reply);
        QObject::disconnect(reply, nullptr, worker, nullptr);
        reply->abort();
        delete reply;
        HttpResult result;
        result.transportError = QStringLiteral("Operation canceled");
        completion(result);
    }
    delete manager;
    manager = nullptr;
}

NetworkTransport::NetworkTransport() : d(std::make_unique<Private>())
{
    d->thread = new QThread;
    d->thread->setObjectName(QStringLiteral("org.ovlin.analytics.NetworkTransport"));
    d->worker = new QObject;
    d->worker->moveToThread(d->thread);
    d->thread->start();
}

NetworkTransport::~NetworkTransport()
{
    shutdown();
    if (QThread::currentThread() == d->thread) {
        // Dropped from one of its own completions: let the thread wind down by itself.
        d->worker->deleteLater();
        QObject::connect(d->thread, &QThread::finished, d->thread, &QObject::deleteLater);
        return;
    }
    d->thread->wait();
    delete d->worker;
    delete d->thread;
}

std::shared_ptr<NetworkTransport> NetworkTransport::shared()
{
    static std::mutex mutex;
    static std::shared_ptr<NetworkTransport> instance;
    std::lock_guard lock(mutex);
    if (!instance) {
        instance = std::make_shared<NetworkTransport>();
        qAddPostRoutine([] {
            std::shared_ptr<NetworkTransport> transport;
            {
                std::lock_guard guard(mutex);
                transport = instance;
            }
            if (transport)
                transport->shutdown();
        });
    }
    return instance;
}

void NetworkTransport::send(const HttpRequest &request, Completion completion)
{
    {
        std::lock_guard lock(d->mutex);
        if (!d->stopped) {
            // Posted under the lock, so it runs before a shutdown's cancellation.
            Private *p = d.get();
            QMetaObject::invokeMethod(
                d->worker, [p, request, completion] { p->start(request, completion); }, Qt::QueuedConnection);
            return;
        }
    }
    HttpResult result;
    result.transportError = QStringLiteral("Network transport stopped");
    completion(result);
}

void NetworkTransport::shutdown()
{
    {
        std::lock_guard lock(d->mutex);
        if (d->stopped)
            return;
        d->stopped = true;
    }
    Private *p = d.get();
    if (QThread::currentThread() == d->thread) {
        p->cancelAll();
    } else {
        QMetaObject::invokeMethod(
            d->worker, [p] { p->cancelAll(); }, Qt::BlockingQueuedConnection);
    }
    d->thread->quit();
}

} // namespace analytics
