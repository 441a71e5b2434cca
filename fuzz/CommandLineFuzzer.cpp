// kovi-rzk-batch's arguments, split at NUL bytes: any list is either refused with a message or
// gives a command whose parts agree with each other.
#include "fuzz/Check.h"
#include "programs/kovi-rzk-batch/CommandLine.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> arguments;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        if (at == text.size() || text[at] == '\0') {
            if (at > start || at < text.size())
                arguments.emplace_back(text.data() + start, at - start);
            start = at + 1;
        }
    }

    const auto parsed = kovi::ParseCommandLine(arguments);
    if (const auto* error = std::get_if<kovi::CommandLineError>(&parsed)) {
        KOVI_FUZZ_CHECK(!error->message.empty());
        return 0;
    }
    const auto& command = std::get<kovi::CommandLine>(parsed);
    if (command.mode == kovi::CommandMode::Help || command.mode == kovi::CommandMode::Version)
        return 0;
    KOVI_FUZZ_CHECK(!command.folder.empty());
    for (const auto& factor : {command.chrominance, command.luminance})
        KOVI_FUZZ_CHECK(!factor || (*factor >= 0 && *factor <= 255));
    if (command.mode == kovi::CommandMode::List)
        KOVI_FUZZ_CHECK(!command.writeLog && !command.chrominance && !command.luminance);
    else
        KOVI_FUZZ_CHECK(!command.exportFile);
    if (command.exportFile)
        KOVI_FUZZ_CHECK(!command.exportFile->empty());
    return 0;
}
