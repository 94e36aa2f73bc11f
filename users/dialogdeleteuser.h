#pragma once

#include "detailsuser.h"

#include <QDialog>

namespace Ui {
class DialogDeleteUser;
}
class QPushButton;
class WorkerUsers;

// Deletes one account after its name has been typed, optionally with its home.
class DialogDeleteUser : public QDialog {
    Q_OBJECT
public:
    DialogDeleteUser(const QString& username, QWidget* parent = nullptr);
    ~DialogDeleteUser() override;

    void accept() override;
    // Delay between a deletion and userDeleted, so the account list is read
    // after the system has settled.
    int reportDelayMs = 4000;

signals:
    void userDeleted();

private:
    void onConfirmTextChanged(const QString& text);

    Ui::DialogDeleteUser* ui;
    QPushButton* okButton;
    DetailsUser user;
    WorkerUsers* workerUsers;
};
