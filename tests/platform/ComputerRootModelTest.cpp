#include "platform/ComputerRootModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTest>

namespace kovi {

class ComputerRootModelTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        source_ = std::make_unique<QStandardItemModel>();
        source_->setColumnCount(2);
        auto* root = new QStandardItem(QStringLiteral("/"));
        source_->appendRow({root, new QStandardItem(QStringLiteral("size"))});
        for (const char* name : {"usr", "home", "etc"})
            root->appendRow({new QStandardItem(QString::fromLatin1(name)),
                             new QStandardItem(QStringLiteral("size"))});
        root->child(1)->appendRow(new QStandardItem(QStringLiteral("zoë")));

        model_ = std::make_unique<ComputerRootModel>(QStringLiteral("My Computer"), QIcon());
        model_->setSourceModel(source_.get());
        tester_ = std::make_unique<QAbstractItemModelTester>(
            model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void cleanup() {
        tester_.reset();
        model_.reset();
        source_.reset();
    }

    void sourceRowsHangBelowTheComputer() {
        QCOMPARE(model_->rowCount(), 1);
        QCOMPARE(model_->columnCount(), 1);
        const QModelIndex computer = model_->index(0, 0);
        QVERIFY(model_->isComputer(computer));
        QCOMPARE(computer.data().toString(), QStringLiteral("My Computer"));
        QVERIFY(!computer.parent().isValid());
        QCOMPARE(names(*model_, computer), QStringList{QStringLiteral("/")});
        const QModelIndex root = model_->index(0, 0, computer);
        QCOMPARE(root.parent(), computer);
        QCOMPARE(names(*model_, root), (QStringList{"usr", "home", "etc"}));
        QCOMPARE(names(*model_, model_->index(1, 0, root)), QStringList{QStringLiteral("zoë")});
    }

    void mapsBothWays() {
        const QModelIndex home = source_->index(1, 0, source_->index(0, 0));
        const QModelIndex shown = model_->mapFromSource(home);
        QCOMPARE(shown.data().toString(), QStringLiteral("home"));
        QCOMPARE(model_->mapToSource(shown), home);
        QVERIFY(!model_->mapFromSource(home.siblingAtColumn(1)).isValid());
        QVERIFY(!model_->mapToSource(model_->computerIndex()).isValid());
    }

    void followsInsertsAndRemoves() {
        QStandardItem* root = source_->item(0);
        const QModelIndex shownRoot = model_->index(0, 0, model_->computerIndex());
        root->insertRow(1, new QStandardItem(QStringLiteral("boot")));
        QCOMPARE(names(*model_, shownRoot), (QStringList{"usr", "boot", "home", "etc"}));
        root->removeRow(0);
        QCOMPARE(names(*model_, shownRoot), (QStringList{"boot", "home", "etc"}));
        source_->appendRow(new QStandardItem(QStringLiteral("second drive")));
        QCOMPARE(names(*model_, model_->computerIndex()), (QStringList{"/", "second drive"}));
    }

    void persistentIndexesFollowASortedSource() {
        const QModelIndex shownRoot = model_->index(0, 0, model_->computerIndex());
        const QPersistentModelIndex usr = model_->index(0, 0, shownRoot);
        const QPersistentModelIndex computer = model_->computerIndex();
        source_->sort(0);
        QCOMPARE(names(*model_, shownRoot), (QStringList{"etc", "home", "usr"}));
        QVERIFY(usr.isValid());
        QCOMPARE(usr.row(), 2);
        QCOMPARE(usr.data().toString(), QStringLiteral("usr"));
        source_->sort(0, Qt::DescendingOrder);
        QCOMPARE(usr.row(), 0);
        QCOMPARE(usr.data().toString(), QStringLiteral("usr"));
        QCOMPARE(QModelIndex(computer), model_->computerIndex());
    }

    void passesOnDataChangesOfTheFirstColumnOnly() {
        QSignalSpy changes(model_.get(), &QAbstractItemModel::dataChanged);
        QStandardItem* root = source_->item(0);
        root->child(0, 1)->setText(QStringLiteral("other size"));
        QCOMPARE(changes.size(), 0);
        root->child(0, 0)->setText(QStringLiteral("opt"));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.at(0).at(0).value<QModelIndex>().data().toString(), QStringLiteral("opt"));
    }

    void followsAReset() {
        source_->clear();
        QCOMPARE(model_->rowCount(), 1);
        QCOMPARE(model_->rowCount(model_->computerIndex()), 0);
        source_->appendRow(new QStandardItem(QStringLiteral("/")));
        QCOMPARE(names(*model_, model_->computerIndex()), QStringList{QStringLiteral("/")});
    }

private:
    static QStringList names(const QAbstractItemModel& model, const QModelIndex& parent) {
        QStringList result;
        for (int row = 0; row < model.rowCount(parent); ++row)
            result.append(model.index(row, 0, parent).data().toString());
        return result;
    }

    std::unique_ptr<QStandardItemModel> source_;
    std::unique_ptr<ComputerRootModel> model_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

} // namespace kovi

QTEST_MAIN(kovi::ComputerRootModelTest)
#include "ComputerRootModelTest.moc"
