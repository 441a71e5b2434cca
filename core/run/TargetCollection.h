#pragma once

#include <filesystem>
#include <vector>

namespace kovi {

// Every file below folder, depth first: a folder's own files in name order, then each
// sub-folder in name order with everything below it (only when recurse is set). Names are
// ordered without regard to case (Unicode case folding), names that fold alike by their bytes.
// Folders whose names begin with "." are never entered, symbolic links to folders are not followed,
// and a folder that is missing or unreadable contributes nothing. Only regular files (or links to
// them) are taken: reading a pipe or a device could block the run. The program's own
// temporary files are never taken. A folder that is no absolute path gives nothing.
std::vector<std::filesystem::path> CollectTargetFiles(const std::filesystem::path& folder,
                                                      bool recurse);

} // namespace kovi
