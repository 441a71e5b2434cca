#include "programs/kovi-rzk-batch/CommandLine.h"

#include <charconv>

namespace kovi {
namespace {

std::optional<int> ReadFactor(std::string_view text) {
    int value = -1;
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

} // namespace

std::string UsageText() {
    return "Usage: kovi-rzk-batch [--subs] [--log | --no-log] [--chrom N] [--lum N] FOLDER "
           "WIDTHxHEIGHT\n"
           "       kovi-rzk-batch --list [--subs] [--export FILE] FOLDER WIDTHxHEIGHT\n"
           "\n"
           "Shrinks every image in FOLDER that is larger than WIDTHxHEIGHT to fit inside it,\n"
           "keeping its aspect ratio, and saves it over its own file in its own format.\n"
           "\n"
           "  --subs         also process the sub-folders\n"
           "  --log          write kovilog.txt in FOLDER (default: the program's setting)\n"
           "  --no-log       do not write kovilog.txt\n"
           "  --chrom N      JPEG chrominance factor, 0 to 255 (default: the program's setting)\n"
           "  --lum N        JPEG luminance factor, 0 to 255 (default: the program's setting)\n"
           "  --list         list the images without changing them (comma-separated)\n"
           "  --export FILE  write the listing to FILE instead of standard output\n"
           "  --help         show this text\n"
           "  --version      show the version\n"
           "\n"
           "Exit status: 0 done, 1 bad arguments or invalid target, 2 no files to process,\n"
           "3 some files not saved, 130 stopped by Ctrl+C.\n";
}

std::variant<CommandLine, CommandLineError>
ParseCommandLine(const std::vector<std::string_view>& arguments) {
    CommandLine command;
    std::vector<std::string_view> positional;
    bool optionsEnded = false;
    bool processOnlyOption = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        std::string_view argument = arguments[at];
        if (optionsEnded || argument.size() < 2 || argument.substr(0, 2) != "--") {
            positional.push_back(argument);
            continue;
        }
        std::optional<std::string_view> inlineValue;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            inlineValue = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        }
        const auto value = [&]() -> std::optional<std::string_view> {
            if (inlineValue)
                return inlineValue;
            if (at + 1 < arguments.size())
                return arguments[++at];
            return std::nullopt;
        };
        const bool takesValue =
            argument == "--chrom" || argument == "--lum" || argument == "--export";
        if (inlineValue && !takesValue)
            return CommandLineError{std::string(argument) + " takes no value"};
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help") {
            command.mode = CommandMode::Help;
            return command;
        } else if (argument == "--version") {
            command.mode = CommandMode::Version;
            return command;
        } else if (argument == "--subs") {
            command.processSubFolders = true;
        } else if (argument == "--list") {
            command.mode = CommandMode::List;
        } else if (argument == "--log" || argument == "--no-log") {
            const bool wanted = argument == "--log";
            if (command.writeLog && *command.writeLog != wanted)
                return CommandLineError{"--log and --no-log cannot be used together"};
            command.writeLog = wanted;
            processOnlyOption = true;
        } else if (argument == "--chrom" || argument == "--lum") {
            const auto text = value();
            const auto factor = text ? ReadFactor(*text) : std::nullopt;
            if (!factor)
                return CommandLineError{std::string(argument) + " needs a number from 0 to 255"};
            (argument == "--chrom" ? command.chrominance : command.luminance) = *factor;
            processOnlyOption = true;
        } else if (argument == "--export") {
            const auto file = value();
            if (!file || file->empty())
                return CommandLineError{"--export needs a file name"};
            command.exportFile = std::string(*file);
        } else {
            return CommandLineError{"unknown option " + std::string(argument)};
        }
    }
    if (command.mode == CommandMode::List && processOnlyOption)
        return CommandLineError{"--log, --no-log, --chrom and --lum do not go with --list"};
    if (command.mode != CommandMode::List && command.exportFile)
        return CommandLineError{"--export goes with --list only"};
    if (positional.size() != 2)
        return CommandLineError{"expected a FOLDER and a WIDTHxHEIGHT"};
    command.folder = std::string(positional[0]);
    command.target = std::string(positional[1]);
    if (command.folder.empty())
        return CommandLineError{"the FOLDER is empty"};
    return command;
}

} // namespace kovi
