#include "dialogdeleteuser.h"
#include "startup.h"
#include "systempaths.h"
#include "tabusers.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "usersortproxymodel.h"

#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

// The Users page on a fixture tree: alice (1000) is the only administrator,
// bob (1001) a regular user, plus root, system and service accounts.
class TestUsersTab : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QMainWindow* window = nullptr;
    Ui::MainWindow* ui = nullptr;
    TabUsers* tab = nullptr;
    QStringList messages;
    QTimer dismisser;

    QAbstractItemModel* tiles() const { return ui->listViewUsers->model(); }

    QStringList shownNames() const {
        QStringList names;
        for (int row = 0; row < tiles()->rowCount(); ++row)
            names << tiles()->index(row, 0).data(UserSortProxyModel::UserNameRole).toString();
        return names;
    }

    // Asks for a fresh list and waits until the tab has filled it.
    bool refresh(const std::function<void()>& ask) {
        QSignalSpy reset(tiles(), &QAbstractItemModel::modelReset);
        ask();
        return reset.wait(10000) && TestSupport::waitFor([&] { return tiles()->rowCount() > 0; });
    }

    void select(const QString& name) {
        const int row = shownNames().indexOf(name);
        QVERIFY2(row >= 0, qPrintable(name));
        ui->listViewUsers->setCurrentIndex(tiles()->index(row, 0));
    }

    // The enabled state of each entry of the context menu opened at pos.
    QMap<QString, bool> contextMenuAt(const QPoint& pos) {
        QMap<QString, bool> entries;
        QTimer::singleShot(100, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    entries.insert(action->text(), action->isEnabled());
                menu->close();
            }
        });
        emit ui->listViewUsers->customContextMenuRequested(pos);
        return entries;
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        QVERIFY(QDir().mkpath(root.path() + QStringLiteral("/etc")));
        for (const char* name : {"passwd", "group"}) {
            QFile source(TestSupport::testDataPath(QStringLiteral("users/") + QLatin1String(name)));
            QFile out(root.path() + QStringLiteral("/etc/") + QLatin1String(name));
            QVERIFY(source.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
            out.write(source.readAll().replace("HOME", QFile::encodeName(root.path() + "/home")));
        }
        SystemPaths::setRootPrefix(root.path());
        connect(&dismisser, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                messages << box->windowTitle() + QLatin1Char('|') + box->text();
                box->done(QMessageBox::Ok);
            }
        });
        dismisser.start(50);

        window = new QMainWindow;
        ui = new Ui::MainWindow;
        ui->setupUi(window);
        ui->tabWidgetMainTabs->setCurrentWidget(ui->tab_6);
        registerSharedMetaTypes();
        tab = new TabUsers(ui, window);
        QVERIFY(TestSupport::waitFor([&] { return tiles()->rowCount() > 0; }));
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    void cleanupTestCase() {
        delete window;
        delete ui;
        SystemPaths::setRootPrefix(QString());
    }

    void tilesSortedByUid() {
        QCOMPARE(shownNames(), QStringList({"alice", "bob", "svc"}));
        QVERIFY(refresh([&] { ui->checkBoxShowAllUsers->setChecked(true); }));
        QCOMPARE(shownNames(), QStringList({"root", "daemon", "sysacct", "alice", "bob", "svc", "nobody"}));
    }

    void selectionKeptAcrossRefresh() {
        select(QStringLiteral("bob"));
        QVERIFY(refresh([&] { tab->updateUsersTable(); }));
        QCOMPARE(ui->listViewUsers->currentIndex().data(UserSortProxyModel::UserNameRole).toString(),
                 QStringLiteral("bob"));
        QVERIFY(ui->pushButtonDeleteUser->isEnabled());
    }

    void systemAccountsAreViewOnly_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("root") << "root";
        QTest::newRow("system") << "sysacct";
        QTest::newRow("service") << "svc";
    }
    void systemAccountsAreViewOnly() {
        QFETCH(QString, name);
        select(name);
        QVERIFY(ui->pushButtonEditUser->isEnabled());
        QVERIFY(!ui->pushButtonDeleteUser->isEnabled());
        QCOMPARE(ui->pushButtonEditUser->text(), QStringLiteral("View User"));
        const QRect tile = ui->listViewUsers->visualRect(ui->listViewUsers->currentIndex());
        const QMap<QString, bool> menu = contextMenuAt(tile.center());
        QCOMPARE(menu.value(QStringLiteral("View User...")), true);
        QCOMPARE(menu.value(QStringLiteral("Delete User..."), true), false);
    }

    void filterMatchesNameOrType_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("type") << "admin" << QStringList{"alice"};
        QTest::newRow("trimmed, any case") << "  ROOT " << QStringList{"root"};
        QTest::newRow("name part") << "bo" << QStringList{"bob", "nobody"};
        QTest::newRow("empty") << ""
                               << QStringList{"root", "daemon", "sysacct", "alice", "bob", "svc", "nobody"};
    }
    void filterMatchesNameOrType() {
        QFETCH(QString, text);
        ui->lineEditUsersFilter->setText(text);
        QTEST(shownNames(), "names");
    }

    void emptySpaceOffersOnlyAdd() {
        ui->listViewUsers->clearSelection();
        const QMap<QString, bool> menu = contextMenuAt(
            QPoint(ui->listViewUsers->viewport()->width() - 5, ui->listViewUsers->viewport()->height() - 5));
        QCOMPARE(menu.value(QStringLiteral("Add User...")), true);
        QCOMPARE(menu.value(QStringLiteral("Edit User..."), true), false);
        QCOMPARE(menu.value(QStringLiteral("Delete User..."), true), false);
    }

    void soleAdministratorIsNotDeleted() {
        select(QStringLiteral("alice"));
        QVERIFY(ui->pushButtonDeleteUser->isEnabled());
        messages.clear();
        ui->pushButtonDeleteUser->click();
        QCOMPARE(messages, QStringList(QStringLiteral(
                               "Only one Administrator|This is the only Administrator account on the system. "
                               "Deleting it would make your computer unuseable.")));
        QVERIFY(!tab->findChild<DialogDeleteUser*>());
    }
};

QTEST_MAIN(TestUsersTab)
#include "tst_userstab.moc"
