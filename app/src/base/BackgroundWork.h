#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

class QProgressDialog;

namespace Keldar::OndrixLumivane {

// What long work on a worker thread tells the progress dialog that watches it,
// and the dialog's Cancel button the other way; plain atomics, as the two
// sides live on different threads.
class WorkProgress
{
public:
    void setRange(std::int64_t minimum, std::int64_t maximum);
    void setValue(std::int64_t value);
    void cancel();
    [[nodiscard]] bool cancelRequested() const;

    [[nodiscard]] std::int64_t minimum() const;
    [[nodiscard]] std::int64_t maximum() const;
    [[nodiscard]] std::int64_t value() const;

private:
    std::atomic<std::int64_t> minimum_{0};
    std::atomic<std::int64_t> maximum_{0};
    std::atomic<std::int64_t> value_{0};
    std::atomic<bool> cancelled_{false};
};

// Runs `work` on a thread of its own while `dialog` is shown: the GUI thread
// goes on painting and handling events, the dialog follows `progress`, and
// its Cancel button sets `progress`'s cancel request for the work to heed.
// Returns once the work has ended, rethrowing what it threw. Should the
// application quit meanwhile, the work is asked to stop and waited for.
// `work` must not touch widgets, nor anything the GUI thread may use.
void runBehindDialog(QProgressDialog& dialog, WorkProgress& progress, const std::function<void()>& work);

} // namespace Keldar::OndrixLumivane
