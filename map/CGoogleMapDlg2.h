// The map window and its browser holder: a child window whose browser (QtWebEngine) is
// created the first time the window is shown, loads the map page from the program's
// resources and reaches the host object "sample" through a synchronous call path.
#pragma once

#include "map/MapHost.h"
#include "map/MapScript.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QWebEngineProfile;
class QWebEngineView;

namespace kirvano {

class MapPage;
class MapSchemeHandler;
class MapTileCache;

class CWebView2Holder {
public:
    CWebView2Holder(QWidget* host, IHostWebViewFuncs* funcs, MapTileCache* tiles);
    virtual ~CWebView2Holder();

    CWebView2Holder(const CWebView2Holder&) = delete;
    CWebView2Holder& operator=(const CWebView2Holder&) = delete;

    // Creates the browser and loads the page; only the first call does anything.
    void Create();
    bool CreationStarted() const { return creationStarted_; }
    // The page has finished loading; scripts run at once from then on.
    bool Loaded() const { return loaded_; }
    // The browser could not start or its page process ended.
    bool Failed() const { return failed_; }
    // Runs script in the page, in the order issued; before the page has loaded the script
    // waits; without a browser it is dropped.
    void RunScript(const QString& script);
    // Delivers json to the page's "message" listeners (in order with the scripts).
    void PostWebMessageAsJson(const std::string& json);
    // Fits the browser to the host window at zoom factor 0.65.
    void Resize();
    // Called when the browser fails (page process gone, page not loadable).
    void SetFailureHandler(std::function<void()> handler) { onFailure_ = std::move(handler); }

    QWebEngineView* view() const { return view_; }

    CJsonHolder json;
    std::string latText, lngText, statusText;

private:
    void MarkFailed();

    QWidget* host_;
    IHostWebViewFuncs* funcs_;
    MapTileCache* tiles_;
    bool creationStarted_ = false;
    bool loaded_ = false;
    bool failed_ = false;
    std::unique_ptr<HostWebViewObject> hostObject_;
    // Owned here and deleted in this order: view (with its page), scheme handler, profile.
    QWebEngineProfile* profile_ = nullptr;
    MapSchemeHandler* scheme_ = nullptr;
    MapPage* page_ = nullptr;
    QWebEngineView* view_ = nullptr;
    QStringList pending_;
    std::function<void()> onFailure_;
};

class CGoogleMapDlg2 : public QWidget {
    Q_OBJECT

public:
    CGoogleMapDlg2(IHostWebViewFuncs* funcs, MapTileCache* tiles, QWidget* parent);
    ~CGoogleMapDlg2() override;

    CWebView2Holder& holder() { return holder_; }

    double mapLng = 0.0;
    double mapLat = 0.0;
    std::string mapStatus; // empty, "pause" or "stop"

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    IHostWebViewFuncs* funcs_;
    CWebView2Holder holder_;
};

// The address of the map page inside the program.
QUrl MapPageAddress();

} // namespace kirvano
