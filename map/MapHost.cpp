// Dispatch of the page's host calls to the application's callbacks.
#include "map/MapHost.h"

#include "map/MapScript.h"

namespace kirvano {

namespace {

int IntArg(const QJsonArray& args, int i) {
    const QJsonValue v = args.at(i);
    if (v.isString())
        return v.toString().toInt();
    return static_cast<int>(v.toDouble());
}

double DoubleArg(const QJsonArray& args, int i) {
    const QJsonValue v = args.at(i);
    if (v.isString())
        return v.toString().toDouble();
    return v.toDouble();
}

QString TextArg(const QJsonArray& args, int i) {
    const QJsonValue v = args.at(i);
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 17);
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return {};
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

} // namespace

std::optional<std::string> HostWebViewObject::Call(const QString& method, const QJsonArray& args) {
    if (funcs_ == nullptr)
        return std::nullopt;
    if (method == u"TestMethod")
        return JsonString(TestMethodText(TextArg(args, 0).toStdString(), IntArg(args, 1)));
    if (method == u"JS2C_ConnectTest")
        return std::string(funcs_->ConnectTest() != 0 ? "true" : "false");
    if (method == u"JS2C_GetMapURL")
        return JsonString(funcs_->GetMapURL());
    if (method == u"JS2C_GetGPSData")
        return funcs_->GetGPSData();
    if (method == u"JS2C_GetGridData")
        return funcs_->GetGridData(TextArg(args, 0).toStdString());
    if (method == u"JS2C_GetRelJpgNum")
        return JsonString(funcs_->GetRelJpgNum());
    if (method == u"JS2C_OnClickCrashPoint") {
        funcs_->OnClickCrashPoint(IntArg(args, 0), IntArg(args, 1), IntArg(args, 2),
                                  IntArg(args, 3), DoubleArg(args, 4), DoubleArg(args, 5),
                                  DoubleArg(args, 6), DoubleArg(args, 7));
        return std::nullopt;
    }
    if (method == u"JS2C_OnInitHtml") {
        funcs_->OnInitHtml();
        return std::nullopt;
    }
    if (method == u"JS2C_SetSend") {
        funcs_->SetSend();
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace kirvano
