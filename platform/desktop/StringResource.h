#pragma once

#include <QString>

#include <cstdint>

namespace kovi {

// The program's string resource with that number; empty when the program carries none.
QString LoadStringResource(std::uint32_t id);

} // namespace kovi
