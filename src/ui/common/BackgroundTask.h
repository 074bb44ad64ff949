#pragma once
// The one way a window runs work off the GUI thread: runInBackground(receiver, task, then).
//
// Contract:
// - `task` runs on the shared worker pool (platform/WorkerPool.h), or on a pool the caller
//   owns. It must not touch `receiver` or anything it owns: take copies, return the result.
// - `then(result)` (or `then()` for a task returning nothing) runs afterwards on the receiver's
//   thread - the GUI thread for widgets - as a queued call, in the order results arrive.
// - When `receiver` has been destroyed by then, `then` never runs and nothing of it is touched:
//   a task may outlive its window, a page, a dialog or the whole window set. `then` and the
//   result are then destroyed on the worker thread: capture nothing that must die on the GUI
//   thread.
// - The call returns at once and never throws. When no thread can run the task it returns the
//   failure, nothing runs, and the caller reports it as it would a task that failed.
//
//   runInBackground(this, [path] { return readFile(path); },
//                   [this](const Result<std::string>& read) { show(read); });

#include <QObject>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/Result.h"
#include "platform/WorkerPool.h"
#include "ui/common/ReceiverLink.h"

namespace orvanta {

// On a pool of the caller's own (a pool of one thread keeps tasks in the order given).
template <class Task, class Then>
Result<void> runInBackground(WorkerPool& pool, QObject* receiver, Task task, Then then) {
    std::shared_ptr<ReceiverLink> link = ReceiverLink::to(receiver);
    Result<void> queued =
        pool.submit([link, task = std::move(task), then = std::move(then)]() mutable {
            if constexpr (std::is_void_v<std::invoke_result_t<Task&>>) {
                task();
                link->post([link, then = std::move(then)]() mutable {
                    link->cut();
                    then();
                });
            } else {
                auto result = task();
                link->post([link, then = std::move(then), result = std::move(result)]() mutable {
                    link->cut();
                    then(std::move(result));
                });
            }
        });
    if (!queued) {
        link->cut();
    }
    return queued;
}

// On the shared pool.
template <class Task, class Then>
Result<void> runInBackground(QObject* receiver, Task task, Then then) {
    return runInBackground(WorkerPool::shared(), receiver, std::move(task), std::move(then));
}

}  // namespace orvanta
