#pragma once

#include "programs/kovi-rzk-batch/CommandLine.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace kovi {

// What the command line does not say, from the program's settings and list files.
struct CommandSettings {
    bool writeLog = true;
    int chrominance = 1;
    int luminance = 1;
    std::filesystem::path excludedExtensionsFile;
    std::filesystem::path excludedFoldersFile;
};

enum ExitStatus : int {
    ExitDone = 0,
    ExitBadArguments = 1,
    ExitNoFiles = 2,
    ExitNotSaved = 3,
    ExitInterrupted = 130,
};

// The flags a Ctrl+C sets: `abort` stops the run before its next file, `interrupted` tells
// the exit status.
struct StopFlags {
    std::atomic<bool> abort{false};
    std::atomic<bool> interrupted{false};
};

// Resizes (or lists) as the command line says; writes the results to out, messages to err,
// and returns the exit status.
int RunProcessCommand(const CommandLine& command, const CommandSettings& settings, StopFlags& stop,
                      std::FILE* out, std::FILE* err);
int RunListCommand(const CommandLine& command, StopFlags& stop, std::FILE* out, std::FILE* err);

// The folder as an absolute path without a trailing separator.
std::filesystem::path AbsoluteFolder(const std::string& folder);

} // namespace kovi
