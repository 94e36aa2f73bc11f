#include "accountchanges.h"
#include "accountlookup.h"
#include "avatarhelpers.h"
#include "commandrunner.h"
#include "dialogadduser.h"
#include "dialogchangepassword.h"
#include "dialogdeleteuser.h"
#include "dialogedituser.h"
#include "dialoggroups.h"
#include "pamauth.h"
#include "testsupport.h"
#include "ui_dialogchangepassword.h"
#include "ui_dialogedituser.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

// The user dialogs under the real X server; the account ones on throwaway
// accounts that are removed again.
class TestUserDialogs : public QObject {
    Q_OBJECT

    QStringList accounts;
    QTimer dismisser;

    static void shoot(QWidget* widget, const QString& name) {
        widget->show();
        QTest::qWait(50);
        widget->grab().save(QStringLiteral(TESSMAR_TEST_DATA "/../../docs/") + name + QStringLiteral(".png"));
    }

private slots:
    void initTestCase() {
        // Message boxes of a save are answered with their default button.
        connect(&dismisser, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->done(box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::Ok);
        });
        dismisser.start(50);
    }
    void cleanupTestCase() {
        for (const QString& name : qAsConst(accounts))
            if (lookupAccount(name).found)
                CommandRunner::run(QStringLiteral("userdel"),
                                   {QStringLiteral("-r"), QStringLiteral("-f"), name});
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
        name->setText(QStringLiteral("tsm_free_name"));
        QVERIFY(ok->isEnabled());
        repeat->setText(QStringLiteral("px"));
        QCOMPARE(feedback->text(), QStringLiteral("Passwords do not match."));
        QVERIFY(!ok->isEnabled());
        shoot(&dialog, QStringLiteral("add-user"));
    }

    // One account edited through the dialog: real name, description and a
    // password that PAM then accepts; a cancelled save applies nothing.
    void editThrowawayAccount() {
        if (::geteuid() != 0)
            QSKIP("needs root");
        const QString name = TestSupport::uniqueName(QStringLiteral("tsm_")).toLower();
        accounts << name;
        QVERIFY(AccountChanges::createUser(name, QStringLiteral("first"), false, QByteArray()));
        qunsetenv("SUDO_USER");
        DialogEditUser dialog;
        int asked = 0;
        bool allow = false;
        dialog.authenticator = [&] {
            ++asked;
            return allow;
        };
        dialog.loadUser(name);
        auto* ui = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditRealName"));
        auto* description = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditDescription"));

        // A refused password question applies nothing and drops the pending password.
        dialog.toggleEdit();
        ui->setText(QStringLiteral("Never Saved"));
        dialog.handlePasswordChange(QStringLiteral("refused pw"));
        dialog.toggleEdit();
        QCOMPARE(asked, 1);
        allow = true;
        dialog.toggleEdit();
        dialog.toggleEdit();
        QCOMPARE(authenticateUser(name.toStdString(), "refused pw"), int(AuthRefused));

        dialog.toggleEdit();
        shoot(&dialog, QStringLiteral("edit-user-editing"));
        ui->setText(QStringLiteral("Test Person"));
        description->setText(QStringLiteral("Throwaway"));
        dialog.handlePasswordChange(QStringLiteral("new pass; $x"));
        dialog.toggleEdit();
        shoot(&dialog, QStringLiteral("edit-user"));
        const CommandResult entry =
            CommandRunner::run(QStringLiteral("getent"), {QStringLiteral("passwd"), name});
        QCOMPARE(entry.outputText().section(QLatin1Char(':'), 4, 4), QStringLiteral("Test Person"));
        QCOMPARE(authenticateUser(name.toStdString(), "new pass; $x"), int(AuthAccepted));
        AccountChanges::removeAccountGrants(name);

        DialogGroups groups(name);
        shoot(&groups, QStringLiteral("groups"));
        DialogDeleteUser deleteDialog(name);
        shoot(&deleteDialog, QStringLiteral("delete-user"));
    }
};

QTEST_MAIN(TestUserDialogs)
#include "tst_userdialogs.moc"
