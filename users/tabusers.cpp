#include "tabusers.h"

#include "accountpicture.h"
#include "avatarhelpers.h"
#include "dialogadduser.h"
#include "dialogdeleteuser.h"
#include "dialogedituser.h"
#include "displaytext.h"
#include "selectionkeeper.h"
#include "ui_mainwindow.h"
#include "useritemdelegate.h"
#include "userslog.h"
#include "usersortproxymodel.h"

#include <QCheckBox>
#include <QDebug>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QStandardItemModel>

namespace {
bool isViewOnlyType(const QString& userType) {
    return userType == QLatin1String("Root account") || userType == QLatin1String("System account") ||
           userType == QLatin1String("Service account");
}
} // namespace

TabUsers::TabUsers(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qCDebug(lcUsers) << "Here in tab Users!";
    worker->connectResult(&WorkerUsers::userListUpdated, this, &TabUsers::onUserDataReady);
    worker->connectResult(&WorkerUsers::userPictureRead, this, &TabUsers::onUserPictureRead);
    worker->connectRequest(this, &TabUsers::requestUpdateUsersTable, &WorkerUsers::getUsers);
    worker->connectRequest(this, &TabUsers::requestStopPictures, &WorkerUsers::stopPictures);
    worker->connectRequest(ui->checkBoxShowAllUsers, &QCheckBox::toggled,
                           &WorkerUsers::requestSetShowAllUsers);
    worker->start();

    connect(ui->lineEditUsersFilter, &QLineEdit::textChanged, this, &TabUsers::onFilterTextChanged);

    QListView* view = ui->listViewUsers;
    model = new QStandardItemModel(this);
    view->setModel(model);
    view->setViewMode(QListView::IconMode);
    view->setIconSize(QSize(190, 190));
    view->setGridSize(QSize(206, 230));
    view->setWordWrap(true);
    view->setResizeMode(QListView::Adjust);
    view->setDragDropMode(QAbstractItemView::NoDragDrop);

    proxy = new UserSortProxyModel(this);
    proxy->setSourceModel(model);
    view->setModel(proxy);
    view->setItemDelegate(new UserItemDelegate(this));
    view->verticalScrollBar()->setSingleStep(20);
    proxy->sort(0, Qt::AscendingOrder);

    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TabUsers::onUserSelectionChanged);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &TabUsers::showContextMenu);
    connect(view, &QAbstractItemView::doubleClicked, this, &TabUsers::openDialogEditUser);

    connect(ui->pushButtonAddUser, &QPushButton::clicked, this, &TabUsers::openDialogAddUser);
    connect(ui->pushButtonEditUser, &QPushButton::clicked, this, &TabUsers::openDialogEditUser);
    connect(ui->pushButtonDeleteUser, &QPushButton::clicked, this, &TabUsers::openDialogDeleteUser);

    // Accounts changed with other tools appear whenever the page is shown.
    ui->tab_6->installEventFilter(this);
    emit requestUpdateUsersTable();
}

TabUsers::~TabUsers() {
    // The worker stops between two accounts; a read stuck in the kernel (a
    // home on a stalled network mount) must not hold up quitting, so such a
    // worker and its thread are left to end with the process.
    worker->object()->cancel();
    if (!worker->stop(300))
        static_cast<void>(worker.release());
}

bool TabUsers::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->tab_6 && event->type() == QEvent::Show)
        updateUsersTable();
    // Nobody sees the pictures still to come; the next showing reads them again.
    if (watched == ui->tab_6 && event->type() == QEvent::Hide)
        emit requestStopPictures();
    return QWidget::eventFilter(watched, event);
}

void TabUsers::updateUsersTable() {
    emit requestUpdateUsersTable();
}

void TabUsers::onUserDataReady(const QList<DetailsUser>& users) {
    QListView* view = ui->listViewUsers;
    const SelectionKeeper kept(view, 0, UserSortProxyModel::UidRole);
    model->clear();
    itemsByName.clear();
    const QPixmap frame(QStringLiteral(":/icons/frame"));
    QHash<qint64, QIcon> tiles; // accounts sharing a stand-in share its tile
    // All rows in one insertion: the proxy sorts and the view lays out once,
    // not once per account. Every account starts with its stand-in; its own
    // picture follows when the worker has read it.
    QList<QStandardItem*> items;
    items.reserve(users.size());
    for (const DetailsUser& user : users) {
        const QIcon plain = AccountPicture::standInIcon(user.username);
        QIcon& tile = tiles[plain.cacheKey()];
        if (tile.isNull())
            tile = QIcon(composeAvatarPixmap(plain.pixmap(126, 126), frame, false));
        auto* item = new QStandardItem(tile, user.userType);
        item->setData(user.uid, UserSortProxyModel::UidRole);
        item->setData(user.username, UserSortProxyModel::UserNameRole);
        item->setData(displaySafeText(user.username), UserSortProxyModel::ShownNameRole);
        item->setData(user.userType, UserSortProxyModel::UserTypeRole);
        item->setData(plain, UserSortProxyModel::PlainIconRole);
        item->setEditable(false);
        items.append(item);
        itemsByName.insert(user.username, item);
    }
    // As rows of a column that is already there: appending a column makes
    // its rows empty first, and the filter would judge those and hide them.
    if (!items.isEmpty()) {
        model->setColumnCount(1);
        model->invisibleRootItem()->appendRows(items);
    }
    kept.restore();

    // Clearing the model drops the selection without a signal.
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    ui->pushButtonEditUser->setEnabled(!selected.isEmpty());
    if (selected.isEmpty()) {
        setEditMode(false);
        ui->pushButtonDeleteUser->setEnabled(false);
    } else {
        setEditMode(isViewOnlyType(selected.first().data(UserSortProxyModel::UserTypeRole).toString()));
    }
}

