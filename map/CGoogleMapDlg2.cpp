// The map window, its browser holder and the page class that answers the host calls.
#include "map/CGoogleMapDlg2.h"

#include "map/MapTiles.h"

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QResizeEvent>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace kirvano {

namespace {

constexpr double kZoomFactor = 0.65;

// The page's view of the program, present from the document's first line: the host object
// "sample" whose calls are synchronous (a blocking request on the page's own scheme that
// the program answers at once), the "message" event target and the tile layer's
// configuration.
QString BridgeScript(const MapTileSettings& settings) {
    const QJsonArray config{QString("kirvano-map://tile/{z}/{x}/{y}"), settings.attribution};
    const QString configText =
        QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact));
    return QStringLiteral(R"JS((function () {
    "use strict";
    var config = %1;
    var target = new EventTarget();
    function call(name, args) {
        var request = new XMLHttpRequest();
        try {
            request.open("GET", "/host/" + name + "?a=" + encodeURIComponent(JSON.stringify(args)),
                         false);
            request.send();
        } catch (e) {
            return undefined;
        }
        if (request.status !== 200 || request.responseText === "")
            return undefined;
        try { return JSON.parse(request.responseText); } catch (e) { return undefined; }
    }
    var sample = {};
    ["TestMethod", "JS2C_ConnectTest", "JS2C_GetMapURL", "JS2C_GetGPSData",
     "JS2C_GetGridData", "JS2C_GetRelJpgNum", "JS2C_OnClickCrashPoint", "JS2C_OnInitHtml",
     "JS2C_SetSend"].forEach(function (name) {
        sample[name] = function () { return call(name, Array.prototype.slice.call(arguments)); };
    });
    if (!window.chrome)
        window.chrome = {};
    window.chrome.webview = {
        addEventListener: target.addEventListener.bind(target),
        removeEventListener: target.removeEventListener.bind(target),
        hostObjects: {sync: {sample: sample}}
    };
    window.kirvanoDeliverMessage = function (text) {
        var data;
        try { data = JSON.parse(text); } catch (e) { return; }
        target.dispatchEvent(new MessageEvent("message", {data: data}));
    };
    window.kirvanoMapConfig = {tileUrl: config[0], attribution: config[1]};
})();)JS")
        .arg(configText);
}

// A JavaScript string literal holding text.
QString ScriptString(const QString& text) {
    const QJsonArray wrapped{text};
    QString json = QString::fromUtf8(QJsonDocument(wrapped).toJson(QJsonDocument::Compact));
    return json.mid(1, json.size() - 2);
}

} // namespace

QUrl MapPageAddress() {
    return QUrl("kirvano-map://app/map.html");
}

class MapPage : public QWebEnginePage {
public:
    MapPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    // Page script errors are not the user's business.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}

    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (url.scheme() == QLatin1String(kMapScheme))
            return true;
        // Links of the attribution open in the user's browser; the map page stays.
        if (isMainFrame && type == NavigationTypeLinkClicked &&
            (url.scheme() == "https" || url.scheme() == "http"))
            QDesktopServices::openUrl(url);
        return false;
    }

    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
};

CWebView2Holder::CWebView2Holder(QWidget* host, IHostWebViewFuncs* funcs, MapTileCache* tiles)
    : host_(host), funcs_(funcs), tiles_(tiles) {}

CWebView2Holder::~CWebView2Holder() {
    // The page goes before its profile.
    delete view_;
    delete scheme_;
    delete profile_;
}

void CWebView2Holder::Create() {
    if (creationStarted_)
        return;
    creationStarted_ = true;
    hostObject_ = std::make_unique<HostWebViewObject>(funcs_);
    profile_ = new QWebEngineProfile(host_); // off the record: nothing is kept on disk
    profile_->setHttpUserAgent(QString::fromLatin1(MapUserAgent()));
    scheme_ = new MapSchemeHandler(tiles_, hostObject_.get(), profile_);
    profile_->installUrlSchemeHandler(kMapScheme, scheme_);

    view_ = new QWebEngineView(host_);
    page_ = new MapPage(profile_, view_);
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);

    QWebEngineScript bridge;
    bridge.setName("kirvano-host");
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bridge.setWorldId(QWebEngineScript::MainWorld);
    bridge.setRunsOnSubFrames(false);
    bridge.setSourceCode(BridgeScript(tiles_ != nullptr ? tiles_->settings() : MapTileSettings{}));
    page_->scripts().insert(bridge);

    QObject::connect(page_, &QWebEnginePage::loadStarted, host_, [this] { loaded_ = false; });
    QObject::connect(page_, &QWebEnginePage::loadFinished, host_, [this](bool ok) {
        if (!ok) {
            MarkFailed();
            return;
        }
        loaded_ = true;
        const QStringList scripts = std::exchange(pending_, {});
        for (const QString& script : scripts)
            page_->runJavaScript(script);
    });
    QObject::connect(page_, &QWebEnginePage::renderProcessTerminated, host_,
                     [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                         if (status != QWebEnginePage::NormalTerminationStatus)
                             MarkFailed();
                     });
    view_->setPage(page_);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    Resize();
    view_->show();
    page_->load(MapPageAddress());
}

void CWebView2Holder::MarkFailed() {
    loaded_ = false;
    pending_.clear();
    if (failed_)
        return;
    failed_ = true;
    if (onFailure_)
        onFailure_();
}

void CWebView2Holder::RunScript(const QString& script) {
    if (page_ == nullptr || failed_)
        return;
    if (!loaded_) {
        pending_.push_back(script);
        return;
    }
    page_->runJavaScript(script);
}

void CWebView2Holder::PostWebMessageAsJson(const std::string& json) {
    RunScript("kirvanoDeliverMessage(" + ScriptString(QString::fromStdString(json)) + ")");
}

void CWebView2Holder::Resize() {
    if (view_ == nullptr)
        return;
    view_->setGeometry(host_->rect());
    view_->setZoomFactor(kZoomFactor);
}

CGoogleMapDlg2::CGoogleMapDlg2(IHostWebViewFuncs* funcs, MapTileCache* tiles, QWidget* parent)
    : QWidget(parent), funcs_(funcs), holder_(this, funcs, tiles) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CGoogleMapDlg2::~CGoogleMapDlg2() = default;

void CGoogleMapDlg2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    holder_.Create();
}

void CGoogleMapDlg2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    holder_.Resize();
}

void CGoogleMapDlg2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0xe9, 0xe5, 0xdc));
}

} // namespace kirvano
