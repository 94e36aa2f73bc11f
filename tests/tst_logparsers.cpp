#include "logparsers.h"
#include "logsearchindex.h"
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

// "timestamp|service|message|severity" per record, to compare whole lists.
template <typename Record>
QStringList rows(const QList<Record>& records, QString (*describe)(const Record&)) {
    QStringList out;
    for (const Record& record : records)
        out << describe(record);
    return out;
}
QString sysRow(const DetailsLogsSysLog& r) {
    return QStringList{r.timestamp, r.service, r.message, QString::number(r.severity)}.join('|');
}
QString authRow(const DetailsLogsAuthLog& r) {
    return QStringList{r.timestamp, r.hostname, r.service, r.message, QString::number(r.severity)}.join('|');
}
QString kernRow(const DetailsLogsKernLog& r) {
    return QStringList{r.timestamp, r.kernelTime, r.component, r.message, QString::number(r.severity)}.join(
        '|');
}
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
        const QList<DetailsLogsSysLog> records = parseSysLog(fixture("syslog"), context(LineFormat::Iso));
        QCOMPARE(
            rows(records, sysRow),
            QStringList({"Mar 04 10:20:30|cron|job failed with error|2",
                         "Mar 04 10:20:31|systemd|Started Session 3 of user alice.|0",
                         "Mar 04 10:20:32|kernel|[    1.234567] ACPI: Core revision 20230331|0",
                         "Mar 04 10:21:00|NetworkManager|<warn>  [1709544060.1234] device (wlan0): Warning: "
                         "link timed out|1",
                         "Mar 04 10:22:00|rsyslogd|[origin software=\"rsyslogd\"] rsyslogd was HUPed|0",
                         // A month-name line in an ISO log is read with the other pattern.
                         "Mar  4 10:23:00|sshd|Accepted password for alice from 10.0.0.5 port 51234 ssh2|0",
                         "2025-02-30T10:00:00+01:00|app|impossible date stays as written|0",
                         "Mar 04 10:24:00|app|trailing fraction and tab\tinside|0"}));
        QVERIFY(records.first().hostname.isEmpty());
        QCOMPARE(records.first().icon.cacheKey(), severityIcon(2).cacheKey());
    }

    // Either pattern may be preferred: every line is tried in both.
    void sysLogClassicFileWhicheverRelease_data() {
        QTest::addColumn<int>("preferred");
        QTest::newRow("bullseye") << int(LineFormat::Classic);
        QTest::newRow("bookworm reading an old log") << int(LineFormat::Iso);
    }
    void sysLogClassicFileWhicheverRelease() {
        QFETCH(int, preferred);
        const QList<DetailsLogsSysLog> records =
            parseSysLog(fixture("syslog.classic"), context(LineFormat(preferred), 2025, 2));
        QCOMPARE(rows(records, sysRow),
                 QStringList({"Dec 31 23:59:58|systemd|Starting Rotate log files...|0",
                              "Dec 31 23:59:59|anacron|Job `cron.daily' terminated|0",
                              "Jan  1 00:00:01|kernel|[ 4242.000001] usb 1-1: new high-speed USB device|0",
                              "Jan  1 00:00:02||bracketed tag|0", "Jan  1 00:00:03|sshd|Accepted password|0",
                              "Feb 10 08:00:00|CRON|(root) CMD (command -v debian-sa1 > /dev/null)|0",
                              "Feb 10 08:00:01|dbus-daemon|[system] WARNING: failed to activate|1"}));
        // December belongs to the year before the January after it.
        for (int i = 1; i < records.size(); ++i)
            QVERIFY2(records[i - 1].timeKey < records[i].timeKey, qPrintable(records[i].timestamp));
        QCOMPARE(records[0].timeKey, QDate(2024, 12, 31).toJulianDay() * 86400 + 23 * 3600 + 59 * 60 + 58);
    }

    void timeKeysFollowTheCalendar() {
        // Newest line in January, file changed in January: the October line is
        // of the year before; an ISO line carries its own year.
        const QByteArray text = "Oct  3 10:00:00 h a: one\n"
                                "2025-01-02T00:00:00+01:00 h b: two\n"
                                "Jan  2 00:00:01 h c: three\n";
        const QList<DetailsLogsSysLog> records = parseSysLog(text, context(LineFormat::Classic, 2025, 1));
        QCOMPARE(records.size(), 3);
        QVERIFY(records[0].timeKey < records[1].timeKey);
        QVERIFY(records[1].timeKey < records[2].timeKey);
        // A name that is no month cannot be placed.
        QCOMPARE(parseSysLog("Foo  3 10:00:00 h a: x\n", context(LineFormat::Classic)).first().timeKey, 0);
    }

    void authLogFile() {
        const QList<DetailsLogsAuthLog> records = parseAuthLog(fixture("auth.log"), context(LineFormat::Iso));
        QCOMPARE(
            rows(records, authRow),
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
        const QList<DetailsLogsKernLog> records = parseKernLog(fixture("kern.log"), context(LineFormat::Iso));
        QCOMPARE(
            rows(records, kernRow),
            QStringList({"Mar 04 08:00:00|0.000000|Unknown|Linux version 6.1.0-18-amd64|0",
                         "Mar 04 08:00:00|0.004000|ACPI|Core revision 20220331|0",
                         "Mar 04 08:00:01|1.500000|Unknown|usb 1-1: new high-speed USB device number 2 using "
                         "xhci_hcd|0",
                         "Mar 04 08:00:02|2.100000|Unknown|nouveau 0000:01:00.0: [drm] Error: failed to load "
                         "firmware|2",
                         "Mar 04 08:00:03|3.000000|Unknown|sd 0:0:0:0: [sda] Warning: write cache disabled|1",
                         "Mar  4 08:00:04|4.000000|Unknown|EXT4-fs (sda1): mounted filesystem|0"}));
        QCOMPARE(records.first().hostname, QStringLiteral("deb12"));
    }

    void dmesgOutput() {
        int dropped = -1;
        const QList<DetailsLogsDmesgLog> records = parseDmesg(fixture("dmesg.txt"), &dropped);
        QCOMPARE(records.size(), 8);
        QCOMPARE(dropped, 0);
        QCOMPARE(records[0].timestamp, QStringLiteral("0.000000"));
        QCOMPARE(records[0].message, QStringLiteral("Linux version 6.1"));
        // A continuation line keeps the time of the line it continues.
        QCOMPARE(records[3].timestamp, QStringLiteral("0.004000"));
        QCOMPARE(records[3].message, QStringLiteral("Please enable it if your BIOS has the CPPC option."));
        QCOMPARE(records[5].severity, 2);
        QCOMPARE(records[6].timestamp, QStringLiteral("100.5"));
        QCOMPARE(records[6].severity, 1);
        QVERIFY(parseDmesg(QByteArray()).isEmpty());
        parseDmesg("   orphan continuation\n[ 1.0] x\n", &dropped);
        QCOMPARE(dropped, 1);
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
        // A fresh install shows the installed version, an upgrade and a
        // remove the version the line starts with.
        QCOMPARE(find("libgdbm6", "install").version, QStringLiteral("1.23-3"));
        QCOMPARE(find("libgdbm6", "install").architecture, QStringLiteral("amd64"));
        QCOMPARE(find("tzdata", "upgrade").version, QStringLiteral("2025b-0+deb12u1"));
        QCOMPARE(find("tzdata", "upgrade").architecture, QStringLiteral("all"));
        QCOMPARE(find("libc++-dev", "remove").version, QStringLiteral("1:14.0-55.7~deb12u1"));
        QCOMPARE(find("libc++-dev", "remove").timestamp, QStringLiteral("2026-12-06 20:23:07"));
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
        const QString fields[] = {"sshd", "Accepted for ALICE", "kernel", "Ärger mit Größe", "cron", "x"};
        LogSearchIndex index;
        for (int row = 0; row < 3; ++row)
            index.addRow({&fields[2 * row], &fields[2 * row + 1]}, quint8(row));
        const std::vector<bool> holding = index.rowsHolding(needle);
        QString got;
        for (int row = 0; row < index.rowCount(); ++row)
            got += holding[size_t(row)] ? QString::number(row) : QString();
        QCOMPARE(got, rows);
        QCOMPARE(index.kindOf(2), quint8(2));
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

    void loginSummary() {
        const QHash<QString, int> ids = parsePasswdIds(fixture("passwd"));
        const QDateTime now(QDate(2025, 3, 4), QTime(10, 0));
        const QList<DetailsLogsFailLog> records =
            buildLoginSummary(parseFaillog(fixture("faillog.txt")), parseLast(fixture("last.txt"), ids), ids,
                              parseWho(fixture("who.txt")), now);
        QStringList got;
        for (const DetailsLogsFailLog& r : records)
            got << QStringList{r.username,  QString::number(r.logins),       r.loggedIn ? "yes" : "no",
                               r.timeSpent, QString::number(r.failedLogins), QString::number(r.maxFails),
                               r.lastLogin}
                       .join('|');
        QCOMPARE(got, QStringList({"alice|2|no|1d 09:28:00|0|5|Mar  3 09:12:01 2025",
                                   "bob|1|yes|1d 02:00:00|3|5|Mar 3 08:00:00 2025",
                                   "carol|0|no|0d 00:00:00|0|0|Never logged in"}));
    }

    // Logs are text other programs wrote.
    void oddBytesGiveRowsNotCrashes() {
        QByteArray text = "2025-03-04T10:20:30+01:00 host app[1]: bad \xff\xfe utf-8 and a NUL ";
        text.append('\0');
        text.append(" inside\n");
        text.append("2025-03-04T10:20:31+01:00 host app[1]: ");
        text.append(QByteArray(1 << 20, 'x'));
        text.append("\n2025-03-04T10:20:3"); // cut off
        const QList<DetailsLogsSysLog> records = parseSysLog(text, context(LineFormat::Iso));
        QCOMPARE(records.size(), 2);
        QVERIFY(records[0].message.contains(QChar(0xFFFD)));
        QVERIFY(records[0].message.contains(QChar(0)));
        QCOMPARE(records[1].message.size(), 1 << 20);
    }

    void everyParserSurvivesNoise() {
        QRandomGenerator random(4242);
        const QStringList files = {"syslog",      "syslog.classic", "auth.log", "kern.log",
                                   "dmesg.txt",   "boot.log",       "dpkg.log", "flatpak-history.txt",
                                   "faillog.txt", "last.txt",       "who.txt"};
        for (int round = 0; round < 200; ++round) {
            QByteArray text = fixture(files.at(round % files.size()));
            text.truncate(int(random.bounded(text.size() + 1)));
            for (int flips = 0; flips < 8 && !text.isEmpty(); ++flips)
                text[int(random.bounded(text.size()))] = char(random.bounded(256));
            const TextLogContext c = context(round % 2 ? LineFormat::Iso : LineFormat::Classic);
            parseSysLog(text, c);
            parseAuthLog(text, c);
            parseKernLog(text, c);
            parseDmesg(text);
            parseBootLog(text);
            parseDpkgLog(text);
            parseFlatpakHistory(text);
            const QHash<QString, int> ids = parsePasswdIds(text);
            buildLoginSummary(parseFaillog(text), parseLast(text, ids), ids, parseWho(text),
                              QDateTime::currentDateTime());
        }
    }
};

QTEST_GUILESS_MAIN(TestLogParsers)
#include "tst_logparsers.moc"
