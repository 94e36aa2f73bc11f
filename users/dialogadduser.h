#pragma once

#include "accountpicture.h"

#include <QDialog>
#include <QIcon>
#include <QStringList>

class QLabel;

namespace Ui {
class DialogAddUser;
}

// Creates a login account: type, checked name, password twice, picture.
class DialogAddUser : public QDialog {
    Q_OBJECT
public:
    explicit DialogAddUser(QWidget* parent = nullptr);
    ~DialogAddUser() override;

    static bool isUsernameAvailable(const QString& username);
    void accept() override;

signals:
    void userAdded(const QString& username);

public slots:
    void onImageCaptured(const QImage& image);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showAvatarMenu(const QPoint& pos);
    void openDialogStockAvatars();
    int openDialogWebcam();
    void onBrowseAvatar();
    void setAvatarPixmap(const QIcon& icon);
    void setPicture(const QImage& image);
    void updateTypeDescription(bool checked);
    void validateInput();
    void fitHeight();
    QStringList descriptionTexts() const;
    static QStringList feedbackTexts();
    static void reserveRoom(QLabel* label, const QStringList& texts);

    Ui::DialogAddUser* ui;
    // The new account's picture as file bytes; empty gives the generic picture.
    QByteArray avatarData;
    QIcon avatarIcon;
    QIcon defaultAvatarIcon;
    // A picture chosen with Browse while it is being read.
    AccountPicture::BackgroundRead browsing;
};
