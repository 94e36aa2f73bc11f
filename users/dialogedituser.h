#pragma once

#include "accountpicture.h"
#include "detailsuser.h"

#include <QDialog>
#include <QIcon>
#include <functional>

namespace Ui {
class DialogEditUser;
}
class WorkerUsers;

// Shows one account; in edit mode changes it, after the invoking user's
// password where the security level asks for it. Changes are applied in a
// fixed order on save; Cancel discards everything pending.
class DialogEditUser : public QDialog {
    Q_OBJECT
public:
    explicit DialogEditUser(QWidget* parent = nullptr);
    ~DialogEditUser() override;

    // Reads the account (never its home folder) and shows it with picture,
    // the icon the account list already read; without one the stand-in.
    void loadUser(const QString& username, const QIcon& picture = QIcon());
    // The password question; replaced by tests.
    std::function<bool()> authenticator;

signals:
    void userProfileUpdated();

public slots:
    void toggleEdit();
    void cancelChanges();
    void openDialogStockAvatars();
    void openDialogChangePassword();
    void openDialogGroups();
    void openDialogWebcam();
    void handlePasswordChange(const QString& newPassword);
    void onUpdateTempGroups(const QStringList& groups);
    void onImageCaptured(const QImage& image);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void accept() override {}

private:
    bool requestAuthentication();
    void showUser();
    QStringList applySave(int level);
    void discardPending();
    void showPicture(const QIcon& icon);
    void showAvatarMenu(const QPoint& pos);
    void onBrowseAvatar();
    // bytes: the picture's file as it is to be stored; empty encodes image.
    void setPendingPicture(const QImage& image, const QByteArray& bytes = QByteArray());
    void markUnsavedChanges();
    void fitTypeCombo();
    void updateSizePolicies(QObject* root);
    void resizeFormLabels();
    void refitDialog();
    void centerOnScreen();
    void setEditorsVisible(bool editing);

    Ui::DialogEditUser* ui;
    bool hasUnsavedChanges = false;
    bool cancelRequested = false;
    bool isEditing = false;
    WorkerUsers* workerUsers;
    DetailsUser user;
    // The account's picture as shown, and one chosen but not saved yet.
    QIcon shownIcon;
    QIcon pendingIcon;
    QByteArray pendingPicture;
    // A picture chosen with Browse while it is being read.
    AccountPicture::BackgroundRead browsing;
    QString tempNewPassword;
    QStringList tempGroups;
    bool groupsChosen = false;
    // What the editors showed on entering edit mode: a save changes only
    // what differs from them.
    int initialTypeRow = -1;
    int initialSliderValue = 1;
    QString initialDescription;
};
