#include "update/VersionDownload.h"

#include "update/VersionRules.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <cstdlib>
#include <langinfo.h>

namespace kirvano {
namespace {

constexpr int kMaxRedirects = 5;
constexpr int kPollMs = 20;

QNetworkProxy ProxyFromEnvironment(const QUrl& url) {
    const auto setting =
        ProxyForHost(url.host().toStdString(), [](const char* name) { return std::getenv(name); });
    if (!setting)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    return QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromStdString(setting->host),
                         static_cast<quint16>(setting->port), QString::fromStdString(setting->user),
                         QString::fromStdString(setting->password));
}

bool IsSuccess(const QNetworkReply& reply) {
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

} // namespace

std::optional<std::string> DownloadVersion(const std::string& address,
                                           const DownloadLimits& limits) {
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
        return std::nullopt;

    QNetworkAccessManager manager;
    manager.setProxy(ProxyFromEnvironment(url));
    manager.setCache(nullptr);
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "*/*");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setMaximumRedirectsAllowed(kMaxRedirects);

    QNetworkReply* reply = manager.get(request);
    QByteArray block;
    bool finished = false;
    QEventLoop loop;
    // Only the first block counts: stop reading once it is full, whatever the file's size.
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (!IsSuccess(*reply)) {
            loop.quit();
            return;
        }
        block += reply->read(static_cast<qint64>(kVersionBlockBytes) - block.size());
        if (block.size() >= static_cast<qsizetype>(kVersionBlockBytes))
            loop.quit();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const bool cancelled = limits.cancel != nullptr && limits.cancel->load();
        if (cancelled || clock.elapsed() >= limits.timeout.count())
            loop.quit();
    });
    poll.start(kPollMs);
    loop.exec();
    poll.stop();

    const bool cancelled = limits.cancel != nullptr && limits.cancel->load();
    const bool fullBlock = block.size() >= static_cast<qsizetype>(kVersionBlockBytes);
    bool ok = !cancelled && IsSuccess(*reply) &&
              (fullBlock || (finished && reply->error() == QNetworkReply::NoError));
    if (ok && !fullBlock)
        block += reply->read(static_cast<qint64>(kVersionBlockBytes) - block.size());
    reply->disconnect(&loop);
    reply->abort();
    delete reply;
    if (!ok)
        return std::nullopt;
    return VersionFromBlock(std::string_view(block.constData(), block.size()),
                            nl_langinfo(CODESET));
}

} // namespace kirvano
