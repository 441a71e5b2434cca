#include "core/program/ProgramFolder.h"

#include <QCoreApplication>

namespace kovi {
namespace {

std::filesystem::path& FolderOverride() {
    static std::filesystem::path folder;
    return folder;
}

} // namespace

std::filesystem::path ProgramFolder() {
    if (!FolderOverride().empty())
        return FolderOverride();
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

void SetProgramFolder(const std::filesystem::path& folder) {
    FolderOverride() = folder;
}

std::filesystem::path CustomResolutionsFile() {
    return ProgramFolder() / "custom.dat";
}
std::filesystem::path ExcludedFoldersFile() {
    return ProgramFolder() / "exflds.dat";
}
std::filesystem::path ExcludedExtensionsFile() {
    return ProgramFolder() / "exts.dat";
}
std::filesystem::path HelpFile() {
    return ProgramFolder() / "kovi_rzk_lite.chm";
}

} // namespace kovi
