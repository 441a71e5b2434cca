// Whatever bytes a list file holds (custom.dat, exflds.dat, exts.dat): the entries read back
// hold no line ends, and writing them the program's way reads back as the same entries.
#include "core/listfiles/ListFile.h"
#include "fuzz/Check.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto entries = kovi::SplitListText(text);

    std::size_t bytes = 0;
    std::string written;
    for (const auto& entry : entries) {
        KOVI_FUZZ_CHECK(entry.find_first_of("\r\n") == std::string::npos);
        bytes += entry.size();
        written += entry + "\r\n";
    }
    KOVI_FUZZ_CHECK(bytes <= size);
    KOVI_FUZZ_CHECK(kovi::SplitListText(written) == entries);
    // Without a final line end the last entry is still whole.
    if (!entries.empty() && !entries.back().empty()) {
        written.resize(written.size() - 2);
        KOVI_FUZZ_CHECK(kovi::SplitListText(written) == entries);
    }
    return 0;
}
