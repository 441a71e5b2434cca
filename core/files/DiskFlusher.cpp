#include "core/files/DiskFlusher.h"

#include <algorithm>
#include <utility>

namespace kovi {

DiskFlusher::DiskFlusher(int threads) {
    threads_.reserve(static_cast<std::size_t>(std::max(threads, 1)));
    for (int thread = 0; thread < std::max(threads, 1); ++thread)
        threads_.emplace_back([this] { run(); });
}

DiskFlusher::~DiskFlusher() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    queued_.notify_all();
    for (auto& thread : threads_)
        thread.join();
}

std::future<std::error_code> DiskFlusher::flush(File file) {
    Job job{std::move(file), {}};
    std::future<std::error_code> answer = job.done.get_future();
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    queued_.notify_one();
    return answer;
}

void DiskFlusher::run() {
    while (true) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const std::error_code result = job.file.sync();
        job.file = File();
        job.done.set_value(result);
    }
}

} // namespace kovi
