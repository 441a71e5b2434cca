#pragma once

#include <string>

namespace kovi {

// The listing's name for a file-type code; empty for a code without a name.
std::string GetFormatName(int fileTypeCode);

} // namespace kovi
