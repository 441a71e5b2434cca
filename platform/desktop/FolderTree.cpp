#include "platform/desktop/FolderTree.h"

#include "platform/desktop/ComputerRootModel.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

namespace kovi {
namespace {

// The folder itself, or the closest folder above it that exists; empty when the text is no
// absolute path.
QString NearestExistingFolder(const QString& folder) {
    QString path = QDir::fromNativeSeparators(folder);
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return {};
    path = QDir::cleanPath(path);
    while (!QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            return {};
        path = parent;
    }
    return path;
}

// Icons by kind only. The default provider reads each file's first bytes to find its type,
// which blocks for good on a pipe or on /proc/kmsg and with it the whole tree.
class FolderIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override { return folders_.icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        return folders_.icon(info.isDir() ? QFileIconProvider::Folder : QFileIconProvider::File);
    }
    QString type(const QFileInfo& info) const override {
        return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File");
    }

private:
    QFileIconProvider folders_;
};

int ButtonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return LeftButtonCode;
    case Qt::RightButton:
        return RightButtonCode;
    case Qt::MiddleButton:
        return MiddleButtonCode;
    default:
        return 0;
    }
}

} // namespace

FolderTree::FolderTree(QWidget* parent)
    : QTreeView(parent), icons_(std::make_unique<FolderIconProvider>()),
      files_(std::make_unique<QFileSystemModel>()),
      model_(std::make_unique<ComputerRootModel>(QString::fromLatin1(MyComputerText),
                                                 icons_->icon(QFileIconProvider::Computer))) {
    files_->setIconProvider(icons_.get());
    files_->setFilter(QDir::AllDirs | QDir::Drives | QDir::Hidden | QDir::NoDotAndDotDot);
    files_->setReadOnly(true);
    files_->setRootPath(QDir::rootPath());
    // Name order, kept as folders are listed.
    files_->sort(0, Qt::AscendingOrder);
    model_->setSourceModel(files_.get());

    setModel(model_.get());
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);

    expand(model_->computerIndex());
    setCurrentIndex(model_->computerIndex());
    connect(files_.get(), &QFileSystemModel::directoryLoaded, this,
            &FolderTree::keepSelectionInView);
    // Sorting comes after listing and moves rows again.
    connect(model_.get(), &QAbstractItemModel::layoutChanged, this,
            &FolderTree::keepSelectionInView);
    connect(model_.get(), &QAbstractItemModel::rowsInserted, this,
            &FolderTree::keepSelectionInView);
}

FolderTree::~FolderTree() {
    setModel(nullptr);
}

QString FolderTree::SelectedFolder() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || model_->isComputer(current))
        return QString::fromLatin1(MyComputerText);
    return QDir::toNativeSeparators(files_->filePath(model_->mapToSource(current)));
}

QModelIndex FolderTree::indexOfFolder(const QString& folder) const {
    if (folder == QLatin1String(MyComputerText))
        return model_->computerIndex();
    const QString path = NearestExistingFolder(folder);
    if (path.isEmpty() || path != QDir::cleanPath(QDir::fromNativeSeparators(folder)))
        return {};
    return model_->mapFromSource(files_->index(path));
}

void FolderTree::SetSelectedFolder(const QString& folder) {
    const QString path = NearestExistingFolder(folder);
    const QModelIndex target =
        path.isEmpty() ? model_->computerIndex() : model_->mapFromSource(files_->index(path));
    if (!target.isValid())
        return;
    for (QModelIndex above = target.parent(); above.isValid(); above = above.parent())
        expand(above);
    setCurrentIndex(target);
    keepSelectionInView_ = true;
    keepSelectionInView();
}

void FolderTree::keepSelectionInView() {
    if (!keepSelectionInView_)
        return;
    scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    // Deep folders would scroll the tree sideways out of sight; its left edge shows where
    // the folder is.
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void FolderTree::stopKeepingSelectionInView() {
    keepSelectionInView_ = false;
}

void FolderTree::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    keepSelectionInView();
}

void FolderTree::mousePressEvent(QMouseEvent* event) {
    stopKeepingSelectionInView();
    QTreeView::mousePressEvent(event);
}

void FolderTree::wheelEvent(QWheelEvent* event) {
    stopKeepingSelectionInView();
    QTreeView::wheelEvent(event);
}

void FolderTree::keyPressEvent(QKeyEvent* event) {
    stopKeepingSelectionInView();
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    // A folder reached with the keys is chosen as surely as one clicked: a run uses it.
    if (currentIndex() != before)
        emit folderChosen();
}

void FolderTree::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    const int code = ButtonCode(event->button());
    if (code == 0)
        return;
    emit mouseButtonUp(code);
    if (code == LeftButtonCode)
        emit folderChosen();
}

} // namespace kovi
