#include "commandrunner.h"
#include "systempaths.h"
#include "testsupport.h"
#include "unitfileparser.h"
#include "workerservices.h"
#include "workerthread.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QStringList namesAndStates(const QList<DetailsService>& services) {
    QStringList lines;
    for (const DetailsService& service : services)
        lines << service.unitName + "|" + service.unitFileState;
    return lines;
}
} // namespace

// The service listing: splitting systemctl's output, finding descriptions in
// the unit folders, and a listing that fails instead of coming back empty.
class TestServices : public QObject {
    Q_OBJECT
    const QStringList defaultSearchPath = SystemPaths::searchPath();

    QList<DetailsService> fetch(WorkerServices& worker, bool showAll) {
        QSignalSpy listed(&worker, &WorkerServices::serviceListUpdated);
        worker.requestSetShowFailedServices(showAll);
        return listed.isEmpty() ? QList<DetailsService>()
                                : listed.first().first().value<ServiceListing>().services;
    }

private slots:
    // The listing crosses threads in the tab; here too, run alone or not.
    void initTestCase() { qRegisterMetaType<ServiceListing>(); }

    void cleanup() {
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(defaultSearchPath);
    }

    // The same split as awk's '{print $1 "|" $2}' on captured output.
    void listingSplitsLikeAwk() {
        const QString fixture = TestSupport::testDataPath("services/list-unit-files.txt");
        const CommandResult awk = CommandRunner::run("awk", {"NF {print $1 \"|\" $2}", fixture});
        QVERIFY(awk.succeeded());
        QFile file(fixture);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList parsed;
        for (const auto& entry : UnitFileParser::parseListing(QString::fromUtf8(file.readAll())))
            parsed << entry.unitName + "|" + entry.state;
        QCOMPARE(parsed, awk.outputText().split('\n', Qt::SkipEmptyParts));
    }

    void readsDescription_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected"); // "<none>" when there is no line
        QTest::newRow("plain") << QByteArray("[Unit]\nDescription=Web server\nAfter=network.target\n")
                               << "Web server";
        QTest::newRow("empty value counts") << QByteArray("Description=\nDescription=later\n") << "";
        QTest::newRow("equals kept, CRLF trimmed") << QByteArray("Description= a=b = c \r\n") << "a=b = c";
        QTest::newRow("indented or lower case") << QByteArray("  Description=x\ndescription=y\n") << "<none>";
        QTest::newRow("no newline at end") << QByteArray("Description=last") << "last";
        QTest::newRow("key inside an over-long line")
            << QByteArray("X=" + QByteArray(70000, 'y') + "Description=inside\nDescription=real\n") << "real";
        QTest::newRow("invalid UTF-8")
            << QByteArray("Description=caf\xe9\n") << QString("caf") + QChar(0xfffd);
    }
    void readsDescription() {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const std::optional<QString> description = UnitFileParser::readDescription(buffer);
        QCOMPARE(description.value_or("<none>"), expected);
    }

    // Precedence of the three folders, and a stand-in listing through the worker.
    void fixtureTree() {
        SystemPaths::setRootPrefix(TestSupport::testDataPath("services/root"));
        QTemporaryDir bin;
        QVERIFY(
            TestSupport::writeScript(bin.filePath("systemctl"),
                                     "[ \"$*\" = 'list-unit-files --type=service --no-legend' ] || exit 64\n"
                                     "cat '" +
                                         TestSupport::testDataPath("services/listing.txt").toUtf8() + "'\n"));
        SystemPaths::prependSearchPath(bin.path());

        WorkerServices worker;
        QCOMPARE(namesAndStates(fetch(worker, false)),
                 QStringList({"blank-description.service|enabled", "indented.service|disabled",
                              "legacy-only.service|enabled", "nginx.service|enabled",
                              "../../etc/passwd|enabled", "tab-separated.service|disabled"}));
        const QList<DetailsService> all = fetch(worker, true);
        QCOMPARE(all.size(), 10);
        QCOMPARE(all.last().unitName, QString("name-only.service"));
        QCOMPARE(all.last().unitFileState, QString());

        QMap<QString, QString> descriptions;
        for (const DetailsService& service : all)
            descriptions[service.unitName] = service.description;
        QCOMPARE(descriptions["nginx.service"], QString("Local override of the web server"));
        QCOMPARE(descriptions["indented.service"], QString("Description not found"));
        QCOMPARE(descriptions["legacy-only.service"], QString("Legacy location only"));
        QCOMPARE(descriptions["masked-here.service"], QString("Vendor unit behind a mask"));
        QCOMPARE(descriptions["missing.service"], QString("Description not found"));
    }

    // Listing text that walks out of the unit folders finds nothing, even with
    // a file at the place it leads to; a unit file that is a FIFO is passed
    // over instead of blocking the listing.
    void hostileUnitFiles() {
        QTemporaryDir root;
        const auto write = [&](const QString& path, const QByteArray& text) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };
        const QStringList walkers = {"../../etc/x", "../../../etc/x"};
        for (const QString& folder : WorkerServices::unitFolders()) {
            for (const QString& name : walkers) {
                const QString target = QDir::cleanPath(root.path() + folder + name);
                QVERIFY(target.startsWith(root.path() + "/"));
                QVERIFY(write(target, "Description=Read outside the unit folders\n"));
            }
        }
        const QString fifo = root.path() + "/etc/systemd/system/piped.service";
        QVERIFY(QDir().mkpath(QFileInfo(fifo).absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(write(root.path() + "/usr/lib/systemd/system/piped.service", "Description=Vendor unit\n"));

        QTemporaryDir bin;
        QVERIFY(TestSupport::writeScript(
            bin.filePath("systemctl"), "printf '%s enabled\\n' ../../etc/x ../../../etc/x piped.service\n"));
        SystemPaths::setRootPrefix(root.path());
        SystemPaths::prependSearchPath(bin.path());

        auto* worker = new WorkerServices;
        WorkerThread thread(worker, "hostileunits");
        QList<DetailsService> listed;
        bool answered = false;
        connect(worker, &WorkerServices::serviceListUpdated, this, [&](const ServiceListing& listing) {
            listed = listing.services;
            answered = true;
        });
        thread.start();
        QMetaObject::invokeMethod(worker, "fetchServices", Qt::QueuedConnection);
        const bool inTime = TestSupport::waitFor([&] { return answered; }, 5000);
        if (!inTime) {
            // Let a reader stuck on the FIFO go, so the thread can end.
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            TestSupport::waitFor([&] { return answered; });
        }
        QVERIFY2(inTime, "a FIFO in a unit folder blocked the listing");
        QMap<QString, QString> descriptions;
        for (const DetailsService& service : listed)
            descriptions[service.unitName] = service.description;
        QCOMPARE(descriptions.value("../../etc/x"), QString("Description not found"));
        QCOMPARE(descriptions.value("../../../etc/x"), QString("Description not found"));
        QCOMPARE(descriptions.value("piped.service"), QString("Vendor unit"));
    }
};

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
