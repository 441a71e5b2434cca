#pragma once

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/system/File.h"

namespace kovi {

// Brings files to the disk on threads of its own, several at once, so that whoever puts a file
// in its place later finds it flushed instead of waiting for the disk one file after another. A
// flush waits on the disk, not on a core: the threads cost no time that the work needs.
class DiskFlusher {
public:
    explicit DiskFlusher(int threads);
    // Finishes the flushes asked for, so that every answer promised is given.
    ~DiskFlusher();
    DiskFlusher(const DiskFlusher&) = delete;
    DiskFlusher& operator=(const DiskFlusher&) = delete;

    // Flushes `file`, a descriptor of its own that is closed before the answer is given, so that
    // whoever waits for it finds no other descriptor of the file still open.
    std::future<std::error_code> flush(File file);

private:
    struct Job {
        File file;
        std::promise<std::error_code> done;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Job> jobs_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

} // namespace kovi
