#include "logparsers.h"
#include "logsearchindex.h"
#include "logtable.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace LogParsers;

namespace {
QByteArray fixture(const QString& name) {
    QFile file(TestSupport::testDataPath(QStringLiteral("logs/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

TextLogContext context(LineFormat preferred, int year = 2025, int month = 3) {
    TextLogContext c;
    c.preferred = preferred;
    c.referenceYear = year;
    c.referenceMonth = month;
    return c;
}

int severityOf(LogLook look) {
    return look == LogLook::Error ? 2 : look == LogLook::Warning ? 1 : 0;
}

// "column|column|...|severity" per row, to compare whole pages.
QStringList rows(const LogTable& table) {
    QStringList out;
    for (int row = 0; row < table.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table.columnCount(); ++column)
            cells << table.text(row, column);
        out << cells.join('|') + '|' + QString::number(severityOf(table.look(row)));
    }
    return out;
}

QStringList rows(TextLog log, const QByteArray& text, const TextLogContext& c) {
    return rows(*parseTextLog(log, text, c));
}

// Everything a page shows of a table, keys included.
QStringList everything(const LogTable& table) {
    QStringList out = rows(table);
    for (int row = 0; row < table.rowCount(); ++row)
        out[row] += '|' + QString::number(table.key(row));
    return out;
}

// Printable ASCII and the characters the line patterns turn on, with a
// little UTF-8 and a no-break space.
QByteArray noisyLine(QRandomGenerator& random, QByteArray line) {
    static const QByteArray alphabet = QByteArray(" \t:[]0123456789.-+TZaMrkernl_") + "\xc3\xa4" + "\xc2\xa0";
    const int flips = int(random.bounded(4));
    for (int i = 0; i < flips && !line.isEmpty(); ++i) {
        const int at = int(random.bounded(line.size()));
        switch (random.bounded(3)) {
        case 0:
            line[at] = alphabet[int(random.bounded(alphabet.size()))];
            break;
        case 1:
            line.remove(at, 1 + int(random.bounded(3)));
            break;
        default:
            line.insert(at, alphabet.mid(int(random.bounded(alphabet.size())), 1));
        }
    }
    return line;
}

const QStringList textFixtures = {"syslog", "syslog.classic", "auth.log", "kern.log"};
} // namespace

// The parsers of the Logs page on captured-looking sources.
class TestLogParsers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void releaseProbe_data() {
        QTest::addColumn<QByteArray>("debianVersion");
        QTest::addColumn<int>("major");
        QTest::addColumn<bool>("iso");
        QTest::newRow("bookworm point release") << QByteArray("12.5\n") << 12 << true;
        QTest::newRow("bullseye") << QByteArray("11.9") << 11 << false;
        QTest::newRow("testing has no digits") << QByteArray("trixie/sid\n") << -1 << false;
        QTest::newRow("empty file") << QByteArray() << -1 << false;
    }
    void releaseProbe() {
        QFETCH(QByteArray, debianVersion);
        QFETCH(int, major);
        QFETCH(bool, iso);
        QCOMPARE(debianMajorVersion(debianVersion), major);
        QCOMPARE(preferredFormat(major) == LineFormat::Iso, iso);
    }

    void sysLogIsoFile() {
        QCOMPARE(
            rows(TextLog::SysLog, fixture("syslog"), context(LineFormat::Iso)),
            QStringList({"Mar 04 10:20:30|cron|job failed with error|2",
                         "Mar 04 10:20:31|systemd|Started Session 3 of user alice.|0",
                         "Mar 04 10:20:32|kernel|[    1.234567] ACPI: Core revision 20230331|0",
                         "Mar 04 10:21:00|NetworkManager|<warn>  [1709544060.1234] device (wlan0): Warning: "
                         "link timed out|1",
                         "Mar 04 10:22:00|rsyslogd|[origin software=\"rsyslogd\"] rsyslogd was HUPed|0",
                         // A month-name line in an ISO log is read with the other pattern.
                         "Mar  4 10:23:00|sshd|Accepted password for alice from 10.0.0.5 port 51234 ssh2|0",
                         // A line no pattern fits is shown whole; the blank one is not a line.
                         "||this line is not a log line at all|0",
                         "2025-02-30T10:00:00+01:00|app|impossible date stays as written|0",
                         "Mar 04 10:24:00|app|trailing fraction and tab\tinside|0"}));
    }

    // Either pattern may be preferred: every line is tried in both.
    void sysLogClassicFileWhicheverRelease_data() {
        QTest::addColumn<int>("preferred");
        QTest::newRow("bullseye") << int(LineFormat::Classic);
        QTest::newRow("bookworm reading an old log") << int(LineFormat::Iso);
    }
    void sysLogClassicFileWhicheverRelease() {
        QFETCH(int, preferred);
        const std::shared_ptr<LogTable> table =
            parseTextLog(TextLog::SysLog, fixture("syslog.classic"), context(LineFormat(preferred), 2025, 2));
        QCOMPARE(rows(*table),
                 QStringList({"Dec 31 23:59:58|systemd|Starting Rotate log files...|0",
                              "Dec 31 23:59:59|anacron|Job `cron.daily' terminated|0",
                              "Jan  1 00:00:01|kernel|[ 4242.000001] usb 1-1: new high-speed USB device|0",
                              "Jan  1 00:00:02||bracketed tag|0", "Jan  1 00:00:03|sshd|Accepted password|0",
                              "Feb 10 08:00:00|CRON|(root) CMD (command -v debian-sa1 > /dev/null)|0",
                              "Feb 10 08:00:01|dbus-daemon|[system] WARNING: failed to activate|1"}));
        // December belongs to the year before the January after it.
        for (int row = 1; row < table->rowCount(); ++row)
            QVERIFY2(table->key(row - 1) < table->key(row), qPrintable(table->text(row, 0)));
        QCOMPARE(table->key(0), QDate(2024, 12, 31).toJulianDay() * 86400 + 23 * 3600 + 59 * 60 + 58);
    }

    void timeKeysFollowTheCalendar() {
        // Newest line in January, file changed in January: the October line is
        // of the year before; an ISO line carries its own year; a line that
        // fits no pattern sorts with the line before it.
        const QByteArray text = "Oct  3 10:00:00 h a: one\n"
                                "-- MARK --\n"
                                "2025-01-02T00:00:00+01:00 h b: two\n"
                                "Jan  2 00:00:01 h c: three\n"
                                "Foo  3 10:00:00 h a: no month\n";
        const std::shared_ptr<LogTable> table =
            parseTextLog(TextLog::SysLog, text, context(LineFormat::Classic, 2025, 1));
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(table->key(0), QDate(2024, 10, 3).toJulianDay() * 86400 + 10 * 3600);
        QCOMPARE(table->key(1), table->key(0));
        QVERIFY(table->key(1) < table->key(2));
        QVERIFY(table->key(2) < table->key(3));
        // A name that is no month cannot be placed.
        QCOMPARE(table->key(4), qint64(0));
    }

    void authLogFile() {
        QCOMPARE(
            rows(TextLog::AuthLog, fixture("auth.log"), context(LineFormat::Iso)),
            QStringList(
                {"Mar 04 09:12:01|deb12|sshd|Accepted password for alice from 10.0.0.5 port 51234 ssh2|0",
                 "Mar 04 09:12:01|deb12|sshd|pam_unix(sshd:session): session opened for user "
                 "alice(uid=1000) by (uid=0)|0",
                 "Mar 04 09:15:44|deb12|sudo|alice : TTY=pts/0 ; PWD=/home/alice ; USER=root ; "
                 "COMMAND=/usr/bin/apt update|0",
                 "Mar 04 09:20:00|deb12|sshd|error: PAM: Authentication failure for bob from 10.0.0.9|2",
                 "Mar 04 09:20:05|deb12|polkitd|Registered Authentication Agent|0",
                 // The month-name pattern keeps the process number in the tag.
                 "Mar  4 09:30:00|deb12|sshd[1001]|Failed password for invalid user admin from "
                 "10.0.0.66 port 40000 ssh2|0",
                 "Mar  4 09:30:01|deb12||empty tag|0"}));
    }

    void kernLogFile() {
        QCOMPARE(
            rows(TextLog::KernLog, fixture("kern.log"), context(LineFormat::Iso)),
            QStringList({"Mar 04 08:00:00|deb12|Unknown|Linux version 6.1.0-18-amd64|0",
                         "Mar 04 08:00:00|deb12|ACPI|Core revision 20220331|0",
                         "Mar 04 08:00:01|deb12|Unknown|usb 1-1: new high-speed USB device number 2 "
                         "using xhci_hcd|0",
                         "Mar 04 08:00:02|deb12|Unknown|nouveau 0000:01:00.0: [drm] Error: failed to "
                         "load firmware|2",
                         "Mar 04 08:00:03|deb12|Unknown|sd 0:0:0:0: [sda] Warning: write cache disabled|1",
                         "Mar  4 08:00:04|deb12|Unknown|EXT4-fs (sda1): mounted filesystem|0",
                         "Mar  4 08:00:05|deb12|e1000e|eth0 NIC Link is Up|0"}));
    }

    // No line of a log is dropped: the kernel pads its uptime, and what
    // fits no pattern is shown whole.
    void everyLineIsShown_data() {
        QTest::addColumn<int>("log");
        QTest::addColumn<int>("preferred");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("padded kernel uptimes")
            << int(TextLog::KernLog) << int(LineFormat::Classic)
            << QByteArray("Mar  4 08:00:00 deb11 kernel: [    0.000000] Linux version 5.10.0-28-amd64\n"
                          "Mar  4 08:00:12 deb11 kernel: [   12.345678] usb 1-1: new high-speed USB device\n"
                          "Mar  4 08:02:03 deb11 kernel: [  123.456789] ACPI: \\_SB_.PCI0: _OSC failed\n")
            << QStringList({"Mar  4 08:00:00|deb11|Unknown|Linux version 5.10.0-28-amd64|0",
                            "Mar  4 08:00:12|deb11|Unknown|usb 1-1: new high-speed USB device|0",
                            "Mar  4 08:02:03|deb11|ACPI|\\_SB_.PCI0: _OSC failed|0"});
        QTest::newRow("kernel lines without an uptime, or not from the kernel")
            << int(TextLog::KernLog) << int(LineFormat::Iso)
            << QByteArray("2025-03-04T08:00:00+01:00 deb12 kernel: usb 1-1: reset\n"
                          "Mar  4 08:00:01 deb12 rsyslogd: [origin] start\n")
            << QStringList({"|||2025-03-04T08:00:00+01:00 deb12 kernel: usb 1-1: reset|0",
                            "|||Mar  4 08:00:01 deb12 rsyslogd: [origin] start|0"});
        QTest::newRow("mark lines, priorities and blank lines")
            << int(TextLog::SysLog) << int(LineFormat::Classic)
            << QByteArray("Mar  4 08:00:00 deb11 -- MARK --\n\n   \n"
                          "<13>Mar  4 08:00:01 deb11 logger: error with a priority\r\n"
                          "no newline at the end: Error")
            << QStringList({"||Mar  4 08:00:00 deb11 -- MARK --|0",
                            "Mar  4 08:00:01|logger|error with a priority|2",
                            "||no newline at the end: Error|2"});
        QTest::newRow("auth lines that fit no pattern")
            << int(TextLog::AuthLog) << int(LineFormat::Classic)
            << QByteArray("Mar  4 08:00:00 deb11 sshd[1]:no blank after the colon\n")
            << QStringList({"|||Mar  4 08:00:00 deb11 sshd[1]:no blank after the colon|0"});
    }
    void everyLineIsShown() {
        QFETCH(int, log);
        QFETCH(int, preferred);
        QFETCH(QByteArray, text);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(TextLog(log), text, context(LineFormat(preferred))), expected);
    }

    // Most lines are read by a walk along the usual line shape rather than
    // by the line patterns: on the fixtures and on thousands of damaged
    // copies of their lines, the two give the same page, and every line
    // that is not blank gives a row.
    void walkAndPatternsAgree() {
        QRandomGenerator random(4242);
        for (const QString& name : textFixtures) {
            QList<QByteArray> lines = fixture(name).split('\n');
            // Theme noise is left out on purpose; every other line counts.
            lines.erase(
                std::remove_if(lines.begin(), lines.end(),
                               [](const QByteArray& line) { return line.contains("Theme parsing error"); }),
                lines.end());
            lines << "Mar  4 08:00:00 deb11 kernel: [    0.000000] Linux version 5.10.0"
                  << "2025-03-04T08:00:00.5Z deb12 kernel:  [ 1.5]  usb: x"
                  << "Mar  4 08:00:00 deb11 tag: \xc2\xa0"
                     "message after a no-break space\xc2\xa0"
                  << "2025-03-04T08:00:00+01:00 deb12 a:b:c: d"
                  << "2025-03-04T08:00:00+01:00 deb12 su[1][2]: x"
                  << "Mar  4 08:00:00 deb11 kernel: [ 1.0] foo[a b]: bracket with a blank";
            QByteArray text;
            for (int round = 0; round < 400; ++round)
                for (const QByteArray& line : qAsConst(lines))
                    text += (round == 0 ? line : noisyLine(random, line)) + '\n';
            int shown = 0;
            for (const QByteArray& line : text.split('\n'))
                shown += line.trimmed().isEmpty() ? 0 : 1;
            for (const TextLog log : {TextLog::SysLog, TextLog::AuthLog, TextLog::KernLog}) {
                for (const LineFormat preferred : {LineFormat::Iso, LineFormat::Classic}) {
                    const std::shared_ptr<LogTable> walked = parseTextLog(log, text, context(preferred));
                    const std::shared_ptr<LogTable> matched =
                        parseTextLog(log, text, context(preferred), LineReading::PatternsOnly);
                    const QStringList a = everything(*walked), b = everything(*matched);
                    for (int row = 0; row < qMin(a.size(), b.size()); ++row)
                        QVERIFY2(a[row] == b[row], qPrintable(name + ": " + a[row] + "\n  !=  " + b[row]));
                    QCOMPARE(a.size(), b.size());
                    QCOMPARE(walked->rowCount(), shown);
                }
            }
        }
    }

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

    // Logs are text other programs wrote: odd bytes, NULs, endless and
    // cut-off lines give rows, not crashes.
    void oddBytesGiveRows() {
        QByteArray text = "2025-03-04T10:20:30+01:00 host app[1]: bad \xff\xfe utf-8 and a NUL ";
        text.append('\0');
        text.append(" inside\n");
        text.append("2025-03-04T10:20:31+01:00 host app[1]: ");
        text.append(QByteArray(1 << 20, 'x'));
        text.append("\n2025-03-04T10:20:3"); // cut off
        const std::shared_ptr<LogTable> table = parseTextLog(TextLog::SysLog, text, context(LineFormat::Iso));
        QCOMPARE(table->rowCount(), 3);
        QVERIFY(table->text(0, 2).contains(QChar(0xFFFD)));
        QVERIFY(table->text(0, 2).contains(QChar(0)));
        QCOMPARE(table->text(1, 2).size(), 1 << 20);
        QCOMPARE(table->text(2, 2), QStringLiteral("2025-03-04T10:20:3"));
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
