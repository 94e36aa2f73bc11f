#pragma once

#include <QDialog>

namespace Ui {
class DialogChangePassword;
}

// Asks for a new password twice; OK hands it to the caller, which applies it
// at its next save.
class DialogChangePassword : public QDialog {
    Q_OBJECT
public:
    DialogChangePassword(const QString& userName, QWidget* parent = nullptr);
    ~DialogChangePassword() override;

signals:
    void passwordChanged(const QString& newPassword);

public slots:
    void onOKButtonClicked();

private:
    void validatePasswords();
    void toggleNewPasswordVisibility();
    void toggleRepeatPasswordVisibility();

    Ui::DialogChangePassword* ui;
    QString userName;
    bool passwordsMatch = false;
};
