#include "cronjobcounting.h"
#include "mainwindow.h"
#include "pathstamps.h"
#include "rawxwindows.h"
#include "standinmachine.h"
#include "sysinfoparser.h"
#include "systeminfoprobes.h"
#include "systempaths.h"
#include "tabcronjobs.h"
#include "taboverviewsysinfo.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workeroverviewsysinfo.h"
#include "x11windowreader.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <unistd.h>
#include <utmp.h>
#include <xcb/xcb.h>

using Texts = QMap<QString, QString>;

namespace {

QString catFixture(const QString& name) {
    return QString("cat '%1'").arg(TestSupport::testDataPath("sysinfo/" + name));
}

// Shell scripts standing in for every tool the panel (and the window
// around it) runs, first on the search path. A tool not given a script
// prints nothing and fails.
class StandInTools {
public:
    explicit StandInTools(const Texts& scripts) : savedPath(SystemPaths::searchPath()) {
        for (const QString& tool : StandInMachine::programs())
            install(tool, scripts.value(tool, "exit 1"));
        // sudo searches its own secure path, so it is stood in for as well.
        install("sudo", "exec \"$@\"");
        SystemPaths::prependSearchPath(dir.path());
    }
    ~StandInTools() { SystemPaths::setSearchPath(savedPath); }

private:
    void install(const QString& name, const QString& body) {
        QVERIFY(TestSupport::writeScript(dir.filePath(name), body.toUtf8() + '\n'));
    }
    QTemporaryDir dir;
    QStringList savedPath;
};

QString coresText(const QString& speed) {
    return QString("%1 (%2 Threads) @ %3")
        .arg(sysconf(_SC_NPROCESSORS_CONF))
        .arg(sysconf(_SC_NPROCESSORS_ONLN))
        .arg(speed);
}

// The panel's value labels (labelOSName, labelUptime, ...) with the texts the form gives them.
QList<QPair<QLabel*, QString>> valueLabels(QWidget* window) {
    QMainWindow pristine;
    Ui::MainWindow form;
    form.setupUi(&pristine);
    QList<QPair<QLabel*, QString>> labels;
    for (const char* box : {"groupBox_8", "groupBox_9", "groupBox_10"}) {
        for (QLabel* label :
             window->findChild<QWidget*>(box)->findChildren<QLabel*>(QRegularExpression("^label[A-Z]")))
            labels.append({label, pristine.findChild<QLabel*>(label->objectName())->text()});
    }
    return labels;
}

} // namespace

// The Overview's system panel: its probes with stand-in tools and fixture
// roots, the live sampler on fixture trees and on this machine, and the
// panel in the main window on the test display.
class TestSysInfoPanel : public QObject {
    Q_OBJECT
    QMap<const char*, QByteArray> savedEnvironment;

private slots:
    void initTestCase() {
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_RUNTIME_DIR"})
            savedEnvironment.insert(name, qgetenv(name));
    }
    void cleanup() {
        SystemPaths::setRootPrefix(QString());
        for (auto it = savedEnvironment.cbegin(); it != savedEnvironment.cend(); ++it)
            qputenv(it.key(), it.value());
    }

