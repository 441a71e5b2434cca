#include "core/run/TargetCollection.h"

#include "core/files/SafeReplace.h"

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>

#include <glib.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;

struct FolderEntries {
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
};

// A name as it is compared: Unicode case folded, so that "a.jpg" and "B.jpg" come in the order
// a file manager shows. A name that is no UTF-8 is compared by its bytes.
std::string FoldedName(const std::string& name) {
    if (!g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr))
        return name;
    std::unique_ptr<gchar, decltype(&g_free)> folded(
        g_utf8_casefold(name.data(), static_cast<gssize>(name.size())), &g_free);
    return folded ? std::string(folded.get()) : name;
}

// Name order without regard to case; names that fold alike keep one order by their bytes, so
// that a run is repeatable.
void SortByName(std::vector<fs::path>& paths) {
    struct Keyed {
        std::string folded;
        std::string name;
        fs::path path;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(paths.size());
    for (auto& path : paths) {
        std::string name = path.filename().native();
        keyed.push_back({FoldedName(name), std::move(name), std::move(path)});
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return std::tie(a.folded, a.name) < std::tie(b.folded, b.name);
    });
    paths.clear();
    for (auto& entry : keyed)
        paths.push_back(std::move(entry.path));
}

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
    SortByName(entries.files);
    SortByName(entries.folders);
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
