#include "tests/support/ChildProcess.h"

#include "tests/support/TempFolder.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kovi::testing {
namespace {

std::filesystem::path OutputFile(const char* stem) {
    std::string pattern = std::filesystem::temp_directory_path() / (std::string(stem) + "XXXXXX");
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0)
        throw std::runtime_error("cannot create an output file");
    close(descriptor);
    return pattern;
}

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& environment)
    : outFile_(OutputFile("kovi-out-")), errFile_(OutputFile("kovi-err-")) {
    // Everything the child needs is prepared before fork: after it only exec-safe calls.
    std::vector<std::string> argumentTexts{program.string()};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& text : argumentTexts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        merged[text.substr(0, equals)] = equals == std::string::npos ? "" : text.substr(equals + 1);
    }
    for (const auto& [name, value] : environment)
        merged[name] = value;
    std::vector<std::string> environmentTexts;
    for (const auto& [name, value] : merged)
        environmentTexts.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : environmentTexts)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    const std::string outPath = outFile_.string();
    const std::string errPath = errFile_.string();

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot fork");
    if (pid_ == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
        if (in < 0 || out < 0 || err < 0)
            _exit(126);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess() {
    if (!waited_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove(outFile_, ignored);
    std::filesystem::remove(errFile_, ignored);
}

void ChildProcess::signal(int number) const {
    kill(pid_, number);
}

ProcessResult ChildProcess::wait(std::chrono::seconds timeout) {
    ProcessResult result;
    int status = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (wait4(pid_, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            wait4(pid_, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    waited_ = true;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.peakResidentKilobytes = usage.ru_maxrss;
    result.out = ReadBytes(outFile_);
    result.err = ReadBytes(errFile_);
    return result;
}

ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment) {
    ChildProcess child(program, arguments, environment);
    return child.wait();
}

} // namespace kovi::testing