    void staticFacts_data() {
        QTest::addColumn<Texts>("tools");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<Texts>("labels");
        const QString detectorSaysNone = "echo none; exit 1";

        QTest::newRow("laptop with Intel and NVIDIA")
            << Texts{{"lspci",
                      QString("if [ \"$1\" = -vmm ]; then %1; else %2; fi")
                          .arg(catFixture("lspci-vmm-laptop.txt"), catFixture("lspci-intel-nvidia.txt"))},
                     {"glxinfo", catFixture("glxinfo-nvidia.txt")},
                     {"gnome-shell", "echo 'GNOME Shell 42.9'"},
                     {"wmctrl", "[ \"$1\" = -m ] && " + catFixture("wmctrl-m-xfwm.txt")},
                     {"systemd-detect-virt", detectorSaysNone},
                     {"dmidecode", "[ \"$1 $2\" = '-t memory' ] && " + catFixture("dmidecode-ddr4-two.txt")},
                     {"lsblk", "[ \"$* $LC_ALL\" = '-b -d -o NAME,SIZE,ROTA,TYPE C' ] && " +
                                   catFixture("lsblk-nvme-hdd.txt")}}
            << "root"
            << "ubuntu:GNOME"
            << Texts{{"labelOSName", "Ubuntu"},
                     {"labelBasedOn", "Debian"},
                     {"labelKernel", "6.5.0-27-generic"},
                     {"labelGPU", "GeForce GTX 1650 Mobile / Max-Q (Nvidia)"},
                     {"labelGPUDriver", "4.6.0 NVIDIA 535.154.05"},
                     {"labelDesktopEnvironment", "ubuntu:GNOME 42.9"},
                     {"labelWindowManager", "XFWM4"},
                     {"labelSoundServer", "ALSA"},
                     {"labelSystemModelAndManufacturer", "20KHCTO1WW (LENOVO)"},
                     {"labelMotherboard", "20KHCTO1WW (LENOVO)"},
                     {"labelCPUCoresAndThreads", coresText("1.80 GHz")},
                     {"labelRAMInfo", "16 GB DDR4 (2 Sticks)"},
                     {"labelStorage", "512 GB SSD, 1.5 TB SSD, 2 TB HDD"},
                     {"labelAudioDevice", "Comet Lake PCH cAVS"}};

        QTest::newRow("AMD with amdgpu, no glxinfo, no detector")
            << Texts{{"lspci", catFixture("lspci-amd.txt")},
                     {"lsmod", catFixture("lsmod-amdgpu.txt")},
                     {"modinfo", "[ \"$1\" = amdgpu ] && " + catFixture("modinfo-amdgpu.txt")},
                     {"xfce4-session", "echo 'xfce4-session 4.18.1 (Xfce 4.18)'"},
                     {"pgrep", "[ \"$1 $2\" = '-x jackd' ] && echo 2211"},
                     {"lsblk", catFixture("lsblk-virtio.txt")}}
            << "root"
            << "<b>XFCE</b>"
            << Texts{{"labelGPU", "Radeon RX 6600/6600 XT/6600M (AMD)"},
                     {"labelGPUDriver", "AMDGPU"},
                     {"labelDesktopEnvironment", "<b>XFCE</b> 4.18.1"},
                     {"labelSoundServer", "JACK"},
                     {"labelRAMInfo", "16 GB Virtual RAM"},
                     {"labelStorage", "274 GB HDD"},
                     {"labelAudioDevice", "Unknown Audio Device"}};

        QTest::newRow("Intel with Mesa, LPDDR5")
            << Texts{{"lspci", catFixture("lspci-intel.txt")},
                     {"glxinfo", catFixture("glxinfo-mesa.txt")},
                     {"plasmashell", "echo 'plasmashell 5.27.5-1ubuntu1'"},
                     {"systemd-detect-virt", detectorSaysNone},
                     {"dmidecode", catFixture("dmidecode-lpddr5.txt")}}
            << "root"
            << "KDE"
            << Texts{{"labelGPU", "UHD Graphics 620 (Intel)"},
                     {"labelGPUDriver", "Mesa 23.2.1"},
                     {"labelDesktopEnvironment", "KDE 5.27.5-1ubuntu1"},
                     {"labelWindowManager", "Window manager could not be determined"},
                     {"labelRAMInfo", "16 GB LPDDR5 (2 Sticks)"},
                     {"labelStorage", "N/A"}};

        QTest::newRow("virtual machine without DMI or os-release")
            << Texts{{"lspci", "if [ \"$1\" = -vmm ]; then " + catFixture("lspci-vmm-virtio.txt") +
                                   "; else " + catFixture("lspci-virtio.txt") + "; fi"},
                     {"systemd-detect-virt", "echo kvm"},
                     {"wmctrl", "echo 'Class: N/A'"}}
            << "root-vm"
            << ""
            << Texts{{"labelOSName", "N/A"},
                     {"labelKernel", "N/A"},
                     {"labelGPU", "Unknown GPU (Unknown)"},
                     {"labelGPUDriver", "Unknown"},
                     {"labelDesktopEnvironment", "Desktop Environment could not be determined N/A"},
                     {"labelWindowManager", "N/A"},
                     {"labelSoundServer", "Sound server could not be determined"},
                     {"labelSystemModelAndManufacturer", "N/A (N/A)"},
                     {"labelCPUCoresAndThreads", coresText("Unknown Speed")},
                     {"labelRAMInfo", "8 GB Virtual RAM"},
                     {"labelAudioDevice", "Virtual Audio Device (kvm)"}};
    }
    void staticFacts() {
        QFETCH(Texts, tools);
        QFETCH(QString, root);
        QFETCH(QString, desktop);
        QFETCH(Texts, labels);
        const StandInTools standIns(tools);
        SystemPaths::setRootPrefix(TestSupport::testDataPath("sysinfo/" + root));
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        qputenv("DESKTOP_SESSION", "");
        qputenv("XDG_RUNTIME_DIR", "");

        QMainWindow host;
        Ui::MainWindow form;
        form.setupUi(&host);
        TabOverviewSysInfo panel(&form, &host);
        QSignalSpy shown(&panel, &TabOverviewSysInfo::staticInfoShown);
        panel.loadStaticSystemInfo();
        QVERIFY(shown.wait(20000));
        for (auto it = labels.cbegin(); it != labels.cend(); ++it) {
            const QLabel* label = host.findChild<QLabel*>(it.key());
            QCOMPARE(label->text(), it.value());
            QCOMPARE(label->textFormat(), Qt::PlainText);
            // The column may cut the text off: the tooltip shows it whole, as text.
            QVERIFY2(label->toolTip().contains(it.value().toHtmlEscaped()), qPrintable(label->toolTip()));
        }
    }

