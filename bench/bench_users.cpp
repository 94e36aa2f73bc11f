// The Users page over 1,000 accounts: one account-list refresh (passwd, group,
// lastlog, settings, and the ~/.face of every tenth account, a 512x512 PNG)
// and the tile refill, beside awk doing the comparable join of the same
// passwd and group files. And the opening of the webcam dialog beside the
// stock-pictures dialog's, in alternation, with the camera object the
// webcam dialog used to make at every opening.
#include "dialogstockavatars.h"
#include "dialogwebcam.h"
#include "startup.h"
#include "systempaths.h"
#include "tabusers.h"
#include "ui_mainwindow.h"
#include "workerusers.h"

#include <QApplication>
#include <QCamera>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <lastlog.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int accountCount = 1000;
const char* const standardGroups[] = {"audio",     "video",      "plugdev", "netdev",  "lpadmin", "scanner",
                                      "bluetooth", "cdrom",      "render",  "dialout", "input",   "dip",
                                      "floppy",    "sambashare", "sudo",    "adm"};

QTemporaryDir* fixtureRoot() {
    static QTemporaryDir root;
    return &root;
}

// passwd, group and lastlog of 1,000 desktop accounts (every tenth an
// administrator) beside the usual system accounts.
void writeFixture(const QString& root) {
    QDir().mkpath(root + QStringLiteral("/etc"));
    QDir().mkpath(root + QStringLiteral("/var/log"));
    QByteArray passwd = "root:x:0:0:root:/root:/bin/bash\n";
    for (int i = 1; i < 40; ++i)
        passwd += QByteArray("sys") + QByteArray::number(i) + ":x:" + QByteArray::number(i) + ":" +
                  QByteArray::number(i) + "::/nonexistent:/usr/sbin/nologin\n";
    QByteArray group = "root:x:0:\n";
    QList<QByteArray> members[16];
    // Stock pictures for the stock-pictures dialog, as Debian ships them.
    QDir().mkpath(root + QStringLiteral("/usr/share/pixmaps/faces"));
    for (int i = 0; i < 20; ++i) {
        QImage stock(96, 96, QImage::Format_RGB32);
        stock.fill(QColor(10 * i, 100, 200));
        stock.save(root + QStringLiteral("/usr/share/pixmaps/faces/face-%1.png").arg(i), "PNG");
    }
    QImage face(512, 512, QImage::Format_RGB32);
    face.fill(QColor(40, 90, 160));
    for (int i = 0; i < accountCount; ++i) {
        const QByteArray name = "user" + QByteArray::number(i);
        const QByteArray id = QByteArray::number(1000 + i);
        const QString home = root + QStringLiteral("/home/") + QString::fromLatin1(name);
        passwd += name + ":x:" + id + ":" + id + ":User " + QByteArray::number(i) +
                  ",,,:" + QFile::encodeName(home) + ":/bin/bash\n";
        if (i % 10 == 0) {
            QDir().mkpath(home);
            face.save(home + QStringLiteral("/.face"), "PNG");
            if (::chown(QFile::encodeName(home + QStringLiteral("/.face")).constData(), 1000 + i, 1000 + i) !=
                0)
                face = QImage(); // not root: the pictures are not the account's, and are not shown
        }
        group += name + ":x:" + id + ":\n";
        for (int g = 0; g < (i % 10 == 0 ? 16 : 14); ++g)
            members[g] << name;
    }
    passwd += "nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n";
    for (int g = 0; g < 16; ++g)
        group += QByteArray(standardGroups[g]) + ":x:" + QByteArray::number(100 + g) + ":" +
                 members[g].join(',') + "\n";
    QFile passwdFile(root + QStringLiteral("/etc/passwd"));
    passwdFile.open(QIODevice::WriteOnly);
    passwdFile.write(passwd);
    QFile groupFile(root + QStringLiteral("/etc/group"));
    groupFile.open(QIODevice::WriteOnly);
    groupFile.write(group);
    QFile lastlogFile(root + QStringLiteral("/var/log/lastlog"));
    lastlogFile.open(QIODevice::WriteOnly);
    lastlogFile.resize(qint64(sizeof(struct lastlog)) * (1000 + accountCount));
}

