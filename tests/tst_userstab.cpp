#include "dialogdeleteuser.h"
#include "startup.h"
#include "systempaths.h"
#include "tabusers.h"
#include "testpictures.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "usersortproxymodel.h"

#include "dialogedituser.h"

#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using TestSupport::peakMemory;
using TestSupport::resetPeakMemory;

QStringList threadsNamed(const QString& name) {
    QStringList found;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name.toUtf8())
            found << task;
    }
    return found;
}

// Notes whoever opens a FIFO for reading: a writer's non-blocking open only
// succeeds while a reader waits, and it lets that reader go, so nothing hangs.
class FifoWatch {
public:
    explicit FifoWatch(const QString& path) : path(QFile::encodeName(path)) {
        watcher = std::thread([this] {
            while (!stop) {
                const int fd = ::open(this->path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    ++readers;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~FifoWatch() {
        stop = true;
        watcher.join();
    }
    std::atomic<int> readers{0};

private:
    QByteArray path;
    std::atomic<bool> stop{false};
    std::thread watcher;
};

const QColor secretColour(1, 254, 3);
const QColor bombColour(254, 1, 3);
const QColor plainColour(3, 1, 254);

bool shows(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}
bool shows(const QIcon& icon, const QColor& colour) {
    return shows(icon.pixmap(126, 126).toImage(), colour);
}
} // namespace

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

    // Notes the entries of each menu shown, as it is shown, and closes it:
    // a menu that another client's input closes first is still read, and
    // nothing is left to run after the reading test has returned.
    class MenuReader : public QObject {
    public:
        MenuReader() { qApp->installEventFilter(this); }
        ~MenuReader() override { qApp->removeEventFilter(this); }
        QMap<QString, bool> entries;

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show)
                if (auto* menu = qobject_cast<QMenu*>(watched)) {
                    for (QAction* action : menu->actions())
                        entries.insert(action->text(), action->isEnabled());
                    QTimer::singleShot(0, menu, &QMenu::close);
                }
            return false;
        }
    };

    // The enabled state of each entry of the context menu opened at pos.
    QMap<QString, bool> contextMenuAt(const QPoint& pos) {
        MenuReader reader;
        emit ui->listViewUsers->customContextMenuRequested(pos);
        return reader.entries;
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
        // The reset seen may be of a list asked for before the check box.
        const QStringList everyone{"root", "daemon", "sysacct", "alice", "bob", "svc", "nobody"};
        TestSupport::waitFor([&] { return shownNames() == everyone; });
        QCOMPARE(shownNames(), everyone);
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

    // The filter holds across a refresh: the accounts it matches come back
    // with the selected one still selected, and Edit and Delete stay on.
    void filterHeldAcrossRefresh() {
        ui->lineEditUsersFilter->setText(QStringLiteral("bo"));
        select(QStringLiteral("bob"));
        ui->tabWidgetMainTabs->setCurrentIndex(0);
        QVERIFY(refresh([&] { ui->tabWidgetMainTabs->setCurrentWidget(ui->tab_6); }));
        QCOMPARE(shownNames(), QStringList({"bob", "nobody"}));
        QCOMPARE(ui->listViewUsers->currentIndex().data(UserSortProxyModel::UserNameRole).toString(),
                 QStringLiteral("bob"));
        QVERIFY(ui->pushButtonEditUser->isEnabled() && ui->pushButtonDeleteUser->isEnabled());
        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            window->grab().save(folder + QStringLiteral("/users-filter-after-refresh.png"));
        ui->lineEditUsersFilter->clear();
    }

    void emptySpaceOffersOnlyAdd() {
        ui->listViewUsers->clearSelection();
        const QMap<QString, bool> menu = contextMenuAt(
            QPoint(ui->listViewUsers->viewport()->width() - 5, ui->listViewUsers->viewport()->height() - 5));
        QCOMPARE(menu.value(QStringLiteral("Add User...")), true);
        QCOMPARE(menu.value(QStringLiteral("Edit User..."), true), false);
        QCOMPARE(menu.value(QStringLiteral("Delete User..."), true), false);
    }

    // Accounts changed with other tools appear when the page is shown again;
    // a refresh that drops the selected account leaves Edit and Delete off.
    void followsChangesMadeElsewhere() {
        const QString passwd = root.path() + QStringLiteral("/etc/passwd");
        QFile file(passwd);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray original = file.readAll();
        file.close();
        select(QStringLiteral("bob"));
        QVERIFY(ui->pushButtonEditUser->isEnabled() && ui->pushButtonDeleteUser->isEnabled());
        QByteArray changed = original;
        changed.replace("bob:x:1001:1001:", "carol:x:1003:1003:");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(changed);
        file.close();
        ui->tabWidgetMainTabs->setCurrentIndex(0);
        ui->tabWidgetMainTabs->setCurrentWidget(ui->tab_6);
        QTRY_VERIFY(shownNames().contains(QStringLiteral("carol")));
        QVERIFY(!shownNames().contains(QStringLiteral("bob")));
        QVERIFY(!ui->pushButtonEditUser->isEnabled());
        QVERIFY(!ui->pushButtonDeleteUser->isEnabled());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(original);
        file.close();
        QVERIFY(refresh([&] { tab->updateUsersTable(); }));
    }

    // Pictures other users put at ~/.face to attack the root program: SVGs
    // that link a FIFO (at start-up, and swapped in once the page is shown),
    // that declare 23000x23000 pixels or link a picture only root may read,
    // a PNG of 3000x3000 and a JPEG of 5000x5000 pixels, a GIF of 35 bytes
    // whose one pixel lies on a screen of 16000x16000; pictures within
    // those sizes that take long or much memory to decode (a progressive
    // JPEG of 55,000 scans, a 16-bit PNG, progressive colour and CMYK JPEGs
    // of 4096x4096); a PNG carrying 100 MB of compressed text; plus a name
    // with a right-to-left override, and login records made a sparse file
    // of 4 GB. Every account is listed at once and the pictures follow,
    // memory stays low, nothing waits on the FIFO, no root-only pixel is
    // shown, and quitting does not wait.
    void hostilePictures() {
        QTemporaryDir machine;
        const QString home = machine.path() + QStringLiteral("/home/");
        const QString secret = machine.path() + QStringLiteral("/root/secret.png");
        const QString fifo = home + QStringLiteral("fifo/pipe");
        const QString spoofed = QString::fromUtf8("gnp\xe2\x80\xae"
                                                  "exe.");
        const QStringList names{"plain", "fifo",        "huge", "peek",   "bomb",    "jpegbomb", "slow",
                                "deep",  "progressive", "cmyk", "screen", "textual", spoofed,    "none"};
        const QStringList hostile{"fifo", "huge", "peek",        "bomb", "jpegbomb",
                                  "slow", "deep", "progressive", "cmyk", "screen"};
        QVERIFY(QDir().mkpath(machine.path() + QStringLiteral("/etc")) &&
                QDir().mkpath(machine.path() + QStringLiteral("/root")));
        QByteArray passwd = "root:x:0:0:root:/root:/bin/bash\n";
        for (int i = 0; i < names.size(); ++i) {
            const QString folder = home + (names.at(i) == spoofed ? QStringLiteral("spoof") : names.at(i));
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 1000 + i, 1000 + i) == 0);
            passwd += QStringLiteral("%1:x:%2:%2::%3:/bin/bash\n")
                          .arg(names.at(i))
                          .arg(1000 + i)
                          .arg(folder)
                          .toUtf8();
        }
        // Then a big site: 20,000 more accounts, and a NUL line among them.
        constexpr int others = 20000;
        QByteArray bigSite = passwd;
        for (int i = 0; i < others; ++i) {
            bigSite += "user" + QByteArray::number(i) + ":x:" + QByteArray::number(2000 + i) +
                       ":100::/nonexistent:/bin/sh\n";
            if (i == others / 2)
                bigSite += QByteArray(3, '\0') + ":x:3:3::/:/bin/sh\n";
        }
        {
            QFile out(machine.path() + QStringLiteral("/etc/passwd"));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(passwd);
            QFile group(machine.path() + QStringLiteral("/etc/group"));
            QVERIFY(group.open(QIODevice::WriteOnly));
            group.write("root:x:0:\n");
        }
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(secretColour);
        QVERIFY(picture.save(secret, "PNG"));
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0600) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        const auto linking = [](const QString& target) {
            return QStringLiteral(
                       "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                       "width='64' height='64'><image width='64' height='64' xlink:href='%1'/></svg>")
                .arg(target)
                .toUtf8();
        };
        const auto face = [&](const QString& name, const QByteArray& content) {
            const QString path =
                home + (name == spoofed ? QStringLiteral("spoof") : name) + QStringLiteral("/.face");
            QFile::remove(path);
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(content);
            out.close();
            const int uid = 1000 + names.indexOf(name);
            QVERIFY(::chown(QFile::encodeName(path).constData(), uid, uid) == 0);
        };
        const auto png = [](const QImage& image) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return bytes;
        };
        picture.fill(plainColour);
        face(QStringLiteral("plain"), png(picture));
        face(spoofed, png(picture));
        face(QStringLiteral("fifo"), linking(fifo));
        face(QStringLiteral("huge"), "<svg xmlns='http://www.w3.org/2000/svg' width='23000' height='23000'>"
                                     "<rect width='23000' height='23000' fill='red'/></svg>");
        face(QStringLiteral("peek"), linking(secret));
        // Small files of many pixels: a PNG within the side limit but over
        // the pixel count, a JPEG over the side limit.
        QImage bomb(3000, 3000, QImage::Format_Mono);
        bomb.setColorTable({bombColour.rgb(), qRgb(0, 0, 0)});
        bomb.fill(0);
        face(QStringLiteral("bomb"), png(bomb));
        QImage wide(5000, 5000, QImage::Format_Grayscale8);
        wide.fill(200);
        QByteArray jpeg;
        QBuffer jpegBuffer(&jpeg);
        jpegBuffer.open(QIODevice::WriteOnly);
        QVERIFY(wide.save(&jpegBuffer, "JPEG", 10));
        face(QStringLiteral("jpegbomb"), jpeg);
        // Within the size limits: minutes of decoding, and 64 to 130 MB of it.
        face(QStringLiteral("slow"),
             TestPictures::withRepeatedScan(TestPictures::jpeg(QSize(2048, 2048), 1, true), 55000));
        face(QStringLiteral("deep"), TestPictures::deepPng(QSize(2048, 2048)));
        face(QStringLiteral("progressive"), TestPictures::jpeg(QSize(4096, 4096), 3, true));
        face(QStringLiteral("cmyk"), TestPictures::jpeg(QSize(4096, 4096), 4, true));
        face(QStringLiteral("screen"), TestPictures::gif(QSize(16000, 16000), QRect(0, 0, 1, 1)));
        face(QStringLiteral("textual"), png(picture).insert(33, TestPictures::compressedTexts(100, 1 << 20)));
        QVERIFY(QDir().mkpath(machine.path() + QStringLiteral("/var/run")));
        {
            QFile utmp(machine.path() + QStringLiteral("/var/run/utmp"));
            QVERIFY(utmp.open(QIODevice::WriteOnly) && utmp.resize(4LL * 1024 * 1024 * 1024));
        }