    // What a tool printed before it crashed is not taken as its answer.
    void crashedToolGivesNoAnswer() {
        const StandInTools standIns({{"lspci", catFixture("lspci-intel.txt") + "; kill -SEGV $$"}});
        SystemPaths::setRootPrefix(TestSupport::testDataPath("sysinfo/root"));
        QCOMPARE(SystemInfoProbes().gather().gpu, QString("Unknown GPU (Unknown)"));
    }

    void pulseAudioFromRuntimeFolder() {
        QTemporaryDir runtime;
        QVERIFY(QDir(runtime.path()).mkdir("pulse"));
        const StandInTools standIns({});
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QCOMPARE(SystemInfoProbes().gather().soundServer, QString("PulseAudio"));
    }

    // Every tool hangs: each probe gives up after its limit, and once the
    // whole budget is spent the rest fall back without waiting.
    void hungToolsAreBounded() {
        Texts hung;
        for (const char* tool : {"lspci", "glxinfo", "wmctrl", "systemd-detect-virt", "lsblk", "gnome-shell"})
            hung.insert(tool, "exec sleep 30");
        const StandInTools standIns(hung);
        SystemPaths::setRootPrefix(TestSupport::testDataPath("sysinfo/root"));
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        QElapsedTimer timer;
        timer.start();
        const StaticSystemInfo info = SystemInfoProbes(300, 1000).gather();
        qInfo("all probes with hung tools: %lld ms (per tool 300 ms, budget 1000 ms)", timer.elapsed());
        QVERIFY(timer.elapsed() < 10000);
        QCOMPARE(info.gpu + " | " + info.storage + " | " + info.ramInfo,
                 QString("Unknown GPU (Unknown) | N/A | 16 GB Virtual RAM"));
        QCOMPARE(info.osName, QString("Ubuntu")); // files are still read

        // Nor do they hold the window: the facts are gathered off the GUI thread.
        timer.restart();
        auto window = std::make_unique<MainWindow>();
        qInfo("main window built in %lld ms with hung probe tools", timer.elapsed());
        QVERIFY(timer.elapsed() < 3000);
        for (const auto& [label, sample] : valueLabels(window.get()))
            QVERIFY2(label->text() != sample, qPrintable(label->objectName()));
        timer.restart();
        window.reset();
        qInfo("window closed in %lld ms while a probe tool hung", timer.elapsed());
    }

