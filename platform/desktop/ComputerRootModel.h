#pragma once

#include <QAbstractProxyModel>
#include <QIcon>
#include <QList>
#include <QPair>
#include <QPersistentModelIndex>

namespace kovi {

// Shows a file-system model one level down, below a single top row that stands for the
// computer itself. Only the first (name) column is shown.
//
// The source's indexes must carry non-null internal pointers (QFileSystemModel's do): the
// top row is the one index with a null pointer.
class ComputerRootModel : public QAbstractProxyModel {
    Q_OBJECT
public:
    ComputerRootModel(QString rootText, QIcon rootIcon, QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;

    QModelIndex computerIndex() const;
    bool isComputer(const QModelIndex& index) const;

    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // The proxy index whose children are the children of this source parent.
    QModelIndex proxyParent(const QModelIndex& sourceParent) const;
    // The source index whose children are the children of this proxy parent.
    QModelIndex sourceParent(const QModelIndex& proxyParent) const;

    void sourceRowsAboutToBeInserted(const QModelIndex& parent, int first, int last);
    void sourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void sourceRowsAboutToBeMoved(const QModelIndex& parent, int first, int last,
                                  const QModelIndex& destination, int row);
    void sourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);
    void sourceLayoutAboutToBeChanged(const QList<QPersistentModelIndex>& parents,
                                      QAbstractItemModel::LayoutChangeHint hint);
    void sourceLayoutChanged(const QList<QPersistentModelIndex>& parents,
                             QAbstractItemModel::LayoutChangeHint hint);
    QList<QPersistentModelIndex> proxyParents(const QList<QPersistentModelIndex>& parents) const;

    QString rootText_;
    QIcon rootIcon_;
    QList<QMetaObject::Connection> connections_;
    // Across a layout change of the source: each persistent proxy index with where its
    // source item is, so that it can follow the item to its new row.
    QList<QPair<QPersistentModelIndex, QPersistentModelIndex>> layoutFollowers_;
};

} // namespace kovi
