#include "userdialogsfixture.h"

#include "accountfiles.h"
#include "accountlookup.h"
#include "commandrunner.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>

void UserDialogsFixture::initTestCase() {
    registerSharedMetaTypes();
    TestSupport::removeStaleTestAccounts(QStringLiteral("tsm_"));
    // Real accounts, but every file the program keeps for them in a temporary root.
    QVERIFY(root.isValid());
    for (const char* folder : {"/etc/polkit-1/rules.d", "/etc/sudoers.d", "/etc/lightdm", "/root/.tessmar",
                               "/usr/share/pixmaps/faces", "/home/me"})
        QVERIFY(QDir().mkpath(root.path() + QLatin1String(folder)));
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), root.path() + QStringLiteral("/etc/passwd")));
    QVERIFY(QFile::link(QStringLiteral("/etc/group"), root.path() + QStringLiteral("/etc/group")));
    QVERIFY(QFile::copy(QStringLiteral("/etc/group"), root.path() + QStringLiteral("/etc/group.at-start")));
    faces = root.path() + QStringLiteral("/usr/share/pixmaps/faces/");
    writeImage(faces + QStringLiteral("b.png"), QSize(96, 96), QColor(100, 100, 100));
    writeImage(faces + QStringLiteral("A.png"), QSize(100, 100), Qt::red);
    writeImage(faces + QStringLiteral("c.PNG"), QSize(200, 100), Qt::white);
    writeImage(faces + QStringLiteral("d.gif"), QSize(100, 100), Qt::white);
    writeImage(faces + QStringLiteral("avatar-08.jpg"), QSize(100, 100), Qt::blue);
    SystemPaths::setRootPrefix(root.path());
    // No account service of the machine hears about throwaway accounts.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS",
            QFile::encodeName(QStringLiteral("unix:path=") + root.path() + "/nobus"));
    // Message boxes of a save are answered with their default button.
    connect(&dismisser, &QTimer::timeout, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            titles << box->windowTitle();
            texts << box->text();
            const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
            if (!folder.isEmpty()) {
                // The screen with the message over its dialog, once both are painted.
                dismisser.stop();
                QTest::qWait(300); // for the picture only; nothing is checked
                QGuiApplication::primaryScreen()->grabWindow(0).save(
                    QStringLiteral("%1/message-%2.png").arg(folder).arg(++messagesShot));
                dismisser.start();
            }
            if (QAbstractButton* button =
                    box->defaultButton() ? box->defaultButton() : box->buttons().value(0))
                button->click();
        }
    });
    dismisser.start(50);
}

void UserDialogsFixture::cleanupTestCase() {
    for (const QString& name : qAsConst(accounts))
        if (lookupAccount(name).found)
            CommandRunner::run(QStringLiteral("userdel"), {QStringLiteral("-r"), QStringLiteral("-f"), name});
    SystemPaths::setRootPrefix(QString());
}

QString UserDialogsFixture::fresh() {
    const QString name = TestSupport::accountName(QStringLiteral("tsm_"));
    accounts << name;
    return name;
}

QStringList UserDialogsFixture::groupsOf(const QString& name) {
    QStringList groups = CommandRunner::run(QStringLiteral("id"), {QStringLiteral("-nG"), name})
                             .outputText()
                             .trimmed()
                             .split(QLatin1Char(' '));
    groups.sort();
    return groups;
}

QStringList UserDialogsFixture::expectedGroups(const QString& name, bool administrator,
                                               const QStringList& extra) const {
    QFile file(root.path() + QStringLiteral("/etc/group.at-start"));
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no copy of the group file>")};
    const QList<GroupEntry> machine = AccountFiles::parseGroup(QString::fromUtf8(file.readAll()));
    QStringList wanted = AccountFiles::standardGroups();
    if (administrator)
        wanted << QStringLiteral("sudo") << QStringLiteral("adm");
    QStringList groups = AccountFiles::definedGroups(wanted, machine) << name << extra;
    groups.sort();
    return groups;
}

QString UserDialogsFixture::groupsProblem(const QString& name, const QStringList& expected) {
    const QStringList actual = groupsOf(name);
    QStringList missing, unexpected;
    for (const QString& group : expected)
        if (!actual.contains(group))
            missing << group;
    for (const QString& group : actual)
        if (!expected.contains(group))
            unexpected << group;
    if (missing.isEmpty() && unexpected.isEmpty())
        return QString();
    return QStringLiteral("%1 is in [%2]; missing [%3], unexpected [%4]")
        .arg(name, actual.join(QLatin1Char(' ')), missing.join(QLatin1Char(' ')),
             unexpected.join(QLatin1Char(' ')));
}

void UserDialogsFixture::showOnlyThisRunsAccounts() const {
    QFile live(QStringLiteral("/etc/passwd"));
    QVERIFY(live.open(QIODevice::ReadOnly));
    QByteArray own;
    for (const QByteArray& line : live.readAll().split('\n')) {
        const QString name = QString::fromUtf8(line.left(line.indexOf(':')));
        if (name == QLatin1String("root") || accounts.contains(name))
            own += line + '\n';
    }
    const QString path = root.path() + QStringLiteral("/etc/passwd");
    QFile file(path + QStringLiteral(".new"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(own) == own.size());
    file.close();
    QVERIFY(::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) ==
            0);
}

void UserDialogsFixture::showLiveAccounts() const {
    const QString path = root.path() + QStringLiteral("/etc/passwd");
    QFile::remove(path);
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), path));
}

