#include "dialogedituser.h"

#include "accountchanges.h"
#include "accountfiles.h"
#include "accountpicture.h"
#include "accountqueries.h"
#include "avatarhelpers.h"
#include "dialogchangepassword.h"
#include "dialoggroups.h"
#include "dialogstockavatars.h"
#include "dialogwebcam.h"
#include "displaytext.h"
#include "pamauth.h"
#include "securitylevel.h"
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

void DialogEditUser::loadUser(const QString& username, const QIcon& picture) {
    user = WorkerUsers::getUserDetails(username);
    shownIcon = picture.isNull() ? AccountPicture::standInIcon(username) : picture;
    showUser();
    resizeFormLabels();
    hasUnsavedChanges = false;
}

// Fills the view from user; names and descriptions are shown display-safe.
void DialogEditUser::showUser() {
    const QSignalBlocker blockType(ui->comboBoxType);
    const QSignalBlocker blockSlider(ui->verticalSliderSecurityLevel);
    ui->comboBoxType->clear();
    ui->comboBoxType->addItems({tr("Administrator"), tr("Regular user"), tr("Custom")});
    if (auto* model = qobject_cast<QStandardItemModel*>(ui->comboBoxType->model())) {
        QStandardItem* regular = model->item(1);
        const bool soleAdmin = user.isOnlyAdministrator && isAdministratorType(user.userType);
        regular->setEnabled(!soleAdmin);
        regular->setToolTip(soleAdmin ? onlyAdminTip : QString());
    }
    showPicture(shownIcon);
    ui->labelUsername->setText(displaySafeText(user.username));
    ui->labelRealName->setText(displaySafeText(user.realName));
    ui->labelType->setText(user.userType);
    ui->labelAutoLogin->setText(user.autoLogin ? tr("Yes") : tr("No"));
    ui->labelHomeFolder->setText(displaySafeText(user.homeDirectory));
    ui->labelUserID->setText(QStringLiteral("%1/%2").arg(user.uid).arg(user.gid));
    ui->labelDescription->setText(displaySafeText(user.description));
    const bool editable = user.uid >= 1000 && user.uid <= 60000;
    for (QWidget* w :
         {static_cast<QWidget*>(ui->labelMax), static_cast<QWidget*>(ui->labelMin),
          static_cast<QWidget*>(ui->labelSecurityLevel), static_cast<QWidget*>(ui->pushButtonChangeSettings)})
        w->setEnabled(editable);
    ui->verticalSliderSecurityLevel->setEnabled(false);
    ui->verticalSliderSecurityLevel->setValue(qMin(user.securityLevel, 1));
    fitTypeCombo();
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
    // Said before any editing: a save that could never be approved would
    // only lose the edits.
    if (!isEditing && WorkerUsers::getSudoUserSecurityLevel() > 0) {
        const QString problem = authenticationProblem();
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, tr("Changes Cannot Be Saved"), problem);
            return;
        }
    }
    isEditing = !isEditing;
    const QString type = WorkerUsers::getUserType(user.uid, user.username);
    if (isEditing) {
        ui->labelUserAvatar->setCursor(Qt::PointingHandCursor);
        ui->comboBoxType->setCurrentIndex(type == QLatin1String("Administrator")  ? 0
                                          : type == QLatin1String("Regular user") ? 1
                                                                                  : 2);
        ui->comboBoxAutoLogin->setCurrentIndex(user.autoLogin ? 1 : 0);
        // Shown as the pages show it; saved only when edited (applySave).
        ui->lineEditRealName->setText(displaySafeText(user.realName));
        // The editor holds the account's own description; the text shown in
        // its stead (built-in, or the sentence for none) is only a hint.
        initialDescription = AccountFiles::descriptionFrom(SecurityLevel::settingsText(user.username));
        ui->lineEditDescription->setText(initialDescription);
        ui->lineEditDescription->setPlaceholderText(initialDescription.isEmpty() ? user.description
                                                                                 : QString());
        initialTypeRow = ui->comboBoxType->currentIndex();
        initialSliderValue = ui->verticalSliderSecurityLevel->value();
        // The password-free level is only for administrators (or to leave it).
        ui->verticalSliderSecurityLevel->setEnabled(isAdministratorType(type) || user.securityLevel == 0);
        ui->pushButtonCancel->setEnabled(true);
        ui->pushButtonChangeSettings->setText(tr("Save Changes"));
        setEditorsVisible(true);
        hasUnsavedChanges = false;
    } else {
        // A picture still being read arrives too late for this edit.
        browsing.abandon();
        ui->labelUserAvatar->setCursor(Qt::ArrowCursor);
        const int sudoLevel = WorkerUsers::getSudoUserSecurityLevel();
        if (sudoLevel > 0 && !cancelRequested) {
            qCDebug(lcUsers) << "Active security level is: " << sudoLevel;
            if (!authenticator())
                cancelRequested = true;
        }
        const int level = ui->verticalSliderSecurityLevel->value();
        QStringList problems;
        if (cancelRequested) {
            cancelRequested = false;
            discardPending();
        } else {
            problems = applySave(level);
        }
        ui->verticalSliderSecurityLevel->setEnabled(false);
        ui->pushButtonCancel->setEnabled(false);
        ui->pushButtonChangeSettings->setText(tr("Change Settings"));
        setEditorsVisible(false);
        showPicture(shownIcon);
        resizeFormLabels();
        if (!problems.isEmpty())
            QMessageBox::warning(this, tr("Some Changes Were Not Saved"),
                                 tr("These changes were not saved:") + QStringLiteral("\n\n") +
                                     problems.join(QLatin1Char('\n')));
        return;
    }
    showPicture(pendingIcon.isNull() ? shownIcon : pendingIcon);
    resizeFormLabels();
}

