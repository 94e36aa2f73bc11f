#include "displaytext.h"
#include "programsettings.h"
#include "safefile.h"
#include "selectionkeeper.h"
#include "systempaths.h"
#include "tabworker.h"
#include "testsupport.h"

#include <QScrollBar>
#include <QSemaphore>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Sample {
    int request = 0;
    QString text;
};

constexpr uid_t account = 4242;
constexpr uid_t otherAccount = 4343;

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
}

bool chownPath(const QString& path, uid_t uid) {
    return ::lchown(QFile::encodeName(path).constData(), uid, uid) == 0;
}
} // namespace

Q_DECLARE_METATYPE(Sample)

// Answers each request with its number and text; "hold" waits for the test
// to let it go, "silent" leaves without answering.
class WorkerSample : public QObject {
    Q_OBJECT
public:
    QSemaphore held;

signals:
    void sampleUpdated(const Sample& sample);

public slots:
    void fetchSample(int request, const QString& text) {
        if (text == QLatin1String("hold"))
            held.acquire();
        if (text == QLatin1String("silent"))
            return;
        emit sampleUpdated({request, text});
    }
};

// The seams in common/: the tab/worker contract, the kept selection of a
// refilled view, file I/O as root and the settings path.
class TestCommon : public QObject {
    Q_OBJECT
    QList<int> answered;
    QList<QThread*> answeredOn;

signals:
    void requestUpdateSample(int request, const QString& text);
    void requestTickSample(int request, const QString& text);

public slots:
    void onSampleDataReady(const Sample& sample) {
        answered << sample.request;
        answeredOn << QThread::currentThread();
    }

private slots:
    // A tick while the previous one is queued or running is dropped, a user
    // request never is; the gate opens again on every way out of the slot;
    // results arrive on the tab's thread; once the worker is gone, a request
    // reaches nothing.
    void requestsAndResults() {
        auto worker = std::make_unique<TabWorker<WorkerSample>>(QStringLiteral("workersample"));
        worker->connectResult(&WorkerSample::sampleUpdated, this, &TestCommon::onSampleDataReady);
        worker->connectRequest(this, &TestCommon::requestUpdateSample, &WorkerSample::fetchSample);
        worker->connectRequest(this, &TestCommon::requestTickSample, &WorkerSample::fetchSample,
                               RequestDelivery::SkipWhileBusy);
        worker->start();
        emit requestTickSample(1, "hold");
        emit requestTickSample(2, "skipped");
        QVERIFY(worker->isBusy());
        emit requestUpdateSample(3, "always");
        worker->object()->held.release();
        QTRY_VERIFY(!worker->isBusy());
        emit requestTickSample(4, "silent");
        QTRY_VERIFY(!worker->isBusy());
        emit requestTickSample(5, "tick");
        emit requestUpdateSample(6, "last");
        QTRY_COMPARE(answered.size(), 4);
        worker.reset();
        emit requestUpdateSample(7, "after");
        // The worker's thread has ended with the TabWorker, so no answer can
        // come later than the events already posted here.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(answered, QList<int>({1, 3, 5, 6}));
        QCOMPARE(answeredOn.count(QThread::currentThread()), 4);
    }

    // A refill that reuses the rows (no model reset) moves the selection to
    // the row that now holds its key, or drops it when the key is gone; the
    // scroll position stays either way.
    void selectionKept_data() {
        QTest::addColumn<bool>("keyStays");
        QTest::newRow("key moves") << true;
        QTest::newRow("key gone") << false;
    }
    void selectionKept() {
        QFETCH(bool, keyStays);
        QTableWidget table(200, 1);
        table.resize(200, 200);
        table.setSelectionBehavior(QAbstractItemView::SelectRows);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        const auto fill = [&](int first, int step) {
            for (int row = 0; row < 200; ++row) {
                if (!table.item(row, 0))
                    table.setItem(row, 0, new QTableWidgetItem);
                table.item(row, 0)->setText(QString::number(first + row * step));
            }
        };
        fill(0, 1);
        table.selectRow(150);
        table.verticalScrollBar()->setValue(40);
        const SelectionKeeper kept(&table);
        fill(keyStays ? 199 : 1000, -1);
        kept.restore();
        QCOMPARE(table.verticalScrollBar()->value(), 40);
        QCOMPARE(table.currentRow(), keyStays ? 49 : -1);
        QCOMPARE(table.selectionModel()->selectedRows().size(), keyStays ? 1 : 0);
    }

