// The connection watcher: a worker thread that asks the tile server once a second whether
// it answers, so that the map page knows whether the map can be loaded.
#pragma once

#include <QObject>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <string>

namespace kirvano {

class ConnectionProbe;

class CInetConnectionAsync {
public:
    // Starts the worker, which probes target (the server's root address) at once and then
    // every interval_ms.
    explicit CInetConnectionAsync(const QUrl& target, int interval_ms = 1000);
    // Stops the worker and waits for it.
    virtual ~CInetConnectionAsync();

    CInetConnectionAsync(const CInetConnectionAsync&) = delete;
    CInetConnectionAsync& operator=(const CInetConnectionAsync&) = delete;

    // 1 when the last probe reached the server, else 0; always 0 while disabled.
    int Connected() const { return enabled_ ? connected_.load() : 0; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Runs a probe now instead of waiting for the next second.
    void ProbeNow();
    // Number of probes finished so far (a probe that times out counts when it gives up).
    int ProbesDone() const { return probes_; }

private:
    friend class ConnectionProbe;
    QThread thread_;
    ConnectionProbe* probe_ = nullptr;
    std::atomic<int> connected_{0};
    std::atomic<bool> enabled_{true};
    std::atomic<int> probes_{0};
};

} // namespace kirvano
