#include "apppalette.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "themecolors.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

const QList<QPalette::ColorGroup> allGroups{QPalette::Active, QPalette::Inactive, QPalette::Disabled};

QList<QPalette::ColorRole> allRoles() {
    QList<QPalette::ColorRole> roles;
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        if (role != QPalette::NoRole)
            roles << QPalette::ColorRole(role);
    return roles;
}

QPalette fusionStandardPalette() {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion->standardPalette();
}

// Fusion's palette with the dark rows written out role by role; the
// Disabled rows come last and override the all-groups values.
QPalette expectedDarkPalette() {
    struct Row {
        QPalette::ColorRole role;
        QList<QPalette::ColorGroup> groups;
        QColor color;
    };
    const QList<Row> rows{
        {QPalette::Window, allGroups, QColor(10, 20, 32)},
        {QPalette::Base, allGroups, QColor(5, 11, 20)},
        {QPalette::AlternateBase, allGroups, QColor(12, 24, 40)},
        {QPalette::WindowText, allGroups, QColor(220, 230, 240)},
        {QPalette::Text, allGroups, QColor(220, 230, 240)},
        {QPalette::ButtonText, allGroups, QColor(220, 230, 240)},
        {QPalette::ToolTipText, allGroups, QColor(220, 230, 240)},
        {QPalette::Button, allGroups, QColor(12, 24, 40)},
        {QPalette::Highlight, allGroups, QColor(30, 90, 158)},
        {QPalette::HighlightedText, allGroups, QColor(255, 255, 255)},
        {QPalette::ToolTipBase, allGroups, QColor(14, 26, 44)},
        {QPalette::Text, {QPalette::Disabled}, QColor(74, 90, 112)},
        {QPalette::WindowText, {QPalette::Disabled}, QColor(74, 90, 112)},
        {QPalette::ButtonText, {QPalette::Disabled}, QColor(74, 90, 112)},
    };
    QPalette palette = fusionStandardPalette();
    for (const Row& row : rows)
        for (QPalette::ColorGroup group : row.groups)
            palette.setColor(group, row.role, row.color);
    return palette;
}

QString describe(const QColor& color) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

// Every role of every group, one "group role r,g,b,a" line each.
QStringList paletteLines(const QPalette& palette) {
    QStringList lines;
    for (QPalette::ColorGroup group : allGroups)
        for (QPalette::ColorRole role : allRoles())
            lines
                << QStringLiteral("%1 %2 %3").arg(group).arg(role).arg(describe(palette.color(group, role)));
    return lines;
}

// Start-up as the program does it, in a process of its own so that GTK meets
// the environment the test gives it. Prints the verdict and the palette.
int runStartupChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const bool dark = isSystemThemeDark();
    applyApplicationPalette(app, dark);
    // Polls after a failed start-up probe must neither fail nor try GTK again.
    isSystemThemeDark();
    isSystemThemeDark();
    QTextStream out(stdout);
    out << "dark " << int(dark) << '\n' << paletteLines(QApplication::palette()).join('\n') << '\n';
    return 0;
}

struct ChildResult {
    int exitCode = -1;
    QString output;
    QString errors;
};

