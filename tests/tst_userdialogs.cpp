#include "accountchanges.h"
#include "accountlookup.h"
#include "avatarhelpers.h"
#include "commandrunner.h"
#include "dialogadduser.h"
#include "dialogchangepassword.h"
#include "dialogdeleteuser.h"
#include "dialogedituser.h"
#include "dialoggroups.h"
#include "dialogstockavatars.h"
#include "dialogwebcam.h"
#include "pamauth.h"
#include "programsettings.h"
#include "startup.h"
#include "systempaths.h"
#include "tabusers.h"
#include "testpictures.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "usersortproxymodel.h"

#include <QCameraInfo>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// The user dialogs under the real X server; the account ones on throwaway
// accounts that are removed again.
class TestUserDialogs : public QObject {
    Q_OBJECT

    QStringList accounts;
    QTimer dismisser;
    QStringList titles; // of the message boxes answered
    QStringList texts;  // and their texts
    int messagesShot = 0;
    QTemporaryDir root;
    QString faces;

    QString fresh() {
        const QString name = TestSupport::uniqueName(QStringLiteral("tsm_")).toLower();
        accounts << name;
        return name;
    }
    static QStringList groupsOf(const QString& name) {
        QStringList groups = CommandRunner::run(QStringLiteral("id"), {QStringLiteral("-nG"), name})
                                 .outputText()
                                 .trimmed()
                                 .split(QLatin1Char(' '));
        groups.sort();
        return groups;
    }
    static uint ownerOf(const QString& path) {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_uid : uint(-1);
    }
    static void writeImage(const QString& path, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(path, path.endsWith(QLatin1String(".jpg")) ? "JPG" : "PNG"));
    }
    // Uses the fixture tree of tests/data/users (alice the only administrator)
    // for the rest of a test function.
    struct FixtureRoot {
        QTemporaryDir dir;
        FixtureRoot() {
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
        ~FixtureRoot() { SystemPaths::setRootPrefix(previous); }
        QString previous;
    };

    // A machine of its own for the Edit User dialog: account files, settings
    // and lightdm.conf in a temporary root, and stand-ins for gpasswd and
    // usermod that log their arguments (gpasswd also edits the group file),
    // so that a save touches nothing real and every command is seen.
    struct EditMachine {
        QTemporaryDir dir;
        QString previousRoot;
        QStringList previousSearchPath;
        explicit EditMachine(const QByteArray& passwd, const QByteArray& group) {
            for (const char* folder : {"/etc/lightdm", "/etc/sudoers.d", "/etc/polkit-1/rules.d",
                                       "/root/.tessmar", "/tools", "/home/alice"})
                QDir().mkpath(dir.path() + QLatin1String(folder));
            write("/etc/passwd", passwd);
            write("/etc/group", group);
            write("/etc/lightdm/lightdm.conf", "[Seat:*]\n#autologin-user=\n");
            const QByteArray groupFile = QFile::encodeName(file("/etc/group"));
            const QByteArray log = QFile::encodeName(file("/commands"));
            TestSupport::writeScript(file("/tools/usermod"), "echo usermod \"$@\" >> '" + log + "'\n");
            TestSupport::writeScript(
                file("/tools/gpasswd"),
                "echo gpasswd \"$@\" >> '" + log +
                    "'\n"
                    "awk -F: -v OFS=: -v f=\"$1\" -v u=\"$2\" -v g=\"$3\" '$1 == g { n = split($4, m, "
                    "\",\"); o = \"\";"
                    " for (i = 1; i <= n; i++) if (m[i] != u && m[i] != \"\") o = o (o == \"\" ? \"\" : "
                    "\",\") m[i];"
                    " if (f == \"-a\") o = o (o == \"\" ? \"\" : \",\") u; $4 = o } { print }' '" +
                    groupFile + "' > '" + groupFile + ".new' && mv '" + groupFile + ".new' '" + groupFile +
                    "'\n");
            previousRoot = SystemPaths::rootPrefix();
            previousSearchPath = SystemPaths::searchPath();
            SystemPaths::setRootPrefix(dir.path());
            SystemPaths::prependSearchPath(file("/tools"));
        }
        ~EditMachine() {
            SystemPaths::setRootPrefix(previousRoot);
            SystemPaths::setSearchPath(previousSearchPath);
        }
        QString file(const char* path) const { return dir.path() + QLatin1String(path); }
        void write(const char* path, const QByteArray& content) const {
            QFile out(file(path));
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write(content);
        }
        QByteArray read(const char* path) const {
            QFile in(file(path));
            return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
        }
        QStringList commands() const {
            if (!QFileInfo::exists(file("/commands")))
                return QStringList();
            return QString::fromUtf8(read("/commands")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
    };
    static QByteArray twoAdministrators() {
        return "sudo:x:27:alice,bob\nadm:x:4:alice,bob\naudio:x:29:alice,bob\n"
               "alice:x:1000:\nbob:x:1001:\n";
    }
    static QByteArray aliceAndBob(const QByteArray& aliceName = "Alice") {
        return "root:x:0:0:root:/root:/bin/bash\nalice:x:1000:1000:" + aliceName +
               ",Room 1,,:/home/alice:/bin/bash\nbob:x:1001:1001:Bob:/home/bob:/bin/bash\n";
    }
    // Saves with the dialog's buttons' own slot and the password question answered yes.
    static void save(DialogEditUser& dialog) { dialog.toggleEdit(); }

    // Pictures of the dialogs, taken only when asked for (scripts/screenshots).
    static void shoot(QWidget* widget, const QString& name) {
        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        widget->show();
        QTest::qWait(50);
        widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

private slots:
    void initTestCase() {
        registerSharedMetaTypes();
        TestSupport::removeStaleTestAccounts(QStringLiteral("tsm_"));
        // Real accounts, but every file the program keeps for them in a temporary root.
        QVERIFY(root.isValid());
        for (const char* folder : {"/etc/polkit-1/rules.d", "/etc/sudoers.d", "/etc/lightdm",
                                   "/root/.tessmar", "/usr/share/pixmaps/faces", "/home/me"})
            QVERIFY(QDir().mkpath(root.path() + QLatin1String(folder)));
        QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), root.path() + QStringLiteral("/etc/passwd")));
        QVERIFY(QFile::link(QStringLiteral("/etc/group"), root.path() + QStringLiteral("/etc/group")));
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
                    QTest::qWait(300);
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
    void cleanupTestCase() {
        for (const QString& name : qAsConst(accounts))
            if (lookupAccount(name).found)
                CommandRunner::run(QStringLiteral("userdel"),
                                   {QStringLiteral("-r"), QStringLiteral("-f"), name});
        SystemPaths::setRootPrefix(QString());
    }

    // OK follows both fields on every change: an emptied field never lets an
    // unconfirmed text through.
    void changePasswordGatesOk() {
        DialogChangePassword dialog(QStringLiteral("someone"));
        auto* first = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditNewPassword"));
        auto* second = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRepeatPassword"));
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonOK"));
        first->setText(QStringLiteral("abc"));
        second->setText(QStringLiteral("abc"));
        QVERIFY(ok->isEnabled());
        second->clear();
        QVERIFY(!ok->isEnabled());
        first->setText(QStringLiteral("abd"));
        second->setText(QStringLiteral("abc"));
        QVERIFY(!ok->isEnabled());
        second->setText(QStringLiteral("abd"));
        QSignalSpy spy(&dialog, &DialogChangePassword::passwordChanged);
        shoot(&dialog, QStringLiteral("change-password"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toString(), QStringLiteral("abd"));
    }

    void pictureHelpers() {
        QPixmap wide(300, 200);
        wide.fill(Qt::red);
        const QImage plain = composeAvatarPixmap(wide, QPixmap(), false).toImage();
        QCOMPARE(plain.size(), QSize(190, 190));
        QCOMPARE(plain.pixelColor(32, 32), QColor(Qt::red));
        QCOMPARE(plain.pixelColor(31, 31).alpha(), 0);
        QPixmap holed(126, 126);
        holed.fill(Qt::transparent);
        const QImage veiled = makeVeiledPixmap(holed).toImage();
        QCOMPARE(veiled.pixelColor(5, 5).alpha(), 0);
        // The overlay lies over the picture; the edit mark stays in its 24x24 square at (92, 74).
        QImage overlay(190, 190, QImage::Format_ARGB32);
        overlay.fill(Qt::transparent);
        overlay.setPixelColor(40, 40, Qt::blue);
        QCOMPARE(composeAvatarPixmap(wide, QPixmap::fromImage(overlay), false).toImage().pixelColor(40, 40),
                 QColor(Qt::blue));
        const QImage marked = composeAvatarPixmap(holed, QPixmap(), true).toImage();
        QRect drawn;
        for (int y = 0; y < 190; ++y)
            for (int x = 0; x < 190; ++x)
                if (marked.pixelColor(x, y).alpha() > 0)
                    drawn |= QRect(x, y, 1, 1);
        QVERIFY(!drawn.isEmpty() && QRect(92, 74, 24, 24).contains(drawn));
        QCOMPARE(cropImageToSquare(QImage(1, 1, QImage::Format_RGB32)).size(), QSize(256, 256));
    }

    void addUserGating() {
        DialogAddUser dialog;
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditUsername"));
        auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditPassword"));
        auto* repeat = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRepeatPassword"));
        auto* feedback = dialog.findChild<QLabel*>(QStringLiteral("labelFeedback"));
        auto* ok =
            dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok);
        dialog.findChild<QRadioButton*>(QStringLiteral("radioButtonRegularUser"))->click();
        password->setText(QStringLiteral("pw"));
        repeat->setText(QStringLiteral("pw"));
        const QStringList refused{"-rf", "1234", "Alice", "root"};
        for (const QString& text : refused) {
            name->setText(text);
            QVERIFY2(!ok->isEnabled(), qPrintable(text));
            QVERIFY(!feedback->isHidden());
        }
        name->setText(QString(33, QLatin1Char('a')));
        QCOMPARE(name->text().size(), 32);
        name->setText(QStringLiteral("tsm_free_name"));
        QVERIFY(ok->isEnabled());
        repeat->setText(QStringLiteral("px"));
        QCOMPARE(feedback->text(), QStringLiteral("Passwords do not match."));
        QVERIFY(!ok->isEnabled());
        // The longest type description and the longest error get every line
        // they need, in a larger font too: the dialog grows rather than
        // squeezing them.
        QFont font = dialog.font();
        font.setPointSizeF(font.pointSizeF() * 1.3);
        dialog.setFont(font);
        dialog.findChild<QRadioButton*>(QStringLiteral("radioButtonAdministrator"))->click();
        name->setText(QStringLiteral("Bad Name"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const char* labelName : {"labelUserDescription", "labelFeedback"}) {
            auto* label = dialog.findChild<QLabel*>(QLatin1String(labelName));
            QVERIFY(label->isVisible());
            QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()), labelName);
        }
        for (QLineEdit* field : {name, password, repeat})
            QVERIFY2(field->height() >= field->sizeHint().height(), qPrintable(field->objectName()));
        shoot(&dialog, QStringLiteral("add-user"));
    }

    // The sole administrator keeps its rights in every dialog; "Custom"
    // brings the Groups button; a close with pending edits can be refused.
    void soleAdministratorAndPrompts() {
        FixtureRoot fixture;
        DialogEditUser dialog;
        dialog.authenticator = [] { return false; };
        dialog.loadUser(QStringLiteral("alice"));
        auto* type = dialog.findChild<QComboBox*>(QStringLiteral("comboBoxType"));
        const QStandardItem* regular = qobject_cast<QStandardItemModel*>(type->model())->item(1);
        QVERIFY(!regular->isEnabled());
        QVERIFY(regular->toolTip().startsWith(QStringLiteral("You are the only Administrator")));
        auto* groups = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonGroups"));
        dialog.show();
        dialog.toggleEdit();
        QCOMPARE(type->currentIndex(), 0);
        type->setCurrentIndex(2);
        QVERIFY(groups->isVisible());
        type->setCurrentIndex(0);
        QVERIFY(!groups->isVisible());

        DialogGroups picker(QStringLiteral("alice"));
        auto* model = qobject_cast<QStandardItemModel*>(picker.findChild<QListView*>()->model());
        QStringList locked;
        for (int row = 0; row < model->rowCount(); ++row)
            if (!model->item(row)->isEnabled())
                locked << model->item(row)->text();
        QCOMPARE(locked, QStringList({"sudo", "alice"}));
        QCOMPARE(picker.checkedGroups().size(), 17);

        dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRealName"))->setText(QStringLiteral("Edited"));
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
        dialog.cancelChanges();
        QVERIFY(dialog.close());
    }

    void stockPictures() {
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(root.path() + QStringLiteral("/home/me")));
        const QString face = root.path() + QStringLiteral("/home/me/.face");
        QFile::remove(face);
        {
            DialogStockAvatars dialog;
            auto* view = dialog.findChild<QListView*>(QStringLiteral("listViewAvatars"));
            auto* select = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonSelectAvatar"));
            QStringList names;
            for (int row = 0; row < view->model()->rowCount(); ++row)
                names << QFileInfo(view->model()->index(row, 0).data(Qt::UserRole).toString()).fileName();
            QCOMPARE(names, QStringList({"A.png", "avatar-08.jpg", "b.png", "c.PNG"}));
            QVERIFY(!select->isEnabled());
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->model()->index(3, 0)).center());
            QVERIFY(select->isEnabled());
            QCOMPARE(dialog.getSelectedImagePath(), faces + QStringLiteral("c.PNG"));
            shoot(&dialog, QStringLiteral("stock-pictures"));
        }
        // A slightly different copy of b is recognised; one grey step more is not.
        // The picture is read away from the GUI thread; the tile follows.
        const auto chosenFor = [&](const QByteArray& picture) {
            QFile file(face);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(picture);
            file.close();
            DialogStockAvatars dialog;
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
            return dialog.getSelectedImagePath();
        };
        const auto png = [](int grey) {
            QImage image(100, 100, QImage::Format_RGB32);
            image.fill(QColor(grey, grey, grey));
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return bytes;
        };
        QCOMPARE(chosenFor(png(120)), faces + QStringLiteral("b.png"));
        QCOMPARE(chosenFor(png(126)), QString());
        // The same picture as SVG is never decoded.
        QCOMPARE(chosenFor("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
                           "<rect width='100' height='100' fill='#787878'/></svg>"),
                 QString());
        qputenv("HOME", home);
    }

    void webcamWithoutCamera() {
        DialogWebcam dialog;
        if (QCameraInfo::availableCameras().isEmpty()) {
            QTRY_COMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelCameraStatus"))->text(),
                         QStringLiteral("No camera was found on this computer."));
            QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("pushButtonTakeSnapshot"))->isEnabled());
        }
        shoot(&dialog, QStringLiteral("webcam"));
        QSignalSpy spy(&dialog, &DialogWebcam::imageCaptured);
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(Qt::green);
        dialog.processCapturedImage(1, photo);
        dialog.processCapturedImage(2, photo);
        QCOMPARE(spy.size(), 1);
        QVERIFY(!dialog.isVisible());
    }

    // The camera is looked for away from the GUI thread: while a slow probe
    // runs, the dialog is up and says so; then it tells what was found.
    void webcamLookedForAway() {
        const auto release = std::make_shared<std::atomic<bool>>(false);
        const auto released = qScopeGuard([&] {
            *release = true;
            QThreadPool::globalInstance()->waitForDone();
        });
        DialogWebcam dialog(nullptr, [release] {
            QDeadlineTimer deadline(5000);
            while (!*release && !deadline.hasExpired())
                QThread::msleep(5);
            return QCameraInfo();
        });
        auto* status = dialog.findChild<QLabel*>(QStringLiteral("labelCameraStatus"));
        auto* take = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonTakeSnapshot"));
        QCOMPARE(status->text(), QStringLiteral("Looking for a camera on this computer..."));
        QVERIFY(!take->isEnabled());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        shoot(&dialog, QStringLiteral("webcam-looking"));
        *release = true;
        QTRY_COMPARE(status->text(), QStringLiteral("No camera was found on this computer."));
        QVERIFY(!take->isEnabled());
    }

    // A picture chosen with Browse is read away from the GUI thread: the
    // dialog answers meanwhile and Cancel drops the read; a progressive JPEG
    // of tens of thousands of scans (minutes of decoding) holds neither
    // Cancel nor the quit.
    void browseReadsAway() {
        EditMachine machine(aliceAndBob(), twoAdministrators());
        qunsetenv("SUDO_USER");
        const QString plain = machine.file("/home/alice/plain.png");
        writeImage(plain, QSize(300, 200), QColor(20, 200, 40));
        const QString slow = machine.file("/home/alice/slow.jpg");
        {
            QFile out(slow);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(TestPictures::withRepeatedScan(TestPictures::jpeg(QSize(2048, 2048), 1, true), 70000));
        }
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* avatar = dialog.findChild<QLabel*>(QStringLiteral("labelUserAvatar"));
        auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("pushButtonCancel"));
        const auto shown = [&] { return avatar->pixmap(Qt::ReturnByValue).toImage(); };
        // Picks path through the picture's menu and the file dialog; one
        // timer each, as a timer is not run again inside its own handler.
        const auto browse = [&](const QString& path) {
            QTimer menuChooser;
            connect(&menuChooser, &QTimer::timeout, [&] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                    for (QAction* action : menu->actions())
                        if (action->text() == QLatin1String("Browse...")) {
                            menu->close();
                            action->trigger();
                        }
            });
            QTimer fileChooser;
            connect(&fileChooser, &QTimer::timeout, [&] {
                if (auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    files->selectFile(path);
                    QMetaObject::invokeMethod(files, "accept");
                }
            });
            menuChooser.start(20);
            fileChooser.start(20);
            QTest::mousePress(avatar, Qt::LeftButton, {}, QPoint(95, 95));
        };

        dialog.toggleEdit();
        const QImage editing = shown();
        browse(plain);
        QCOMPARE(shown(), editing); // back before the picture is read
        QTRY_VERIFY(shown() != editing);
        dialog.cancelChanges();
        const QImage viewing = shown();

        // Cancel while the picture is being read: it never arrives.
        dialog.toggleEdit();
        browse(plain);
        cancel->click();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5000));
        QCoreApplication::processEvents();
        QCOMPARE(shown(), viewing);

        dialog.toggleEdit();
        titles.clear();
        browse(slow);
        cancel->click();
        QCOMPARE(cancel->isEnabled(), false);
        QElapsedTimer quitting;
        quitting.start();
        CommandRunner::abortAll();
        const bool ended = QThreadPool::globalInstance()->waitForDone(5000);
        CommandRunner::resetAbort();
        qInfo("The picture's read ended %lld ms after the quit began", quitting.elapsed());
        QVERIFY(ended && quitting.elapsed() < 1000);
        QCoreApplication::processEvents();
        QCOMPARE(shown(), viewing);
        QCOMPARE(titles, QStringList());
    }

    // The view and the editor show the full name display-safe; a save runs
    // only what was changed (an untouched name is not written back escaped),
    // and a refused change is named in a message.
    void savesOnlyWhatChanged() {
        const QByteArray spoofed = "Alice \xe2\x80\xae"
                                   "gnp.exe";
        EditMachine machine(aliceAndBob(spoofed), twoAdministrators());
        machine.write("/root/.tessmar/settings_alice", "security_level=1\ndescription=Kitchen\n");
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        dialog.show();
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("labelRealName"));
        auto* realName = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRealName"));
        QCOMPARE(label->text(), QStringLiteral("Alice <U+202E>gnp.exe"));
        const auto files = [&] {
            return QList<QByteArray>{machine.read("/etc/passwd"), machine.read("/etc/group"),
                                     machine.read("/root/.tessmar/settings_alice"),
                                     machine.read("/etc/lightdm/lightdm.conf")};
        };
        const QList<QByteArray> before = files();
        titles.clear();
        texts.clear();
        dialog.toggleEdit();
        QCOMPARE(realName->text(), QStringLiteral("Alice <U+202E>gnp.exe"));
        dialog.toggleEdit();
        QCOMPARE(machine.commands(), QStringList());
        QCOMPARE(titles, QStringList());
        QCOMPARE(files(), before);

        dialog.toggleEdit();
        realName->setText(QStringLiteral("Bad:Name"));
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Some Changes Were Not Saved"});
        QVERIFY2(texts.value(0).contains(QStringLiteral("Full name:")), qPrintable(texts.value(0)));
        QCOMPARE(label->text(), QStringLiteral("Alice <U+202E>gnp.exe"));
        QCOMPARE(machine.commands(), QStringList());
        shoot(&dialog, QStringLiteral("edit-user-refused"));

        // One field changed: one command, and the rest of the field kept.
        dialog.toggleEdit();
        realName->setText(QStringLiteral("Alice Liddell"));
        dialog.toggleEdit();
        QCOMPARE(machine.commands(), QStringList{"usermod -c Alice Liddell,Room 1,, -- alice"});
        QCOMPARE(files(), before);
    }

    // The only-administrator rule holds when the save is applied, whatever
    // was true when the dialog opened; the level shown is the stored one.
    void lastAdministratorKeptAtApplyTime() {
        EditMachine machine(aliceAndBob(), twoAdministrators());
        machine.write("/root/.tessmar/settings_alice", "security_level=0\n");
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        dialog.show();
        auto* type = dialog.findChild<QComboBox*>(QStringLiteral("comboBoxType"));
        auto* slider = dialog.findChild<QSlider*>(QStringLiteral("verticalSliderSecurityLevel"));
        auto* typeLabel = dialog.findChild<QLabel*>(QStringLiteral("labelType"));
        QVERIFY(qobject_cast<QStandardItemModel*>(type->model())->item(1)->isEnabled());
        dialog.toggleEdit();
        QCOMPARE(slider->value(), 0);
        // Bob stops being an administrator while the dialog is open.
        const QByteArray aliceAlone =
            "sudo:x:27:alice\nadm:x:4:alice\naudio:x:29:alice,bob\nalice:x:1000:\nbob:x:1001:\n";
        machine.write("/etc/group", aliceAlone);
        type->setCurrentIndex(1);
        titles.clear();
        texts.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Some Changes Were Not Saved"});
        QVERIFY2(texts.value(0).contains(QStringLiteral("only administrator")), qPrintable(texts.value(0)));
        QCOMPARE(machine.commands(), QStringList());
        QCOMPARE(machine.read("/etc/group"), aliceAlone);
        QCOMPARE(typeLabel->text(), QStringLiteral("Administrator"));

        machine.write("/etc/group", twoAdministrators());
        dialog.toggleEdit();
        type->setCurrentIndex(1);
        titles.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Group Update Success"});
        QVERIFY(machine.read("/etc/group").startsWith("sudo:x:27:bob\n"));
        QCOMPARE(machine.read("/root/.tessmar/settings_alice"), QByteArray("security_level=1\n"));
        QCOMPARE(slider->value(), 1);
        QCOMPARE(typeLabel->text(), QStringLiteral("Regular user"));
    }

    // A root file holding a NUL or bytes of another encoding is never
    // rewritten: the change is refused, the message names the file.
    void badBytesAreNotRewritten_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content");
        const QByteArray nul(1, '\0');
        const QString lightdm = QStringLiteral("/etc/lightdm/lightdm.conf");
        const QString settings = QStringLiteral("/root/.tessmar/settings_alice");
        QTest::newRow("lightdm.conf, NUL")
            << lightdm << "[LightDM]\n" + nul + "\n[Seat:*]\n#autologin-user=\n";
        QTest::newRow("lightdm.conf, Latin-1")
            << lightdm << QByteArray("# caf\xe9\n[Seat:*]\n#autologin-user=\n");
        QTest::newRow("settings, NUL") << settings << "security_level=1\n" + nul + "\ndescription=Kitchen\n";
        QTest::newRow("settings, Latin-1")
            << settings << QByteArray("security_level=1\ndescription=caf\xe9\n");
    }
    void badBytesAreNotRewritten() {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        EditMachine machine(aliceAndBob(), twoAdministrators());
        machine.write(qPrintable(path), content);
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        dialog.toggleEdit();
        if (path.contains(QLatin1String("lightdm")))
            dialog.findChild<QComboBox*>(QStringLiteral("comboBoxAutoLogin"))->setCurrentIndex(1);
        else
            dialog.findChild<QLineEdit*>(QStringLiteral("lineEditDescription"))
                ->setText(QStringLiteral("New"));
        titles.clear();
        texts.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Some Changes Were Not Saved"});
        QVERIFY2(texts.value(0).contains(machine.file(qPrintable(path))), qPrintable(texts.value(0)));
        QCOMPARE(machine.read(qPrintable(path)), content);
    }

    // One real throwaway account edited through the dialog, every step
    // checked on the system. Made like adduser makes them (no group but its
    // own), it first gets an unchanged save and saves of one field, which
    // leave its groups, passwd and shadow lines and grants as they were but
    // for that field; a refused password question applies nothing.
    void editThrowawayAccount() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        const QString name = fresh();
        QVERIFY(CommandRunner::run(QStringLiteral("useradd"),
                                   {QStringLiteral("-m"), QStringLiteral("-s"), QStringLiteral("/bin/bash"),
                                    QStringLiteral("--"), name})
                    .succeeded());
        QVERIFY(AccountChanges::changePassword(name, QStringLiteral("first")));
        QFile lightdm(root.path() + QStringLiteral("/etc/lightdm/lightdm.conf"));
        QVERIFY(lightdm.open(QIODevice::WriteOnly));
        lightdm.write("[Seat:*]\nautologin-user=someone\n");
        lightdm.close();
        const auto output = [](const QString& program, const QStringList& arguments) {
            return CommandRunner::run(program, arguments).outputText();
        };
        const auto state = [&] {
            QMap<QString, QString> fields{
                {QStringLiteral("id"), output(QStringLiteral("id"), {name})},
                {QStringLiteral("shadow"),
                 output(QStringLiteral("getent"), {QStringLiteral("shadow"), name})}};
            const QStringList passwd =
                output(QStringLiteral("getent"), {QStringLiteral("passwd"), name}).split(QLatin1Char(':'));
            for (int i = 0; i < passwd.size(); ++i)
                fields.insert(QStringLiteral("passwd %1").arg(i), passwd.at(i));
            for (const char* folder : {"/etc/sudoers.d", "/etc/polkit-1/rules.d"})
                fields.insert(QLatin1String(folder), QDir(root.path() + QLatin1String(folder))
                                                         .entryList(QDir::Files | QDir::Hidden)
                                                         .join(QLatin1Char(' ')));
            QFile settings(ProgramSettings::filePath(name));
            fields.insert(QStringLiteral("settings"), settings.open(QIODevice::ReadOnly)
                                                          ? QString::fromUtf8(settings.readAll())
                                                          : QString());
            return fields;
        };
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        int asked = 0;
        bool allow = true;
        dialog.authenticator = [&] {
            ++asked;
            return allow;
        };
        dialog.loadUser(name);
        auto* realName = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRealName"));
        auto* description = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditDescription"));
        auto* slider = dialog.findChild<QSlider*>(QStringLiteral("verticalSliderSecurityLevel"));
        auto* type = dialog.findChild<QComboBox*>(QStringLiteral("comboBoxType"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelType"))->text(),
                 QStringLiteral("Regular user"));
        QMap<QString, QString> expected = state();
        titles.clear();
        dialog.toggleEdit();
        dialog.toggleEdit();
        QCOMPARE(state(), expected);
        dialog.toggleEdit();
        description->setText(QStringLiteral("Laptop"));
        dialog.toggleEdit();
        expected[QStringLiteral("settings")] = QStringLiteral("description=Laptop\n");
        QCOMPARE(state(), expected);
        dialog.toggleEdit();
        realName->setText(QStringLiteral("First Name"));
        dialog.toggleEdit();
        expected[QStringLiteral("passwd 4")] = QStringLiteral("First Name");
        QCOMPARE(state(), expected);
        QCOMPARE(titles, QStringList());

        // Made an administrator: the groups of that type this machine has.
        dialog.toggleEdit();
        type->setCurrentIndex(0);
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Group Update Success"});
        QStringList administrator = AccountChanges::groupsForNewAccount(true) << name;
        administrator.sort();
        QCOMPARE(groupsOf(name), administrator);
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("labelType"))->text(),
                 QStringLiteral("Administrator"));
        asked = 0;
        allow = false;
        QImage photo(320, 240, QImage::Format_RGB32);
        photo.fill(Qt::yellow);

        dialog.toggleEdit();
        realName->setText(QStringLiteral("Never Saved"));
        slider->setValue(0);
        dialog.handlePasswordChange(QStringLiteral("refused pw"));
        dialog.onImageCaptured(photo);
        dialog.toggleEdit();
        QCOMPARE(asked, 1);
        QCOMPARE(slider->value(), 1);
        allow = true;
        dialog.toggleEdit();
        dialog.toggleEdit();
        QCOMPARE(authenticateUser(name.toStdString(), "refused pw"), int(AuthRefused));
        QVERIFY(!QFileInfo::exists(AccountChanges::sudoersRulePath(name)));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/home/%1/.face").arg(name)));

        dialog.toggleEdit();
        shoot(&dialog, QStringLiteral("edit-user-editing"));
        realName->setText(QStringLiteral("Test Person"));
        description->setText(QStringLiteral("Throwaway"));
        slider->setValue(0);
        dialog.handlePasswordChange(QStringLiteral("new pass; $x"));
        dialog.onImageCaptured(photo);
        dialog.toggleEdit();
        const CommandResult entry =
            CommandRunner::run(QStringLiteral("getent"), {QStringLiteral("passwd"), name});
        QCOMPARE(entry.outputText().section(QLatin1Char(':'), 4, 4), QStringLiteral("Test Person"));
        QCOMPARE(authenticateUser(name.toStdString(), "new pass; $x"), int(AuthAccepted));
        QVERIFY(QFileInfo::exists(AccountChanges::polkitRulePath(name)));
        QVERIFY(QFileInfo::exists(AccountChanges::sudoersRulePath(name)));
        QCOMPARE(ownerOf(QStringLiteral("/home/%1/.face").arg(name)), lookupAccount(name).uid);
        QVERIFY(lightdm.open(QIODevice::ReadOnly));
        QCOMPARE(lightdm.readAll(), QByteArray("[Seat:*]\nautologin-user=someone\n"));
        lightdm.close();

        // Custom groups and the password level back at 1.
        dialog.toggleEdit();
        type->setCurrentIndex(2);
        dialog.onUpdateTempGroups({QStringLiteral("sudo"), QStringLiteral("audio"), name});
        slider->setValue(1);
        dialog.handlePasswordChange(QStringLiteral("third"));
        titles.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList({"Group Update Success", "Password Changed Successfully"}));
        QCOMPARE(groupsOf(name), QStringList({"audio", "sudo", name}));
        QVERIFY(!QFileInfo::exists(AccountChanges::polkitRulePath(name)));
        QVERIFY(!QFileInfo::exists(AccountChanges::sudoersRulePath(name)));
        shoot(&dialog, QStringLiteral("edit-user"));

        DialogGroups groups(name);
        shoot(&groups, QStringLiteral("groups"));
    }

    // The last administrator is judged again when the deletion is
    // confirmed: another one gone meanwhile stops it. A failure says why.
    void deleteRefusedOrFailedSaysWhy() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        const QString name = fresh();
        QVERIFY(CommandRunner::run(QStringLiteral("useradd"), {QStringLiteral("--"), name}).succeeded());
        const SystemAccount account = lookupAccount(name);
        const QByteArray entry = QStringLiteral("%1:x:%2:%3::/home/%1:/bin/bash\n")
                                     .arg(name)
                                     .arg(account.uid)
                                     .arg(account.gid)
                                     .toUtf8();
        const QByteArray twoAdmins = "sudo:x:27:bob," + name.toUtf8() + "\n";
        EditMachine machine(aliceAndBob() + entry, twoAdmins);
        DialogDeleteUser dialog(name);
        dialog.findChild<QLineEdit*>(QStringLiteral("lineEditConfirm"))->setText(name);
        auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QVERIFY(ok->isEnabled());
        // bob stops being an administrator from a shell before the click.
        machine.write("/etc/group", "sudo:x:27:" + name.toUtf8() + "\n");
        titles.clear();
        texts.clear();
        ok->click();
        QCOMPARE(titles, QStringList{"Deletion Failed"});
        QVERIFY2(texts.value(0).contains(QStringLiteral("only administrator")), qPrintable(texts.value(0)));
        QVERIFY(lookupAccount(name).found);
        shoot(&dialog, QStringLiteral("delete-user-refused"));

        machine.write("/etc/group", twoAdmins);
        QVERIFY(
            TestSupport::writeScript(machine.file("/tools/userdel"),
                                     "echo 'userdel: user is currently used by process 4242' >&2\nexit 8\n"));
        titles.clear();
        texts.clear();
        ok->click();
        QCOMPARE(titles, QStringList{"Deletion Failed"});
        QVERIFY2(texts.value(0).contains(QStringLiteral("currently used by process 4242")),
                 qPrintable(texts.value(0)));
        QVERIFY(lookupAccount(name).found);
    }

    // adduser puts every account in "users" as well as its own group: that
    // reads as the plain regular type, and a change of type keeps it.
    void adduserAccountKeepsUsers() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        // A second administrator, so that this one may stop being one.
        QVERIFY(AccountChanges::createUser(fresh(), QStringLiteral("pw"), true, QByteArray()));
        const QString name = fresh();
        QVERIFY(CommandRunner::run(QStringLiteral("useradd"),
                                   {QStringLiteral("-m"), QStringLiteral("-G"), QStringLiteral("users"),
                                    QStringLiteral("--"), name})
                    .succeeded());
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(name);
        auto* type = dialog.findChild<QComboBox*>(QStringLiteral("comboBoxType"));
        auto* typeLabel = dialog.findChild<QLabel*>(QStringLiteral("labelType"));
        QCOMPARE(typeLabel->text(), QStringLiteral("Regular user"));
        dialog.toggleEdit();
        QCOMPARE(type->currentIndex(), 1);
        for (const bool administrator : {true, false}) {
            type->setCurrentIndex(administrator ? 0 : 1);
            dialog.toggleEdit();
            QStringList expected = AccountChanges::groupsForNewAccount(administrator)
                                   << name << QStringLiteral("users");
            expected.sort();
            QCOMPARE(groupsOf(name), expected);
            QCOMPARE(typeLabel->text(),
                     administrator ? QStringLiteral("Administrator") : QStringLiteral("Regular user"));
            dialog.toggleEdit();
        }
        dialog.cancelChanges();
    }

    // With no description of its own the editor starts empty, the sentence
    // shown only as a hint: typing adds to nothing, and an untouched save
    // writes none.
    void descriptionStartsEmpty() {
        EditMachine machine(aliceAndBob(), twoAdministrators());
        machine.write("/root/.tessmar/settings_alice", "security_level=1\n");
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        auto* description = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditDescription"));
        dialog.toggleEdit();
        QCOMPARE(description->text(), QString());
        QCOMPARE(description->placeholderText(),
                 QStringLiteral("No specific information available for this user."));
        shoot(&dialog, QStringLiteral("edit-user-no-description"));
        dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRealName"))->setText(QStringLiteral("Alice L"));
        dialog.toggleEdit();
        QCOMPARE(machine.read("/root/.tessmar/settings_alice"), QByteArray("security_level=1\n"));
        dialog.toggleEdit();
        QTest::keyClicks(description, QStringLiteral("Laptop"));
        dialog.toggleEdit();
        QCOMPARE(machine.read("/root/.tessmar/settings_alice"),
                 QByteArray("security_level=1\ndescription=Laptop\n"));
    }

    // Started by root itself, the program asks for root's password; where
    // root has none that could be checked, it says so before any editing.
    void rootLoginWithoutPasswordIsTold() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        EditMachine machine(aliceAndBob(), twoAdministrators());
        machine.write("/etc/shadow", "root:*:19500:0:99999:7:::\nalice:$y$j9T$a$b:19500:0:99999:7:::\n");
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        auto* realName = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRealName"));
        titles.clear();
        texts.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Changes Cannot Be Saved"});
        QVERIFY2(texts.value(0).contains(QStringLiteral("root")) &&
                     texts.value(0).contains(QStringLiteral("locked")),
                 qPrintable(texts.value(0)));
        QVERIFY(realName->isHidden());
        machine.write("/etc/shadow", "root:$y$j9T$a$b:19500:0:99999:7:::\n");
        titles.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList());
        QVERIFY(!realName->isHidden());
        dialog.cancelChanges();
    }

    // With no stock pictures installed the dialog says so, and where it looked.
    void stockPicturesNotInstalled() {
        QTemporaryDir empty;
        const QString previous = SystemPaths::rootPrefix();
        SystemPaths::setRootPrefix(empty.path());
        DialogStockAvatars dialog;
        SystemPaths::setRootPrefix(previous);
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("labelNoPictures"));
        QVERIFY(!label->isHidden());
        QVERIFY2(label->text().contains(empty.path() + QStringLiteral("/usr/share/pixmaps/faces/")),
                 qPrintable(label->text()));
        shoot(&dialog, QStringLiteral("stock-pictures-none"));
    }

    // Add and Delete through their dialogs, with the Users tab following.
    void addAndDeleteThroughTheDialogs() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        QMainWindow window;
        Ui::MainWindow form;
        form.setupUi(&window);
        auto* tab = new TabUsers(&form, &window);
        const auto shown = [&](const QString& name) {
            QAbstractItemModel* model = form.listViewUsers->model();
            for (int row = 0; row < model->rowCount(); ++row)
                if (model->index(row, 0).data(UserSortProxyModel::UserNameRole) == name)
                    return true;
            return false;
        };
        // This machine's accounts, as the page shows them.
        form.tabWidgetMainTabs->setCurrentWidget(form.tab_6);
        window.resize(900, 560);
        QVERIFY(TestSupport::waitFor([&] { return form.listViewUsers->model()->rowCount() > 0; }));
        shoot(&window, QStringLiteral("users"));
        const QString name = fresh();
        DialogAddUser add(tab);
        connect(&add, &DialogAddUser::userAdded, tab, &TabUsers::updateUsersTable);
        add.findChild<QRadioButton*>(QStringLiteral("radioButtonAdministrator"))->click();
        add.findChild<QLineEdit*>(QStringLiteral("lineEditUsername"))->setText(name);
        add.findChild<QLineEdit*>(QStringLiteral("lineEditPassword"))->setText(QStringLiteral("pw 1"));
        add.findChild<QLineEdit*>(QStringLiteral("lineEditRepeatPassword"))->setText(QStringLiteral("pw 1"));
        add.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(add.result(), int(QDialog::Accepted));
        QVERIFY(TestSupport::waitFor([&] { return shown(name); }));
        QStringList expected = AccountChanges::groupsForNewAccount(true) << name;
        expected.sort();
        QCOMPARE(groupsOf(name), expected);
        QCOMPARE(authenticateUser(name.toStdString(), "pw 1"), int(AuthAccepted));
        QCOMPARE(ownerOf(QStringLiteral("/home/%1/.face").arg(name)), lookupAccount(name).uid);
        QVERIFY(AccountChanges::setSecurityLevel(name, 0));
        // A second administrator, so that this one may be deleted.
        QVERIFY(AccountChanges::createUser(fresh(), QStringLiteral("pw 2"), true, QByteArray()));

        // The sound is played through sudo as the desktop user: a stand-in records how.
        QTemporaryDir tools;
        const QString args = tools.filePath(QStringLiteral("sudo.args"));
        QVERIFY(
            TestSupport::writeScript(tools.filePath(QStringLiteral("sudo")),
                                     "printf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n"));
        QVERIFY(TestSupport::writeScript(tools.filePath(QStringLiteral("paplay")), "exit 0\n"));
        const QStringList searchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());
        qputenv("SUDO_USER", "root");
        DialogDeleteUser remove(name, tab);
        QSignalSpy deleted(&remove, &DialogDeleteUser::userDeleted);
        connect(&remove, &DialogDeleteUser::userDeleted, tab, &TabUsers::updateUsersTable);
        shoot(&remove, QStringLiteral("delete-user"));
        remove.findChild<QLineEdit*>(QStringLiteral("lineEditConfirm"))->setText(name);
        remove.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!remove.isVisible());
        QVERIFY(!lookupAccount(name).found);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/home/") + name));
        for (const QString& grant : {AccountChanges::sudoersRulePath(name),
                                     AccountChanges::polkitRulePath(name), ProgramSettings::filePath(name)})
            QVERIFY2(!QFileInfo::exists(grant), qPrintable(grant));
        QCOMPARE(deleted.size(), 0);
        QVERIFY(TestSupport::waitFor([&] { return deleted.size() == 1; }));
        QVERIFY(TestSupport::waitFor([&] { return !shown(name); }));
        QVERIFY(TestSupport::waitFor([&] { return QFileInfo::exists(args); }));
        qunsetenv("SUDO_USER");
        SystemPaths::setSearchPath(searchPath);
        QFile recorded(args);
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(recorded.readAll()).split('\n', Qt::SkipEmptyParts),
                 AccountChanges::soundCommand(
                     QStringLiteral("root"), 0,
                     QStringLiteral("/usr/share/sounds/Brisklow/stereo/delete-user.ogg")));
        QTest::qWait(300);
        QCOMPARE(deleted.size(), 1);
    }
};

QTEST_MAIN(TestUserDialogs)
#include "tst_userdialogs.moc"
