#pragma once

#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace lumavo {

// Runs work on a thread of its own and returns its result. Meanwhile the
// windows keep painting (a progress bar moves, a covered window redraws);
// the operator's keys and clicks wait until the work is done. Where no
// thread can be had, the work runs here.
template <typename Work> auto RunOffThread(Work work) -> decltype(work())
{
    std::optional<decltype(work())> result;
    std::exception_ptr failure;
    QEventLoop loop;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                result.emplace(work());
            } catch (...) {
                failure = std::current_exception();
            }
            QMetaObject::invokeMethod(
                &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        return work();
    }
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}

} // namespace lumavo
