#include "core/device_worker.h"

namespace korvan {

DeviceWorker::DeviceWorker() : thread_([this] { loop(); }) {}

DeviceWorker::~DeviceWorker() {
    finish();
}

void DeviceWorker::run(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (finishing_) {
            return;
        }
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void DeviceWorker::finish() {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DeviceWorker::loop() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return finishing_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace korvan