// Cancel and a failed password question forget every pending change.
void DialogEditUser::discardPending() {
    ui->verticalSliderSecurityLevel->blockSignals(true);
    ui->verticalSliderSecurityLevel->setValue(qMin(user.securityLevel, 1));
    ui->verticalSliderSecurityLevel->blockSignals(false);
    pendingIcon = QIcon();
    pendingPicture.clear();
    tempNewPassword.clear();
    tempGroups.clear();
    groupsChosen = false;
    hasUnsavedChanges = false;
}

// Applies what was changed in edit mode, and only that. Returns each change
// that was refused or failed, as "field: reason", for one message.
QStringList DialogEditUser::applySave(int level) {
    const QString name = user.username;
    QStringList problems;
    // Runs one change; a refusal or failure is kept as "field: reason".
    const auto apply = [&problems](const QString& field, const std::function<bool(QString*)>& change) {
        QString error;
        const bool done = change(&error);
        if (!done)
            problems << field + QStringLiteral(": ") + error;
        return done;
    };
    if (!pendingPicture.isEmpty()) {
        if (apply(tr("Picture"), [&](QString* error) {
                return AccountChanges::applyPicture(name, pendingPicture, error);
            })) {
            shownIcon = pendingIcon;
            emit userProfileUpdated();
        }
        pendingPicture.clear();
        pendingIcon = QIcon();
    }
    if (level != initialSliderValue)
        apply(tr("Security level"),
              [&](QString* error) { return AccountChanges::setSecurityLevel(name, level, error); });

    // Groups change only when the type was changed here, or groups were chosen.
    const int row = ui->comboBoxType->currentIndex();
    if ((row != initialTypeRow && row != 2) || (row == 2 && groupsChosen)) {
        QStringList wanted = tempGroups;
        if (row != 2) {
            // Groups this machine does not define cannot be joined; asking would only fail.
            const QList<GroupEntry> groups = AccountQueries::readGroups();
            wanted =
                AccountFiles::definedGroups(
                    row == 0 ? AccountFiles::administratorGroups() : AccountFiles::standardGroups(), groups)
                << name;
            // The groups adduser gives every account are no part of a type.
            for (const QString& group : AccountQueries::everyonesGroups(groups))
                if (user.groups.contains(group) && !wanted.contains(group))
                    wanted << group;
        }
        if (!wanted.isEmpty() && QSet<QString>(wanted.begin(), wanted.end()) !=
                                     QSet<QString>(user.groups.begin(), user.groups.end())) {
            if (apply(tr("Groups"), [&](QString* error) {
                    return workerUsers->updateUserGroups(name, wanted, user.groups, error);
                }))
                QMessageBox::information(
                    this, tr("Group Update Success"),
                    tr("Groups successfully updated. Please log out and log back in for the changes "
                       "to take effect."));
            emit userProfileUpdated();
        }
    }
    const bool autoLogin = ui->comboBoxAutoLogin->currentIndex() == 1;
    if (autoLogin != user.autoLogin)
        apply(tr("Auto login"),
              [&](QString* error) { return AccountChanges::setAutoLogin(name, autoLogin, error); });
    const QString realName = ui->lineEditRealName->text();
    if (realName != displaySafeText(user.realName))
        apply(tr("Full name"),
              [&](QString* error) { return AccountChanges::updateRealName(name, realName, error); });
    const QString description = ui->lineEditDescription->text();
    if (description != initialDescription)
        apply(tr("Description"),
              [&](QString* error) { return AccountChanges::updateDescription(name, description, error); });
    if (!tempNewPassword.isEmpty()) {
        if (apply(tr("Password"), [&](QString* error) {
                return AccountChanges::changePassword(name, tempNewPassword, error);
            }))
            QMessageBox::information(
                this, QStringLiteral("Password Changed Successfully"),
                QStringLiteral("The password was changed successfully. Please log out and then log "
                               "back in for the changes to take effect."));
        tempNewPassword.clear();
    }
    tempGroups.clear();
    groupsChosen = false;
    hasUnsavedChanges = false;

    // Show what is stored now, not what was typed: a refused change reads back
    // as it was, and the level follows a change of the groups.
    const DetailsUser stored = WorkerUsers::getUserDetails(name);
    if (!stored.username.isEmpty())
        user = stored;
    showUser();
    return problems;
}

