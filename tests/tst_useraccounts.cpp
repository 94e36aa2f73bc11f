#include "accountchanges.h"
#include "accountlookup.h"
#include "commandrunner.h"
#include "dialogadduser.h"
#include "dialogdeleteuser.h"
#include "dialogedituser.h"
#include "dialoggroups.h"
#include "pamauth.h"
#include "programsettings.h"
#include "systempaths.h"
#include "tabusers.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "userdialogsfixture.h"
#include "usersortproxymodel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// The account dialogs under the real X server on throwaway accounts that are
// removed again: Edit User on accounts made as adduser and useradd make
// them, Delete User, and Add and Delete with the Users tab following.
class TestUserAccounts : public UserDialogsFixture {
    Q_OBJECT

private slots:
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
        const QString problem = groupsProblem(name, expectedGroups(name, true));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
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
            const QString problem =
                groupsProblem(name, expectedGroups(name, administrator, {QStringLiteral("users")}));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            QCOMPARE(typeLabel->text(),
                     administrator ? QStringLiteral("Administrator") : QStringLiteral("Regular user"));
            dialog.toggleEdit();
        }
        dialog.cancelChanges();
    }

    // The account is made, but its picture cannot go into a home that
    // belongs to another uid: the dialog says so once the account is there.
    void addUserSaysWhenThePictureFails() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        const QString name = fresh();
        const QString home = QStringLiteral("/home/") + name;
        QVERIFY(QDir().mkpath(home));
        // userdel leaves a home that is not the account's.
        const auto removeHome = qScopeGuard([&] { QDir(home).removeRecursively(); });
        QVERIFY(::chown(QFile::encodeName(home).constData(), 4242420, 4242420) == 0);
        DialogAddUser add;
        QSignalSpy added(&add, &DialogAddUser::userAdded);
        add.findChild<QRadioButton*>(QStringLiteral("radioButtonRegularUser"))->click();
        add.findChild<QLineEdit*>(QStringLiteral("lineEditUsername"))->setText(name);
        add.findChild<QLineEdit*>(QStringLiteral("lineEditPassword"))->setText(QStringLiteral("pw 3"));
        add.findChild<QLineEdit*>(QStringLiteral("lineEditRepeatPassword"))->setText(QStringLiteral("pw 3"));
        titles.clear();
        texts.clear();
        add.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(add.result(), int(QDialog::Accepted));
        QCOMPARE(added.size(), 1);
        QVERIFY(lookupAccount(name).found);
        QCOMPARE(titles, QStringList{"Picture Not Set"});
        QVERIFY2(texts.value(0).contains(name) && texts.value(0).contains(QStringLiteral("another account")),
                 qPrintable(texts.value(0)));
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.face")));
    }

    // Add and Delete through their dialogs, with the Users tab following.
    void addAndDeleteThroughTheDialogs() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        // The page lists this run's accounts only: the machine's other
        // accounts and their homes stay unread.
        const QString name = fresh();
        const QString second = fresh();
        showOnlyThisRunsAccounts();
        const auto live = qScopeGuard([this] { showLiveAccounts(); });
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
        form.tabWidgetMainTabs->setCurrentWidget(form.tab_6);
        window.resize(900, 560);
        QVERIFY(TestSupport::waitFor([&] { return form.listViewUsers->model()->rowCount() > 0; }));
        shoot(&window, QStringLiteral("users"));
        DialogAddUser add(tab);
        // The account file the page reads follows the change before the page does.
        connect(&add, &DialogAddUser::userAdded, this, [this] { showOnlyThisRunsAccounts(); });
        connect(&add, &DialogAddUser::userAdded, tab, &TabUsers::updateUsersTable);
        add.findChild<QRadioButton*>(QStringLiteral("radioButtonAdministrator"))->click();
        add.findChild<QLineEdit*>(QStringLiteral("lineEditUsername"))->setText(name);
        add.findChild<QLineEdit*>(QStringLiteral("lineEditPassword"))->setText(QStringLiteral("pw 1"));
        add.findChild<QLineEdit*>(QStringLiteral("lineEditRepeatPassword"))->setText(QStringLiteral("pw 1"));
        add.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(add.result(), int(QDialog::Accepted));
        QVERIFY(TestSupport::waitFor([&] { return shown(name); }));
        const QString problem = groupsProblem(name, expectedGroups(name, true));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(authenticateUser(name.toStdString(), "pw 1"), int(AuthAccepted));
        QCOMPARE(ownerOf(QStringLiteral("/home/%1/.face").arg(name)), lookupAccount(name).uid);
        QVERIFY(AccountChanges::setSecurityLevel(name, 0));
        // A second administrator, so that this one may be deleted.
        QVERIFY(AccountChanges::createUser(second, QStringLiteral("pw 2"), true, QByteArray()));
        showOnlyThisRunsAccounts();

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
        connect(&remove, &DialogDeleteUser::userDeleted, this, [this] { showOnlyThisRunsAccounts(); });
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
        // A second report could only come from another timer started in the
        // same accept() with the same delay, due when the first fired: a
        // further 300 ms of the event loop runs it.
        QTest::qWait(300);
        QCOMPARE(deleted.size(), 1);
    }
};

QTEST_MAIN(TestUserAccounts)
#include "tst_useraccounts.moc"
