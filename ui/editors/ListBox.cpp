#include "ui/editors/ListBox.h"

#include "core/listfiles/ListFile.h"
#include "platform/desktop/MessageSink.h"

#include <QDir>
#include <QListWidget>

#include <system_error>

namespace kovi {
namespace {

QString NativePath(const std::filesystem::path& file) {
    return QDir::toNativeSeparators(QString::fromStdString(file.string()));
}

void ReportFailure(const char* what, const std::filesystem::path& file,
                   const std::error_code& error, QWidget* parent) {
    if (!error)
        return;
    ShowError(
        QString::fromLatin1(what).arg(NativePath(file), QString::fromLocal8Bit(error.message())),
        parent);
}

} // namespace

void LoadListBox(QListWidget& box, const std::filesystem::path& file) {
    for (const std::string& entry : LoadList(file))
        box.addItem(QString::fromStdString(entry));
}

std::vector<std::string> ListBoxEntries(const QListWidget& box) {
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(box.count()));
    for (int row = 0; row < box.count(); ++row)
        entries.push_back(box.item(row)->text().toStdString());
    return entries;
}

std::optional<QString> TakeSelectedEntry(QListWidget& box) {
    for (int row = 0; row < box.count(); ++row) {
        if (box.item(row)->isSelected()) {
            const std::unique_ptr<QListWidgetItem> taken(box.takeItem(row));
            // The view would select the entry that moves up into its place.
            box.clearSelection();
            return taken->text();
        }
    }
    return std::nullopt;
}

void AppendToListFile(const std::filesystem::path& file, const QString& entry, QWidget* parent) {
    ReportFailure("The entry could not be added to %1:\n%2", file,
                  AppendEntry(file, entry.toStdString()), parent);
}

void RewriteListFile(const std::filesystem::path& file, const QListWidget& box, QWidget* parent) {
    ReportFailure("The list could not be saved to %1:\n%2", file,
                  RewriteList(file, ListBoxEntries(box)), parent);
}

void DeleteListFile(const std::filesystem::path& file, QWidget* parent) {
    ReportFailure("The list file %1 could not be deleted:\n%2", file, DeleteList(file), parent);
}

} // namespace kovi
