#include "app/WorkerThread.h"

#include <utility>

namespace kirvano {

WorkerThread::~WorkerThread() {
    Stop();
}

void WorkerThread::Start(Body body) {
    Join();
    cancelled_ = false;
    running_ = true;
    thread_ = std::thread([this, work = std::move(body)] {
        if (work)
            work(cancelled_);
        running_ = false;
    });
}

void WorkerThread::Cancel() {
    cancelled_ = true;
}

void WorkerThread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void WorkerThread::Stop() {
    Cancel();
    Join();
}

} // namespace kirvano