    // What a root process may read of a file another account controls.
    void readRules_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("follow");
        QTest::addColumn<int>("owner"); // -1: no owner rule
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("data"); // when read
        QTest::addColumn<bool>("truncated");
        const QByteArray text = "0123456789";
        QTest::newRow("regular") << "regular" << false << -1 << int(SafeFile::Read::Ok) << text << false;
        QTest::newRow("missing") << "missing" << false << -1 << int(SafeFile::Read::Missing) << text << false;
        QTest::newRow("fifo, never waited on")
            << "fifo" << true << -1 << int(SafeFile::Read::Failed) << text << false;
        QTest::newRow("link, refused")
            << "link" << false << -1 << int(SafeFile::Read::Failed) << text << false;
        QTest::newRow("link, followed") << "link" << true << -1 << int(SafeFile::Read::Ok) << text << false;
        QTest::newRow("link to /dev/zero")
            << "zero" << true << -1 << int(SafeFile::Read::Failed) << text << false;
        QTest::newRow("over the limit")
            << "large" << false << -1 << int(SafeFile::Read::Ok) << QByteArray(4096, 'x') << true;
        QTest::newRow("at the limit")
            << "limit" << false << -1 << int(SafeFile::Read::Ok) << QByteArray(4096, 'x') << false;
        QTest::newRow("the account's")
            << "account" << false << int(account) << int(SafeFile::Read::Ok) << text << false;
        QTest::newRow("root's, for the account")
            << "regular" << false << int(account) << int(SafeFile::Read::Ok) << text << false;
        QTest::newRow("another account's")
            << "other" << false << int(account) << int(SafeFile::Read::Failed) << text << false;
    }
    void readRules() {
        QFETCH(QString, kind);
        QFETCH(bool, follow);
        QFETCH(int, owner);
        if ((kind == "account" || kind == "other") && ::geteuid() != 0)
            QSKIP("handing files to other accounts needs root");
        QTemporaryDir dir;
        const QString target = dir.filePath("target");
        const QString path = dir.filePath("file");
        QVERIFY(writeFile(target, "0123456789"));
        if (kind == "regular" || kind == "account" || kind == "other")
            QVERIFY(QFile::copy(target, path));
        if (kind == "account" || kind == "other")
            QVERIFY(chownPath(path, kind == "account" ? account : otherAccount));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == "link" || kind == "zero")
            QVERIFY(QFile::link(kind == "link" ? target : QStringLiteral("/dev/zero"), path));
        if (kind == "large" || kind == "limit")
            QVERIFY(writeFile(path, QByteArray(kind == "large" ? 4097 : 4096, 'x')));

        SafeFile::ReadRules rules;
        rules.maxBytes = 4096;
        rules.followSymlinks = follow;
        if (owner >= 0)
            rules.owner = uid_t(owner);
        // On a thread, so that a read stuck on the FIFO fails the test instead of hanging it.
        auto reading = std::async(std::launch::async, [&] { return SafeFile::read(path, rules); });
        if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            ::close(fd);
            QFAIL("the read waited on a FIFO");
        }
        const SafeFile::Read read = reading.get();
        QTEST(int(read.status), "status");
        if (read.ok()) {
            QTEST(read.data, "data");
            QTEST(read.truncated, "truncated");
        } else {
            QVERIFY(!read.error.isEmpty());
        }
    }

    // Writing as root: through the folder's descriptor, never through a link,
    // with the owner and mode asked for; on failure nothing changes and
    // nothing is left behind.
    void writeRules_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("written");
        QTest::newRow("new file") << "new" << true;
        QTest::newRow("replaces a planted link") << "link" << true;
        QTest::newRow("into the owner's folder") << "ownerFolder" << true;
        QTest::newRow("into another account's folder") << "otherFolder" << false;
        QTest::newRow("folder is another account's link") << "folderLink" << false;
        QTest::newRow("refused by the check") << "refused" << false;
    }
    void writeRules() {
        QFETCH(QString, kind);
        QFETCH(bool, written);
        if (::geteuid() != 0)
            QSKIP("handing files to other accounts needs root");
        QTemporaryDir dir;
        const QString victim = dir.filePath("victim");
        QVERIFY(writeFile(victim, "kept"));
        QString folder = dir.filePath("folder");
        QVERIFY(QDir().mkpath(folder));
        if (kind == "ownerFolder" || kind == "otherFolder")
            QVERIFY(chownPath(folder, kind == "ownerFolder" ? account : otherAccount));
        if (kind == "folderLink") {
            QVERIFY(QFile::link(folder, dir.filePath("linked")));
            QVERIFY(chownPath(dir.filePath("linked"), otherAccount));
            folder = dir.filePath("linked");
        }
        const QString path = folder + "/settings";
        if (kind == "link")
            QVERIFY(QFile::link(victim, path));
        QVERIFY(writeFile(folder + "/settings.old", "old"));

        SafeFile::WriteRules rules;
        rules.mode = 0640;
        rules.owner = account;
        rules.group = account;
        QString checked;
        rules.check = [&](const QString& temporary) {
            checked = temporary;
            return kind != "refused" && contentOf(temporary) == "new";
        };
        QString error;
        QCOMPARE(SafeFile::write(path, "new", rules, &error), written);
        QCOMPARE(error.isEmpty(), written);
        QCOMPARE(contentOf(victim), QByteArray("kept"));
        const QString real = dir.filePath("folder");
        QStringList expected = {"settings.old"};
        if (written) {
            struct stat info {};
            QCOMPARE(::lstat(QFile::encodeName(real + "/settings").constData(), &info), 0);
            QVERIFY(S_ISREG(info.st_mode));
            QCOMPARE(info.st_uid, account);
            QCOMPARE(info.st_gid, gid_t(account));
            QCOMPARE(int(info.st_mode & 07777), 0640);
            QCOMPARE(contentOf(real + "/settings"), QByteArray("new"));
            QVERIFY2(QFileInfo(checked).fileName().startsWith(".settings."), qPrintable(checked));
            expected.prepend("settings");
        }
        QCOMPARE(entriesOf(real), expected);
    }

    // The way to the folder: a link is followed only where root or the
    // file's owner made it in a folder nobody else may change; the folder
    // itself must not be open to others unless it is sticky.
    void folderWalk_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("written");
        QTest::newRow("root's link") << "rootLink" << true;
        QTest::newRow("relative link to a relative link") << "chain" << true;
        QTest::newRow("the owner's link in their folder") << "ownerLink" << true;
        QTest::newRow("root's link in another account's folder") << "linkInOther" << false;
        QTest::newRow("root's link where anybody may write") << "linkInOpen" << false;
        QTest::newRow("root's link where anybody may write, sticky") << "linkInSticky" << true;
        QTest::newRow("link loop") << "loop" << false;
        QTest::newRow("folder anybody may write to") << "open" << false;
        QTest::newRow("sticky folder anybody may write to") << "sticky" << true;
        QTest::newRow("folder another group may write to") << "groupOpen" << false;
        QTest::newRow("folder root's group may write to") << "rootGroup" << true;
    }
    void folderWalk() {
        QFETCH(QString, kind);
        QFETCH(bool, written);
        if (::geteuid() != 0)
            QSKIP("links and folders of other accounts need root");
        QTemporaryDir dir;
        const QString target = dir.filePath("folder");
        const auto folder = [](const QString& path, mode_t mode, uid_t owner = 0, gid_t group = 0) {
            const QByteArray name = QFile::encodeName(path);
            return QDir().mkpath(path) && ::chown(name.constData(), owner, group) == 0 &&
                   ::chmod(name.constData(), mode) == 0;
        };
        const auto link = [](const QString& to, const QString& at, uid_t owner = 0) {
            return QFile::link(to, at) && chownPath(at, owner);
        };
        QVERIFY(folder(target,
                       kind == "open"        ? 0777
                       : kind == "sticky"    ? 01777
                       : kind == "groupOpen" ? 0775
                       : kind == "rootGroup" ? 0770
                                             : 0755,
                       0, kind == "groupOpen" ? otherAccount : 0));
        QString linkFolder = dir.path();
        if (kind == "ownerLink")
            QVERIFY(folder(linkFolder = dir.filePath("home"), 0700, account, account));
        if (kind == "linkInOther")
            QVERIFY(folder(linkFolder = dir.filePath("theirs"), 0755, otherAccount, otherAccount));
        if (kind == "linkInOpen" || kind == "linkInSticky")
            QVERIFY(folder(linkFolder = dir.filePath("open"), kind == "linkInOpen" ? 0777 : 01777));
        QString path = target + "/file";
        if (kind.startsWith("link") || kind == "rootLink" || kind == "ownerLink") {
            QVERIFY(link(target, linkFolder + "/l", kind == "ownerLink" ? account : 0));
            path = linkFolder + "/l/file";
        }
        if (kind == "chain") {
            QVERIFY(QDir().mkpath(dir.filePath("a")));
            QVERIFY(link("../folder", dir.filePath("a/rel")) && link("a/rel", dir.filePath("l")));
            path = dir.filePath("l/file");
        }
        if (kind == "loop") {
            QVERIFY(link("loop", dir.filePath("loop")));
            path = dir.filePath("loop/file");
        }

        SafeFile::WriteRules rules;
        rules.owner = account;
        rules.group = account;
        QString error;
        QCOMPARE(SafeFile::write(path, "new", rules, &error), written);
        QCOMPARE(error.isEmpty(), written);
        QCOMPARE(contentOf(target + "/file"), QByteArray(written ? "new" : "<unreadable>"));
    }

    // A file written in pieces exists only once committed.
    void writerDiscardsUncommitted() {
        QTemporaryDir dir;
        {
            SafeFile::AtomicWriter writer;
            QVERIFY(writer.open(dir.filePath("capture")));
            QVERIFY(writer.write("first") && writer.write("second"));
        }
        QCOMPARE(entriesOf(dir.path()), QStringList());
        SafeFile::AtomicWriter writer;
        QVERIFY(writer.open(dir.filePath("capture")) && writer.write("first") && writer.write("second"));
        QVERIFY(writer.commit());
        QCOMPARE(contentOf(dir.filePath("capture")), QByteArray("firstsecond"));
        QCOMPARE(entriesOf(dir.path()), QStringList({"capture"}));
    }

    // Root writes into a folder of a system account (polkitd's rules folder)
    // only while nobody else may write there; "system" ends at login.defs'
    // UID_MIN, and nobody (65534) is no system account.
    void systemAccountsFolder_data() {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("loginDefs"); // empty: no file
        QTest::addColumn<bool>("written");
        QTest::newRow("0700") << 600u << 0700 << QByteArray() << true;
        QTest::newRow("0755") << 600u << 0755 << QByteArray() << true;
        QTest::newRow("group may write") << 600u << 0770 << QByteArray() << false;
        QTest::newRow("others may write") << 600u << 0703 << QByteArray() << false;
        QTest::newRow("regular by login.defs") << 600u << 0700 << QByteArray("UID_MIN\t\t\t 500\n") << false;
        QTest::newRow("nobody") << 65534u << 0700 << QByteArray() << false;
    }
    void systemAccountsFolder() {
        QFETCH(uint, owner);
        QFETCH(int, mode);
        QFETCH(QByteArray, loginDefs);
        QFETCH(bool, written);
        if (::geteuid() != 0)
            QSKIP("handing folders to other accounts needs root");
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath("etc")) && QDir().mkpath(root.filePath("rules.d")));
        if (!loginDefs.isEmpty())
            QVERIFY(writeFile(root.filePath("etc/login.defs"), loginDefs));
        const QByteArray folder = QFile::encodeName(root.filePath("rules.d"));
        QVERIFY(::chown(folder.constData(), owner, 0) == 0 && ::chmod(folder.constData(), mode_t(mode)) == 0);
        SystemPaths::setRootPrefix(root.path());
        const auto restore = qScopeGuard([] { SystemPaths::setRootPrefix(QString()); });
        SafeFile::WriteRules rules;
        rules.mode = 0644;
        QString error;
        QCOMPARE(SafeFile::write(root.filePath("rules.d/99-x.rules"), "new", rules, &error), written);
        QCOMPARE(error.isEmpty(), written);
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(root.filePath("rules.d/99-x.rules")).constData(), &info) == 0,
                 written);
        if (written) {
            QCOMPARE(info.st_uid, uid_t(0));
            QCOMPARE(int(info.st_mode & 07777), 0644);
        }
        QCOMPARE(entriesOf(root.filePath("rules.d")).size(), written ? 1 : 0);
    }

    void firstRegularUidOfLoginDefs() {
        const QByteArray debian = "#\n# Min/max values for automatic uid selection in useradd(8)\n#\n"
                                  "UID_MIN\t\t\t 1000\nUID_MAX\t\t\t60000\n# System accounts\n"
                                  "#SYS_UID_MIN\t\t  100\n#SYS_UID_MAX\t\t  999\n";
        QCOMPARE(SafeFile::firstRegularUidFrom(debian, 7), uid_t(1000));
        QCOMPARE(SafeFile::firstRegularUidFrom("UID_MIN 0x1F4\n", 7), uid_t(500));
        QCOMPARE(SafeFile::firstRegularUidFrom("#UID_MIN 500\nSYS_UID_MIN 100\n", 7), uid_t(7));
        QCOMPARE(SafeFile::firstRegularUidFrom("UID_MIN lots\n", 7), uid_t(7));
    }

    void removeRules() {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("folder")));
        QVERIFY(writeFile(dir.filePath("folder/file"), "x"));
        QVERIFY(QFile::link(dir.filePath("folder"), dir.filePath("linked")));
        if (::geteuid() == 0)
            QVERIFY(chownPath(dir.filePath("linked"), otherAccount));
        QString error;
        QVERIFY(!SafeFile::remove(dir.filePath("folder/")));
        QVERIFY(!SafeFile::remove(dir.filePath("linked/file"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFile::exists(dir.filePath("folder/file")));
        QVERIFY(SafeFile::remove(dir.filePath("folder/file")));
        QVERIFY(!QFile::exists(dir.filePath("folder/file")));
        QVERIFY(SafeFile::remove(dir.filePath("folder/file")));
        QVERIFY(SafeFile::remove(dir.filePath("nowhere/file")));
    }

    void settingsPath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file"); // empty: refused
        QTest::newRow("plain") << "alice"
                               << "/root/.tessmar/settings_alice";
        QTest::newRow("machine account") << "Host_1.x-y$"
                                         << "/root/.tessmar/settings_Host_1.x-y$";
        for (const char* name : {"", ".", "..", "../x", "a/b", ".hidden", "-o", "a\n", "a$b"})
            QTest::newRow(qPrintable("refused: " + QByteArray(name).toPercentEncoding()))
                << QString(name) << "";
    }
    void settingsPath() {
        QFETCH(QString, name);
        QFETCH(QString, file);
        SystemPaths::setRootPrefix("/tmp/prefix");
        const QString path = ProgramSettings::filePath(name);
        SystemPaths::setRootPrefix(QString());
        QCOMPARE(path, file.isEmpty() ? QString() : "/tmp/prefix" + file);
    }

    // Every control that can reorder what follows it is shown as a mark, so
    // a name cannot pass for another; ordinary text, right-to-left scripts
    // and joiners stay as they are.
    void displaySafeText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const char16_t controls[] = {0x061C, 0x200E, 0x200F, 0x202A, 0x202B, 0x202C,
                                     0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069};
        for (const char16_t control : controls) {
            const QString mark =
                QStringLiteral("<U+%1>").arg(int(control), 4, 16, QLatin1Char('0')).toUpper();
            QTest::newRow(qPrintable(mark)) << QString("a") + QChar(control) + "b"
                                            << "a" + mark + "b";
        }
        QTest::newRow("plain") << QString("gnp.exe") << QString("gnp.exe");
        QTest::newRow("hebrew") << QString::fromUtf8("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d")
                                << QString::fromUtf8("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d");
        QTest::newRow("zero-width joiner") << QString::fromUtf8("a\xe2\x80\x8d"
                                                                "b")
                                           << QString::fromUtf8("a\xe2\x80\x8d"
                                                                "b");
    }
    void displaySafeText() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(::displaySafeText(text), shown);
        QCOMPARE(hasBidiControl(text), text != shown);
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
