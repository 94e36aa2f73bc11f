#include "dialogadduser.h"

#include "accountchanges.h"
#include "accountfiles.h"
#include "accountlookup.h"
#include "avatarhelpers.h"
#include "dialogstockavatars.h"
#include "dialogwebcam.h"
#include "systempaths.h"
#include "ui_dialogadduser.h"
#include "userslog.h"

#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>

namespace {
QString defaultPicturePath() {
    return SystemPaths::path(QStringLiteral("/usr/share/pixmaps/faces/avatar-08.jpg"));
}

const QString usernameTaken = QStringLiteral("Username is already in use.");
const QString passwordLineBreak = QStringLiteral("A password cannot hold a line break.");
const QString passwordsDiffer = QStringLiteral("Passwords do not match.");

void toggleEcho(QLineEdit* edit, QPushButton* button) {
    const bool hidden = edit->echoMode() == QLineEdit::Password;
    edit->setEchoMode(hidden ? QLineEdit::Normal : QLineEdit::Password);
    button->setIcon(QIcon(hidden ? QStringLiteral(":/icons/visible") : QStringLiteral(":/icons/hidden")));
}
} // namespace

DialogAddUser::DialogAddUser(QWidget* parent) : QDialog(parent), ui(new Ui::DialogAddUser) {
    QImage defaultPicture;
    if (!readStockPicture(defaultPicturePath(), &avatarData, &defaultPicture))
        avatarData.clear();
    defaultAvatarIcon = defaultPicture.isNull() ? QIcon(QStringLiteral(":/icons/user-system"))
                                                : QIcon(QPixmap::fromImage(defaultPicture));
    ui->setupUi(this);
    setAvatarPixmap(defaultAvatarIcon);
    for (QLabel* message : {ui->labelFeedback, ui->labelUserDescription}) {
        QSizePolicy policy = message->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        message->setSizePolicy(policy);
        message->hide();
    }
    ui->labelUserAvatar->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->labelUserAvatar->installEventFilter(this);
    for (QLineEdit* edit : {ui->lineEditUsername, ui->lineEditPassword, ui->lineEditRepeatPassword})
        connect(edit, &QLineEdit::textChanged, this, &DialogAddUser::validateInput);
    for (QRadioButton* radio : {ui->radioButtonAdministrator, ui->radioButtonRegularUser}) {
        connect(radio, &QRadioButton::clicked, this, &DialogAddUser::validateInput);
        connect(radio, &QRadioButton::toggled, this, &DialogAddUser::updateTypeDescription);
    }
    connect(ui->pushButtonPasswordVisibility, &QPushButton::clicked, this,
            [this] { toggleEcho(ui->lineEditPassword, ui->pushButtonPasswordVisibility); });
    connect(ui->pushButtonRepeatPasswordVisibility, &QPushButton::clicked, this,
            [this] { toggleEcho(ui->lineEditRepeatPassword, ui->pushButtonRepeatPasswordVisibility); });
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
}

DialogAddUser::~DialogAddUser() {
    delete ui;
}

bool DialogAddUser::isUsernameAvailable(const QString& username) {
    return !lookupAccount(username).found;
}

void DialogAddUser::validateInput() {
    const QString name = ui->lineEditUsername->text();
    const QString password = ui->lineEditPassword->text();
    const QString repeat = ui->lineEditRepeatPassword->text();
    QString feedback;
    if (!name.isEmpty())
        feedback = AccountFiles::accountNameProblem(name);
    if (feedback.isEmpty() && !name.isEmpty() && !isUsernameAvailable(name))
        feedback = usernameTaken;
    if (feedback.isEmpty() &&
        (!AccountFiles::isAcceptablePassword(password) || !AccountFiles::isAcceptablePassword(repeat)))
        feedback = passwordLineBreak;
    if (feedback.isEmpty() && !password.isEmpty() && !repeat.isEmpty() && password != repeat)
        feedback = passwordsDiffer;
    ui->labelFeedback->setText(feedback);
    ui->labelFeedback->setStyleSheet(QStringLiteral("color: red;"));
    ui->labelFeedback->setVisible(!feedback.isEmpty());
    const bool typeChosen =
        ui->radioButtonAdministrator->isChecked() || ui->radioButtonRegularUser->isChecked();
    ui->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(feedback.isEmpty() && typeChosen && !name.isEmpty() && !password.isEmpty() &&
                     !repeat.isEmpty());
}

void DialogAddUser::updateTypeDescription(bool checked) {
    if (!checked)
        return;
    ui->labelUserDescription->setText(
        descriptionTexts().at(ui->radioButtonAdministrator->isChecked() ? 0 : 1));
    ui->labelUserDescription->show();
}

