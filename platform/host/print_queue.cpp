#include "platform/print_queue.h"

#include "platform/host/job_queue.h"

namespace klv::platform {

struct PrintQueue::Impl {
    host::JobQueue queue;
};

PrintQueue::PrintQueue() : impl_(std::make_unique<Impl>()) {
}

PrintQueue::~PrintQueue() = default;

bool PrintQueue::Add(const QueuedJob& job, std::string* /*error*/) {
    impl_->queue.Add(job);
    return true;
}

HANDLE PrintQueue::Handle() {
    return impl_->queue.Handle();
}

} // namespace klv::platform
