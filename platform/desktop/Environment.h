#pragma once

#include <QString>

namespace kovi {

// Replaces every %NAME% whose variable is set by its value; other text stays as it is
// (ExpandEnvironmentStringsA).
QString ExpandEnvironmentStrings(const QString& text);

} // namespace kovi
