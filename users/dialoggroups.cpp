#include "dialoggroups.h"

#include "ui_dialoggroups.h"
#include "workerusers.h"

#include <QApplication>
#include <QPainter>
#include <QStandardItemModel>

namespace {
constexpr int gidRole = 257;
constexpr int descriptionRole = 258;
} // namespace

GroupItemDelegate::GroupItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void GroupItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    painter->save();
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    const QRect r = option.rect;
    const int half = r.height() / 2;
    const bool selected = option.state & QStyle::State_Selected;
    QFont font = painter->font();
    font.setBold(true);
    painter->setFont(font);
    painter->setPen(selected ? option.palette.highlightedText().color() : QColor(Qt::black));
    painter->drawText(r.adjusted(30, 0, 0, -half), Qt::AlignLeft | Qt::AlignTop, index.data().toString());
    font.setBold(false);
    painter->setFont(font);
    painter->setPen(selected ? option.palette.highlightedText().color() : QColor(QStringLiteral("#333")));
    painter->drawText(r.adjusted(30, half, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      index.data(descriptionRole).toString());
    painter->restore();
}

QSize GroupItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), 2 * option.fontMetrics.height());
}

DialogGroups::DialogGroups(const QString& username, QWidget* parent)
    : QDialog(parent), ui(new Ui::DialogGroups), username(username) {
    ui->setupUi(this);
    ui->listViewGroups->setModel(new QStandardItemModel(this));
    ui->listViewGroups->setItemDelegate(new GroupItemDelegate(this));
    workerUsers = new WorkerUsers(this);
    connect(workerUsers, &WorkerUsers::groupListUpdated, this, &DialogGroups::updateGroupList);
    workerUsers->getGroups(username);
}

DialogGroups::~DialogGroups() {
    delete ui;
}

void DialogGroups::updateGroupList(const QList<DetailsGroup>& groups) {
    auto* model = new QStandardItemModel(this);
    for (const DetailsGroup& group : groups) {
        auto* item = new QStandardItem(group.name);
        item->setToolTip(group.description);
        item->setCheckable(true);
        item->setCheckState(group.isMember ? Qt::Checked : Qt::Unchecked);
        item->setEnabled(!group.isLocked);
        item->setData(group.gid, gidRole);
        item->setData(group.description, descriptionRole);
        model->appendRow(item);
    }
    QAbstractItemModel* old = ui->listViewGroups->model();
    ui->listViewGroups->setModel(model);
    if (old && old->parent() == this)
        old->deleteLater();
}

QStringList DialogGroups::checkedGroups() const {
    QStringList names;
    auto* model = qobject_cast<QStandardItemModel*>(ui->listViewGroups->model());
    for (int row = 0; model && row < model->rowCount(); ++row) {
        const QStandardItem* item = model->item(row);
        if (item && item->checkState() == Qt::Checked)
            names << item->text();
    }
    return names;
}

void DialogGroups::accept() {
    emit groupsUpdated(checkedGroups());
    QDialog::accept();
}
