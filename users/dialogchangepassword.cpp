#include "dialogchangepassword.h"

#include "ui_dialogchangepassword.h"
#include "userslog.h"

#include <QStyle>

namespace {
void toggleEcho(QLineEdit* edit, QPushButton* button) {
    const bool hidden = edit->echoMode() == QLineEdit::Password;
    edit->setEchoMode(hidden ? QLineEdit::Normal : QLineEdit::Password);
    button->setIcon(QIcon(hidden ? QStringLiteral(":/icons/visible") : QStringLiteral(":/icons/hidden")));
}
} // namespace

DialogChangePassword::DialogChangePassword(const QString& userName, QWidget* parent)
    : QDialog(parent), ui(new Ui::DialogChangePassword), userName(userName) {
    ui->setupUi(this);
    connect(ui->pushButtonNewPasswordVisibility, &QPushButton::clicked, this,
            &DialogChangePassword::toggleNewPasswordVisibility);
    connect(ui->pushButtonRepeatNewPasswordVisibility, &QPushButton::clicked, this,
            &DialogChangePassword::toggleRepeatPasswordVisibility);
    connect(ui->lineEditNewPassword, &QLineEdit::textChanged, this, &DialogChangePassword::validatePasswords);
    connect(ui->lineEditRepeatPassword, &QLineEdit::textChanged, this,
            &DialogChangePassword::validatePasswords);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->pushButtonOK, &QPushButton::clicked, this, &DialogChangePassword::onOKButtonClicked);
    ui->pushButtonOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->pushButtonCancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ui->labelErrorMessageNewPassword->hide();
    ui->labelErrorMessageRepeatPassword->hide();
    adjustSize();
    qCDebug(lcUsers) << "The user we are dealing with is called: " << userName;
}

DialogChangePassword::~DialogChangePassword() {
    delete ui;
}

// OK follows the two fields exactly: both filled in and equal, re-checked on
// every change, so an emptied or edited field never sends an unconfirmed text.
void DialogChangePassword::validatePasswords() {
    const QString first = ui->lineEditNewPassword->text();
    const QString second = ui->lineEditRepeatPassword->text();
    const bool bothFilled = !first.isEmpty() && !second.isEmpty();
    passwordsMatch = bothFilled && first == second;
    if (bothFilled && !passwordsMatch) {
        ui->labelErrorMessageRepeatPassword->setStyleSheet(
            QStringLiteral("QLabel { color: red; font-weight: regular; }"));
        ui->labelErrorMessageRepeatPassword->setText(tr("Passwords do not match"));
        ui->labelErrorMessageRepeatPassword->show();
    } else if (ui->labelErrorMessageRepeatPassword->isVisible()) {
        ui->labelErrorMessageRepeatPassword->hide();
        layout()->invalidate();
        layout()->activate();
        adjustSize();
    }
    ui->pushButtonOK->setEnabled(passwordsMatch);
}

void DialogChangePassword::onOKButtonClicked() {
    if (!passwordsMatch)
        return;
    emit passwordChanged(ui->lineEditNewPassword->text());
    accept();
}

void DialogChangePassword::toggleNewPasswordVisibility() {
    toggleEcho(ui->lineEditNewPassword, ui->pushButtonNewPasswordVisibility);
}

void DialogChangePassword::toggleRepeatPasswordVisibility() {
    toggleEcho(ui->lineEditRepeatPassword, ui->pushButtonRepeatNewPasswordVisibility);
}
