#include "logspagefixture.h"

#include "standinmachine.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QtTest>

namespace {
// A classic syslog line whose tag hides a right-to-left override: shown as
// written it would read "ulive".
const QByteArray spoofedLine = "Feb 10 08:00:02 deb11 u\xe2\x80\xae"
                               "evil[12]: reads \xe2\x81\xa6"
                               "as\xe2\x81\xa9"
                               " written\n";
} // namespace

void LogsPageFixture::writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QByteArray LogsPageFixture::fixture(const QString& name) {
    QFile file(TestSupport::testDataPath("logs/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void LogsPageFixture::printsFixture(const QString& folder, const QString& tool, const QString& fixture) {
    QVERIFY(TestSupport::writeScript(folder + "/" + tool,
                                     "#!/bin/sh\ncat '" +
                                         TestSupport::testDataPath("logs/" + fixture).toUtf8() + "'\n"));
}

QStringList LogsPageFixture::column(QTableView* view, int column, int role) {
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data(role).toString();
    return texts;
}

int LogsPageFixture::shownRows(QTableView* view) {
    return view->model()->rowCount();
}

void LogsPageFixture::initTestCase() {
    qunsetenv("SUDO_USER");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    registerSharedMetaTypes();
    SystemPaths::setRootPrefix(root.path());
    writeFile(root.path() + "/etc/debian_version", "12.5\n");
    // An old month-name syslog on a new release, with a spoofing tag;
    // no auth.log or kern.log.
    writeFile(root.path() + "/var/log/syslog", fixture("syslog.classic") + spoofedLine);
    writeFile(root.path() + "/var/log/boot.log", fixture("boot.log"));
    writeFile(root.path() + "/var/log/dpkg.log", fixture("dpkg.log"));
    writeFile(root.path() + "/etc/passwd", fixture("passwd"));
    printsFixture(tools.path(), "dmesg", "dmesg.txt");
    printsFixture(tools.path(), "faillog", "faillog.txt");
    printsFixture(tools.path(), "last", "last.txt");
    printsFixture(tools.path(), "who", "who.txt");
    // Eleven Flatpak changes, newest time text first, so that only the
    // running number gives the order 1, 2, ... 10, 11.
    QByteArray history = "Time\tChange\tApplication\tVersion\tType\tRemote\n";
    for (int i = 1; i <= 11; ++i)
        history +=
            QStringLiteral("Mon 04 Mar 2025 10:%1:00 CET\tdeploy %2\torg.example.App%3\t1.%3\tapp\tflathub\n")
                .arg(60 - i)
                .arg(i % 3 == 0   ? "uninstall"
                     : i % 3 == 1 ? "install"
                                  : "update")
                .arg(i)
                .toUtf8();
    writeFile(tools.path() + "/history.txt", history);
    QVERIFY(TestSupport::writeScript(tools.path() + "/flatpak",
                                     ("#!/bin/sh\ncat '" + tools.path() + "/history.txt'\n").toUtf8()));
    // The rest of the window's programs stand in too, printing nothing.
    for (const QString& program : StandInMachine::programs())
        if (!QFileInfo::exists(tools.path() + QLatin1Char('/') + program))
            QVERIFY(TestSupport::writeScript(tools.path() + QLatin1Char('/') + program, "exit 0\n"));
    originalSearchPath = SystemPaths::searchPath();
    SystemPaths::prependSearchPath(tools.path());

    openWindow();
    QVERIFY(TestSupport::waitFor([this] { return everyPageAnswered(); }));
}

void LogsPageFixture::cleanupTestCase() {
    window.reset();
    SystemPaths::setRootPrefix(QString());
    SystemPaths::setSearchPath(originalSearchPath);
}

bool LogsPageFixture::everyPageAnswered() const {
    for (int page = 0; page < TabLogs::PageCount; ++page)
        if (tab->isLoading(TabLogs::Page(page)))
            return false;
    return tab->isInitialized();
}

void LogsPageFixture::openWindow() {
    window = std::make_unique<MainWindow>();
    ui = window->form();
    tab = window->findChild<TabLogs*>();
    // Not "Tessmar": the launch test counts the program's windows on this display.
    window->setWindowTitle(QStringLiteral("Tessmar Logs page test"));
    window->resize(1000, 640);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    ui->tabWidgetMainTabs->setCurrentIndex(7);
}

void LogsPageFixture::reload(QPushButton* button, TabLogs::Page page) {
    button->click();
    QVERIFY(TestSupport::waitFor([&] { return !tab->isLoading(page); }));
}

void LogsPageFixture::saveScreenshots(const QString& prefix) {
    const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOTS");
    const char* names[] = {"syslog", "authlog", "kernlog", "dmesg", "bootlog", "userlog", "debs", "flatpak"};
    for (int page = 0; !folder.isEmpty() && page < TabLogs::PageCount; ++page) {
        ui->tabWidgetLogsTabs->setCurrentIndex(page);
        QTest::qWait(50);
        window->grab().save(folder + QStringLiteral("/%1-%2.png").arg(prefix, names[page]));
    }
    ui->tabWidgetLogsTabs->setCurrentIndex(0);
}
