// Map tiles through the program: the tile server's address and attribution from the
// configuration, a disk cache with a size limit, fetching with Qt Network (proxy from the
// environment, a User-Agent naming Kirvano) and the URL scheme that serves the page, the
// map library and the tiles to the browser.
#pragma once

#include <QByteArray>
#include <QNetworkProxy>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkDiskCache;

namespace kirvano {

class HostWebViewObject;

// The scheme of the page, its scripts and the tiles: kirvano-map://app/…, kirvano-map://tile/z/x/y.
inline constexpr char kMapScheme[] = "kirvano-map";
inline constexpr char kDefaultTileUrl[] = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
inline constexpr char kDefaultAttribution[] =
    "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors";

struct MapTileSettings {
    QString tileUrl;     // with {z}, {x}, {y}
    QString attribution; // HTML, always shown
    QString cacheFolder; // $XDG_CACHE_HOME/kirvano/tiles
    qint64 cacheBytes = 0;
};

// Section MAP of the configuration: TILE_URL, ATTRIBUTION, TILE_CACHE_MB (default 256);
// the cache folder from KIRVANO_TILE_CACHE, else $XDG_CACHE_HOME (~/.cache)/kirvano/tiles.
MapTileSettings ReadMapTileSettings();

// The template with {z}, {x}, {y} replaced.
QUrl TileAddress(const QString& tileUrl, int z, int x, int y);
// The tile server's root address ("/" on its host), which the connection watcher probes.
QUrl TileServerRoot(const QString& tileUrl);
// The proxy that http_proxy / https_proxy name for url; none for loopback hosts, for hosts
// in no_proxy and when the variable is unset or unreadable.
std::optional<QNetworkProxy> ProxyFromEnvironment(const QUrl& url);
// "Kirvano/<version> (dash-camera viewer)".
QByteArray MapUserAgent();
// PNG, JPEG, GIF or WebP by their first bytes.
bool LooksLikeTileImage(const QByteArray& data);

class MapTileCache : public QObject {
    Q_OBJECT

public:
    explicit MapTileCache(MapTileSettings settings, QObject* parent = nullptr);
    ~MapTileCache() override;

    // Calls done on the UI thread with the tile's bytes and type, or with empty bytes when
    // neither the server nor the cache has a usable tile.
    using Done = std::function<void(const QByteArray& data, const QByteArray& mime)>;
    void Fetch(int z, int x, int y, Done done);

    // The cache holds at least one tile (the map is worth showing without a network).
    bool HasCachedTiles() const { return hasTiles_; }
    const MapTileSettings& settings() const { return settings_; }
    int requestsServed() const { return served_; }

private:
    void Request(const QUrl& url, Done done, bool retried);
    bool ServeFromCache(const QUrl& url, const Done& done);

    MapTileSettings settings_;
    QNetworkAccessManager* network_;
    QNetworkDiskCache* cache_;
    bool hasTiles_ = false;
    int served_ = 0;
};

// Serves kirvano-map://app/<file> from the program's resources (the library script with
// "?callback=name" runs name() once it has loaded), the host object's calls
// kirvano-map://app/host/<operation>?a=<JSON arguments> (answered with the JSON result, empty
// when unset) and kirvano-map://tile/z/x/y through the tile cache.
class MapSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT

public:
    MapSchemeHandler(MapTileCache* tiles, HostWebViewObject* host, QObject* parent = nullptr);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    MapTileCache* tiles_;
    HostWebViewObject* host_;
};

// Registers the scheme and, for root, switches the browser sandbox off. Runs by itself
// before main(); calling it again does nothing.
bool PrepareMapBrowser();

} // namespace kirvano