    // The live figures on a fixture tree; the service, cron and login counts
    // follow their files from one sample to the next.
    void liveFiguresFromFixtureTree() {
        QTemporaryDir root;
        const auto put = [&](const QString& relative, const QByteArray& content) {
            QDir().mkpath(QFileInfo(root.filePath(relative)).absolutePath());
            QFile file(root.filePath(relative));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        };
        const auto link = [&](const QString& target, const QString& relative) {
            QDir().mkpath(QFileInfo(root.filePath(relative)).absolutePath());
            QVERIFY(QFile::link(target, root.filePath(relative)));
        };
        const auto login = [](const char* user, pid_t pid) {
            struct utmp entry {};
            entry.ut_type = USER_PROCESS;
            entry.ut_pid = pid;
            std::strncpy(entry.ut_user, user, sizeof entry.ut_user);
            return QByteArray(reinterpret_cast<const char*>(&entry), sizeof entry);
        };
        for (const char* task : {"1/task/1", "22/task/22", "22/task/23", "22/task/24", "self/task/99"})
            QVERIFY(QDir().mkpath(root.filePath("proc/") + task));
        put("proc/loadavg", "0.10 0.20 0.30 1/57 4242\n");
        put("proc/uptime", "3725.90 7000.00\n");
        const QString unit = root.filePath("lib/ssh.service");
        put("lib/ssh.service", "[Unit]\n");
        link(unit, "etc/systemd/system/sshd.service");
        put("etc/systemd/system/local.service", "[Unit]\n"); // a unit file, not an enabled link
        link("/dev/null", "etc/systemd/system/masked.service");
        link(unit, "etc/systemd/system/multi-user.target.wants/ssh.service");
        link(unit, "etc/systemd/system/graphical.target.wants/ssh.service");
        link(root.filePath("lib"), "etc/systemd/system/multi-user.target.wants/lib.target");
        // Process 22 is alive, 4711 has ended without its record being updated.
        put("var/run/utmp", login("alice", 22) + login("alice", 1) + login("bob", 4711));
        SystemPaths::setRootPrefix(root.path());

        QCOMPARE(WorkerOverviewSysInfo::getProcessThreadCount(), QString("2/57"));
        QVERIFY(QFile::remove(root.filePath("proc/loadavg")));
        QCOMPARE(WorkerOverviewSysInfo::getProcessThreadCount(), QString("2/4"));
        QCOMPARE(WorkerOverviewSysInfo::getRamUsage(), QString("RAM info not available"));
        // The uptime follows the kernel's clock, which also counts a suspend.
        QCOMPARE(WorkerOverviewSysInfo::getUptime(), QString("0D 01:02:05"));
        put("proc/uptime", "200000.50 7000.00\n");
        QCOMPARE(WorkerOverviewSysInfo::getUptime(), QString("2D 07:33:20"));

        const StandInTools noTools({}); // the sampler starts none
        WorkerOverviewSysInfo worker(cronPageCounting());
        QList<SysInfoSample> samples;
        connect(&worker, &WorkerOverviewSysInfo::updateCompleted,
                [&samples](const SysInfoSample& sample) { samples << sample; });
        worker.process();
        QCOMPARE(samples.size(), 1);
        const SysInfoSample first = samples.takeFirst();
        QCOMPARE(first.servicesEnabled, 4); // services
        QCOMPARE(first.cronJobs, 0);        // cron jobs: no cron files
        QCOMPARE(first.activeUsers, 1);     // logged-in users
        QVERIFY(first.applications >= 0);   // windows on the test display

        link(unit, "etc/systemd/system/default.target.wants/ssh.service");
        put("etc/crontab", "0 5 * * * root /usr/local/bin/report\n");
        put("var/run/utmp", login("alice", 22) + login("carol", 0));
        QCOMPARE(worker.sample().servicesEnabled, 5);
        QCOMPARE(worker.sample().cronJobs, 1);
        QCOMPARE(worker.sample().activeUsers, 2);
        QVERIFY(QFile::remove(root.filePath("var/run/utmp")));
        QCOMPARE(worker.sample().activeUsers, 0); // no login records: nobody
    }

