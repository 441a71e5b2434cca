#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

namespace kovi {

// Keeps the files worked on side by side within a memory budget: a file whose working set
// does not fit beside those already under way waits for them. A file larger than the whole
// budget still goes ahead once it is alone, so nothing waits for ever.
class MemoryGate {
public:
    explicit MemoryGate(std::int64_t budget) : budget_(budget) {}

    class Pass {
    public:
        Pass() = default;
        Pass(MemoryGate* gate, std::int64_t bytes) : gate_(gate), bytes_(bytes) {}
        Pass(Pass&& other) noexcept
            : gate_(std::exchange(other.gate_, nullptr)), bytes_(other.bytes_) {}
        Pass& operator=(Pass&& other) noexcept {
            if (this != &other) {
                release();
                gate_ = std::exchange(other.gate_, nullptr);
                bytes_ = other.bytes_;
            }
            return *this;
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        ~Pass() { release(); }

        void release() {
            if (gate_ != nullptr)
                std::exchange(gate_, nullptr)->give_back(bytes_);
        }

    private:
        MemoryGate* gate_ = nullptr;
        std::int64_t bytes_ = 0;
    };

    // Waits until `bytes` fit beside what is under way (or nothing else is), then holds them
    // until the pass is released.
    Pass enter(std::int64_t bytes) {
        bytes = std::clamp<std::int64_t>(bytes, 0, budget_);
        std::unique_lock lock(mutex_);
        ++waiting_;
        released_.wait(lock, [&] { return fits(bytes); });
        --waiting_;
        inUse_ += bytes;
        return Pass(this, bytes);
    }

    // What a test of the gate can see without timing: whether `bytes` would go in now, and how
    // many callers of enter() are still inside it.
    bool admits(std::int64_t bytes) {
        std::lock_guard lock(mutex_);
        return fits(std::clamp<std::int64_t>(bytes, 0, budget_));
    }
    int waiting() {
        std::lock_guard lock(mutex_);
        return waiting_;
    }

private:
    bool fits(std::int64_t bytes) const { return inUse_ == 0 || inUse_ + bytes <= budget_; }

    void give_back(std::int64_t bytes) {
        {
            std::lock_guard lock(mutex_);
            inUse_ -= bytes;
        }
        released_.notify_all();
    }

    const std::int64_t budget_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::int64_t inUse_ = 0;
    int waiting_ = 0;
};

} // namespace kovi
