#include "platform/print_queue.h"

namespace klv::platform {

namespace {

// The stand-in spooler's own exports, by which a test describes its queue.
using ClearFn = void(WINAPI*)();
using AddJobFn = BOOL(WINAPI*)(DWORD id, const WCHAR* user, const WCHAR* document);

const WCHAR* TextOrNull(const std::optional<std::u16string>& text) {
    return text ? reinterpret_cast<const WCHAR*>(text->c_str()) : nullptr;
}

} // namespace

struct PrintQueue::Impl {
    ClearFn clear = nullptr;
    AddJobFn addJob = nullptr;
};

PrintQueue::PrintQueue() : impl_(std::make_unique<Impl>()) {
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    if (spooler == nullptr)
        spooler = LoadLibraryW(L"winspool.drv");
    if (spooler == nullptr)
        return;
    // GetProcAddress hands out every export as one generic pointer type.
    impl_->clear =
        reinterpret_cast<ClearFn>(reinterpret_cast<void*>(GetProcAddress(spooler, "KlvSpoolerClear")));
    impl_->addJob =
        reinterpret_cast<AddJobFn>(reinterpret_cast<void*>(GetProcAddress(spooler, "KlvSpoolerAddJob")));
    if (impl_->clear != nullptr)
        impl_->clear();
}

PrintQueue::~PrintQueue() {
    if (impl_->clear != nullptr)
        impl_->clear();
}

bool PrintQueue::Add(const QueuedJob& job, std::string* error) {
    if (impl_->clear == nullptr || impl_->addJob == nullptr) {
        if (error != nullptr)
            *error =
                "winspool.drv is not the stand-in spooler (rigs/winspool), which takes the jobs to queue";
        return false;
    }
    if (!impl_->addJob(job.id, TextOrNull(job.user), TextOrNull(job.document))) {
        if (error != nullptr)
            *error = "the stand-in spooler refused job " + std::to_string(job.id) +
                     " (queue full or text too long)";
        return false;
    }
    return true;
}

HANDLE PrintQueue::Handle() {
    // The stand-in spooler answers every non-null handle from its queue.
    return static_cast<HANDLE>(impl_.get());
}

} // namespace klv::platform
