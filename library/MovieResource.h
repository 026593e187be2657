// The source watcher: a thread that checks every 100 ms whether the watched source (a
// card's mount point, a folder or a file) is still there and reports its loss once.
// Widget-free: the owner's callback posts the message to its window.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace kirvano {

class CMovieResource {
public:
    // onLost runs on the watcher's thread, once per loss.
    explicit CMovieResource(std::function<void()> onLost,
                            std::chrono::milliseconds interval = std::chrono::milliseconds(100));
    ~CMovieResource();
    CMovieResource(const CMovieResource&) = delete;
    CMovieResource& operator=(const CMovieResource&) = delete;

    // Watches path from now on (empty: nothing). A path that is gone, or whose volume
    // changed (a card unmounted under a mount point that stays), counts as lost.
    void watch(const std::string& path);
    std::string watchedPath() const;
    bool sourceLost() const;
    // Sets the stop flag and waits for the thread; also done by the destructor.
    void stop();

private:
    void run();

    std::function<void()> onLost_;
    std::chrono::milliseconds interval_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::string path_;
    dev_t device_ = 0;
    bool lost_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace kirvano