ChildResult runChild(const QProcessEnvironment& environment) {
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    ChildResult result;
    if (!child.waitForFinished(30000) || child.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = child.exitCode();
    result.output = QString::fromUtf8(child.readAllStandardOutput());
    result.errors = QString::fromUtf8(child.readAllStandardError());
    return result;
}

QProcessEnvironment childEnvironment(const QString& gtkTheme) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TESSMAR_STARTUP_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("GTK_THEME"), gtkTheme);
    return environment;
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
        row("grey 127: luma 126", 127, 127, 127, true);
        row("grey 128: sum just under 128", 128, 128, 128, true);
        row("grey 129: luma 129", 129, 129, 129, false);
        row("sum exactly 128 is light", 1, 189, 147, false);
        row("coloured sum just under 128", 8, 200, 72, true);
        row("green alone, 127.966", 0, 218, 0, true);
        row("green alone, 128.553", 0, 219, 0, false);
        row("black", 0, 0, 0, true);
        row("white", 255, 255, 255, false);
        QTest::newRow("half grey truncates to 127") << 0.5 << 0.5 << 0.5 << true;
        QTest::newRow("Adwaita light background") << 0.964706 << 0.960784 << 0.956863 << false;
        QTest::newRow("Adwaita dark background") << 0.207843 << 0.207843 << 0.207843 << true;
    }
    void lumaRule() {
        QFETCH(double, red);
        QFETCH(double, green);
        QFETCH(double, blue);
        QFETCH(bool, dark);
        QCOMPARE(isDarkBackground(red, green, blue), dark);
    }

    void startupPaletteFollowsDesktop_data() {
        QTest::addColumn<QString>("gtkTheme");
        QTest::addColumn<bool>("dark");
        QTest::newRow("Adwaita:dark") << "Adwaita:dark" << true;
        QTest::newRow("Adwaita") << "Adwaita" << false;
    }
    void startupPaletteFollowsDesktop() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        QFETCH(QString, gtkTheme);
        QFETCH(bool, dark);
        const ChildResult child = runChild(childEnvironment(gtkTheme));
        QCOMPARE(child.exitCode, 0);
        const QPalette expected = dark ? expectedDarkPalette() : fusionStandardPalette();
        QCOMPARE(child.output.split('\n', Qt::SkipEmptyParts),
                 QStringList{QStringLiteral("dark %1").arg(int(dark))} + paletteLines(expected));
    }

    void withoutDisplayStartsLight() {
        QProcessEnvironment environment = childEnvironment(QStringLiteral("Adwaita:dark"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const ChildResult child = runChild(environment);
        QCOMPARE(child.exitCode, 0);
        QCOMPARE(child.output.split('\n', Qt::SkipEmptyParts),
                 QStringList{QStringLiteral("dark 0")} + paletteLines(fusionStandardPalette()));
        // Three probes, one attempt to reach GTK.
        QCOMPARE(child.errors.count(QLatin1String("GTK cannot open the display")), 1);
    }

    // The program itself gets past the theme probe without a display.
    void programStartsWithoutDisplay() {
        if (geteuid() != 0)
            QSKIP("the program runs as root only");
        QTemporaryDir tmp; // keeps the single-instance socket the test's own
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tmp.path());
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("SUDO_USER"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=true"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(TestSupport::programPath(), QStringList());
        QVERIFY(program.waitForStarted());
        QString errors;
        const bool pastProbe = TestSupport::waitFor(
            [&] {
                errors += QString::fromUtf8(program.readAllStandardError());
                return errors.contains(QLatin1String("Default font is:")) ||
                       program.state() == QProcess::NotRunning;
            },
            30000);
        program.kill();
        program.waitForFinished(5000);
        QVERIFY2(pastProbe && errors.contains(QLatin1String("Default font is:")), qPrintable(errors));
    }

    void liveSwitchFollowsDesktop() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xsettingsd")).isEmpty(),
                 "xsettingsd is missing (scripts/bootstrap installs it)");
        QTemporaryDir dir;
        DesktopSettings desktop(dir.filePath(QStringLiteral("xsettingsd.conf")));
        QVERIFY2(desktop.start(QStringLiteral("Adwaita")), qPrintable(desktop.log()));

        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
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
        int pollsBefore = polls;
        QVERIFY(TestSupport::waitFor([&] { return changes.count() == 1; }));
        QVERIFY2(polls - pollsBefore <= 2, qPrintable(QString::number(polls - pollsBefore)));
        QVERIFY(lastAppliedDark);
        QCOMPARE(paletteLines(QApplication::palette()), paletteLines(expectedDarkPalette()));
        QCOMPARE(greenWhenAnnounced.last(), QColor(25, 60, 25));
        QVERIFY(waitForPolls(2));
        QCOMPARE(changes.count(), 1);

        // Another dark theme: the verdict holds, so nothing is re-applied.
        QVERIFY(desktopBackgroundColor().has_value());
        const double adwaitaDarkRed = desktopBackgroundColor()->red;
        QVERIFY(desktop.switchTo(QStringLiteral("HighContrastInverse")));
        QVERIFY(TestSupport::waitFor(
            [&] { return desktopBackgroundColor().value_or(DesktopColor{}).red != adwaitaDarkRed; }));
        QVERIFY(waitForPolls(2));
        QCOMPARE(changes.count(), 1);

        // Back to light.
        QVERIFY(desktop.switchTo(QStringLiteral("Adwaita")));
        pollsBefore = polls;
        QVERIFY(TestSupport::waitFor([&] { return changes.count() == 2; }));
        QVERIFY2(polls - pollsBefore <= 2, qPrintable(QString::number(polls - pollsBefore)));
        QVERIFY(!lastAppliedDark);
        QCOMPARE(paletteLines(QApplication::palette()), paletteLines(fusionStandardPalette()));
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
    // Qt's GLib event loop would hand GTK its events too; without it the
    // live switch is seen only if the probe takes them itself.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    TestThemeDetect test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_themedetect.moc"
