#pragma once

#include "core/listing/ListingScan.h"

#include <QAbstractTableModel>

#include <vector>

namespace kovi {

// The rows of a listing as the detail window's grid shows them: one per image under the column
// headers, and an empty row after the last. The rows are kept as the scan gives them, in one
// block, and become text only for the cells that are asked for: a listing of many thousands of
// files costs a few bytes a cell, and its memory goes back in one piece.
class ListingTable final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void clear();
    // Adds the image above the empty last row.
    void append(ListingRow row);
    // A cell's text, as the grid shows it; the cells of the empty last row are empty.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<ListingRow> rows_;
};

} // namespace kovi