        struct RootFor {
            QString previous = SystemPaths::rootPrefix();
            explicit RootFor(const QString& path) { SystemPaths::setRootPrefix(path); }
            ~RootFor() { SystemPaths::setRootPrefix(previous); }
        } rootFor(machine.path());
        FifoWatch watch(fifo);
        const int workersBefore = threadsNamed(QStringLiteral("workerusers")).size();
        std::unique_ptr<QMainWindow> hostileWindow(new QMainWindow);
        Ui::MainWindow form;
        form.setupUi(hostileWindow.get());
        form.tabWidgetMainTabs->setCurrentWidget(form.tab_6);
        hostileWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(hostileWindow.get()));
        QAbstractItemModel* listed = form.listViewUsers->model();
        const auto tile = [&](const QString& name) {
            for (int row = 0; listed && row < listed->rowCount(); ++row)
                if (listed->index(row, 0).data(UserSortProxyModel::UserNameRole).toString() == name)
                    return listed->index(row, 0);
            return QModelIndex();
        };
        resetPeakMemory();
        const qint64 memoryBefore = peakMemory();
        QElapsedTimer clock;
        clock.start();
        auto* hostileTab = new TabUsers(&form, hostileWindow.get());
        listed = form.listViewUsers->model();
        const auto shownFor = [&](const QString& name) {
            return tile(name)
                .data(UserSortProxyModel::PlainIconRole)
                .value<QIcon>()
                .pixmap(126, 126)
                .toImage();
        };
        // The accounts come first, every one with the generic picture.
        bool listedWithPicture = true;
        connect(listed, &QAbstractItemModel::rowsInserted,
                [&] { listedWithPicture = shows(shownFor(QStringLiteral("plain")), plainColour); });
        QVERIFY(TestSupport::waitFor([&] { return listed->rowCount() == names.size(); }, 2000));
        qInfo("Every account listed after %lld ms", clock.elapsed());
        QVERIFY(!listedWithPicture);
        // Pictures are read in the list's order, the hostile ones before this one.
        QVERIFY(TestSupport::waitFor([&] { return shows(shownFor(spoofed), plainColour); }));
        const qint64 grown = peakMemory() - memoryBefore;
        qInfo("Every picture read after %lld ms; peak memory grew by %lld kB", clock.elapsed(), grown / 1024);
        QVERIFY2(grown < 32 * 1024 * 1024, qPrintable(QString::number(grown)));
        // Every hostile picture gives way to the generic one; the text is
        // never read, and the picture it came with shows.
        for (const QString& name : hostile)
            QVERIFY2(shownFor(name) == shownFor(QStringLiteral("none")), qPrintable(name));
        QVERIFY(shows(shownFor(QStringLiteral("plain")), plainColour));
        QVERIFY(shows(shownFor(QStringLiteral("textual")), plainColour));
        QCOMPARE(tile(spoofed).data(UserSortProxyModel::ShownNameRole).toString(),
                 QStringLiteral("gnp<U+202E>exe."));

        // Swapped in after the page loaded: the dialogs show the picture the
        // list read and never open the file again.
        face(QStringLiteral("plain"), linking(fifo));
        QStringList opened;
        QPixmap avatar;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened << dialog->metaObject()->className();
                if (auto* edit = qobject_cast<DialogEditUser*>(dialog))
                    avatar = edit->findChild<QLabel*>(QStringLiteral("labelUserAvatar"))
                                 ->pixmap(Qt::ReturnByValue);
                dialog->reject();
            }
        });
        closer.start(20);
        form.listViewUsers->setCurrentIndex(tile(QStringLiteral("plain")));
        hostileTab->openDialogEditUser();
        hostileTab->openDialogDeleteUser();
        closer.stop();
        QCOMPARE(opened, (QStringList{"DialogEditUser", "DialogDeleteUser"}));
        QVERIFY(shows(avatar.toImage(), plainColour));
        QVERIFY(TestSupport::waitFor([&] {
            return shows(tile(QStringLiteral("plain")).data(UserSortProxyModel::PlainIconRole).value<QIcon>(),
                         plainColour);
        }));
        // The page shown again reads the accounts again, still without the
        // FIFO, and lists the big site whole.
        {
            QFile out(machine.path() + QStringLiteral("/etc/passwd"));
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bigSite);
        }
        form.tabWidgetMainTabs->setCurrentIndex(0);
        clock.restart();
        form.tabWidgetMainTabs->setCurrentWidget(form.tab_6);
        const bool allListed =
            TestSupport::waitFor([&] { return listed->rowCount() == names.size() + others; });
        QVERIFY2(allListed, qPrintable(QString::number(listed->rowCount())));
        qInfo("All %d accounts listed after %lld ms", listed->rowCount(), clock.elapsed());
        QVERIFY(
            !tile(QStringLiteral("plain")).data(UserSortProxyModel::PlainIconRole).value<QIcon>().isNull());

        // Quitting in the middle of a refresh ends the worker thread at once.
        QCOMPARE(threadsNamed(QStringLiteral("workerusers")).size(), workersBefore + 1);
        hostileTab->updateUsersTable();
        clock.restart();
        hostileWindow.reset();
        qInfo("The page closed in %lld ms", clock.elapsed());
        // The page never waits long for it; the worker leaves at its next
        // check, which a slow build may reach only after the page is gone.
        QTRY_COMPARE(threadsNamed(QStringLiteral("workerusers")).size(), workersBefore);
        QCOMPARE(watch.readers.load(), 0);
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
