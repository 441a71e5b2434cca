// kovi-rzk-batch: the batch resize and the detailed listing for scripts and machines without a
// display, on the same engine, list files and settings as the window.
#include "core/program/ProgramFiles.h"
#include "core/program/ProgramStart.h"
#include "core/program/SettingsStore.h"
#include "programs/kovi-rzk-batch/CommandLine.h"
#include "programs/kovi-rzk-batch/Commands.h"

#include "kovi/Version.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

kovi::StopFlags* activeStopFlags = nullptr;

// The first Ctrl+C lets the current file finish; a second one ends the program at once.
void OnInterrupt(int) {
    if (activeStopFlags != nullptr) {
        activeStopFlags->interrupted = true;
        activeStopFlags->abort = true;
    }
    std::signal(SIGINT, SIG_DFL);
}

kovi::CommandSettings StoredSettings() {
    kovi::ProgramSettings values;
    kovi::SettingsStore store(values, nullptr);
    store.LoadRegSetting(QString::fromLatin1(kovi::WriteLogKey));
    store.LoadRegSetting(QString::fromLatin1(kovi::JpegChromKey));
    store.LoadRegSetting(QString::fromLatin1(kovi::JpegLumKey));
    kovi::CommandSettings settings;
    settings.writeLog = values.WriteLog != 0;
    settings.chrominance = values.JpegChrom;
    settings.luminance = values.JpegLum;
    const kovi::ProgramFiles files = kovi::LocateProgramFiles();
    settings.excludedExtensionsFile = files.excludedExtensions;
    settings.excludedFoldersFile = files.excludedFolders;
    return settings;
}

} // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = kovi::ParseCommandLine(arguments);
    // Only a run that saves images quantises palettes; a listing starts sooner without it.
    const auto* requested = std::get_if<kovi::CommandLine>(&parsed);
    kovi::StartProgram(argv, requested != nullptr && requested->mode == kovi::CommandMode::Process
                                 ? kovi::ImageWork::Saves
                                 : kovi::ImageWork::ReadsHeaders);
    QCoreApplication application(argc, argv);

    if (const auto* error = std::get_if<kovi::CommandLineError>(&parsed)) {
        std::fprintf(stderr, "kovi-rzk-batch: %s\nTry 'kovi-rzk-batch --help'.\n",
                     error->message.c_str());
        return kovi::ExitBadArguments;
    }
    const auto& command = std::get<kovi::CommandLine>(parsed);
    switch (command.mode) {
    case kovi::CommandMode::Help:
        std::fputs(kovi::UsageText().c_str(), stdout);
        return kovi::ExitDone;
    case kovi::CommandMode::Version:
        std::printf("kovi-rzk-batch (%s) %s\n", kovi::ProductName, kovi::VersionText);
        return kovi::ExitDone;
    case kovi::CommandMode::Process:
    case kovi::CommandMode::List:
        break;
    }

    static kovi::StopFlags stop;
    activeStopFlags = &stop;
    std::signal(SIGINT, OnInterrupt);
    if (command.mode == kovi::CommandMode::List)
        return kovi::RunListCommand(command, stop, stdout, stderr);
    return kovi::RunProcessCommand(command, StoredSettings(), stop, stdout, stderr);
}
