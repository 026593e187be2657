// One worker thread of the main window: started once per piece of work, cancelled by a
// flag the work polls, and always joined before it is replaced or destroyed, so a
// worker is never left running.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace kirvano {

class WorkerThread {
public:
    // The work; it polls the flag and returns soon after it turns true.
    using Body = std::function<void(const std::atomic<bool>& cancelled)>;

    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread();

    // Joins a previous run first (without cancelling it), then runs body on a new thread.
    void Start(Body body);
    // Asks the work to stop; does not wait.
    void Cancel();
    // Waits for the thread to end; harmless when none was started.
    void Join();
    // Cancel, then Join.
    void Stop();

    // True from Start until the body has returned.
    bool Running() const { return running_.load(); }
    bool CancelRequested() const { return cancelled_.load(); }

private:
    std::thread thread_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> running_{false};
};

} // namespace kirvano
