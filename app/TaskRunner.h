// The main window's single long-task worker (CSV export, join, delete): one task at a
// time, progress posted as WM_APP_PROGRESS, a cancel flag the task polls between
// records, and a completion message posted when the task has finished.
#pragma once

#include "app/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <functional>

class QObject;

namespace kirvano {

class TaskRunner {
public:
    // Reports done out of total; posts WM_APP_PROGRESS (wParam done, lParam total).
    using Progress = std::function<void(std::intptr_t done, std::intptr_t total)>;
    // The task; returns its success, which the completion message carries in wParam.
    using Task = std::function<bool(const Progress& progress, const std::atomic<bool>& cancelled)>;

    explicit TaskRunner(QObject* receiver) : receiver_(receiver) {}

    // Starts task unless one is running (then false). doneMessage is WM_APP_TASK_DONE or
    // WM_APP_DELETE_DONE.
    bool Start(Task task, int doneMessage);
    // Clears the running request: the task sees the cancel flag and returns.
    void Cancel() { worker_.Cancel(); }
    // Waits for the task's thread.
    void Join() { worker_.Join(); }
    // Cancel and wait.
    void Stop() { worker_.Stop(); }
    bool Running() const { return worker_.Running(); }

private:
    QObject* receiver_;
    WorkerThread worker_;
};

} // namespace kirvano
