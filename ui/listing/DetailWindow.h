#pragma once

#include <filesystem>

#include "core/listing/ListingScan.h"

#include <QMainWindow>

#include <string>
#include <vector>

class QAction;
class QTableView;

namespace kovi {

class ListingTable;

// The detail window: the grid that a listing scan fills, one row per readable image under the
// column headers, with an empty row after the last image, and its export to comma-separated
// text. Deleted when it closes.
class DetailWindow : public QMainWindow {
    Q_OBJECT
public:
    // `exportFolder`: where the export dialog starts.
    explicit DetailWindow(std::filesystem::path exportFolder, QWidget* parent = nullptr);

    QTableView& grid() { return *grid_; }

    // The headers and one empty row, as a freshly opened window shows them.
    void clearListing();
    // Writes the image into the empty last row and adds a new empty row below it.
    void addRow(const kovi::ListingRow& row);
    // Every row below the headers, empty last row included, as the cells show them.
    std::vector<std::vector<std::string>> cells() const;

    // File > Export To CSV: asks for a file and writes the grid to it.
    void exportListing();

signals:
    // Escape released in the grid, or the window closing: a scan under way should stop.
    void abortRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::filesystem::path exportFolder_;
    void setupGrid(double dpi);
    void setupMenus();
    void sizeToScreen(double dpi);

    QTableView* grid_ = nullptr;
    ListingTable* table_ = nullptr;
    QAction* mnuExport_ = nullptr;
    QAction* mnuClose_ = nullptr;
};

} // namespace kovi
