#include "dialogedituser.h"

#include "accountchanges.h"
#include "accountfiles.h"
#include "accountlookup.h"
#include "avatarhelpers.h"
#include "dialogchangepassword.h"
#include "dialoggroups.h"
#include "dialogstockavatars.h"
#include "dialogwebcam.h"
#include "pamauth.h"
#include "ui_dialogedituser.h"
#include "userslog.h"
#include "workerusers.h"

#include <QCloseEvent>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSet>
#include <QStandardItemModel>
#include <QTimer>
#include <QWindow>

namespace {
const QString onlyAdminTip = QStringLiteral("You are the only Administrator on the system.\nIf you become a "
                                            "regular user, you will lose all control.\n"
                                            "Consider adding a regular user account instead.");

bool isAdministratorType(const QString& type) {
    return type.startsWith(QLatin1String("Administrator"));
}
} // namespace

DialogEditUser::DialogEditUser(QWidget* parent) : QDialog(parent), ui(new Ui::DialogEditUser) {
    ui->setupUi(this);
    workerUsers = new WorkerUsers(this);
    fixBoldFontWeight(this);
    authenticator = [this] { return requestAuthentication(); };
    connect(ui->comboBoxType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DialogEditUser::fitTypeCombo);
    ui->comboBoxAutoLogin->addItems({tr("No"), tr("Yes")});
    for (QWidget* editor :
         {static_cast<QWidget*>(ui->lineEditRealName), static_cast<QWidget*>(ui->comboBoxType),
          static_cast<QWidget*>(ui->pushButtonGroups), static_cast<QWidget*>(ui->comboBoxAutoLogin),
          static_cast<QWidget*>(ui->pushButtonChangePassword),
          static_cast<QWidget*>(ui->lineEditDescription)})
        editor->hide();
    ui->labelUserAvatar->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->labelUserAvatar->installEventFilter(this);
    connect(ui->pushButtonChangeSettings, &QPushButton::clicked, this, &DialogEditUser::toggleEdit);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &DialogEditUser::cancelChanges);
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->pushButtonChangePassword, &QPushButton::clicked, this,
            &DialogEditUser::openDialogChangePassword);
    connect(ui->pushButtonGroups, &QPushButton::clicked, this, &DialogEditUser::openDialogGroups);
    connect(ui->lineEditRealName, &QLineEdit::textChanged, this, &DialogEditUser::markUnsavedChanges);
    connect(ui->comboBoxType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DialogEditUser::markUnsavedChanges);
    connect(ui->comboBoxAutoLogin, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DialogEditUser::markUnsavedChanges);
    connect(ui->verticalSliderSecurityLevel, &QSlider::valueChanged, this,
            &DialogEditUser::markUnsavedChanges);
    connect(ui->lineEditDescription, &QLineEdit::textChanged, this, &DialogEditUser::markUnsavedChanges);
}

DialogEditUser::~DialogEditUser() {
    delete ui;
}

void DialogEditUser::loadUser(const QString& username) {
    user = WorkerUsers::getUserDetails(username);
    ui->comboBoxType->clear();
    ui->comboBoxType->addItems({tr("Administrator"), tr("Regular user"), tr("Custom")});
    if (auto* model = qobject_cast<QStandardItemModel*>(ui->comboBoxType->model())) {
        QStandardItem* regular = model->item(1);
        const bool soleAdmin = user.isOnlyAdministrator && isAdministratorType(user.userType);
        regular->setEnabled(!soleAdmin);
        regular->setToolTip(soleAdmin ? onlyAdminTip : QString());
    }
    showPicture(user.icon);
    ui->labelUsername->setText(user.username);
    ui->labelRealName->setText(user.realName);
    ui->labelType->setText(user.userType);
    ui->labelAutoLogin->setText(user.autoLogin ? tr("Yes") : tr("No"));
    ui->labelHomeFolder->setText(user.homeDirectory);
    ui->labelUserID->setText(QStringLiteral("%1/%2").arg(user.uid).arg(user.gid));
    ui->labelDescription->setText(user.description);
    const bool editable = user.uid >= 1000 && user.uid <= 60000;
    for (QWidget* w :
         {static_cast<QWidget*>(ui->labelMax), static_cast<QWidget*>(ui->labelMin),
          static_cast<QWidget*>(ui->labelSecurityLevel), static_cast<QWidget*>(ui->pushButtonChangeSettings)})
        w->setEnabled(editable);
    ui->verticalSliderSecurityLevel->setEnabled(false);
    ui->verticalSliderSecurityLevel->setValue(user.securityLevel);
    resizeFormLabels();
    hasUnsavedChanges = false;
}

