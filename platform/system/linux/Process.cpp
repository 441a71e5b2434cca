#include "platform/system/Process.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <dlfcn.h>
#include <libintl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kovi {
namespace {

// The user's values of the variables a restart set: "NAME=value" or, for one that was not set,
// "NAME", each ended by a record separator.
constexpr char UserValuesVariable[] = "KOVI_RZK_USER_ENVIRONMENT";
constexpr char EntryEnd = '\x1e';

// Leaves the main heap as it stands in small pages. With the heap in huge pages, the kernel made
// whole huge pages again of what a trim had just given back, within seconds: a window idle
// after a listing of 20,000 files took back 8 MB of the 25 it had returned.
void KeepHeapInSmallPages() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (!line.ends_with("[heap]"))
            continue;
        const auto dash = line.find('-');
        const auto space = line.find(' ', dash);
        if (dash == std::string::npos || space == std::string::npos)
            continue;
        const std::uintptr_t start = std::stoull(line.substr(0, dash), nullptr, 16);
        const std::uintptr_t end =
            std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16);
        madvise(reinterpret_cast<void*>(start), end - start, MADV_NOHUGEPAGE);
    }
}

} // namespace

void SetHeapPolicy(int arenas, std::size_t mapThreshold, std::size_t trimThreshold) {
    mallopt(M_ARENA_MAX, arenas);
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(mapThreshold));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(trimThreshold));
}

void ReturnFreeMemory() {
    KeepHeapInSmallPages();
    malloc_trim(0);
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnvironmentValue(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}

void UnsetEnvironmentValue(const char* name) {
    unsetenv(name);
}

void RestartWith(char* argv[], const std::vector<EnvironmentSetting>& settings) {
    if (settings.empty() || std::getenv(UserValuesVariable) != nullptr)
        return;
    std::string userValues;
    for (const EnvironmentSetting& setting : settings) {
        const char* value = std::getenv(setting.name.c_str());
        userValues += setting.name + (value != nullptr ? "=" + std::string(value) : "") + EntryEnd;
        setenv(setting.name.c_str(), setting.value.c_str(), 1);
    }
    setenv(UserValuesVariable, userValues.c_str(), 1);
    // The program's own path, so that it keeps its name (in ps and /proc/PID/comm) and not
    // that of the link it would be started through.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        execv(self.c_str(), argv);
    execv("/proc/self/exe", argv);
    // Should both fail, the program goes on as it is, with the user's environment.
    RestoreUserEnvironment();
}

void RestoreUserEnvironment() {
    const auto userValues = EnvironmentValue(UserValuesVariable);
    if (!userValues)
        return;
    for (std::size_t start = 0, end; (end = userValues->find(EntryEnd, start)) != std::string::npos;
         start = end + 1) {
        const std::string entry = userValues->substr(start, end - start);
        const auto equals = entry.find('=');
        if (equals == std::string::npos)
            unsetenv(entry.c_str());
        else
            setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    unsetenv(UserValuesVariable);
}

void SetTranslationFolder(const std::string& domain, const std::string& folder) {
    bindtextdomain(domain.c_str(), folder.c_str());
}

void* NextDefinitionOf(const char* symbol) {
    return dlsym(RTLD_NEXT, symbol);
}

} // namespace kovi
