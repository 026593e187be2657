#include "app/TaskRunner.h"

#include "ui/AppMessage.h"

#include <utility>

namespace kirvano {

bool TaskRunner::Start(Task task, int doneMessage) {
    if (worker_.Running())
        return false;
    QObject* receiver = receiver_;
    worker_.Start(
        [receiver, doneMessage, work = std::move(task)](const std::atomic<bool>& cancelled) {
            const Progress progress = [receiver](std::intptr_t done, std::intptr_t total) {
                PostAppMessage(receiver, WM_APP_PROGRESS, done, total);
            };
            const bool ok = work ? work(progress, cancelled) : false;
            PostAppMessage(receiver, doneMessage, ok ? 1 : 0, cancelled.load() ? 1 : 0);
        });
    return true;
}

} // namespace kirvano
