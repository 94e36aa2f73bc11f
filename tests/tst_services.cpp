#include "commandrunner.h"
#include "systempaths.h"
#include "testsupport.h"
#include "unitfileparser.h"
#include "workerservices.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

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
                                : listed.first().first().value<QList<DetailsService>>();
    }

private slots:
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
        // Listing text never leads the reader out of the unit folders.
        QCOMPARE(descriptions["../../etc/passwd"], QString("Description not found"));
    }

    // On this machine: the same units as systemctl lists, and descriptions
    // that are the Description= lines of their files.
    void matchesThisMachine() {
        const CommandResult real =
            CommandRunner::run("systemctl", {"list-unit-files", "--type=service", "--no-legend"});
        if (!real.started)
            QSKIP("systemctl is not installed");
        QVERIFY(real.succeeded());
        QStringList expectedAll;
        QStringList expectedShort;
        for (const QString& line : real.outputText().split('\n', Qt::SkipEmptyParts)) {
            const QStringList words = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
            expectedAll << words.value(0) + "|" + words.value(1);
            if (words.value(1) == "enabled" || words.value(1) == "disabled")
                expectedShort << expectedAll.last();
        }
        WorkerServices worker;
        QCOMPARE(namesAndStates(fetch(worker, false)), expectedShort);
        const QList<DetailsService> all = fetch(worker, true);
        QCOMPARE(namesAndStates(all), expectedAll);
        for (const DetailsService& service : all) {
            if (service.description == "Description not found")
                continue;
            bool inAFile = false;
            for (const QString& folder : WorkerServices::unitFolders()) {
                QFile file(folder + service.unitName);
                if (file.open(QIODevice::ReadOnly | QIODevice::Text))
                    inAFile = inAFile || QString::fromUtf8(file.readAll())
                                             .split('\n')
                                             .contains("Description=" + service.description);
            }
            QVERIFY2(inAFile, qPrintable(service.unitName));
        }
    }
};

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
