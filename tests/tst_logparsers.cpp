#include "logparsers.h"
#include "logsearchindex.h"
#include "logtable.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace LogParsers;

namespace {
QByteArray fixture(const QString& name) {
    return TestSupport::testData(QStringLiteral("logs/") + name);
}
} // namespace

// The parsers of the other pages of the Logs tab (dmesg, boot.log, dpkg.log,
// Flatpak's history, the login records) on captured-looking sources, and the
// pages' filter and sorting.
class TestLogParsers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void dmesgOutput() {
        const QList<DetailsLogsDmesgLog> records = parseDmesg(fixture("dmesg.txt"));
        QCOMPARE(records.size(), 8);
        QCOMPARE(records[0].timestamp, QStringLiteral("0.000000"));
        QCOMPARE(records[0].message, QStringLiteral("Linux version 6.1"));
        // A continuation line keeps the time of the line it continues.
        QCOMPARE(records[3].timestamp, QStringLiteral("0.004000"));
        QCOMPARE(records[3].message, QStringLiteral("Please enable it if your BIOS has the CPPC option."));
        QCOMPARE(records[5].severity, 2);
        QCOMPARE(records[6].timestamp, QStringLiteral("100.5"));
        QCOMPARE(records[6].severity, 1);
        QVERIFY(parseDmesg(QByteArray()).isEmpty());
        // One before any timed line is kept, without a time.
        const QList<DetailsLogsDmesgLog> orphan = parseDmesg("   orphan continuation\n[ 1.0] x\n");
        QCOMPARE(orphan.size(), 2);
        QVERIFY(orphan[0].timestamp.isEmpty());
        QCOMPARE(orphan[0].message, QStringLiteral("orphan continuation"));
        // A time further on in a line is part of its text.
        const QList<DetailsLogsDmesgLog> inside = parseDmesg("[ 1.0] x\n    name [ 9.0] fake\n");
        QCOMPARE(inside[1].timestamp, QStringLiteral("1.0"));
        QCOMPARE(inside[1].message, QStringLiteral("name [ 9.0] fake"));
    }

    void bootLog() {
        const QList<DetailsLogsBootLog> records = parseBootLog(fixture("boot.log"));
        QStringList got;
        for (const DetailsLogsBootLog& r : records)
            got << r.status + '|' + r.message + '|' + QString::number(r.severity);
        QCOMPARE(got,
                 QStringList(
                     {"[ OK ]|Started Journal Service.|0", "[ OK ]|Reached target Local File Systems.|0",
                      "[ FAILED ]|Failed to start X.|2", "[ FAILED ]|Failed to start Load Kernel Modules.|2",
                      "|Starting Network Manager...|0", "|Plain text line|0"}));
        QVERIFY(records.first().timestamp.isEmpty());
        // A power cut leaves NULs where the file had grown: what follows them is read.
        QByteArray damaged = fixture("boot.log");
        damaged.insert(damaged.indexOf('\n') + 1, QByteArray(64, '\0'));
        const QList<DetailsLogsBootLog> afterNuls = parseBootLog(damaged);
        QCOMPARE(afterNuls.size(), records.size());
        QCOMPARE(afterNuls.last().message, records.last().message);
    }

    void dpkgLogFromARealSystem() {
        const QList<DetailsLogsDpkgLog> records = parseDpkgLog(fixture("dpkg.log"));
        QMap<QString, int> actions;
        for (const DetailsLogsDpkgLog& r : records)
            actions[r.action] += 1;
        QCOMPARE(actions, (QMap<QString, int>{{"install", 4}, {"upgrade", 7}, {"remove", 3}}));
        const auto find = [&](const QString& name, const QString& action) {
            for (const DetailsLogsDpkgLog& r : records)
                if (r.packageName == name && r.action == action)
                    return r;
            return DetailsLogsDpkgLog();
        };
        // An install or upgrade shows the version installed, an upgrade the
        // one it replaced after it; a removal the version removed.
        QCOMPARE(find("libgdbm6", "install").version, QStringLiteral("1.23-3"));
        QCOMPARE(find("libgdbm6", "install").architecture, QStringLiteral("amd64"));
        QCOMPARE(find("tzdata", "upgrade").version, QStringLiteral("2025b-0+deb12u2 (was 2025b-0+deb12u1)"));
        QCOMPARE(find("tzdata", "upgrade").architecture, QStringLiteral("all"));
        QCOMPARE(find("libc++-dev", "remove").version, QStringLiteral("1:14.0-55.7~deb12u1"));
        QCOMPARE(find("libc++-dev", "remove").timestamp, QStringLiteral("2026-12-06 20:23:07"));
        // Reinstalling the same version names it once.
        QCOMPARE(parseDpkgLog("2025-01-01 10:00:00 install foo:amd64 1.0 1.0\n").first().version,
                 QStringLiteral("1.0"));
    }

    void flatpakHistory_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("aligned columns")
            << fixture("flatpak-history.txt")
            << QStringList({"1|install|org.mozilla.firefox|123.0|app|flathub",
                            "2|update|org.mozilla.firefox|124.0|app|flathub",
                            "3|uninstall|org.gnome.Boxes|45.0|app|flathub",
                            "4|install|org.freedesktop.Platform|23.08|runtime|Unknown",
                            "5|install|org.example.Time|1.0|app|flathub"});
        QTest::newRow("tab separated")
            << fixture("flatpak-history-tabs.txt")
            << QStringList({"1|install|org.gnome.Maps|45.1|app|flathub", "2|remove remote||||flathub"});
        // Adding a remote names the remote where the application would stand.
        QTest::newRow("add remote") << QByteArray("Time\tChange\tApplication\tVersion\tType\tRemote\n"
                                                  "Mon 04 Mar 2025 10:00:00 CET\tadd remote\t\t\t\tflathub\n")
                                    << QStringList({"1|add remote|flathub|||flathub"});
    }
    void flatpakHistory() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const DetailsLogsFlatpakLog& r : parseFlatpakHistory(text))
            got << QStringList{QString::number(r.id), r.action, r.appId, r.version, r.type, r.remote}.join(
                '|');
        QCOMPARE(got, expected);
    }

    // The page's filter: case-blind, per field, over every row at once.
    void searchIndex_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<QString>("rows");
        QTest::newRow("empty shows all") << ""
                                         << "012";
        QTest::newRow("ascii, any case") << "ALICE"
                                         << "0";
        QTest::newRow("in two rows") << "e"
                                     << "01";
        QTest::newRow("umlauts fold too") << "ärger"
                                          << "1";
        QTest::newRow("not across fields") << "sshdaccepted"
                                           << "";
        QTest::newRow("not across rows") << "alicekernel"
                                         << "";
        QTest::newRow("line break") << "sshd\naccepted"
                                    << "";
    }
    void searchIndex() {
        QFETCH(QString, needle);
        QFETCH(QString, rows);
        const QByteArray fields[] = {"sshd",
                                     "Accepted for ALICE",
                                     "kernel",
                                     "\xc3\x84rger mit Gr\xc3\xb6\xc3\x9f"
                                     "e",
                                     "cron",
                                     "x"};
        LogSearchIndex index;
        for (int row = 0; row < 3; ++row) {
            const LogSearchIndex::Field pair[] = {
                {fields[2 * row].constData(), fields[2 * row].size()},
                {fields[2 * row + 1].constData(), fields[2 * row + 1].size()}};
            index.addRow(pair, 2);
        }
        const std::vector<bool> holding = index.rowsHolding(needle);
        QString got;
        for (int row = 0; row < index.rowCount(); ++row)
            got += holding[size_t(row)] ? QString::number(row) : QString();
        QCOMPARE(got, rows);
    }

    // Sorting a page: by text in byte order (long common beginnings
    // included), by key with the text after it, equal rows in the order they
    // had; cancelling leaves the order alone.
    void sortingRows_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        for (const bool descending : {false, true}) {
            QTest::addRow("by key%s", descending ? ", descending" : "") << 0 << descending;
            QTest::addRow("by text%s", descending ? ", descending" : "") << 1 << descending;
        }
    }
    void sortingRows() {
        QFETCH(int, column);
        QFETCH(bool, descending);
        QRandomGenerator random(7);
        LogTable table(2, 0b10u, true);
        static const char* const starts[] = {"Started Session ", "Started session", "Start", "", "\xc3\xa4"};
        const int count = 30000; // past one sorting run
        for (int row = 0; row < count; ++row) {
            const QString text =
                QString::fromUtf8(starts[random.bounded(5)]) + QString::number(random.bounded(40));
            table.appendRow({QStringLiteral("t%1").arg(random.bounded(3)), text}, LogLook::Information,
                            random.bounded(50));
        }
        std::vector<quint32> order(static_cast<size_t>(count));
        for (int row = 0; row < count; ++row)
            order[size_t(row)] = quint32(count - 1 - row); // not the order rows were added in
        const std::vector<quint32> before = order;
        QVERIFY(table.sortRows(order, column, descending));
        // What a stable sort of the texts (and keys) gives.
        std::vector<quint32> expected = before;
        const auto less = [&](quint32 a, quint32 b) {
            if (column == 0 && table.key(int(a)) != table.key(int(b)))
                return table.key(int(a)) < table.key(int(b));
            return table.text(int(a), column).toUtf8() < table.text(int(b), column).toUtf8();
        };
        std::stable_sort(expected.begin(), expected.end(),
                         [&](quint32 a, quint32 b) { return descending ? less(b, a) : less(a, b); });
        QVERIFY(order == expected);
        if (column == 0) {
            table.sortByKey();
            std::vector<quint32> fromAdded(static_cast<size_t>(count));
            for (int row = 0; row < count; ++row)
                fromAdded[size_t(row)] = quint32(row);
            QVERIFY(table.sortRows(fromAdded, 0, descending));
            QVERIFY(table.rowsByKey(descending) == fromAdded);
        }
        std::atomic<bool> cancel{true};
        std::vector<quint32> untouched = before;
        QVERIFY(!table.sortRows(untouched, column, descending, &cancel));
        QVERIFY(untouched == before);
    }

    void parseDuration_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("still logged in") << "still logged in" << qint64(0);
        QTest::newRow("minutes") << "00:05" << qint64(300);
        QTest::newRow("days") << "2+03:04" << qint64(2 * 86400 + 3 * 3600 + 4 * 60);
        QTest::newRow("no colon") << "crash" << qint64(0);
        QTest::newRow("years of uptime do not overflow") << "30000+00:00" << qint64(30000) * 86400;
    }
    void parseDuration() {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        QCOMPARE(LogParsers::parseDuration(text), seconds);
    }

    // One tool that fails leaves what the others told; what only it could
    // tell is not known (N/A on the page).
    void loginSummary_data() {
        QTest::addColumn<bool>("faillog");
        QTest::addColumn<bool>("last");
        QTest::addColumn<bool>("who");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("every tool") << true << true << true
                                    << QStringList({"alice|2|no|1d 09:28:00|0|5|Mar  3 09:12:01 2025",
                                                    "bob|1|yes|1d 02:00:00|3|5|Mar 3 08:00:00 2025",
                                                    "carol|0|no|0d 00:00:00|0|0|Never logged in"});
        // The accounts then come from /etc/passwd.
        QTest::newRow("faillog failed") << false << true << true
                                        << QStringList({"alice|2|no|1d 09:28:00|-1|-1|Mar  3 09:12:01 2025",
                                                        "bob|1|yes|1d 02:00:00|-1|-1|Mar 3 08:00:00 2025",
                                                        "carol|0|no|0d 00:00:00|-1|-1|Never logged in"});
        QTest::newRow("last failed") << true << false << true
                                     << QStringList({"alice|-1|no||0|5|",
                                                     "bob|-1|yes||3|5|Mar 3 08:00:00 2025",
                                                     "carol|-1|no||0|0|"});
        QTest::newRow("who failed") << true << true << false
                                    << QStringList({"alice|2|?|1d 09:28:00|0|5|Mar  3 09:12:01 2025",
                                                    "bob|0|?|0d 00:00:00|3|5|",
                                                    "carol|0|?|0d 00:00:00|0|0|"});
    }
    void loginSummary() {
        QFETCH(bool, faillog);
        QFETCH(bool, last);
        QFETCH(bool, who);
        QFETCH(QStringList, expected);
        const QByteArray passwd = fixture("passwd");
        const QHash<QString, int> ids = parsePasswdIds(passwd);
        LoginSources sources;
        sources.haveCounters = faillog;
        if (faillog)
            sources.counters = parseFaillog(fixture("faillog.txt"));
        sources.haveHistory = last;
        if (last)
            sources.history = parseLast(fixture("last.txt"), ids);
        sources.haveActive = who;
        if (who)
            sources.active = parseWho(fixture("who.txt"));
        const QDateTime now(QDate(2025, 3, 4), QTime(10, 0));
        QStringList got;
        for (const DetailsLogsFailLog& r : buildLoginSummary(sources, ids, humanAccounts(passwd), now))
            got << QStringList{r.username,
                               QString::number(r.logins),
                               !r.loggedInKnown ? "?" : r.loggedIn ? "yes" : "no",
                               r.timeSpent,
                               QString::number(r.failedLogins),
                               QString::number(r.maxFails),
                               r.lastLogin}
                       .join('|');
        QCOMPARE(got, expected);
    }

    // The other parsers on damaged copies of their sources: this runs for
    // the sanitizers, which catch reads past the end and the like.
    void otherParsersSurviveNoise() {
        QRandomGenerator random(4242);
        const QStringList files = {"dmesg.txt",   "boot.log", "dpkg.log", "flatpak-history.txt",
                                   "faillog.txt", "last.txt", "who.txt",  "passwd"};
        for (int round = 0; round < 200; ++round) {
            QByteArray text = fixture(files.at(round % files.size()));
            text.truncate(int(random.bounded(text.size() + 1)));
            for (int flips = 0; flips < 8 && !text.isEmpty(); ++flips)
                text[int(random.bounded(text.size()))] = char(random.bounded(256));
            int lines = 0;
            for (const QByteArray& line : text.split('\n'))
                lines += line.trimmed().isEmpty() ? 0 : 1;
            // Every line the kernel printed stays on its page; the boot log
            // (which leaves out its separator lines) and the histories keep
            // at most a row a line.
            QCOMPARE(parseDmesg(text).size(), lines);
            QVERIFY(parseBootLog(text).size() <= lines);
            QVERIFY(parseDpkgLog(text).size() <= lines);
            QVERIFY(parseFlatpakHistory(text).size() <= lines);
            // The login summary names only people's accounts of the passwd it was given.
            const QHash<QString, int> ids = parsePasswdIds(text);
            LoginSources sources;
            sources.haveCounters = sources.haveHistory = sources.haveActive = true;
            sources.counters = parseFaillog(text);
            sources.history = parseLast(text, ids);
            sources.active = parseWho(text);
            for (const DetailsLogsFailLog& record :
                 buildLoginSummary(sources, ids, humanAccounts(text), QDateTime::currentDateTime()))
                QVERIFY2(isHumanAccount(ids, record.username), qPrintable(record.username));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogParsers)
#include "tst_logparsers.moc"
