#include "core/program/ProgramFiles.h"

#include <QCoreApplication>

namespace kovi {

ProgramFiles ProgramFiles::In(const std::filesystem::path& folder) {
    return {folder,
            folder / "kovi_rzk_lite.chm",
            folder / "custom.dat",
            folder / "exflds.dat",
            folder / "exts.dat",
            folder};
}

ProgramFiles LocateProgramFiles() {
    return ProgramFiles::In(QCoreApplication::applicationDirPath().toStdString());
}

} // namespace kovi
