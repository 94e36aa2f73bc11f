#include "dialogdeleteuser.h"

#include "accountchanges.h"
#include "displaytext.h"
#include "ui_dialogdeleteuser.h"
#include "userslog.h"
#include "workerusers.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

DialogDeleteUser::DialogDeleteUser(const QString& username, QWidget* parent)
    : QDialog(parent), ui(new Ui::DialogDeleteUser) {
    ui->setupUi(this);
    workerUsers = new WorkerUsers(this);
    user = WorkerUsers::getUserDetails(username);
    okButton = ui->buttonBox->button(QDialogButtonBox::Ok);
    if (okButton) {
        okButton->setText(tr("Delete User Now (Irreversible)"));
        okButton->setIcon(QIcon(QStringLiteral(":/icons/error")));
        okButton->setEnabled(false);
    }
    ui->labelAreYouSure->setText(tr("Delete user ") + displaySafeText(user.username) + tr(". Are you SURE?"));
    ui->labelUsername->setText(displaySafeText(user.username));
    connect(ui->lineEditConfirm, &QLineEdit::textChanged, this, &DialogDeleteUser::onConfirmTextChanged);
}

DialogDeleteUser::~DialogDeleteUser() {
    delete ui;
}

void DialogDeleteUser::onConfirmTextChanged(const QString& text) {
    if (okButton)
        okButton->setEnabled(!user.username.isEmpty() && text == user.username);
}

void DialogDeleteUser::accept() {
    if (user.username.isEmpty() || ui->lineEditConfirm->text() != user.username)
        return;
    const bool removeHome = ui->checkBoxDeleteUsersHomeFolder->isChecked();
    QString error;
    QString warning;
    if (!AccountChanges::deleteUser(user.username, removeHome, &error, &warning)) {
        QMessageBox::critical(this, tr("Deletion Failed"),
                              (removeHome ? tr("Failed to delete the user and their home directory.")
                                          : tr("Failed to delete the user.")) +
                                  QStringLiteral("\n\n") + displaySafeText(error));
        return;
    }
    if (!warning.isEmpty())
        QMessageBox::warning(this, tr("Delete User"), warning);
    AccountChanges::playSoundAsInvokingUser(
        QStringLiteral("/usr/share/sounds/Brisklow/stereo/delete-user.ogg"));
    QDialog::accept();
    QTimer::singleShot(reportDelayMs, this, [this] { emit userDeleted(); });
}
