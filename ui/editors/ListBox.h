#pragma once

#include <QString>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QWidget;

namespace kovi {

// What the list editors say when Remove finds no entry selected.
inline constexpr char SelectAnItemMessage[] = "Select an item from the listing";

// A list editor's list box and its list file. The editors change the box first and the file
// right after; when the file cannot be changed an error box says so and the editor carries on,
// the box then showing what the file does not hold until the editor is opened again.

// Fills the box with the entries of the list file, in file order.
void LoadListBox(QListWidget& box, const std::filesystem::path& file);

// The box's entries from the first to the last, as the list file holds them.
std::vector<std::string> ListBoxEntries(const QListWidget& box);

// Removes the first selected entry from the box and returns its text; nothing when no entry
// is selected. Afterwards no entry is selected, so a second Remove asks for a choice again.
std::optional<QString> TakeSelectedEntry(QListWidget& box);

// The list-file operations of the editors, each reporting a failure with ShowError.
void AppendToListFile(const std::filesystem::path& file, const QString& entry, QWidget* parent);
void RewriteListFile(const std::filesystem::path& file, const QListWidget& box, QWidget* parent);
void DeleteListFile(const std::filesystem::path& file, QWidget* parent);

} // namespace kovi
