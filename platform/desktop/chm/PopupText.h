#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

namespace kovi {

// The "#define NAME 1001" lines of a context map header.
QHash<QString, std::uint32_t> ParseContextDefines(const QString& header);

// The text of the topic numbered `id` in a pop-up text file, where each topic starts with a
// ".topic NAME" or ".topic 1001" line. Lines of a paragraph are joined with blanks;
// paragraphs are kept apart by an empty line.
std::optional<QString> FindPopupTopic(const QString& file, std::uint32_t id,
                                      const QHash<QString, std::uint32_t>& names);

} // namespace kovi
