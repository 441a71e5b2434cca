#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kovi {

enum class CommandMode { Process, List, Help, Version };

// What kovi-rzk-batch was asked to do. Unset options take their value from the settings store.
struct CommandLine {
    CommandMode mode = CommandMode::Process;
    bool processSubFolders = false;
    std::optional<bool> writeLog;
    std::optional<int> chrominance;
    std::optional<int> luminance;
    std::optional<std::string> exportFile;
    std::string folder;
    std::string target;
};

struct CommandLineError {
    std::string message;
};

std::variant<CommandLine, CommandLineError>
ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string UsageText();

} // namespace kovi
