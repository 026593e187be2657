// The host object the map page reaches as "sample": its ten operations, each handed to
// the callback interface of the window that owns the map.
#pragma once

#include <QJsonArray>
#include <QString>

#include <optional>
#include <string>

namespace kirvano {

// What the page's host object asks of the application, and the page events it reports.
class IHostWebViewFuncs {
public:
    virtual ~IHostWebViewFuncs() = default;
    // 0 when the map cannot be used now; clears the page-ready flag then.
    virtual int ConnectTest() = 0;
    // The page's map library has loaded.
    virtual void OnInitHtml() = 0;
    // The group track as a JSON position array; nothing when there is none.
    virtual std::optional<std::string> GetGPSData() = 0;
    // The current recording's track as a JSON position array; nothing without a recording.
    virtual std::optional<std::string> GetGridData(const std::string& ignored) = 0;
    // The name of event kind 0..13 in the chosen language; empty for other kinds.
    virtual std::string GetMarkName(int kind) = 0;
    virtual std::string GetRcString(int index) = 0;
    // The frame being shown, in decimal.
    virtual std::string GetRelJpgNum() = 0;
    virtual void DebLog(const std::string& text) = 0;
    // An event marker was clicked: playback seeks to ipos.
    virtual void OnClickCrashPoint(int ifile, int igrid, int ipos, int valid, double lat,
                                   double lng, double speed, double direction) = 0;
    // The address of the map library script.
    virtual std::string GetMapURL() = 0;
    // Sends the "update" message with the current position and status to the page.
    virtual void SetSend() = 0;
};

class HostWebViewObject {
public:
    explicit HostWebViewObject(IHostWebViewFuncs* funcs) : funcs_(funcs) {}

    // Runs operation method with the page's arguments; the result as JSON text, or nothing
    // when the operation leaves its result unset (no funcs, no result, unknown method).
    std::optional<std::string> Call(const QString& method, const QJsonArray& args);

private:
    IHostWebViewFuncs* funcs_;
};

} // namespace kirvano