void DialogEditUser::showPicture(const QIcon& icon) {
    ui->labelUserAvatar->setPixmap(
        composeAvatarPixmap(icon.pixmap(126, 126), QPixmap(QStringLiteral(":/icons/frame")), isEditing));
}

void DialogEditUser::setEditorsVisible(bool editing) {
    ui->labelRealName->setVisible(!editing);
    ui->labelType->setVisible(!editing);
    ui->labelAutoLogin->setVisible(!editing);
    ui->labelPassword->setVisible(!editing);
    ui->labelDescription->setVisible(!editing);
    ui->lineEditRealName->setVisible(editing);
    ui->comboBoxType->setVisible(editing);
    ui->comboBoxAutoLogin->setVisible(editing);
    ui->pushButtonChangePassword->setVisible(editing);
    ui->lineEditDescription->setVisible(editing);
    ui->pushButtonGroups->setVisible(editing && ui->comboBoxType->currentIndex() == 2);
}

void DialogEditUser::toggleEdit() {
    isEditing = !isEditing;
    const QString type = WorkerUsers::getUserType(user.uid, user.username);
    if (isEditing) {
        ui->labelUserAvatar->setCursor(Qt::PointingHandCursor);
        ui->comboBoxType->setCurrentIndex(type == QLatin1String("Administrator")  ? 0
                                          : type == QLatin1String("Regular user") ? 1
                                                                                  : 2);
        ui->comboBoxAutoLogin->setCurrentIndex(user.autoLogin ? 1 : 0);
        ui->lineEditRealName->setText(ui->labelRealName->text());
        ui->lineEditDescription->setText(ui->labelDescription->text());
        // The password-free level is only for administrators (or to leave it).
        ui->verticalSliderSecurityLevel->setEnabled(isAdministratorType(type) || user.securityLevel == 0);
        ui->pushButtonCancel->setEnabled(true);
        ui->pushButtonChangeSettings->setText(tr("Save Changes"));
        setEditorsVisible(true);
        hasUnsavedChanges = false;
    } else {
        ui->labelUserAvatar->setCursor(Qt::ArrowCursor);
        const int sudoLevel = WorkerUsers::getSudoUserSecurityLevel();
        if (sudoLevel > 0 && !cancelRequested) {
            qCDebug(lcUsers) << "Active security level is: " << sudoLevel;
            if (!authenticator())
                cancelRequested = true;
        }
        const int level = ui->verticalSliderSecurityLevel->value();
        if (cancelRequested) {
            cancelRequested = false;
            discardPending();
        } else {
            applySave(level);
        }
        ui->verticalSliderSecurityLevel->setEnabled(false);
        ui->pushButtonCancel->setEnabled(false);
        ui->pushButtonChangeSettings->setText(tr("Change Settings"));
        setEditorsVisible(false);
    }
    showPicture(pendingIcon.isNull() || !isEditing ? user.icon : pendingIcon);
    resizeFormLabels();
}

// Cancel and a failed password question forget every pending change.
void DialogEditUser::discardPending() {
    ui->verticalSliderSecurityLevel->blockSignals(true);
    ui->verticalSliderSecurityLevel->setValue(user.securityLevel);
    ui->verticalSliderSecurityLevel->blockSignals(false);
    pendingIcon = QIcon();
    pendingPicture.clear();
    tempNewPassword.clear();
    tempGroups.clear();
    groupsChosen = false;
    hasUnsavedChanges = false;
}