// The account list, then the pictures read after it, one per event.
QList<DetailsUser> readAccounts(int* pictures = nullptr) {
    WorkerUsers worker;
    QList<DetailsUser> users;
    int read = 0;
    QObject::connect(&worker, &WorkerUsers::userListUpdated,
                     [&](const QList<DetailsUser>& list) { users = list; });
    QObject::connect(&worker, &WorkerUsers::userPictureRead, [&](const UserPicture&) { ++read; });
    worker.getUsers();
    for (int turn = 0; turn < 2 * accountCount && read < accountCount / 10; ++turn)
        QCoreApplication::processEvents();
    if (pictures)
        *pictures = read;
    return users;
}

void BM_ReadAccounts(benchmark::State& state) {
    for (auto _ : state) {
        int pictures = 0;
        const QList<DetailsUser> users = readAccounts(&pictures);
        if (users.size() != accountCount || pictures != accountCount / 10)
            state.SkipWithError("wrong account or picture count");
        benchmark::DoNotOptimize(users.size());
    }
}
BENCHMARK(BM_ReadAccounts)->Unit(benchmark::kMillisecond);

void BM_FillTiles(benchmark::State& state) {
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    TabUsers tab(&ui, &window);
    const QList<DetailsUser> users = readAccounts();
    for (auto _ : state) {
        tab.onUserDataReady(users);
        benchmark::DoNotOptimize(ui.listViewUsers->model()->rowCount());
    }
}
BENCHMARK(BM_FillTiles)->Unit(benchmark::kMillisecond);

// The peer: awk joins the same group and passwd files (each desktop account
// with its group count).
void BM_AwkJoin(benchmark::State& state) {
    const QByteArray group = QFile::encodeName(fixtureRoot()->path() + QStringLiteral("/etc/group"));
    const QByteArray passwd = QFile::encodeName(fixtureRoot()->path() + QStringLiteral("/etc/passwd"));
    const char* program = "FNR==NR { n = split($4, m, \",\"); for (i = 1; i <= n; i++) c[m[i]]++; next } "
                          "$3 > 999 && $1 != \"nobody\" { print $1, $3, $5, c[$1] }";
    char awk[] = "awk";
    char separator[] = "-F:";
    std::string script = program;
    std::string groupPath = group.toStdString();
    std::string passwdPath = passwd.toStdString();
    char* argv[] = {awk, separator, script.data(), groupPath.data(), passwdPath.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "awk", &actions, nullptr, argv, environ) != 0 ||
            waitpid(pid, &status, 0) < 0 || status != 0)
            state.SkipWithError("awk failed");
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_AwkJoin)->Unit(benchmark::kMillisecond);

// The window is held from the dialog's creation until it has been painted
// once; the webcam dialog's camera is looked for after that, on the pool.
double openMs(QDialog* dialog) {
    QElapsedTimer clock;
    clock.start();
    dialog->show();
    QCoreApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

void BM_OpenPictureDialogs(benchmark::State& state) {
    double webcamMs = 0;
    double stockMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto* webcam = new DialogWebcam;
        webcamMs += clock.nsecsElapsed() / 1e6 + openMs(webcam);
        // Its answer comes on its own; waited for outside the figure.
        auto* status = webcam->findChild<QLabel*>(QStringLiteral("labelCameraStatus"));
        while (status->text().startsWith(QLatin1String("Looking")))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        delete webcam;
        clock.restart();
        auto* stock = new DialogStockAvatars;
        stockMs += clock.nsecsElapsed() / 1e6 + openMs(stock);
        delete stock;
    }
    state.counters["webcam_ms"] = benchmark::Counter(webcamMs, benchmark::Counter::kAvgIterations);
    state.counters["stock_ms"] = benchmark::Counter(stockMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OpenPictureDialogs)->Unit(benchmark::kMillisecond)->Iterations(10);

// What the webcam dialog made at every opening before it looked for a camera
// first: a camera object for the default camera, camera or not.
void BM_DefaultCameraObject(benchmark::State& state) {
    for (auto _ : state) {
        QCamera camera;
        benchmark::DoNotOptimize(camera.state());
    }
}
BENCHMARK(BM_DefaultCameraObject)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerSharedMetaTypes();
    QLoggingCategory::setFilterRules(QStringLiteral("tessmar.*.debug=false"));
    writeFixture(fixtureRoot()->path());
    SystemPaths::setRootPrefix(fixtureRoot()->path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    SystemPaths::setRootPrefix(QString());
    return 0;
}
