#include "apppalette.h"
#include "dialogadduser.h"
#include "snifferpagefixture.h"
#include "startup.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QCamera>
#include <QDirIterator>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace SnifferPageSupport;
using TestSupport::onNextModal;

namespace {

// Before main starts: the capture page's threads work in a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

// The program's start-up as far as the desktop theme, in a process of its
// own so that GTK meets the home folder the test gives it: prints GTK's
// background colour as three channels from 0 to 255.
int runThemeChild() {
    keepOwnFilesOutOfUserHome();
    const std::optional<DesktopColor> color = desktopBackgroundColor();
    if (!color)
        return 2;
    std::printf("%d %d %d\n", qRound(color->red * 255), qRound(color->green * 255),
                qRound(color->blue * 255));
    return 0;
}

// Everything under folder, folder included, that does not belong to uid.
QStringList notOwnedBy(const QString& folder, uid_t uid) {
    QStringList paths{folder};
    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        paths << entries.next();
    QStringList foreign;
    for (const QString& path : paths) {
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || info.st_uid != uid)
            foreign << path;
    }
    return foreign;
}

} // namespace

// The program runs as root with the invoking user's HOME. What it keeps for
// itself goes to root's own folders (here the test's private /root); what it
// makes for the user is the user's; the user's desktop settings are still read.
class TestUserHome : public SnifferPageFixture {
    Q_OBJECT

    QTemporaryDir dir;
    QString user;
    QString home;
    uid_t uid = 0;

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("a home folder of another account needs root");
        prepareMachine(ownNetwork);
        TestSupport::removeStaleTestAccounts("tsmhome");
        user = TestSupport::accountName("tsmhome");
        home = dir.filePath("home");
        QCOMPARE(QProcess::execute("useradd", {"-M", "-N", "-g", "users", "-d", home, user}), 0);
        QVERIFY(QDir().mkdir(home));
        QCOMPARE(QProcess::execute("chown", {user + ":users", home}), 0);
        QVERIFY(QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        uid = QFileInfo(home).ownerId();
        // As sudo -E leaves it: the user's home, the user's name.
        qputenv("HOME", QFile::encodeName(home));
        qputenv("SUDO_USER", user.toUtf8());
    }

    void cleanupTestCase() {
        qunsetenv("SUDO_USER");
        if (!user.isEmpty())
            QProcess::execute("userdel", {user});
    }

    // Browse... in Add User opened and cancelled, a capture saved: the
    // dialogs open in the user's home and keep their state in root's
    // folder, and the capture is the user's.
    void dialogsLeaveTheHomeToItsUser() {
        QString browsedFolder;
        {
            DialogAddUser add(window.get());
            add.show();
            QVERIFY(QTest::qWaitForWindowExposed(&add));
            QTimer menuChooser;
            connect(&menuChooser, &QTimer::timeout, [&] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                    for (QAction* action : menu->actions())
                        if (action->text() == QLatin1String("Browse...")) {
                            menu->close();
                            action->trigger();
                        }
            });
            menuChooser.start(20);
            onNextModal("QFileDialog", [&](QWidget* files) {
                browsedFolder = static_cast<QFileDialog*>(files)->directory().absolutePath();
                static_cast<QDialog*>(files)->reject();
            });
            QTest::mousePress(add.findChild<QLabel*>("labelUserAvatar"), Qt::LeftButton, {}, QPoint(95, 95));
            QTRY_VERIFY(!browsedFolder.isEmpty());
        }
        QCOMPARE(browsedFolder, home);

        QVERIFY(feed({makePacket("a", 17, PacketDirection::Incoming)}));
        QString savedFolder;
        bool desktopsDialog = false;
        onNextModal("QDialog", [&](QWidget* dialog) {
            onNextModal("QFileDialog", [&](QWidget* fileDialog) {
                auto* files = static_cast<QFileDialog*>(fileDialog);
                savedFolder = files->directory().absolutePath();
                auto* name = files->findChild<QLineEdit*>("fileNameEdit");
                if (!name) {
                    desktopsDialog = true;
                    static_cast<QDialog*>(files)->reject();
                    return;
                }
                name->setText("capture");
                onNextModal("QMessageBox", [](QWidget* box) { static_cast<QMessageBox*>(box)->accept(); });
                static_cast<QDialog*>(files)->accept();
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        ui->pushButtonNetworkingPacketSnifferSave->click();
        // GTK's own keeps recent files and bookmarks in the home folder.
        QVERIFY2(!desktopsDialog, "the file dialog was the desktop's own");
        QCOMPARE(savedFolder, home);
        QCOMPARE(notOwnedBy(home, uid), QStringList());
        QVERIFY(QFileInfo::exists(home + "/capture.txt"));
        QVERIFY(QFileInfo::exists("/root/.config/QtProject.conf"));
    }

    // The camera service loads GStreamer, which keeps its registry in the
    // cache folder.
    void librariesCacheInRootsFolder() {
        { QCamera camera; }
        QVERIFY(QFileInfo::exists("/root/.cache/gstreamer-1.0"));
        QCOMPARE(notOwnedBy(home, uid), QStringList());
    }

    // GTK still reads the style sheet in the user's configuration folder.
    void themeFollowsTheUsersSettings() {
        const QString css = home + "/.config/gtk-3.0/gtk.css";
        QVERIFY(QDir().mkpath(QFileInfo(css).path()));
        QFile sheet(css);
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("@define-color theme_bg_color #204060;\n");
        sheet.close();
        QCOMPARE(QProcess::execute("chown", {"-R", user + ":users", home + "/.config"}), 0);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TESSMAR_THEME_CHILD", "1");
        for (const char* name : {"XDG_CONFIG_HOME", "GTK_THEME"})
            environment.remove(name);
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), QString("32 64 96\n"));
        QCOMPARE(notOwnedBy(home, uid), QStringList());
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("TESSMAR_THEME_CHILD"))
        return runThemeChild();
    // Root's folders are the test's own: a private /root.
    if (::geteuid() == 0 && !TestSupport::isolateSystemFolders())
        qFatal("cannot make private system folders");
    // Qt's GTK platform theme, as on a Debian GNOME or Xfce desktop: its
    // file dialogs are GTK's own, which keep their state in the home folder.
    qputenv("QT_QPA_PLATFORMTHEME", "gtk3");
    keepOwnFilesOutOfUserHome();
    QApplication app(argc, argv);
    TestUserHome test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_userhome.moc"
