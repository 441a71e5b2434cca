#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kovi {

// Runs work(index, worker) for indices 0..count-1 on several threads and hands the results back
// in index order. A worker starts the next index only while `stop` is clear and while it is
// less than `ahead` indices beyond the one the caller waits for, so that finished results never
// pile up; a stop leaves at most `workers` indices in flight, and every index that was started
// is finished and can be taken. Looking further ahead than there are workers keeps them busy
// while one index takes much longer than those after it.
template <typename Result>
class OrderedWork {
public:
    using Work = std::function<Result(std::size_t index, int worker)>;

    OrderedWork(std::size_t count, int workers, Work work, const std::atomic<bool>& stop)
        : OrderedWork(count, workers, workers, std::move(work), stop) {}

    OrderedWork(std::size_t count, int workers, int ahead, Work work, const std::atomic<bool>& stop)
        : count_(count), workers_(std::max(workers, 1)), ahead_(std::max(ahead, workers_)),
          work_(std::move(work)), stop_(stop), results_(count) {
        threads_.reserve(static_cast<std::size_t>(workers_));
        for (int worker = 0; worker < workers_; ++worker)
            threads_.emplace_back([this, worker] { run(worker); });
    }

    ~OrderedWork() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        for (auto& thread : threads_)
            thread.join();
    }

    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // Waits for the result of `index` (taken in order); nothing when the stop came before that
    // index was started, in which case no later index is started either.
    std::optional<Result> take(std::size_t index) {
        std::unique_lock lock(mutex_);
        taken_ = index;
        changed_.notify_all();
        changed_.wait(lock, [&] { return results_[index].has_value() || neverStarted(index); });
        if (!results_[index])
            return std::nullopt;
        std::optional<Result> result = std::move(results_[index]);
        results_[index].reset();
        return result;
    }

private:
    // Whether index will never be started; called with the lock held. A worker decides to start
    // an index under the same lock, so once this is true it stays true.
    bool neverStarted(std::size_t index) const { return index >= next_ && stop_.load(); }

    void run(int worker) {
        while (true) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return closing_ || next_ >= count_ || stop_.load() ||
                           next_ < taken_ + static_cast<std::size_t>(ahead_);
                });
                if (closing_ || next_ >= count_ || stop_.load()) {
                    changed_.notify_all();
                    return;
                }
                index = next_++;
            }
            Result result = work_(index, worker);
            {
                std::lock_guard lock(mutex_);
                results_[index] = std::move(result);
            }
            changed_.notify_all();
        }
    }

    const std::size_t count_;
    const int workers_;
    const int ahead_;
    Work work_;
    const std::atomic<bool>& stop_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<Result>> results_;
    std::size_t next_ = 0;  // the next index a worker will start
    std::size_t taken_ = 0; // the index the caller waits for or took last
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

} // namespace kovi
