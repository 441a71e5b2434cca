#include "core/listfiles/ListFile.h"

#include "core/files/FileRoutines.h"
#include "core/files/WholeFile.h"

#include <cerrno>
#include <fstream>
#include <iterator>

namespace kovi {
namespace {

std::error_code LastSystemError() {
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

std::string EntriesText(const std::vector<std::string>& entries) {
    std::string text;
    for (const auto& entry : entries) {
        text += entry;
        text += "\r\n";
    }
    return text;
}

std::error_code WriteFile(const std::filesystem::path& path, const std::string& text,
                          std::ios::openmode mode) {
    errno = 0;
    std::ofstream out(path, mode | std::ios::binary);
    if (!out)
        return LastSystemError();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        return LastSystemError();
    return {};
}

// A user's own folder for the lists is made when the first list is written.
void MakeFolderOf(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
}

} // namespace

std::vector<std::string> SplitListText(const std::string& text) {
    std::vector<std::string> entries;
    std::string::size_type start = 0;
    while (start < text.size()) {
        auto end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            entries.push_back(text.substr(start));
            break;
        }
        entries.push_back(text.substr(start, end - start));
        // CR LF is one line end; a lone CR or a lone LF is one too.
        start = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2
                                                                                      : end + 1;
    }
    return entries;
}

std::vector<std::string> LoadList(const std::filesystem::path& path) {
    std::error_code error;
    if (!FileExists(path) || std::filesystem::is_directory(path, error))
        return {};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return SplitListText(text);
}

std::error_code AppendEntry(const std::filesystem::path& path, const std::string& entry) {
    MakeFolderOf(path);
    // A hand-edited file may end without a line end; its last entry must not merge with the
    // new one.
    std::string text = entry + "\r\n";
    if (std::ifstream in{path, std::ios::binary | std::ios::ate}; in && in.tellg() > 0) {
        in.seekg(-1, std::ios::end);
        const char last = static_cast<char>(in.get());
        if (last != '\n' && last != '\r')
            text.insert(0, "\r\n");
    }
    return WriteFile(path, text, std::ios::app);
}

std::error_code RewriteList(const std::filesystem::path& path,
                            const std::vector<std::string>& entries) {
    MakeFolderOf(path);
    return WriteWholeFile(path, EntriesText(entries));
}

std::error_code DeleteList(const std::filesystem::path& path) {
    ResetFileAttributes(path);
    std::error_code error;
    std::filesystem::remove(path, error);
    return error;
}

} // namespace kovi
