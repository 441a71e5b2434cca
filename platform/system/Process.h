#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kovi {

// The heap: how many arenas it keeps, from which size a buffer is mapped on its own instead of
// taken from the heap, and how much free memory at its top it keeps for reuse.
void SetHeapPolicy(int arenas, std::size_t mapThreshold, std::size_t trimThreshold);
// Hands the heap's free memory back to the system.
void ReturnFreeMemory();

std::optional<std::string> EnvironmentValue(const char* name);
void SetEnvironmentValue(const char* name, const std::string& value);
void UnsetEnvironmentValue(const char* name);

struct EnvironmentSetting {
    std::string name;
    std::string value;
};

// Starts the program anew in place of itself, under its own path and name and with the same
// arguments, with `settings` in its environment, for libraries that read them only as a program
// starts. The user's own values are kept aside for RestoreUserEnvironment(). Returns when there
// is nothing to set, when the program was started so already, or when starting failed (the
// program then goes on as it is).
void RestartWith(char* argv[], const std::vector<EnvironmentSetting>& settings);

// Where the translations of a library's message domain are found.
void SetTranslationFolder(const std::string& domain, const std::string& folder);

// The definition of `symbol` that this program's own one stands in front of, in the libraries
// loaded after it; nullptr when there is none.
void* NextDefinitionOf(const char* symbol);

// After RestartWith: gives the environment back the user's values, so that programs started
// from here see the environment the user started this one with.
void RestoreUserEnvironment();

} // namespace kovi
