#include "platform/desktop/StringResource.h"

namespace kovi {

// An ELF executable carries no string table of the kind the help class reads.
QString LoadStringResource(std::uint32_t) {
    return {};
}

} // namespace kovi
