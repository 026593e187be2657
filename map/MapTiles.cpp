// Tile fetching and caching, and the scheme that serves page, library and tiles.
#include "map/MapTiles.h"

#include "KirvanoVersion.h"
#include "config/Settings.h"
#include "map/MapHost.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace kirvano {

namespace {

QString EnvText(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

QString CacheFolder() {
    const QString override = EnvText("KIRVANO_TILE_CACHE");
    if (!override.isEmpty())
        return override;
    QString base = EnvText("XDG_CACHE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.cache";
    return base + "/kirvano/tiles";
}

bool IsLoopback(const QString& host) {
    if (host.compare("localhost", Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

MapTileSettings ReadMapTileSettings() {
    MapTileSettings s;
    s.tileUrl = QString::fromStdString(ReadSetting("MAP", "TILE_URL"));
    if (s.tileUrl.isEmpty())
        s.tileUrl = kDefaultTileUrl;
    s.attribution = QString::fromStdString(ReadSetting("MAP", "ATTRIBUTION"));
    if (s.attribution.isEmpty())
        s.attribution = kDefaultAttribution;
    bool ok = false;
    const qint64 mb = QString::fromStdString(ReadSetting("MAP", "TILE_CACHE_MB")).toLongLong(&ok);
    s.cacheBytes = (ok && mb > 0 ? mb : 256) * 1024 * 1024;
    s.cacheFolder = CacheFolder();
    return s;
}

QUrl TileAddress(const QString& tileUrl, int z, int x, int y) {
    QString text = tileUrl;
    text.replace("{z}", QString::number(z));
    text.replace("{x}", QString::number(x));
    text.replace("{y}", QString::number(y));
    return QUrl(text);
}

QUrl TileServerRoot(const QString& tileUrl) {
    QUrl url = TileAddress(tileUrl, 0, 0, 0);
    url.setPath("/");
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

std::optional<QNetworkProxy> ProxyFromEnvironment(const QUrl& url) {
    const QString host = url.host();
    if (host.isEmpty() || IsLoopback(host))
        return std::nullopt;
    QString noProxy = EnvText("no_proxy");
    if (noProxy.isEmpty())
        noProxy = EnvText("NO_PROXY");
    for (QString entry : noProxy.split(',', Qt::SkipEmptyParts)) {
        entry = entry.trimmed();
        if (entry == "*")
            return std::nullopt;
        if (entry.startsWith('.'))
            entry.remove(0, 1);
        if (!entry.isEmpty() && (host.compare(entry, Qt::CaseInsensitive) == 0 ||
                                 host.endsWith("." + entry, Qt::CaseInsensitive)))
            return std::nullopt;
    }
    const bool https = url.scheme() == "https";
    QString value = EnvText(https ? "https_proxy" : "http_proxy");
    if (value.isEmpty())
        value = EnvText(https ? "HTTPS_PROXY" : "HTTP_PROXY");
    if (value.isEmpty())
        return std::nullopt;
    if (!value.contains("://"))
        value.prepend("http://");
    const QUrl proxy(value);
    if (!proxy.isValid() || proxy.host().isEmpty())
        return std::nullopt;
    const bool socks = proxy.scheme().startsWith("socks");
    return QNetworkProxy(socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy,
                         proxy.host(), static_cast<quint16>(proxy.port(socks ? 1080 : 80)),
                         proxy.userName(), proxy.password());
}

QByteArray MapUserAgent() {
    return QByteArray("Kirvano/") + KIRVANO_VERSION + " (dash-camera viewer)";
}

bool LooksLikeTileImage(const QByteArray& data) {
    return data.startsWith("\x89PNG\r\n\x1a\n") || data.startsWith("\xff\xd8\xff") ||
           data.startsWith("GIF8") || (data.startsWith("RIFF") && data.mid(8, 4) == "WEBP");
}

namespace {

QByteArray TileMime(const QByteArray& data) {
    if (data.startsWith("\x89PNG"))
        return "image/png";
    if (data.startsWith("\xff\xd8"))
        return "image/jpeg";
    if (data.startsWith("GIF8"))
        return "image/gif";
    return "image/webp";
}

} // namespace

MapTileCache::MapTileCache(MapTileSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), network_(new QNetworkAccessManager(this)),
      cache_(new QNetworkDiskCache(this)) {
    QDir().mkpath(settings_.cacheFolder);
    cache_->setCacheDirectory(settings_.cacheFolder);
    cache_->setMaximumCacheSize(settings_.cacheBytes);
    network_->setCache(cache_);
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    if (auto proxy = ProxyFromEnvironment(TileServerRoot(settings_.tileUrl)))
        network_->setProxy(*proxy);
    else
        network_->setProxy(QNetworkProxy::NoProxy);
    QDirIterator it(settings_.cacheFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (it.next().contains("/data")) {
            hasTiles_ = true;
            break;
        }
    }
}

MapTileCache::~MapTileCache() = default;

void MapTileCache::Fetch(int z, int x, int y, Done done) {
    if (z < 0 || z > 30 || x < 0 || y < 0 || (x >> z) != 0 || (y >> z) != 0) {
        done({}, {});
        return;
    }
    Request(TileAddress(settings_.tileUrl, z, x, y), std::move(done), false);
}

bool MapTileCache::ServeFromCache(const QUrl& url, const Done& done) {
    std::unique_ptr<QIODevice> device(cache_->data(url));
    if (!device)
        return false;
    const QByteArray data = device->readAll();
    device.reset();
    if (!LooksLikeTileImage(data)) {
        cache_->remove(url);
        return false;
    }
    ++served_;
    done(data, TileMime(data));
    return true;
}

void MapTileCache::Request(const QUrl& url, Done done, bool retried) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, MapUserAgent());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         retried ? QNetworkRequest::AlwaysNetwork : QNetworkRequest::PreferNetwork);
    request.setTransferTimeout(10000);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, url, retried, done = std::move(done)]() mutable {
                reply->deleteLater();
                const QByteArray data = reply->readAll();
                const int status =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                const bool fromCache =
                    reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool();
                if (reply->error() == QNetworkReply::NoError && status == 200 &&
                    LooksLikeTileImage(data)) {
                    hasTiles_ = true;
                    ++served_;
                    done(data, TileMime(data));
                    return;
                }
                if (fromCache) {
                    // A damaged cache entry: forget it and ask the server once more.
                    cache_->remove(url);
                    if (!retried) {
                        Request(url, std::move(done), true);
                        return;
                    }
                }
                // The server is unreachable or answered badly: an older copy is better than none.
                if (!ServeFromCache(url, done))
                    done({}, {});
            });
}

MapSchemeHandler::MapSchemeHandler(MapTileCache* tiles, HostWebViewObject* host, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), tiles_(tiles), host_(host) {}

namespace {

QByteArray AssetMime(const QString& path) {
    if (path.endsWith(".html"))
        return "text/html";
    if (path.endsWith(".js"))
        return "text/javascript";
    if (path.endsWith(".css"))
        return "text/css";
    if (path.endsWith(".png"))
        return "image/png";
    return "application/octet-stream";
}

void ReplyBytes(QWebEngineUrlRequestJob* job, const QByteArray& mime, const QByteArray& data) {
    auto* buffer = new QBuffer(job);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    job->reply(mime, buffer);
}

} // namespace

void MapSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    if (url.host() == "tile") {
        const QStringList parts = url.path().split('/', Qt::SkipEmptyParts);
        bool okZ = false, okX = false, okY = false;
        const int z = parts.value(0).toInt(&okZ);
        const int x = parts.value(1).toInt(&okX);
        const int y = parts.value(2).toInt(&okY);
        if (parts.size() != 3 || !okZ || !okX || !okY || tiles_ == nullptr) {
            job->fail(QWebEngineUrlRequestJob::UrlInvalid);
            return;
        }
        QPointer<QWebEngineUrlRequestJob> guard(job);
        tiles_->Fetch(z, x, y, [guard](const QByteArray& data, const QByteArray& mime) {
            if (!guard)
                return;
            if (data.isEmpty())
                guard->fail(QWebEngineUrlRequestJob::RequestFailed);
            else
                ReplyBytes(guard, mime, data);
        });
        return;
    }
    if (url.host() != "app") {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QString path = url.path();
    if (path.startsWith("/host/")) {
        // A host call: answered at once, while the page waits for it.
        const QString args = QUrlQuery(url).queryItemValue("a", QUrl::FullyDecoded);
        std::optional<std::string> answer;
        if (host_ != nullptr)
            answer = host_->Call(path.mid(6), QJsonDocument::fromJson(args.toUtf8()).array());
        ReplyBytes(job, "application/json",
                   answer ? QByteArray::fromStdString(*answer) : QByteArray());
        return;
    }
    static const QRegularExpression safe("^/[A-Za-z0-9_.-]+(/[A-Za-z0-9_.-]+)?$");
    QFile file(":/kirvano-map" + path);
    if (!safe.match(path).hasMatch() || path.contains("..") || !file.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    QByteArray data = file.readAll();
    const QString callback = QUrlQuery(url).queryItemValue("callback");
    static const QRegularExpression identifier("^[A-Za-z_][A-Za-z0-9_]*$");
    if (path.endsWith(".js") && identifier.match(callback).hasMatch())
        data += "\n;" + callback.toLatin1() + "();\n";
    ReplyBytes(job, AssetMime(path), data);
}

bool PrepareMapBrowser() {
    static const bool prepared = [] {
        if (geteuid() == 0 && qgetenv("QTWEBENGINE_DISABLE_SANDBOX").isEmpty())
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        QWebEngineUrlScheme scheme(kMapScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled |
                        QWebEngineUrlScheme::LocalAccessAllowed);
        QWebEngineUrlScheme::registerScheme(scheme);
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        return true;
    }();
    return prepared;
}

namespace {
// The scheme must be known before the application object exists.
[[maybe_unused]] const bool kPreparedBeforeMain = PrepareMapBrowser();
} // namespace

} // namespace kirvano
