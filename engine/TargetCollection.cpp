#include "engine/TargetCollection.h"

#include "engine/SafeReplace.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace kovi {
namespace {

namespace fs = std::filesystem;

struct FolderEntries {
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
};

FolderEntries ReadFolder(const fs::path& folder) {
    FolderEntries entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const auto& entry = *it;
        const std::string name = entry.path().filename().string();
        std::error_code statusError;
        const auto linkStatus = entry.symlink_status(statusError);
        if (statusError)
            continue;
        if (fs::is_directory(linkStatus)) {
            if (name.front() != '.')
                entries.folders.push_back(entry.path());
            continue;
        }
        if (IsTemporaryFileName(name))
            continue;
        const bool isLink = fs::is_symlink(linkStatus);
        const auto status = isLink ? entry.status(statusError) : linkStatus;
        if (isLink && statusError) {
            // A dangling link is still a file of the folder; loading it simply fails.
            entries.files.push_back(entry.path());
            continue;
        }
        if (fs::is_regular_file(status))
            entries.files.push_back(entry.path());
    }
    const auto byName = [](const fs::path& a, const fs::path& b) {
        return a.filename().native() < b.filename().native();
    };
    std::sort(entries.files.begin(), entries.files.end(), byName);
    std::sort(entries.folders.begin(), entries.folders.end(), byName);
    return entries;
}

void ScanFolder(const fs::path& folder, bool recurse, std::vector<fs::path>& targets) {
    auto entries = ReadFolder(folder);
    targets.insert(targets.end(), entries.files.begin(), entries.files.end());
    if (!recurse)
        return;
    for (const auto& subFolder : entries.folders)
        ScanFolder(subFolder, recurse, targets);
}

} // namespace

std::vector<fs::path> CollectTargetFiles(const fs::path& folder, bool recurse) {
    std::vector<fs::path> targets;
    // "My Computer" and other names that are no absolute path contribute nothing, whatever
    // the current folder holds.
    if (!folder.is_absolute())
        return targets;
    ScanFolder(folder, recurse, targets);
    return targets;
}

} // namespace kovi