void DialogEditUser::applySave(int level) {
    const QString name = user.username;
    if (!pendingPicture.isEmpty()) {
        QString error;
        if (AccountChanges::applyPicture(name, pendingPicture, &error)) {
            QPixmap picture;
            picture.loadFromData(pendingPicture);
            user.icon = QIcon(picture);
            emit userProfileUpdated();
        } else {
            QMessageBox::critical(this, QStringLiteral("Error"),
                                  QStringLiteral("Failed to update your profile picture."));
        }
        pendingPicture.clear();
        pendingIcon = QIcon();
    }
    if (level != user.securityLevel) {
        QString error;
        if (AccountChanges::setSecurityLevel(name, level, &error)) {
            user.securityLevel = level;
        } else {
            QMessageBox::warning(
                this, tr("Security Level"),
                tr("The security level could not be changed; it stays as it was.\n%1").arg(error));
            ui->verticalSliderSecurityLevel->setValue(qMin(user.securityLevel, 1));
        }
    }
    const int row = ui->comboBoxType->currentIndex();
    QStringList wanted = tempGroups;
    if (row == 0)
        wanted = AccountFiles::administratorGroups() << name;
    else if (row == 1)
        wanted = AccountFiles::standardGroups() << name;
    QString type = user.userType;
    const bool chosen = row != 2 || groupsChosen;
    if (chosen && !wanted.isEmpty() &&
        QSet<QString>(wanted.begin(), wanted.end()) !=
            QSet<QString>(user.groups.begin(), user.groups.end())) {
        // Groups that do not exist here cannot be joined; asking would only fail.
        QStringList existing;
        for (const QString& group : wanted)
            if (groupExists(group))
                existing << group;
        if (workerUsers->updateUserGroups(name, existing, user.groups))
            QMessageBox::information(
                this, tr("Group Update Success"),
                tr("Groups successfully updated. Please log out and log back in for the changes "
                   "to take effect."));
        else
            QMessageBox::warning(this, tr("Group Update Failed"),
                                 tr("Failed to update groups. Please try again or contact support."));
        emit userProfileUpdated();
        user.groups = WorkerUsers::getUserGroups(name);
        type = WorkerUsers::getUserType(user.uid, name);
        user.securityLevel = WorkerUsers::getSecurityLevel(user);
    } else {
        qCDebug(lcUsers) << "No changes to the user's groups were necessary.";
    }
    const bool autoLogin = ui->comboBoxAutoLogin->currentIndex() == 1;
    if (autoLogin != user.autoLogin && AccountChanges::setAutoLogin(name, autoLogin))
        user.autoLogin = autoLogin;
    ui->labelAutoLogin->setText(user.autoLogin ? tr("Yes") : tr("No"));
    const QString realName = ui->lineEditRealName->text();
    if (realName != user.realName && AccountChanges::updateRealName(name, realName))
        user.realName = realName;
    ui->labelRealName->setText(user.realName);
    ui->labelType->setText(type);
    user.userType = type;
    const QString description = ui->lineEditDescription->text();
    if (description != ui->labelDescription->text() && AccountChanges::updateDescription(name, description)) {
        ui->labelDescription->setText(description);
        user.description = description;
    }
    if (!tempNewPassword.isEmpty()) {
        if (AccountChanges::changePassword(name, tempNewPassword))
            QMessageBox::information(
                this, QStringLiteral("Password Changed Successfully"),
                QStringLiteral("The password was changed successfully. Please log out and then log "
                               "back in for the changes to take effect."));
        else
            QMessageBox::warning(
                this, QStringLiteral("Password Change Failed"),
                QStringLiteral("Failed to update the password. Please try again or contact support if "
                               "the problem persists."));
        tempNewPassword.clear();
    }
    tempGroups.clear();
    groupsChosen = false;
    hasUnsavedChanges = false;
}

bool DialogEditUser::requestAuthentication() {
    for (;;) {
        const std::string password = promptForPassword(this);
        if (password.empty())
            return false;
        const int result = authenticateUser(invokingUserName().toStdString(), password);
        if (result == AuthAccepted)
            return true;
        if (result == AuthRefused) {
            QMessageBox::critical(this, tr("Authentication Failed"),
                                  tr("Incorrect password. Please try again."));
            continue;
        }
        if (result != AuthConversationError)
            QMessageBox::critical(this, tr("Authentication Error"),
                                  tr("An error occurred during authentication."));
        return false;
    }
}

void DialogEditUser::cancelChanges() {
    ui->pushButtonCancel->setEnabled(false);
    cancelRequested = true;
    hasUnsavedChanges = false;
    if (isEditing)
        toggleEdit();
}

