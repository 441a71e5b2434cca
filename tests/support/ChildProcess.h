#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kovi::testing {

struct ProcessResult {
    int exitCode = -1; // -1 when ended by a signal
    int signal = 0;
    long peakResidentKilobytes = 0; // the child's largest resident set, from wait4
    std::string out;
    std::string err;
};

// A program started with its standard output and error going to files of a temporary folder.
class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int number) const;
    // Waits for the end (killing the program after the timeout) and collects what it wrote.
    ProcessResult wait(std::chrono::seconds timeout = std::chrono::seconds(120));

private:
    pid_t pid_ = -1;
    std::filesystem::path outFile_;
    std::filesystem::path errFile_;
    bool waited_ = false;
};

// Starts the program, waits for it and returns what it wrote.
ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {});

} // namespace kovi::testing
