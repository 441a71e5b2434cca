#pragma once

#include "platform/desktop/SystemInfo.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace kovi {

// The version text of a file's version record: "4.74.8702.00", "5.00.2919.6307", and
// "4.72.3110" for a build number of 0.
QString FileVersionText(const FileVersionNumbers& version);

// The release an installed viewer or browser component stands for; "unknown" when none.
QString HHFriendlyNameFor(const QString& version);
QString IEFriendlyNameFor(const QString& version);

// The least version text a minimum-release code asks for; nothing for a code outside the
// table (16 to 26 for the viewer, 256 to 273 for the browser).
std::optional<QString> MinimumHHVersionText(std::int32_t code);
std::optional<QString> MinimumIEVersionText(std::int32_t code);

// Dotted versions compared number by number ("10.0" is above "4.72"); a missing part
// counts as 0.
bool VersionAtLeast(const QString& version, const QString& minimum);

// The system code of the original: 1 NT 3, 2 Windows 95, 3 NT 4, 4 Windows 98, 5
// Windows 2000, 0 anything else.
int OSCodeFor(const OsVersion& version);

} // namespace kovi