void TabUsers::onUserPictureRead(const UserPicture& picture) {
    QStandardItem* item = itemsByName.value(picture.username);
    if (!item)
        return;
    // The pixmap of the picture the worker read is made here, on the GUI thread.
    const QPixmap pixmap = QPixmap::fromImage(picture.picture);
    item->setIcon(QIcon(composeAvatarPixmap(pixmap, QPixmap(QStringLiteral(":/icons/frame")), false)));
    item->setData(QIcon(pixmap), UserSortProxyModel::PlainIconRole);
}

void TabUsers::setEditMode(bool viewOnly) {
    ui->pushButtonDeleteUser->setEnabled(!viewOnly);
    ui->pushButtonEditUser->setText(viewOnly ? tr("View User") : tr("Edit User"));
    ui->pushButtonEditUser->setIcon(
        QIcon(viewOnly ? QStringLiteral(":/icons/visible") : QStringLiteral(":/icons/edit")));
}

void TabUsers::onUserSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    Q_UNUSED(deselected)
    ui->pushButtonEditUser->setEnabled(!selected.isEmpty());
    if (selected.isEmpty()) {
        setEditMode(false);
        ui->pushButtonDeleteUser->setEnabled(false);
        return;
    }
    setEditMode(isViewOnlyType(selected.indexes().first().data(UserSortProxyModel::UserTypeRole).toString()));
}

void TabUsers::showContextMenu(const QPoint& pos) {
    QListView* view = ui->listViewUsers;
    QMenu menu(this);
    QAction* addAction = menu.addAction(QIcon(QStringLiteral(":/icons/add")), tr("Add User..."));
    QAction* editAction = menu.addAction(QIcon(QStringLiteral(":/icons/edit")), tr("Edit User..."));
    QAction* deleteAction = menu.addAction(QIcon(QStringLiteral(":/icons/delete")), tr("Delete User..."));
    if (view->selectionModel()->hasSelection()) {
        const QModelIndex index = view->indexAt(pos);
        if (index.isValid() && isViewOnlyType(index.data(UserSortProxyModel::UserTypeRole).toString())) {
            deleteAction->setEnabled(false);
            editAction->setText(tr("View User..."));
            editAction->setIcon(QIcon(QStringLiteral(":/icons/visible")));
        }
    } else {
        editAction->setEnabled(false);
        deleteAction->setEnabled(false);
    }
    QAction* chosen = menu.exec(view->viewport()->mapToGlobal(pos));
    if (chosen == editAction)
        openDialogEditUser();
    else if (chosen == deleteAction)
        openDialogDeleteUser();
    else if (chosen == addAction)
        openDialogAddUser();
}

void TabUsers::onFilterTextChanged() {
    proxy->setFilterFixedString(ui->lineEditUsersFilter->text().trimmed());
}

void TabUsers::openDialogAddUser() {
    auto* dialog = new DialogAddUser(this);
    connect(dialog, &DialogAddUser::userAdded, this, &TabUsers::updateUsersTable);
    dialog->exec();
    dialog->deleteLater();
}

void TabUsers::openDialogEditUser() {
    const QModelIndex current = ui->listViewUsers->currentIndex();
    if (!current.isValid()) {
        qCDebug(lcUsers) << "No user selected";
        return;
    }
    const QString name = current.data(UserSortProxyModel::UserNameRole).toString();
    const QString type = current.data(UserSortProxyModel::UserTypeRole).toString();
    auto* dialog = new DialogEditUser(this);
    connect(dialog, &DialogEditUser::userProfileUpdated, this, &TabUsers::updateUsersTable);
    dialog->setWindowTitle(isViewOnlyType(type) ? tr("View User") : tr("Edit User"));
    // The picture the worker read; the dialog never reads the home folder.
    dialog->loadUser(name, current.data(UserSortProxyModel::PlainIconRole).value<QIcon>());
    dialog->exec();
    dialog->deleteLater();
}

void TabUsers::openDialogDeleteUser() {
    const QModelIndex current = ui->listViewUsers->currentIndex();
    if (!current.isValid()) {
        qCDebug(lcUsers) << "No user selected";
        return;
    }
    const QString name = current.data(UserSortProxyModel::UserNameRole).toString();
    const DetailsUser user = WorkerUsers::getUserDetails(name);
    if (user.userType.startsWith(QLatin1String("Administrator")) && user.isOnlyAdministrator) {
        QMessageBox::critical(
            this, tr("Only one Administrator"),
            tr("This is the only Administrator account on the system. Deleting it would make your "
               "computer unuseable."));
        return;
    }
    // Kept alive after it closes: it reports the deletion a little later.
    auto* dialog = new DialogDeleteUser(name, this);
    connect(dialog, &DialogDeleteUser::userDeleted, this, &TabUsers::updateUsersTable);
    connect(dialog, &DialogDeleteUser::userDeleted, dialog, &QObject::deleteLater);
    if (dialog->exec() != QDialog::Accepted)
        dialog->deleteLater();
}