    // The service and cron counts are read again only when their files
    // changed: a look at an unchanged tree says so every time; an entry
    // edited in place, made executable or added, and a missing path that
    // appears, are changes.
    void pathStampsSeeOnlyChanges() {
        QTemporaryDir root;
        const auto put = [&](const QString& relative, const QByteArray& content, QIODevice::OpenMode mode) {
            QDir().mkpath(QFileInfo(root.filePath(relative)).absolutePath());
            QFile file(root.filePath(relative));
            QVERIFY(file.open(mode) && file.write(content) == content.size());
        };
        put("etc/crontab", "0 5 * * * root report\n", QIODevice::WriteOnly);
        put("etc/cron.d/backup", "0 8 * * * root backup\n", QIODevice::WriteOnly);
        SystemPaths::setRootPrefix(root.path());
        PathStamps stamps({"/etc/crontab", "/etc/anacrontab"}, {"/etc/cron.d"});
        QVERIFY(stamps.changed()); // the first look
        QVERIFY(!stamps.changed());
        QVERIFY(!stamps.changed());

        put("etc/cron.d/backup", "0 9 * * * root backup\n", QIODevice::Append);
        QVERIFY(stamps.changed());
        QVERIFY(!stamps.changed());
        QVERIFY(QFile::setPermissions(root.filePath("etc/cron.d/backup"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(stamps.changed());
        QVERIFY(!stamps.changed());
        put("etc/anacrontab", "1 5 daily run-parts /etc/cron.daily\n", QIODevice::WriteOnly);
        QVERIFY(stamps.changed());
        QVERIFY(!stamps.changed());
        put("etc/cron.d/more", "", QIODevice::WriteOnly);
        QVERIFY(stamps.changed());
        QVERIFY(!stamps.changed());
    }

    // The Overview counts what the Cron Jobs page lists, read the same way,
    // and counts again as soon as a cron file or folder changes.
    void cronCountIsThePageRowCount() {
        QTemporaryDir root;
        const auto put = [&](const QString& relative, const QByteArray& content) {
            QDir().mkpath(QFileInfo(root.filePath(relative)).absolutePath());
            QFile file(root.filePath(relative));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        };
        const auto setExecutable = [&](const QString& relative) {
            QVERIFY(QFile::setPermissions(root.filePath(relative),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        };
        put("etc/passwd", "root:x:0:0:root:/root:/bin/bash\nalice:x:1000:1000::/home/alice:/bin/bash\n");
        put("etc/crontab",
            "SHELL=/bin/sh\n"
            "17 *\t* * *\troot\tcd / && run-parts --report /etc/cron.hourly\n"
            "25 6\t* * *\troot\ttest -x /usr/sbin/anacron || run-parts --report /etc/cron.daily\n");
        put("etc/cron.d/backup", "MAILTO=root\n0 8 * * mon-fri root /usr/local/bin/backup\n"
                                 "0 0 * jan,jul sun root /usr/local/bin/rotate\n");
        put("etc/cron.d/.placeholder", "0 * * * * root hidden\n");
        put("etc/cron.daily/logrotate", "#!/bin/sh\n");
        setExecutable("etc/cron.daily/logrotate");
        put("etc/cron.daily/notes", "#!/bin/sh\n"); // not executable: cron does not run it
        put("var/spool/cron/crontabs/alice", "@reboot /home/alice/start\n*/5 9-17 * * Mon-Fri sync-mail\n");
        SystemPaths::setRootPrefix(root.path());

        QMainWindow host;
        Ui::MainWindow form;
        form.setupUi(&host);
        TabCronJobs page(&form, &host);
        QSignalSpy filled(&page, &TabCronJobs::cronJobsTableFilled);
        QVERIFY(filled.count() > 0 || filled.wait(10000));
        WorkerOverviewSysInfo worker(cronPageCounting());
        const int rows = form.tableCronJobs->rowCount();
        QVERIFY2(rows >= 5, qPrintable(QString::number(rows))); // at least the four job lines and the script
        QCOMPARE(worker.sample().cronJobs, rows);

        // A file edited in place and a script made executable leave their
        // folders' times alone.
        QFile crontab(root.filePath("var/spool/cron/crontabs/alice"));
        QVERIFY(crontab.open(QIODevice::Append) && crontab.write("30 2 * * sat backup-home\n") > 0);
        crontab.close();
        setExecutable("etc/cron.daily/notes");
        QCOMPARE(worker.sample().cronJobs, rows + 2);
        QCOMPARE(worker.sample().cronJobs, worker.countCronJobs());
        // Without a way to count, the figure is unknown, never a made-up 0.
        QCOMPARE(WorkerOverviewSysInfo().sample().cronJobs, -1);
    }

    // The windows the window manager manages and that sit on a desktop, read
    // on a window list of the test's own (a stand-in root window).
    void windowCount() {
        RawXWindows x;
        QVERIFY(x.isConnected());
        const xcb_atom_t clientList = x.atom("_NET_CLIENT_LIST");
        const xcb_atom_t desktop = x.atom("_NET_WM_DESKTOP");
        const xcb_window_t fakeRoot = x.create(false), emptyRoot = x.create(false);
        // On desktop 0, on every desktop (a panel), without the property, on desktop 2.
        const quint32 desktops[] = {0, 0xFFFFFFFFu, 0, 2};
        std::vector<xcb_window_t> clients;
        for (int i = 0; i < 4; ++i) {
            clients.push_back(x.create(false));
            if (i != 2)
                x.set(clients.back(), desktop, XCB_ATOM_CARDINAL, 32, &desktops[i], 1);
        }
        x.set(fakeRoot, clientList, XCB_ATOM_WINDOW, 32, clients.data(), quint32(clients.size()));
        x.sync();

        const std::unique_ptr<X11WindowReader> reader = X11WindowReader::withOwnConnection();
        QCOMPARE(reader->countDesktopWindows(fakeRoot), std::optional<int>(3));
        QCOMPARE(reader->countDesktopWindows(emptyRoot), std::optional<int>()); // no window manager's list
    }

    // The panel in the window shows what the tools and files of the
    // machine say once they are in; no label keeps the form's sample text.
    void panelInTheWindow() {
        StandInMachine machine;
        QVERIFY(machine.isValid());
        const StandInTools standIns(
            {{"lspci", QString("if [ \"$1\" = -vmm ]; then %1; else %2; fi")
                           .arg(catFixture("lspci-vmm-laptop.txt"), catFixture("lspci-intel-nvidia.txt"))},
             {"glxinfo", catFixture("glxinfo-nvidia.txt")},
             {"wmctrl", "[ \"$1\" = -m ] && " + catFixture("wmctrl-m-xfwm.txt")},
             {"systemd-detect-virt", "echo none; exit 1"},
             {"dmidecode", "[ \"$1 $2\" = '-t memory' ] && " + catFixture("dmidecode-ddr4-two.txt")},
             {"lsblk", "[ \"$* $LC_ALL\" = '-b -d -o NAME,SIZE,ROTA,TYPE C' ] && " +
                           catFixture("lsblk-nvme-hdd.txt")}});
        MainWindow window;
        auto* panel = window.findChild<TabOverviewSysInfo*>();
        QSignalSpy shown(panel, &TabOverviewSysInfo::staticInfoShown);
        // Another title than the program's, so that tests looking for the
        // program's window on the shared display do not find this one.
        window.setWindowTitle("System panel under test");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(shown.count() == 1 || shown.wait(30000));
        Ui::MainWindow* ui = window.form();
        QVERIFY(TestSupport::waitFor([&] { return ui->labelApplications->text().toInt() >= 1; }));

        QCOMPARE(ui->labelOSName->text(), QString("Debian GNU/Linux"));
        QCOMPARE(ui->labelWindowManager->text(), QString("XFWM4"));
        QCOMPARE(ui->labelGPUDriver->text(), QString("4.6.0 NVIDIA 535.154.05"));
        QCOMPARE(ui->labelStorage->text(), QString("512 GB SSD, 1.5 TB SSD, 2 TB HDD"));
        const auto labels = valueLabels(&window);
        QCOMPARE(labels.size(), 24);
        for (const auto& [label, sample] : labels) {
            // A count of 0 may be the real figure; no other sample text can be.
            QVERIFY2(label->text() != sample || sample == "0", qPrintable(label->objectName()));
            QVERIFY2(!label->text().isEmpty() || label == ui->labelBasedOn, qPrintable(label->objectName()));
        }

        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (!folder.isEmpty()) {
            window.resize(1000, 700);
            QTest::qWait(300); // laid out and painted: a picture only
            QVERIFY(window.grab().save(folder + "/overview-sysinfo.png"));
        }
    }
};

QTEST_MAIN(TestSysInfoPanel)
#include "tst_sysinfopanel.moc"
