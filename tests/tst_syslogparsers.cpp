#include "logparsers.h"
#include "logtable.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace LogParsers;

namespace {
QByteArray fixture(const QString& name) {
    return TestSupport::testData(QStringLiteral("logs/") + name);
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

// The parsers of the syslog, auth.log and kern.log pages on captured-looking
// files, in either line format.
class TestSyslogParsers : public QObject {
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
                              "Jan  1 00:00:02|[origin]|bracketed tag|0",
                              "Jan  1 00:00:03|sshd|Accepted password|0",
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
                 // A line without a tag names no sender: shown whole.
                 "|||Mar  4 09:30:01 deb12 : empty tag|0"}));
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
        // Anyone can write a line with a tag of two words (logger -t "my tag"):
        // its head fits no pattern, so nothing further on is read as one.
        QTest::newRow("a time and tag inside another line's message")
            << int(TextLog::SysLog) << int(LineFormat::Iso)
            << QByteArray("2026-12-07T10:20:31.123456+01:00 deb12 my tag: hello 2024-01-01T00:00:00 evilhost "
                          "sshd[1]: Accepted password for root\n"
                          "2026-12-07T10:20:32.123456+01:00 deb12 my tag: x: Theme parsing error: y\n")
            << QStringList({"||2026-12-07T10:20:31.123456+01:00 deb12 my tag: hello 2024-01-01T00:00:00 "
                            "evilhost sshd[1]: Accepted password for root|0",
                            "||2026-12-07T10:20:32.123456+01:00 deb12 my tag: x: Theme parsing error: y|2"});
        QTest::newRow("the same in the auth and kernel logs")
            << int(TextLog::AuthLog) << int(LineFormat::Classic)
            << QByteArray("Dec  7 10:20:31 deb11 my tag: Dec  7 00:00:00 evil sshd[1]: Accepted password\n")
            << QStringList(
                   {"|||Dec  7 10:20:31 deb11 my tag: Dec  7 00:00:00 evil sshd[1]: Accepted password|0"});
        QTest::newRow("a kernel head inside another line")
            << int(TextLog::KernLog) << int(LineFormat::Iso)
            << QByteArray("2026-12-07T10:20:31+01:00 deb12 my tag: 2026-12-07T10:20:31+01:00 deb12 kernel: "
                          "[ 1.0] fake\n")
            << QStringList({"|||2026-12-07T10:20:31+01:00 deb12 my tag: 2026-12-07T10:20:31+01:00 deb12 "
                            "kernel: [ 1.0] fake|0"});
        QTest::newRow("auth lines that fit no pattern")
            << int(TextLog::AuthLog) << int(LineFormat::Classic)
            << QByteArray("Mar  4 08:00:00 deb11 sshd[1]:no blank after the colon\n")
            << QStringList({"|||Mar  4 08:00:00 deb11 sshd[1]:no blank after the colon|0"});
        // Any account can log a tag of brackets alone, or none: the row still
        // names what was written as its sender.
        QTest::newRow("tags of brackets alone")
            << int(TextLog::SysLog) << int(LineFormat::Iso)
            << QByteArray("Mar  4 08:00:00 deb11 [x y: z]: classic\n"
                          "2025-03-04T08:00:00+01:00 deb12 [42]: iso\n"
                          "Mar  4 08:00:01 deb11 cron[42]: with a process number\n")
            << QStringList({"Mar  4 08:00:00|[x y: z]|classic|0", "Mar 04 08:00:00|[42]|iso|0",
                            "Mar  4 08:00:01|cron|with a process number|0"});
        QTest::newRow("auth lines without a tag")
            << int(TextLog::AuthLog) << int(LineFormat::Classic)
            << QByteArray("Mar  4 08:00:00 deb11 : no tag\nMar  4 08:00:01 deb11 [1]: bracket\n")
            << QStringList({"|||Mar  4 08:00:00 deb11 : no tag|0", "Mar  4 08:00:01|deb11|[1]|bracket|0"});
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
                  << "Mar  4 08:00:00 deb11 kernel: [ 1.0] foo[a b]: bracket with a blank"
                  << "2025-03-04T08:00:00+01:00 deb12 kernel: [ 1.0] a[b[c]: d[e]: f"
                  << "2025-03-04T08:00:00+01:00 deb12 my tag: hello 2024-01-01T00:00:00 evil sshd[1]: x"
                  << "Mar  4 08:00:00 deb11 [a b]: bracketed tag with a blank"
                  << "2025-03-04T08:00:00+01:00 deb12 su[12]:   "
                  << "<13>Mar  4 08:00:00 deb11 a: b";
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

    // A line of a megabyte whose head fits no pattern costs about what any
    // line of its size costs: the line is read once from its start, never
    // searched from every place in it (which took minutes).
    void hostileLinesTakeLinearTime() {
        // A tag with a blank, then month-name heads whose tags open a bracket
        // that never closes; and a kernel text of "a[" over and over.
        QByteArray heads = "2026-12-07T10:20:31+01:00 deb12 my tag: ";
        QByteArray kernel = "2026-12-07T10:20:31+01:00 deb12 kernel: [ 1.0] ";
        while (heads.size() < (1 << 20))
            heads += "Mar 1 1:1:1 h [x ";
        while (kernel.size() < (1 << 20))
            kernel += "a[";
        const QByteArray text = heads + ":\n" + kernel + ": x\n";
        QElapsedTimer clock;
        clock.start();
        for (const TextLog log : {TextLog::SysLog, TextLog::AuthLog, TextLog::KernLog})
            for (const LineFormat preferred : {LineFormat::Iso, LineFormat::Classic})
                QCOMPARE(parseTextLog(log, text, context(preferred))->rowCount(), 2);
        // A generous bound: six reads of 2 MB, under any sanitizer.
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
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
};

QTEST_GUILESS_MAIN(TestSyslogParsers)
#include "tst_syslogparsers.moc"
