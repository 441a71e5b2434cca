#include "core/program/ProgramStart.h"

#include "core/imaging/base/VipsRuntime.h"

#include "kovi/Version.h"

#include <QCoreApplication>

namespace kovi {

void StartProgram(char* argv[], ImageWork work) {
    if (work == ImageWork::Saves)
        SettleLibraryThreads(argv);
    TuneHeapForImages();
    QCoreApplication::setOrganizationName(QString::fromLatin1(ProductName));
    QCoreApplication::setApplicationName(QString::fromLatin1(ProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(VersionText));
}

} // namespace kovi
