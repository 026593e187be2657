// The connection watcher's worker: a HEAD request to the tile server's root once a second.
#include "map/CInetConnectionAsync.h"

#include "map/MapTiles.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace kirvano {

class ConnectionProbe : public QObject {
public:
    ConnectionProbe(CInetConnectionAsync* owner, QUrl target, int interval_ms)
        : owner_(owner), target_(std::move(target)), interval_(interval_ms) {}

    void Start() {
        network_ = new QNetworkAccessManager(this);
        if (auto proxy = ProxyFromEnvironment(target_))
            network_->setProxy(*proxy);
        else
            network_->setProxy(QNetworkProxy::NoProxy);
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, &ConnectionProbe::Probe);
        timer_->start(interval_);
        Probe();
    }

    void Probe() {
        if (!owner_->enabled_) {
            owner_->connected_ = 0;
            return;
        }
        if (inFlight_ || network_ == nullptr)
            return;
        inFlight_ = true;
        QNetworkRequest request(target_);
        request.setHeader(QNetworkRequest::UserAgentHeader, MapUserAgent());
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setTransferTimeout(3000);
        QNetworkReply* reply = network_->head(request);
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            owner_->connected_ = status > 0 ? 1 : 0;
            ++owner_->probes_;
            inFlight_ = false;
        });
    }

private:
    CInetConnectionAsync* owner_;
    QUrl target_;
    int interval_;
    QNetworkAccessManager* network_ = nullptr;
    QTimer* timer_ = nullptr;
    bool inFlight_ = false;
};

CInetConnectionAsync::CInetConnectionAsync(const QUrl& target, int interval_ms) {
    probe_ = new ConnectionProbe(this, target, interval_ms);
    probe_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::started, probe_, [this] { probe_->Start(); });
    QObject::connect(&thread_, &QThread::finished, probe_, &QObject::deleteLater);
    thread_.setObjectName("map connection watcher");
    thread_.start();
}

CInetConnectionAsync::~CInetConnectionAsync() {
    thread_.quit();
    thread_.wait();
}

void CInetConnectionAsync::SetEnabled(bool enabled) {
    enabled_ = enabled;
    ProbeNow();
}

void CInetConnectionAsync::ProbeNow() {
    QMetaObject::invokeMethod(
        probe_, [probe = probe_] { probe->Probe(); }, Qt::QueuedConnection);
}

} // namespace kirvano
