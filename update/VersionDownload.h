// Fetching one version file over HTTP with Qt Network, through the proxy the environment
// names. Runs on the calling thread's own event loop, so the check thread can use it.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace kirvano {

struct DownloadLimits {
    // The whole fetch, from the request to the first block.
    std::chrono::milliseconds timeout{5000};
    // Set from another thread to end the fetch at once.
    const std::atomic<bool>* cancel = nullptr;
};

// The version the file at address announces ("VER:" and what follows it in the first
// 1024 bytes; empty for an empty file). Nothing on any failure: no connection, an answer
// other than 2xx, too many redirects, no "VER:", the time limit, cancellation.
std::optional<std::string> DownloadVersion(const std::string& address,
                                           const DownloadLimits& limits);

} // namespace kirvano
