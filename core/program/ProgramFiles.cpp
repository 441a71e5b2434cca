#include "core/program/ProgramFiles.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace kovi {
namespace {

constexpr char HelpFileName[] = "kovi_rzk_lite.chm";

} // namespace

ProgramFiles ProgramFiles::In(const std::filesystem::path& folder) {
    return {folder,
            folder / HelpFileName,
            folder / "custom.dat",
            folder / "exflds.dat",
            folder / "exts.dat",
            folder};
}

ProgramFiles ProgramFilesFor(const std::filesystem::path& programFolder,
                             const std::filesystem::path& configHome,
                             const std::filesystem::path& home) {
    const std::filesystem::path data = programFolder.parent_path() / "share" / "kovi-rzk-lite";
    std::error_code error;
    if (!std::filesystem::is_regular_file(data / HelpFileName, error))
        return ProgramFiles::In(programFolder);
    ProgramFiles files = ProgramFiles::In(configHome / "kovi-rzk-lite");
    files.folder = data;
    files.helpFile = data / HelpFileName;
    files.exportFolder = home;
    return files;
}

ProgramFiles LocateProgramFiles() {
    const auto path = [](const QString& text) {
        return std::filesystem::path(text.toStdString());
    };
    return ProgramFilesFor(
        path(QCoreApplication::applicationDirPath()),
        path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)),
        path(QStandardPaths::writableLocation(QStandardPaths::HomeLocation)));
}

} // namespace kovi
