#include "accountfiles.h"
#include "dialogadduser.h"
#include "dialogchangepassword.h"
#include "dialogedituser.h"
#include "dialoggroups.h"
#include "testsupport.h"
#include "userdialogsfixture.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardItemModel>
#include <QtTest>

#include <unistd.h>

// The account dialogs under the real X server, none of them on a real
// account: Change Password's and Add User's gating, and Edit User's saves
// on stand-in machines.
class TestUserDialogs : public UserDialogsFixture {
    Q_OBJECT

private slots:
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

    // A message that comes or goes while the user types never moves the
    // fields: a click aimed at one must not land in another.
    void addUserFieldsStayPut() {
        DialogAddUser dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QList<QWidget*> fields;
        for (const char* name :
             {"lineEditUsername", "lineEditPassword", "lineEditRepeatPassword", "radioButtonAdministrator"})
            fields << dialog.findChild<QWidget*>(QLatin1String(name));
        const auto positions = [&] {
            QCoreApplication::processEvents();
            QList<QPoint> places;
            for (QWidget* field : fields)
                places << field->mapTo(&dialog, QPoint(0, 0));
            return places;
        };
        const QList<QPoint> before = positions();
        auto* name = qobject_cast<QLineEdit*>(fields[0]);
        auto* feedback = dialog.findChild<QLabel*>(QStringLiteral("labelFeedback"));
        const std::function<void()> steps[] = {
            [&] { dialog.findChild<QRadioButton*>(QStringLiteral("radioButtonAdministrator"))->click(); },
            [&] { name->setText(QStringLiteral("Bad Name")); },
            [&] { name->setText(QStringLiteral("tsm_free_name")); },
            [&] { qobject_cast<QLineEdit*>(fields[1])->setText(QStringLiteral("a")); },
            [&] { qobject_cast<QLineEdit*>(fields[2])->setText(QStringLiteral("b")); },
        };
        const bool shown[] = {false, true, false, false, true};
        for (int step = 0; step < 5; ++step) {
            steps[step]();
            QCOMPARE(feedback->isVisible(), shown[step]);
            QCOMPARE(positions(), before);
        }
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

    // A group change the group file does not show afterwards (another
    // program wrote the file over it) is reported, never said done.
    void groupChangeNotInTheFileIsReported() {
        EditMachine machine(aliceAndBob(), twoAdministrators());
        TestSupport::writeScript(machine.file("/tools/usermod"), "exit 0\n");
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        dialog.authenticator = [] { return true; };
        dialog.loadUser(QStringLiteral("alice"));
        dialog.show();
        dialog.toggleEdit();
        dialog.findChild<QComboBox*>(QStringLiteral("comboBoxType"))->setCurrentIndex(1);
        titles.clear();
        texts.clear();
        dialog.toggleEdit();
        QCOMPARE(titles, QStringList{"Some Changes Were Not Saved"});
        QVERIFY2(texts.value(0).contains(QStringLiteral("alice in sudo")), qPrintable(texts.value(0)));
    }

    // Add User says which of the new account's groups the group file does
    // not show after useradd (here a stand-in that leaves sudo out), and
    // only those.
    void addUserNamesGroupsNotTaken() {
        QByteArray groups;
        for (const QString& group : AccountFiles::administratorGroups())
            groups += group.toUtf8() + ":x:" + QByteArray::number(100 + groups.count('\n')) + ":\n";
        EditMachine machine(aliceAndBob(), groups);
        const QByteArray group = QFile::encodeName(machine.file("/etc/group"));
        TestSupport::writeScript(machine.file("/tools/chpasswd"), "cat > /dev/null\n");
        TestSupport::writeScript(machine.file("/tools/useradd"),
                                 QByteArray(R"(awk -F: -v OFS=: -v list="$5" -v u="$7" '
  BEGIN { n = split(list, g, ","); for (i = 1; i <= n; i++) if (g[i] != "sudo") want[g[i]] = 1 }
  ($1 in want) { $4 = $4 ($4 == "" ? "" : ",") u } { print }' 'GROUP' > 'GROUP.new' && mv 'GROUP.new' 'GROUP'
)")
                                     .replace("GROUP", group));
        DialogAddUser dialog;
        dialog.findChild<QRadioButton*>(QStringLiteral("radioButtonAdministrator"))->click();
        const QString name = fresh();
        for (const char* field : {"lineEditUsername", "lineEditPassword", "lineEditRepeatPassword"})
            dialog.findChild<QLineEdit*>(QLatin1String(field))->setText(name);
        titles.clear();
        texts.clear();
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(titles, QStringList{"Groups Not Set"});
        QVERIFY2(texts.value(0).contains(QStringLiteral(" sudo;")) &&
                     !texts.value(0).contains(QStringLiteral("audio")),
                 qPrintable(texts.value(0)));
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
};

QTEST_MAIN(TestUserDialogs)
#include "tst_userdialogs.moc"
