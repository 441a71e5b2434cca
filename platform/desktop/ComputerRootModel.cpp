#include "platform/desktop/ComputerRootModel.h"

namespace kovi {

ComputerRootModel::ComputerRootModel(QString rootText, QIcon rootIcon, QObject* parent)
    : QAbstractProxyModel(parent), rootText_(std::move(rootText)), rootIcon_(std::move(rootIcon)) {}

void ComputerRootModel::setSourceModel(QAbstractItemModel* source) {
    beginResetModel();
    for (const QMetaObject::Connection& connection : connections_)
        disconnect(connection);
    connections_.clear();
    QAbstractProxyModel::setSourceModel(source);
    if (source != nullptr) {
        connections_ = {
            connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                    &ComputerRootModel::sourceRowsAboutToBeInserted),
            connect(source, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); }),
            connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                    &ComputerRootModel::sourceRowsAboutToBeRemoved),
            connect(source, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); }),
            connect(source, &QAbstractItemModel::rowsAboutToBeMoved, this,
                    &ComputerRootModel::sourceRowsAboutToBeMoved),
            connect(source, &QAbstractItemModel::rowsMoved, this, [this] { endMoveRows(); }),
            connect(source, &QAbstractItemModel::dataChanged, this,
                    &ComputerRootModel::sourceDataChanged),
            connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
                    &ComputerRootModel::sourceLayoutAboutToBeChanged),
            connect(source, &QAbstractItemModel::layoutChanged, this,
                    &ComputerRootModel::sourceLayoutChanged),
            connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
                    [this] { beginResetModel(); }),
            connect(source, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); }),
        };
    }
    endResetModel();
}

QModelIndex ComputerRootModel::computerIndex() const {
    return createIndex(0, 0, nullptr);
}

bool ComputerRootModel::isComputer(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.internalPointer() == nullptr;
}

QModelIndex ComputerRootModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || isComputer(proxyIndex) || sourceModel() == nullptr)
        return {};
    return createSourceIndex(proxyIndex.row(), 0, proxyIndex.internalPointer());
}

QModelIndex ComputerRootModel::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.column() != 0)
        return {};
    return createIndex(sourceIndex.row(), 0, sourceIndex.internalPointer());
}

QModelIndex ComputerRootModel::proxyParent(const QModelIndex& sourceParent) const {
    return sourceParent.isValid() ? mapFromSource(sourceParent) : computerIndex();
}

QModelIndex ComputerRootModel::sourceParent(const QModelIndex& proxyParent) const {
    return isComputer(proxyParent) ? QModelIndex() : mapToSource(proxyParent);
}

QModelIndex ComputerRootModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0 || sourceModel() == nullptr)
        return {};
    if (!parent.isValid())
        return row == 0 ? computerIndex() : QModelIndex();
    return mapFromSource(sourceModel()->index(row, 0, sourceParent(parent)));
}

QModelIndex ComputerRootModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || isComputer(child))
        return {};
    return proxyParent(sourceModel()->parent(mapToSource(child)));
}

QModelIndex ComputerRootModel::sibling(int row, int column, const QModelIndex& index) const {
    return this->index(row, column, parent(index));
}

int ComputerRootModel::rowCount(const QModelIndex& parent) const {
    if (sourceModel() == nullptr || parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return 1;
    return sourceModel()->rowCount(sourceParent(parent));
}

int ComputerRootModel::columnCount(const QModelIndex& parent) const {
    return parent.column() > 0 ? 0 : 1;
}

bool ComputerRootModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return sourceModel() != nullptr;
    return rowCount(parent) > 0 || sourceModel()->hasChildren(sourceParent(parent));
}

bool ComputerRootModel::canFetchMore(const QModelIndex& parent) const {
    return parent.isValid() && sourceModel()->canFetchMore(sourceParent(parent));
}

void ComputerRootModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid())
        sourceModel()->fetchMore(sourceParent(parent));
}

QVariant ComputerRootModel::data(const QModelIndex& index, int role) const {
    if (isComputer(index)) {
        if (role == Qt::DisplayRole)
            return rootText_;
        if (role == Qt::DecorationRole)
            return rootIcon_;
        return {};
    }
    return QAbstractProxyModel::data(index, role);
}

Qt::ItemFlags ComputerRootModel::flags(const QModelIndex& index) const {
    if (isComputer(index))
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return QAbstractProxyModel::flags(index);
}

QVariant ComputerRootModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (sourceModel() == nullptr || section != 0)
        return {};
    return sourceModel()->headerData(section, orientation, role);
}

void ComputerRootModel::sourceRowsAboutToBeInserted(const QModelIndex& parent, int first,
                                                    int last) {
    beginInsertRows(proxyParent(parent), first, last);
}

void ComputerRootModel::sourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last) {
    beginRemoveRows(proxyParent(parent), first, last);
}

void ComputerRootModel::sourceRowsAboutToBeMoved(const QModelIndex& parent, int first, int last,
                                                 const QModelIndex& destination, int row) {
    beginMoveRows(proxyParent(parent), first, last, proxyParent(destination), row);
}

void ComputerRootModel::sourceDataChanged(const QModelIndex& topLeft,
                                          const QModelIndex& bottomRight, const QList<int>& roles) {
    if (topLeft.column() != 0)
        return;
    emit dataChanged(mapFromSource(topLeft), mapFromSource(bottomRight.siblingAtColumn(0)), roles);
}

QList<QPersistentModelIndex>
ComputerRootModel::proxyParents(const QList<QPersistentModelIndex>& parents) const {
    QList<QPersistentModelIndex> mapped;
    for (const QPersistentModelIndex& parent : parents)
        mapped.append(proxyParent(parent));
    return mapped;
}

void ComputerRootModel::sourceLayoutAboutToBeChanged(const QList<QPersistentModelIndex>& parents,
                                                     QAbstractItemModel::LayoutChangeHint hint) {
    emit layoutAboutToBeChanged(proxyParents(parents), hint);
    layoutFollowers_.clear();
    for (const QModelIndex& proxyIndex : persistentIndexList()) {
        if (!isComputer(proxyIndex))
            layoutFollowers_.append({proxyIndex, mapToSource(proxyIndex)});
    }
}

void ComputerRootModel::sourceLayoutChanged(const QList<QPersistentModelIndex>& parents,
                                            QAbstractItemModel::LayoutChangeHint hint) {
    for (const auto& [proxyIndex, sourceIndex] : std::as_const(layoutFollowers_))
        changePersistentIndex(proxyIndex, mapFromSource(sourceIndex));
    layoutFollowers_.clear();
    emit layoutChanged(proxyParents(parents), hint);
}

} // namespace kovi