uint UserDialogsFixture::ownerOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_uid : uint(-1);
}

void UserDialogsFixture::writeImage(const QString& path, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, path.endsWith(QLatin1String(".jpg")) ? "JPG" : "PNG"));
}

UserDialogsFixture::FixtureRoot::FixtureRoot() {
    for (const char* name : {"passwd", "group"}) {
        QFile source(TestSupport::testDataPath(QStringLiteral("users/") + QLatin1String(name)));
        source.open(QIODevice::ReadOnly);
        QByteArray text = source.readAll();
        text.replace("HOME", QFile::encodeName(dir.path() + QStringLiteral("/home")));
        QDir().mkpath(dir.path() + QStringLiteral("/etc"));
        QFile out(dir.path() + QStringLiteral("/etc/") + QLatin1String(name));
        out.open(QIODevice::WriteOnly);
        out.write(text);
    }
    previous = SystemPaths::rootPrefix();
    SystemPaths::setRootPrefix(dir.path());
}

UserDialogsFixture::FixtureRoot::~FixtureRoot() {
    SystemPaths::setRootPrefix(previous);
}

UserDialogsFixture::EditMachine::EditMachine(const QByteArray& passwd, const QByteArray& group) {
    for (const char* folder : {"/etc/lightdm", "/etc/sudoers.d", "/etc/polkit-1/rules.d", "/root/.tessmar",
                               "/tools", "/home/alice"})
        QDir().mkpath(dir.path() + QLatin1String(folder));
    write("/etc/passwd", passwd);
    write("/etc/group", group);
    write("/etc/lightdm/lightdm.conf", "[Seat:*]\n#autologin-user=\n");
    const QByteArray groupFile = QFile::encodeName(file("/etc/group"));
    const QByteArray log = QFile::encodeName(file("/commands"));
    // usermod -a|-r -G list -- user edits the group file; everything else
    // is only logged. gpasswd is only logged (the dialog must not use it).
    QByteArray usermod = "echo usermod \"$@\" >> 'LOG'\n"
                         R"(
[ "$2" = -G ] || exit 0
case "$1" in -a|-r) ;; *) exit 0 ;; esac
awk -F: -v OFS=: -v f="$1" -v list="$3" -v u="$5" '
  BEGIN { n = split(list, g, ","); for (i = 1; i <= n; i++) want[g[i]] = 1 }
  ($1 in want) { n = split($4, m, ","); o = ""
                 for (i = 1; i <= n; i++) if (m[i] != u && m[i] != "") o = o (o == "" ? "" : ",") m[i]
                 if (f == "-a") o = o (o == "" ? "" : ",") u
                 $4 = o }
  { print }' 'GROUP' > 'GROUP.new' && mv 'GROUP.new' 'GROUP'
)";
    usermod.replace("LOG", log).replace("GROUP", groupFile);
    TestSupport::writeScript(file("/tools/usermod"), usermod);
    TestSupport::writeScript(file("/tools/gpasswd"), "echo gpasswd \"$@\" >> '" + log + "'\n");
    previousRoot = SystemPaths::rootPrefix();
    previousSearchPath = SystemPaths::searchPath();
    SystemPaths::setRootPrefix(dir.path());
    SystemPaths::prependSearchPath(file("/tools"));
}

UserDialogsFixture::EditMachine::~EditMachine() {
    SystemPaths::setRootPrefix(previousRoot);
    SystemPaths::setSearchPath(previousSearchPath);
}

void UserDialogsFixture::EditMachine::write(const char* path, const QByteArray& content) const {
    QFile out(file(path));
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    out.write(content);
}

QByteArray UserDialogsFixture::EditMachine::read(const char* path) const {
    QFile in(file(path));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

QStringList UserDialogsFixture::EditMachine::commands() const {
    if (!QFileInfo::exists(file("/commands")))
        return QStringList();
    return QString::fromUtf8(read("/commands")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray UserDialogsFixture::twoAdministrators() {
    return "sudo:x:27:alice,bob\nadm:x:4:alice,bob\naudio:x:29:alice,bob\n"
           "alice:x:1000:\nbob:x:1001:\n";
}

QByteArray UserDialogsFixture::aliceAndBob(const QByteArray& aliceName) {
    return "root:x:0:0:root:/root:/bin/bash\nalice:x:1000:1000:" + aliceName +
           ",Room 1,,:/home/alice:/bin/bash\nbob:x:1001:1001:Bob:/home/bob:/bin/bash\n";
}

void UserDialogsFixture::shoot(QWidget* widget, const QString& name) {
    const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    widget->show();
    QTest::qWait(50); // painted: a picture only, nothing is checked
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void UserDialogsFixture::browse(QWidget* avatar, const QString& path) {
    // One timer each, as a timer is not run again inside its own handler.
    QTimer menuChooser;
    QObject::connect(&menuChooser, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            for (QAction* action : menu->actions())
                if (action->text() == QLatin1String("Browse...")) {
                    menu->close();
                    action->trigger();
                }
    });
    QTimer fileChooser;
    QObject::connect(&fileChooser, &QTimer::timeout, [&] {
        if (auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            files->selectFile(path);
            QMetaObject::invokeMethod(files, "accept");
        }
    });
    menuChooser.start(20);
    fileChooser.start(20);
    QTest::mousePress(avatar, Qt::LeftButton, {}, QPoint(95, 95));
}
