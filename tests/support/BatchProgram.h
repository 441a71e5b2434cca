#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kovi::testing {

// A copy of kovi-rzk-batch in a folder of its own, with its own (empty) list files and
// settings store, so that nothing of the developer's or of another test applies.
class BatchProgram {
public:
    BatchProgram() {
        std::filesystem::create_directories(program_);
        std::filesystem::copy_file(KOVI_BATCH_PATH, executable());
        environment_ = {{"XDG_CONFIG_HOME", (folder_ / "config").string()},
                        {"HOME", folder_.path().string()},
                        {"LC_ALL", "C"}};
    }

    std::filesystem::path executable() const { return program_ / "kovi-rzk-batch"; }
    const std::map<std::string, std::string>& environment() const { return environment_; }
    // Where a test keeps the folders the program works on.
    const TempFolder& home() const { return folder_; }

    ProcessResult run(const std::vector<std::string>& arguments) const {
        return RunProcess(executable(), arguments, environment_);
    }

private:
    TempFolder folder_;
    std::filesystem::path program_ = folder_ / "program";
    std::map<std::string, std::string> environment_;
};

} // namespace kovi::testing
