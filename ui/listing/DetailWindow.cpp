#include "ui/listing/DetailWindow.h"

#include "core/listing/ListingExport.h"
#include "kovi/Version.h"
#include "platform/desktop/BusyCursor.h"
#include "platform/desktop/FileDialogs.h"
#include "platform/desktop/MessageSink.h"
#include "platform/desktop/Twips.h"
#include "ui/listing/ListingTable.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTableView>

namespace kovi {
namespace {

constexpr int FileNameColumnTwips = 5000;
constexpr int NumberColumnTwips = 1000;
// The grid leaves this much of the screen free beside and below it.
constexpr int ScreenMarginWidthTwips = 15;
constexpr int ScreenMarginHeightTwips = 1000;
// Room beside a cell's text for the grid lines and the cell margins, in pixels.
constexpr int CellPadding = 10;

QString DetailCaption() {
    return QString::fromLatin1(ProductName) + QStringLiteral(" - Detailed Listing");
}

} // namespace

DetailWindow::DetailWindow(std::filesystem::path exportFolder, QWidget* parent)
    : QMainWindow(parent), exportFolder_(std::move(exportFolder)) {
    setObjectName(QStringLiteral("frmDetail"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(DetailCaption());
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    const double dpi = LogicalDpi(*this);
    setupGrid(dpi);
    setupMenus();
    sizeToScreen(dpi);
}

void DetailWindow::setupGrid(double dpi) {
    table_ = new ListingTable(this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setModel(table_);
    setCentralWidget(grid_);

    QFont bold = grid_->horizontalHeader()->font();
    bold.setBold(true);
    grid_->horizontalHeader()->setFont(bold);
    for (int column = 0; column < table_->columnCount(); ++column)
        grid_->setColumnWidth(
            column, TwipsToPixels(column == 0 ? FileNameColumnTwips : NumberColumnTwips, dpi));
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setWordWrap(false);
    // A long path keeps its file name in view.
    grid_->setTextElideMode(Qt::ElideMiddle);
    grid_->installEventFilter(this);
}

void DetailWindow::setupMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnufile"));
    mnuExport_ = file->addAction(QStringLiteral("&Export To CSV"));
    mnuExport_->setObjectName(QStringLiteral("mnuExport"));
    file->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    mnuClose_ = file->addAction(QStringLiteral("&Close"));
    mnuClose_->setObjectName(QStringLiteral("mnuClose"));
    connect(mnuExport_, &QAction::triggered, this, &DetailWindow::exportListing);
    connect(mnuClose_, &QAction::triggered, this, &QWidget::close);
}

void DetailWindow::sizeToScreen(double dpi) {
    const QScreen* screen = this->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const int menuHeight = menuBar()->sizeHint().height();
    QSize gridSize(screen->geometry().width() - TwipsToPixels(ScreenMarginWidthTwips, dpi),
                   screen->geometry().height() - TwipsToPixels(ScreenMarginHeightTwips, dpi));
    // A panel of the desktop may take part of the screen; the whole grid stays in view.
    const QRect available = screen->availableGeometry();
    gridSize = gridSize.boundedTo(available.size() - QSize(0, menuHeight));
    resize(gridSize.width(), gridSize.height() + menuHeight);
    move(available.topLeft());
}

void DetailWindow::clearListing() {
    table_->clear();
}

void DetailWindow::addRow(const ListingRow& row) {
    const int added = table_->rowCount() - 1;
    table_->append(row);
    // A number cut short would read as another number: its column grows to fit it. The path
    // keeps its width and shows its start and its file name.
    for (int column = 1; column < table_->columnCount(); ++column) {
        const int needed =
            grid_->fontMetrics().horizontalAdvance(table_->text(added, column)) + CellPadding;
        if (needed > grid_->columnWidth(column))
            grid_->setColumnWidth(column, needed);
    }
}

std::vector<std::vector<std::string>> DetailWindow::cells() const {
    std::vector<std::vector<std::string>> rows(std::size_t(table_->rowCount()));
    for (int row = 0; row < table_->rowCount(); ++row)
        for (int column = 0; column < table_->columnCount(); ++column)
            rows[std::size_t(row)].push_back(table_->text(row, column).toStdString());
    return rows;
}

void DetailWindow::exportListing() {
    const QString chosen = AskSaveFileName(this, QStringLiteral("Export Detailed Listing"),
                                           QString::fromStdString(exportFolder_.string()),
                                           QStringLiteral("All files (*)"));
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    std::error_code error;
    {
        BusyCursorGuard busy;
        error = WriteListingExport(path.toStdString(), cells());
    }
    if (error) {
        ShowError(QStringLiteral("Cannot export to %1: %2")
                      .arg(path, QString::fromLocal8Bit(error.message())),
                  this);
        return;
    }
    ShowInformation(QStringLiteral("Complete"), QStringLiteral("Done exporting: ") + path, this);
}

void DetailWindow::closeEvent(QCloseEvent* event) {
    emit abortRequested();
    QMainWindow::closeEvent(event);
}

bool DetailWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        emit abortRequested();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace kovi
