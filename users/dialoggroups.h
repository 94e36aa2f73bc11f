#pragma once

#include "detailsgroup.h"

#include <QDialog>
#include <QStyledItemDelegate>

namespace Ui {
class DialogGroups;
}
class QStandardItemModel;
class WorkerUsers;

// Paints a group row: check box, the name in bold over its description.
class GroupItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GroupItemDelegate(QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Lets the editor tick an account's groups; OK hands the ticked names back.
class DialogGroups : public QDialog {
    Q_OBJECT
public:
    DialogGroups(const QString& username, QWidget* parent = nullptr);
    ~DialogGroups() override;

    QStringList checkedGroups() const;

signals:
    void groupsUpdated(const QStringList& newGroups);

public slots:
    void updateGroupList(const QList<DetailsGroup>& groups);
    void accept() override;

private:
    Ui::DialogGroups* ui;
    QString username;
    WorkerUsers* workerUsers;
};
