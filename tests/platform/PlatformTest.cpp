// The folder tree and its "My Computer" model, the worker thread.
#include "platform/desktop/ComputerRootModel.h"
#include "platform/desktop/FolderTree.h"
#include "platform/desktop/WorkerThread.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>

namespace kovi {

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void init() { folder_ = std::make_unique<QTemporaryDir>(); }

    void cleanup() {
        folder_.reset();
        QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a test left a window behind");
    }

    void computerRootModelHangsTheSourceBelowTheComputer() {
        QStandardItemModel source(0, 2);
        auto* root = new QStandardItem(QStringLiteral("/"));
        source.appendRow({root, new QStandardItem(QStringLiteral("size"))});
        for (const char* name : {"usr", "home", "etc"})
            root->appendRow({new QStandardItem(QString::fromLatin1(name)), new QStandardItem()});
        ComputerRootModel model(QStringLiteral("My Computer"), QIcon());
        model.setSourceModel(&source);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);

        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("My Computer"));
        const QModelIndex shownRoot = model.index(0, 0, model.index(0, 0));
        QCOMPARE(childNames(model, shownRoot), (QStringList{"usr", "home", "etc"}));
        const QModelIndex home = source.index(1, 0, source.index(0, 0));
        QCOMPARE(model.mapFromSource(home), model.index(1, 0, shownRoot));
        QCOMPARE(model.mapToSource(model.index(1, 0, shownRoot)), home);
        root->removeRow(0); // the tester checks the signals of the removal
        QCOMPARE(childNames(model, shownRoot), (QStringList{"home", "etc"}));
    }

    void treeShowsMyComputerAboveTheRootAndListsFoldersOnly() {
        for (const char* name : {"Zeta", ".hidden", "alpha"})
            makeFolder(QString::fromLatin1(name));
        QVERIFY(QFile(folder_->filePath(QStringLiteral("picture.jpg"))).open(QIODevice::WriteOnly));

        FolderTree tree;
        QCOMPARE(tree.SelectedFolder(), QStringLiteral("My Computer"));
        const QModelIndex top = tree.model()->index(0, 0);
        QCOMPARE(top.data().toString(), QStringLiteral("My Computer"));
        QCOMPARE(childNames(*tree.model(), top), QStringList{QStringLiteral("/")});
        QVERIFY(tree.isExpanded(top));
        tree.SetSelectedFolder(folder_->path());
        tree.expand(tree.currentIndex());
        QTRY_COMPARE(childNames(*tree.model(), tree.currentIndex()),
                     (QStringList{".hidden", "alpha", "Zeta"}));

        // A folder reached with the keys is chosen as a click chooses it; one the program
        // selects is not.
        QSignalSpy chosen(&tree, &FolderTree::folderChosen);
        tree.SetSelectedFolder(folder_->filePath(QStringLiteral("alpha")));
        QTest::keyClick(&tree, Qt::Key_Down);
        QCOMPARE(tree.SelectedFolder(), folder_->filePath(QStringLiteral("Zeta")));
        QCOMPARE(chosen.size(), 1);
    }

    // The folder restored at start-up is opened, and stays selected and in view while its
    // siblings are listed and sorted above it.
    void selectedFolderIsOpenedAndKeptInView() {
        const QString chosen = makeFolder(QStringLiteral("m"));
        FolderTree tree;
        tree.resize(300, 200);
        tree.SetSelectedFolder(chosen);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QVERIFY(tree.selectionModel()->isSelected(tree.currentIndex()));
        for (QModelIndex above = tree.currentIndex().parent(); above.isValid();
             above = above.parent())
            QVERIFY2(tree.isExpanded(above), qPrintable(above.data().toString()));
        for (int i = 0; i < 60; ++i)
            makeFolder(QStringLiteral("a%1").arg(i, 2, 10, QLatin1Char('0')));
        QTRY_COMPARE(tree.currentIndex().row(), 60);
        QTRY_VERIFY(tree.visualRect(tree.currentIndex()).top() >= 0 &&
                    tree.visualRect(tree.currentIndex()).bottom() <= tree.viewport()->height());
        QCOMPARE(tree.SelectedFolder(), chosen);

        // A folder that has gone since leads to the closest one that is still there.
        tree.SetSelectedFolder(folder_->filePath(QStringLiteral("a00/gone/deeper")));
        QCOMPARE(tree.SelectedFolder(), folder_->filePath(QStringLiteral("a00")));
    }

    void kernelFilesDoNotBlockTheListing() {
        // /proc/kmsg looks like a plain file, but reading it waits for kernel messages.
        if (!QFile(QStringLiteral("/proc/kmsg")).open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            QSKIP("no readable /proc/kmsg here");
        FolderTree tree;
        tree.SetSelectedFolder(QStringLiteral("/proc"));
        tree.expand(tree.currentIndex());
        QTRY_VERIFY(childNames(*tree.model(), tree.currentIndex()).contains(QStringLiteral("tty")));
    }

    // The news of a job arrives here in order, then `done` with what escaped the job.
    void postedCallsArriveHereInOrderBeforeDone() {
        WorkerThread worker;
        QList<int> seen; // negative: arrived on another thread
        std::optional<QString> failure;
        QVERIFY(worker.start(
            [&] {
                for (int i = 1; i <= 100; ++i)
                    worker.post(
                        [&, i] { seen.append(QThread::currentThread() == thread() ? i : -i); });
                throw std::runtime_error("disk on fire");
            },
            [&](const QString& text) {
                failure = text;
                seen.append(101);
            }));
        QTRY_VERIFY(failure.has_value());
        QCOMPARE(*failure, QStringLiteral("disk on fire"));
        QCOMPARE(seen.size(), 101);
        QCOMPARE(seen.first(), 1);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    }

    void destroyingWaitsForTheJobAndDropsItsNews() {
        auto worker = std::make_unique<WorkerThread>();
        std::atomic<int> step{0}; // 1: running, 2: asked to stop, 3: finished
        bool newsArrived = false;
        QVERIFY(worker->start(
            [&, raw = worker.get()] {
                step = 1;
                while (step != 2)
                    std::this_thread::yield();
                raw->post([&] { newsArrived = true; });
                step = 3;
            },
            [&](const QString&) { newsArrived = true; }));
        QTRY_COMPARE(step.load(), 1);
        step = 2;
        worker.reset();
        QCOMPARE(step.load(), 3);
        QCoreApplication::processEvents();
        QVERIFY(!newsArrived);
    }

private:
    QString makeFolder(const QString& relative) {
        QDir().mkpath(folder_->filePath(relative));
        return folder_->filePath(relative);
    }

    static QStringList childNames(const QAbstractItemModel& model, const QModelIndex& parent) {
        QStringList names;
        for (int row = 0; row < model.rowCount(parent); ++row)
            names.append(model.index(row, 0, parent).data().toString());
        return names;
    }

    std::unique_ptr<QTemporaryDir> folder_;
};

} // namespace kovi

QTEST_MAIN(kovi::PlatformTest)
#include "PlatformTest.moc"
