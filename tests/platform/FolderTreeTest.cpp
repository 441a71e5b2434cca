#include "platform/FolderTree.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

namespace kovi {

class FolderTreeTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
    }

    void cleanup() {
        folder_.reset();
        const QWidgetList leaked = QApplication::topLevelWidgets();
        QVERIFY2(leaked.isEmpty(), "a test left a window behind");
    }

    void topEntryIsMyComputerWithTheRootBelow() {
        FolderTree tree;
        QCOMPARE(tree.SelectedFolder(), QStringLiteral("My Computer"));
        QCOMPARE(tree.model()->rowCount(), 1);
        const QModelIndex top = tree.model()->index(0, 0);
        QCOMPARE(top.data().toString(), QStringLiteral("My Computer"));
        QCOMPARE(childNames(tree, top), QStringList{QStringLiteral("/")});
        QVERIFY(tree.isExpanded(top));
    }

    void selectingAFolderOpensItsParents() {
        FolderTree tree;
        const QString deep = makeFolder(QStringLiteral("a/b/c"));
        tree.SetSelectedFolder(deep);
        QCOMPARE(tree.SelectedFolder(), deep);
        QCOMPARE(tree.currentIndex().data().toString(), QStringLiteral("c"));
        for (QModelIndex above = tree.currentIndex().parent(); above.isValid();
             above = above.parent())
            QVERIFY2(tree.isExpanded(above), qPrintable(above.data().toString()));
        QVERIFY(tree.selectionModel()->isSelected(tree.currentIndex()));

        tree.SetSelectedFolder(QStringLiteral("My Computer"));
        QCOMPARE(tree.SelectedFolder(), QStringLiteral("My Computer"));
    }

    void selectingWhatIsNoFolder_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("selected");
        QTest::newRow("missing folder") << "{tmp}/a/missing"
                                        << "{tmp}/a";
        QTest::newRow("missing several levels") << "{tmp}/a/x/y/z"
                                                << "{tmp}/a";
        QTest::newRow("a file") << "{tmp}/a/file.jpg"
                                << "{tmp}/a";
        QTest::newRow("trailing separator") << "{tmp}/a/"
                                            << "{tmp}/a";
        QTest::newRow("dot segments") << "{tmp}/a/../a/./"
                                      << "{tmp}/a";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("relative path") << "a/b"
                                       << "My Computer";
        QTest::newRow("empty") << ""
                               << "My Computer";
        QTest::newRow("windows drive") << "C:\\"
                                       << "My Computer";
        QTest::newRow("wrongly cased root name") << "my computer"
                                                 << "My Computer";
    }
    void selectingWhatIsNoFolder() {
        QFETCH(QString, written);
        QFETCH(QString, selected);
        makeFolder(QStringLiteral("a"));
        QFile file(folder_->filePath(QStringLiteral("a/file.jpg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        written.replace(QStringLiteral("{tmp}"), folder_->path());
        selected.replace(QStringLiteral("{tmp}"), folder_->path());

        FolderTree tree;
        tree.SetSelectedFolder(QDir::tempPath());
        tree.SetSelectedFolder(written);
        QCOMPARE(tree.SelectedFolder(), selected);
    }

    void listsFoldersOnlyWithHiddenOnes() {
        makeFolder(QStringLiteral("Zeta"));
        makeFolder(QStringLiteral(".hidden"));
        makeFolder(QStringLiteral("alpha"));
        QFile file(folder_->filePath(QStringLiteral("picture.jpg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::link(folder_->filePath(QStringLiteral("picture.jpg")),
                            folder_->filePath(QStringLiteral("link-to-file"))));

        FolderTree tree;
        tree.SetSelectedFolder(folder_->path());
        const QModelIndex parent = tree.currentIndex();
        tree.expand(parent);
        const QStringList expected{QStringLiteral(".hidden"), QStringLiteral("alpha"),
                                   QStringLiteral("Zeta")};
        QTRY_COMPARE(childNames(tree, parent), expected);
    }

    void selectionStaysOnItsFolderWhileSiblingsAreListed() {
        for (int i = 0; i < 40; ++i)
            makeFolder(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')));
        const QString chosen = folder_->filePath(QStringLiteral("f27"));

        FolderTree tree;
        // Chosen before its folder has been listed: the siblings arrive and are sorted later.
        tree.SetSelectedFolder(chosen);
        const QModelIndex parent = tree.currentIndex().parent();
        QTRY_COMPARE(tree.model()->rowCount(parent), 40);
        // Sorted after the listing.
        QTRY_COMPARE(childNames(tree, parent).indexOf(QStringLiteral("f27")), 27);
        QCOMPARE(tree.SelectedFolder(), chosen);
        QCOMPARE(tree.currentIndex().row(), 27);
    }

    void treeFollowsFoldersThatComeAndGo() {
        makeFolder(QStringLiteral("keep/inner"));
        makeFolder(QStringLiteral("gone"));
        FolderTree tree;
        tree.SetSelectedFolder(folder_->filePath(QStringLiteral("keep/inner")));
        const QModelIndex parent = tree.indexOfFolder(folder_->path());
        QVERIFY(parent.isValid());
        tree.expand(parent);
        QTRY_COMPARE(tree.model()->rowCount(parent), 2);

        makeFolder(QStringLiteral("new"));
        QTRY_COMPARE(tree.model()->rowCount(parent), 3);
        QVERIFY(QDir(folder_->filePath(QStringLiteral("gone"))).removeRecursively());
        QTRY_COMPARE(childNames(tree, parent), (QStringList{"keep", "new"}));
        QCOMPARE(tree.SelectedFolder(), folder_->filePath(QStringLiteral("keep/inner")));
    }

    void selectedFolderIsScrolledIntoViewOnceListed() {
        const QString chosen = makeFolder(QStringLiteral("m/chosen"));
        FolderTree tree;
        tree.resize(300, 200);
        tree.SetSelectedFolder(chosen);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        const QModelIndex top = tree.indexOfFolder(folder_->path());
        QTRY_COMPARE(tree.model()->rowCount(top), 1);

        // Folders that arrive later and sort above the selection push it down.
        for (int i = 0; i < 60; ++i)
            makeFolder(QStringLiteral("a%1").arg(i, 2, 10, QLatin1Char('0')));
        QTRY_COMPARE(tree.model()->rowCount(top), 61);
        QTRY_COMPARE(tree.currentIndex().parent().row(), 60);
        const auto rowInView = [&] {
            const QRect row = tree.visualRect(tree.currentIndex());
            return row.top() >= 0 && row.bottom() <= tree.viewport()->height();
        };
        QTRY_VERIFY(rowInView());
        QCOMPARE(tree.SelectedFolder(), chosen);
        QCOMPARE(tree.horizontalScrollBar()->value(), tree.horizontalScrollBar()->minimum());

        // Once the user scrolls, the tree stays where the user put it.
        QWheelEvent wheel(QPointF(50, 50), tree.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, 120 * 30), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(tree.viewport(), &wheel);
        QVERIFY(!rowInView());
        makeFolder(QStringLiteral("a99"));
        QTRY_COMPARE(tree.model()->rowCount(top), 62);
        QTest::qWait(50);
        QVERIFY(!rowInView());
    }

    void clicksSelectTheFolderBeforeItIsReported() {
        const QString target = makeFolder(QStringLiteral("target"));
        FolderTree tree;
        tree.resize(400, 600);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.SetSelectedFolder(folder_->path());
        const QModelIndex row = tree.indexOfFolder(target);
        QVERIFY(row.isValid());
        tree.scrollTo(row);
        const QPoint at = tree.visualRect(row).center();

        QStringList seen;
        connect(&tree, &FolderTree::folderClicked, this,
                [&] { seen.append(tree.SelectedFolder()); });
        QSignalSpy buttons(&tree, &FolderTree::mouseButtonUp);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          tree.visualRect(tree.model()->index(0, 0)).center());
        QCOMPARE(seen, (QStringList{target, QStringLiteral("My Computer")}));

        // A right click picks the folder under the pointer too, but only a left one is a click.
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, at);
        QCOMPARE(tree.SelectedFolder(), target);
        QTest::mouseClick(tree.viewport(), Qt::MiddleButton, {}, at);
        QCOMPARE(seen.size(), 2);
        QList<int> codes;
        for (const QList<QVariant>& arguments : buttons)
            codes.append(arguments.at(0).toInt());
        QCOMPARE(codes, (QList<int>{1, 1, 2, 4}));
    }

    void kernelFilesDoNotBlockTheListing() {
        // /proc/kmsg looks like a plain file, but reading it waits for kernel messages.
        if (!QFileInfo(QStringLiteral("/proc/self")).isDir() ||
            !QFile(QStringLiteral("/proc/kmsg")).open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            QSKIP("no readable /proc/kmsg here");
        FolderTree tree;
        tree.SetSelectedFolder(QStringLiteral("/proc"));
        const QModelIndex proc = tree.currentIndex();
        tree.expand(proc);
        QTRY_VERIFY_WITH_TIMEOUT(childNames(tree, proc).contains(QStringLiteral("sys")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(childNames(tree, proc).contains(QStringLiteral("tty")), 20000);
    }

private:
    QString makeFolder(const QString& relative) {
        const QString path = folder_->filePath(relative);
        if (!QDir().mkpath(path))
            qFatal("cannot make %s", qPrintable(path));
        return path;
    }

    QStringList childNames(const FolderTree& tree, const QModelIndex& parent) const {
        QStringList names;
        for (int row = 0; row < tree.model()->rowCount(parent); ++row)
            names.append(tree.model()->index(row, 0, parent).data().toString());
        return names;
    }

    std::unique_ptr<QTemporaryDir> folder_;
};

} // namespace kovi

QTEST_MAIN(kovi::FolderTreeTest)
#include "FolderTreeTest.moc"
