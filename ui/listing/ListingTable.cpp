#include "ui/listing/ListingTable.h"

#include "core/listing/ListingExport.h"

namespace kovi {
namespace {

constexpr int FormatColumn = 4;

} // namespace

void ListingTable::clear() {
    beginResetModel();
    std::vector<ListingRow>().swap(rows_);
    endResetModel();
}

void ListingTable::append(ListingRow row) {
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
}

QString ListingTable::text(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return {};
    const ListingRow& image = rows_[static_cast<std::size_t>(row)];
    switch (column) {
    case 0:
        return QString::fromStdString(image.path.string());
    case 1:
        return QString::number(image.fileBytes);
    case 2:
        return QString::number(image.width);
    case 3:
        return QString::number(image.height);
    case FormatColumn:
        return QString::fromStdString(image.format);
    case 5:
        return QString::number(image.colours);
    case 6:
        return QString::number(image.bitsPerPixel);
    default:
        return {};
    }
}

int ListingTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + 1;
}

int ListingTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ListingHeaders().size());
}

QVariant ListingTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() > 0 && index.column() != FormatColumn;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant ListingTable::headerData(int section, Qt::Orientation orientation, int role) const {
    const std::vector<std::string>& headers = ListingHeaders();
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(headers.size()))
        return {};
    return QString::fromStdString(headers[static_cast<std::size_t>(section)]);
}

} // namespace kovi