// Word-wrapped messages need a height that depends on the width, which a
// window's minimum size does not follow by itself. The messages keep the room
// of their longest text whether shown or not, so that a message coming or
// going never moves the fields under the pointer: only the width changes
// what the dialog needs.
void DialogAddUser::fitHeight() {
    layout()->activate();
    reserveRoom(ui->labelFeedback, feedbackTexts());
    reserveRoom(ui->labelUserDescription, descriptionTexts());
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    setMinimumHeight(qMax(needed, layout()->totalMinimumSize().height()));
    if (height() < minimumHeight())
        resize(width(), minimumHeight());
}

// The administrator's first.
QStringList DialogAddUser::descriptionTexts() const {
    return {tr("Administrators can install software and change system settings"),
            tr("Regular users can use existing applications and settings")};
}

QStringList DialogAddUser::feedbackTexts() {
    QStringList texts = AccountFiles::accountNameProblems();
    texts << usernameTaken << passwordLineBreak << passwordsDiffer;
    return texts;
}

// The height the label needs for the longest of its texts at its width.
void DialogAddUser::reserveRoom(QLabel* label, const QStringList& texts) {
    const int width = label->contentsRect().width();
    if (width <= 0)
        return;
    int height = 0;
    for (const QString& text : texts)
        height = qMax(height, label->fontMetrics()
                                  .boundingRect(QRect(0, 0, width, QWIDGETSIZE_MAX), Qt::TextWordWrap, text)
                                  .height());
    const QMargins margins = label->contentsMargins();
    label->setMinimumHeight(height + margins.top() + margins.bottom());
}

void DialogAddUser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitHeight();
}

void DialogAddUser::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (event->oldSize().width() != event->size().width())
        fitHeight();
}

void DialogAddUser::setAvatarPixmap(const QIcon& icon) {
    ui->labelUserAvatar->setPixmap(
        composeAvatarPixmap(icon.pixmap(126, 126), QPixmap(QStringLiteral(":/icons/frame")), true));
}

void DialogAddUser::setPicture(const QImage& image) {
    avatarData = encodePicture(image);
    avatarIcon = QIcon(QPixmap::fromImage(image));
    setAvatarPixmap(avatarIcon);
}

bool DialogAddUser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->labelUserAvatar && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton || press->button() == Qt::RightButton) {
            showAvatarMenu(press->pos());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogAddUser::showAvatarMenu(const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(QIcon(QStringLiteral(":/icons/stock-images")), tr("Select from stock..."), this,
                   &DialogAddUser::openDialogStockAvatars);
    menu.addAction(QIcon(QStringLiteral(":/icons/webcam")), tr("Capture from webcam..."), this,
                   &DialogAddUser::openDialogWebcam);
    menu.addAction(QIcon(QStringLiteral(":/icons/browse")), tr("Browse..."), this,
                   &DialogAddUser::onBrowseAvatar);
    menu.exec(ui->labelUserAvatar->mapToGlobal(pos));
}

void DialogAddUser::openDialogStockAvatars() {
    DialogStockAvatars picker(this);
    if (picker.exec() == QDialog::Accepted) {
        const QString path = picker.getSelectedImagePath();
        qCDebug(lcUsers) << "Selected Image Path:" << path;
        QByteArray bytes;
        QImage image;
        if (readStockPicture(path, &bytes, &image)) {
            avatarData = bytes;
            avatarIcon = QIcon(QPixmap::fromImage(image));
            setAvatarPixmap(avatarIcon);
        }
    }
}

int DialogAddUser::openDialogWebcam() {
    auto* webcam = new DialogWebcam(this);
    webcam->setAttribute(Qt::WA_DeleteOnClose);
    connect(webcam, &DialogWebcam::imageCaptured, this, &DialogAddUser::onImageCaptured);
    return webcam->exec();
}

void DialogAddUser::onImageCaptured(const QImage& image) {
    if (!image.isNull())
        setPicture(cropImageToSquare(image));
}

void DialogAddUser::onBrowseAvatar() {
    browsing.abandon();
    browsing = openImageFromFile(this, [this](const QImage& image) { setPicture(image); });
}

void DialogAddUser::accept() {
    const QString name = ui->lineEditUsername->text().trimmed();
    const bool administrator = !ui->radioButtonRegularUser->isChecked();
    QString error;
    QString warning;
    QString groupsWarning;
    if (!AccountChanges::createUser(name, ui->lineEditPassword->text(), administrator, avatarData, &error,
                                    &warning, &groupsWarning)) {
        QMessageBox::critical(this, QStringLiteral("Error"),
                              QStringLiteral("Failed to create user.\n%1").arg(error));
        return;
    }
    emit userAdded(name);
    if (!groupsWarning.isEmpty())
        QMessageBox::warning(this, tr("Groups Not Set"),
                             tr("The account %1 was created, but not in every group of its type:\n%2\n"
                                "Its groups can be set in Edit User.")
                                 .arg(name, groupsWarning));
    if (!warning.isEmpty())
        QMessageBox::warning(
            this, tr("Picture Not Set"),
            tr("The account %1 was created, but its picture could not be set:\n%2").arg(name, warning));
    QDialog::accept();
}
