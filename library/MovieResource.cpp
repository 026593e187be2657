// The source watcher's thread.
#include "library/MovieResource.h"

#include <sys/stat.h>

namespace kirvano {

CMovieResource::CMovieResource(std::function<void()> onLost, std::chrono::milliseconds interval)
    : onLost_(std::move(onLost)), interval_(interval) {
    thread_ = std::thread([this] { run(); });
}

CMovieResource::~CMovieResource() {
    stop();
}

void CMovieResource::stop() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CMovieResource::watch(const std::string& path) {
    struct stat info {};
    const bool exists = !path.empty() && ::stat(path.c_str(), &info) == 0;
    std::lock_guard guard(lock_);
    path_ = exists || path.empty() ? path : std::string();
    device_ = exists ? info.st_dev : 0;
    lost_ = !path.empty() && !exists;
}

std::string CMovieResource::watchedPath() const {
    std::lock_guard guard(lock_);
    return path_;
}

bool CMovieResource::sourceLost() const {
    std::lock_guard guard(lock_);
    return lost_;
}

void CMovieResource::run() {
    std::unique_lock guard(lock_);
    while (!stop_) {
        wake_.wait_for(guard, interval_, [this] { return stop_; });
        if (stop_ || path_.empty())
            continue;
        const std::string path = path_;
        const dev_t device = device_;
        guard.unlock();
        struct stat info {};
        const bool there = ::stat(path.c_str(), &info) == 0 && info.st_dev == device;
        guard.lock();
        // A new watch() in the meantime decides for itself.
        if (there || path_ != path || stop_)
            continue;
        lost_ = true;
        path_.clear();
        guard.unlock();
        if (onLost_)
            onLost_();
        guard.lock();
    }
}

} // namespace kirvano