bool DialogEditUser::requestAuthentication() {
    for (;;) {
        const std::string password = promptForPassword(this);
        if (password.empty())
            return false;
        QString reason;
        const int result = authenticateUser(invokingUserName().toStdString(), password, &reason);
        if (result == AuthAccepted)
            return true;
        if (result == AuthRefused) {
            QMessageBox::critical(this, tr("Authentication Failed"),
                                  tr("Incorrect password. Please try again."));
            continue;
        }
        // The edits go with this answer: say why, and that they went.
        QMessageBox::critical(this, tr("Authentication Error"),
                              tr("An error occurred during authentication.") + QStringLiteral("\n\n") +
                                  (reason.isEmpty() ? QString() : reason + QStringLiteral("\n")) +
                                  tr("Your changes were not saved."));
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

void DialogEditUser::setPendingPicture(const QImage& image, const QByteArray& bytes) {
    pendingPicture = bytes.isEmpty() ? encodePicture(image) : bytes;
    pendingIcon = QIcon(QPixmap::fromImage(image));
    showPicture(pendingIcon);
    hasUnsavedChanges = true;
    ui->pushButtonCancel->setEnabled(true);
}

void DialogEditUser::openDialogStockAvatars() {
    DialogStockAvatars picker(this);
    if (picker.exec() == QDialog::Accepted) {
        qCDebug(lcUsers) << "Selected Image Path:" << picker.getSelectedImagePath();
        QByteArray bytes;
        QImage image;
        if (readStockPicture(picker.getSelectedImagePath(), &bytes, &image))
            setPendingPicture(image, bytes);
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
    browsing.abandon();
    browsing = openImageFromFile(this, [this](const QImage& image) { setPendingPicture(image); });
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
        // A message box open over the dialog keeps its own layout.
        if (w->isWindow())
            return;
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
