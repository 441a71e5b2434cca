#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kovi {

// Lower-cases UTF-8 text character by character; bytes that are no valid UTF-8 are kept as
// they are, so any path can be compared.
std::string FoldCase(std::string_view text);

// Whether the batch run leaves this file alone: its path contains "." followed by one of the
// extensions, or one of the folder entries, anywhere, without regard to case. An empty
// extension entry therefore matches every path with a ".", an empty folder entry every path.
bool IsExcluded(const std::filesystem::path& path, const std::vector<std::string>& extensions,
                const std::vector<std::string>& folders);

// The two list files of a run. They are read afresh at each file's turn, so that a change saved
// between two files applies to the next one; files worked on ahead of their turn are judged by
// the lists as last read, from any thread, without reading them again.
class ExclusionLists {
public:
    // Reads both files for the first time.
    ExclusionLists(std::filesystem::path extensionsFile, std::filesystem::path foldersFile);

    // Reads both files afresh and tests the path against them.
    bool readAndMatch(const std::filesystem::path& path);
    // Tests the path against the lists as last read.
    bool matchLastRead(const std::filesystem::path& path) const;

private:
    struct Lists {
        std::vector<std::string> extensions;
        std::vector<std::string> folders;
    };
    std::shared_ptr<const Lists> read() const;

    std::filesystem::path extensionsFile_;
    std::filesystem::path foldersFile_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Lists> lastRead_;
};

} // namespace kovi