void DialogEditUser::closeEvent(QCloseEvent* event) {
    if (hasUnsavedChanges &&
        QMessageBox::warning(this, tr("Unsaved Changes"),
                             tr("You have unsaved changes. Are you sure you want to close the dialog?"),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::No) {
        event->ignore();
        return;
    }
    event->accept();
}

bool DialogEditUser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->labelUserAvatar && event->type() == QEvent::MouseButtonPress && isEditing) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton || press->button() == Qt::RightButton) {
            showAvatarMenu(press->pos());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogEditUser::showAvatarMenu(const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(QIcon(QStringLiteral(":/icons/stock-images")), tr("Select from stock..."), this,
                   &DialogEditUser::openDialogStockAvatars);
    menu.addAction(QIcon(QStringLiteral(":/icons/webcam")), tr("Capture from webcam..."), this,
                   &DialogEditUser::openDialogWebcam);
    menu.addAction(QIcon(QStringLiteral(":/icons/browse")), tr("Browse..."), this,
                   &DialogEditUser::onBrowseAvatar);
    menu.exec(ui->labelUserAvatar->mapToGlobal(pos));
}

void DialogEditUser::setPendingPicture(const QImage& image) {
    pendingPicture = encodePicture(image);
    pendingIcon = QIcon(QPixmap::fromImage(image));
    showPicture(pendingIcon);
    hasUnsavedChanges = true;
    ui->pushButtonCancel->setEnabled(true);
}

void DialogEditUser::openDialogStockAvatars() {
    DialogStockAvatars picker(this);
    if (picker.exec() == QDialog::Accepted) {
        qCDebug(lcUsers) << "Selected Image Path:" << picker.getSelectedImagePath();
        const QImage image(picker.getSelectedImagePath());
        if (!image.isNull())
            setPendingPicture(image);
    }
}

void DialogEditUser::openDialogWebcam() {
    auto* webcam = new DialogWebcam(this);
    webcam->setAttribute(Qt::WA_DeleteOnClose);
    connect(webcam, &DialogWebcam::imageCaptured, this, &DialogEditUser::onImageCaptured);
    webcam->exec();
}

void DialogEditUser::onImageCaptured(const QImage& image) {
    if (!image.isNull())
        setPendingPicture(cropImageToSquare(image));
}

void DialogEditUser::onBrowseAvatar() {
    const QImage image = openImageFromFile(this);
    if (image.isNull()) {
        qCDebug(lcUsers) << "No image was selected or processing failed.";
        return;
    }
    setPendingPicture(image);
}

void DialogEditUser::openDialogChangePassword() {
    auto* dialog = new DialogChangePassword(user.username, this);
    connect(dialog, &DialogChangePassword::passwordChanged, this, &DialogEditUser::handlePasswordChange);
    dialog->exec();
}

void DialogEditUser::handlePasswordChange(const QString& newPassword) {
    tempNewPassword = newPassword;
    hasUnsavedChanges = true;
}

void DialogEditUser::openDialogGroups() {
    auto* dialog = new DialogGroups(user.username, this);
    connect(dialog, &DialogGroups::groupsUpdated, this, &DialogEditUser::onUpdateTempGroups);
    dialog->exec();
}

void DialogEditUser::onUpdateTempGroups(const QStringList& groups) {
    tempGroups = groups;
    groupsChosen = true;
    hasUnsavedChanges = true;
}

void DialogEditUser::markUnsavedChanges() {
    hasUnsavedChanges = true;
    resizeFormLabels();
}

void DialogEditUser::fitTypeCombo() {
    const int row = ui->comboBoxType->currentIndex();
    if (row < 0)
        return;
    ui->comboBoxType->setFixedWidth(
        ui->comboBoxType->fontMetrics().horizontalAdvance(ui->comboBoxType->currentText()) + 30);
    const bool custom = row == 2 && isEditing;
    if (custom != ui->pushButtonGroups->isVisible()) {
        ui->pushButtonGroups->setVisible(custom);
        layout()->invalidate();
        layout()->activate();
    }
    ui->pushButtonGroups->adjustSize();
    ui->pushButtonGroups->updateGeometry();
    adjustSize();
}

void DialogEditUser::updateSizePolicies(QObject* root) {
    const auto apply = [this](QWidget* w) {
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QLineEdit*>(w)) {
            const QSizePolicy::Policy policy = w->isHidden() ? QSizePolicy::Ignored : QSizePolicy::Preferred;
            w->setSizePolicy(policy, policy);
        }
        updateSizePolicies(w);
    };
    for (QObject* child : root->children()) {
        if (auto* w = qobject_cast<QWidget*>(child))
            apply(w);
        else if (auto* l = qobject_cast<QLayout*>(child))
            for (int i = 0; i < l->count(); ++i)
                if (QWidget* w = l->itemAt(i)->widget())
                    apply(w);
    }
}

void DialogEditUser::resizeFormLabels() {
    QTimer::singleShot(200, this, &DialogEditUser::refitDialog);
    refitDialog();
}

void DialogEditUser::refitDialog() {
    updateSizePolicies(this);
    adjustSize();
    centerOnScreen();
}

void DialogEditUser::centerOnScreen() {
    QScreen* target = QGuiApplication::primaryScreen();
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        qint64 best = 0;
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect overlap = screen->geometry().intersected(frame);
            const qint64 area = qint64(overlap.width()) * overlap.height();
            if (area > best) {
                best = area;
                target = screen;
            }
        }
    }
    if (target)
        move(target->geometry().center() - QPoint(width() / 2, height() / 2));
}
