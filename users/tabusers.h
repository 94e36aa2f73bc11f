#pragma once

#include "detailsuser.h"
#include "tabworker.h"
#include "workerusers.h"

#include <QHash>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QItemSelection;
class QStandardItem;
class QStandardItemModel;
class UserSortProxyModel;

// The Users tab: a grid of account tiles with a filter, the Add, Edit and
// Delete User buttons and their context menu.
class TabUsers : public QWidget {
    Q_OBJECT
public:
    TabUsers(Ui::MainWindow* ui, QWidget* parent);
    ~TabUsers() override;

signals:
    void requestUpdateUsersTable();
    void requestStopPictures();

public slots:
    void onUserDataReady(const QList<DetailsUser>& users);
    void onUserPictureRead(const UserPicture& picture);
    void updateUsersTable();
    void openDialogAddUser();
    void openDialogEditUser();
    void openDialogDeleteUser();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onUserSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void showContextMenu(const QPoint& pos);
    void onFilterTextChanged();
    void setEditMode(bool viewOnly);

    Ui::MainWindow* ui;
    QStandardItemModel* model;
    UserSortProxyModel* proxy;
    // The item of each account of the list shown, for its picture to find.
    QHash<QString, QStandardItem*> itemsByName;
    // Held by pointer: a worker stuck in the kernel is left behind at the end.
    std::unique_ptr<TabWorker<WorkerUsers>> worker =
        std::make_unique<TabWorker<WorkerUsers>>(QStringLiteral("workerusers"));
};
