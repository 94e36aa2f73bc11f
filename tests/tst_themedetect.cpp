#include "apppalette.h"
#include "mainwindow.h"
#include "standinmachine.h"
#include "testsupport.h"
#include "themecolors.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

#include <csignal>

namespace {

// Start-up as the program does it, in a process of its own so that GTK meets
// the environment the test gives it: the verdict of a child forked before the
// application exists ("early"), else of GTK in the program. Prints the
// verdict and the palette.
int runStartupChild(int argc, char** argv) {
    const bool early = qEnvironmentVariable("TESSMAR_STARTUP_CHILD") == QLatin1String("early");
    if (early && !startEarlyThemeProbe())
        return 2;
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    bool dark = false;
    if (early) {
        applyApplicationPalette(app, false);
        QWidget window;
        bool announced = false;
        dark = takeEarlyThemeVerdict().value_or(false);
        applyEarlyVerdict(dark, app, [&announced] { announced = true; });
        if (announced != dark)
            return 3;
    } else {
        dark = isSystemThemeDark();
        applyApplicationPalette(app, dark);
    }
    // Polls after a failed start-up probe must neither fail nor try GTK again.
    isSystemThemeDark();
    isSystemThemeDark();
    QTextStream out(stdout);
    out << "dark " << int(dark) << " window " << isDarkTheme() << '\n';
    return 0;
}

// An XSETTINGS daemon on the test's display: the desktop whose theme the
// program follows.
class DesktopSettings {
public:
    explicit DesktopSettings(const QString& configPath) : configPath(configPath) {}
    ~DesktopSettings() {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    bool start(const QString& theme) {
        if (!writeTheme(theme))
            return false;
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        daemon.start(QStringLiteral("xsettingsd"), {QStringLiteral("-c"), configPath});
        return TestSupport::waitFor([this] { return log().contains(QLatin1String("Took ownership")); });
    }

    // Returns once the daemon has published the new theme.
    bool switchTo(const QString& theme) {
        const int loadsBefore = log().count(QLatin1String("Loaded"));
        if (!writeTheme(theme) || ::kill(pid_t(daemon.processId()), SIGHUP) != 0)
            return false;
        return TestSupport::waitFor([&] { return log().count(QLatin1String("Loaded")) > loadsBefore; });
    }

    QString log() {
        output += QString::fromUtf8(daemon.readAll());
        return output;
    }

private:
    bool writeTheme(const QString& theme) {
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return file.write(QStringLiteral("Net/ThemeName \"%1\"\n").arg(theme).toUtf8()) > 0;
    }

    QString configPath;
    QProcess daemon;
    QString output;
};

} // namespace

class TestThemeDetect : public QObject {
    Q_OBJECT
private slots:
    void lumaRule_data() {
        QTest::addColumn<double>("red");
        QTest::addColumn<double>("green");
        QTest::addColumn<double>("blue");
        QTest::addColumn<bool>("dark");
        // Channels as GTK reports a CSS colour: value / 255.
        auto row = [](const char* name, int r, int g, int b, bool dark) {
            QTest::newRow(name) << r / 255.0 << g / 255.0 << b / 255.0 << dark;
        };
        row("grey 128: sum just under 128", 128, 128, 128, true);
        row("grey 129: luma 129", 129, 129, 129, false);
        row("sum exactly 128 is light", 1, 189, 147, false);
        QTest::newRow("half grey truncates to 127") << 0.5 << 0.5 << 0.5 << true;
    }
    void lumaRule() {
        QFETCH(double, red);
        QFETCH(double, green);
        QFETCH(double, blue);
        QFETCH(bool, dark);
        QCOMPARE(isDarkBackground(red, green, blue), dark);
    }

    // Without a display the desktop counts as light, and GTK is tried once in
    // the program for the start-up probe and the two polls after it. The
    // child forked at start-up reads the same verdict, so that the window
    // first shows in the desktop's colours.
    void startupPaletteFollowsDesktop_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("gtkTheme");
        QTest::addColumn<bool>("withDisplay");
        QTest::addColumn<bool>("dark");
        for (const char* start : {"1", "early"}) {
            QTest::addRow("%s: Adwaita:dark", start) << start << "Adwaita:dark" << true << true;
            QTest::addRow("%s: Adwaita", start) << start << "Adwaita" << true << false;
            QTest::addRow("%s: dark, no display", start) << start << "Adwaita:dark" << false << false;
        }
    }
    void startupPaletteFollowsDesktop() {
        QFETCH(QString, start);
        QFETCH(QString, gtkTheme);
        QFETCH(bool, withDisplay);
        QFETCH(bool, dark);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TESSMAR_STARTUP_CHILD"), start);
        environment.insert(QStringLiteral("GTK_THEME"), gtkTheme);
        if (!withDisplay) {
            environment.remove(QStringLiteral("DISPLAY"));
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        }
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 QStringLiteral("dark %1 window %1\n").arg(int(dark)));
        const QString errors = QString::fromUtf8(child.readAllStandardError());
        QCOMPARE(errors.count(QLatin1String("GTK cannot open the display")), withDisplay ? 0 : 1);
    }

    void liveSwitchFollowsDesktop() {
        QTemporaryDir dir;
        DesktopSettings desktop(dir.filePath(QStringLiteral("xsettingsd.conf")));
        QVERIFY2(desktop.start(QStringLiteral("Adwaita")), qPrintable(desktop.log()));

        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        const StandInMachine machine; // the window reads and runs nothing of the machine's
        QVERIFY(machine.isValid());
        MainWindow window;
        bool lastAppliedDark = isSystemThemeDark();
        QVERIFY(!lastAppliedDark);
        applyApplicationPalette(*app, lastAppliedDark);

        QSignalSpy changes(&window, &MainWindow::themeChanged);
        QList<QColor> greenWhenAnnounced;
        connect(&window, &MainWindow::themeChanged, this,
                [&greenWhenAnnounced] { greenWhenAnnounced << statusColorGreen(); });
        int polls = 0;
        QTimer poll;
        poll.setInterval(1000);
        connect(&poll, &QTimer::timeout, this, [&] {
            ++polls;
            checkThemeChange(lastAppliedDark, *app, window);
        });
        poll.start();
        auto waitForPolls = [&](int count) {
            const int target = polls + count;
            return TestSupport::waitFor([&] { return polls >= target; });
        };

        // Light to dark.
        QVERIFY(desktop.switchTo(QStringLiteral("Adwaita-dark")));
        QVERIFY(TestSupport::waitFor([&] { return changes.count() == 1; }));
        QVERIFY(lastAppliedDark);
        QCOMPARE(greenWhenAnnounced.last(), QColor(25, 60, 25));
        QVERIFY(waitForPolls(2));
        QCOMPARE(changes.count(), 1);

        // Back to light.
        QVERIFY(desktop.switchTo(QStringLiteral("Adwaita")));
        QVERIFY(TestSupport::waitFor([&] { return changes.count() == 2; }));
        QVERIFY(!lastAppliedDark);
        QCOMPARE(greenWhenAnnounced.last(), QColor(231, 255, 229));
        QVERIFY(waitForPolls(2));
        QCOMPARE(changes.count(), 2);
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("TESSMAR_STARTUP_CHILD"))
        return runStartupChild(argc, argv);
    // The live switch must come from the desktop's settings, which GTK_THEME
    // would override.
    qunsetenv("GTK_THEME");
    qunsetenv("SUDO_USER"); // the window writes no settings for a real user
    // Qt's GLib event loop would hand GTK its events too; without it the
    // live switch is seen only if the probe takes them itself.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    TestThemeDetect test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_themedetect.moc"
