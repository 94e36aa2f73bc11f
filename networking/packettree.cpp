#include "packettree.h"

#include "displaytext.h"
#include "packettreeitem.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <algorithm>
#include <deque>

namespace {
QString capitalizeFirstLetter(const QString& text) {
    return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
}
} // namespace

struct PacketTree::Group {
    QString application;
    QTreeWidgetItem* item = nullptr;
    // In the order they came; never moved, as the rows point at them.
    std::deque<CapturedPacket> packets;
    // The same packets in the order of the rows.
    QVector<const CapturedPacket*> shown;
    int visible = 0;
    // What the label shows now.
    bool labelled = false;
    int labelledVisible = 0;
    int labelledTotal = 0;
    bool labelledUnfiltered = true;
};

PacketTree::PacketTree(QTreeWidget* tree, QObject* parent) : QObject(parent), tree(tree) {
    tree->setColumnCount(ColumnCount);
    tree->setHeaderLabels({tr("Application"), tr("Timestamp"), tr("Source IP"), tr("Port"),
                           tr("Destination IP"), tr("Port"), tr("Protocol"), tr("Length"), tr("Direction")});
    const int widths[ColumnCount] = {165, 180, 120, 60, 120, 60, 70, 60, 70};
    for (int column = 0; column < ColumnCount; ++column)
        tree->setColumnWidth(column, widths[column]);
    // The tree does not sort itself on every insert: new rows are placed
    // where the chosen order wants them, and a click on a column sorts once.
    tree->setSortingEnabled(false);
    tree->setUniformRowHeights(true);
    QHeaderView* header = tree->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(sortColumn, sortOrder);
    connect(header, &QHeaderView::sectionClicked, this, &PacketTree::sortBy);
}

// The rows go before the packets they point at (unless the tree went first).
PacketTree::~PacketTree() {
    if (tree)
        tree->clear();
}

void PacketTree::sortBy(int column) {
    sortOrder =
        column == sortColumn && sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn = column;
    tree->header()->setSortIndicator(sortColumn, sortOrder);
    tree->sortItems(sortColumn, sortOrder);
    // The records take the order the rows now stand in.
    std::vector<std::unique_ptr<Group>> sorted;
    sorted.reserve(groups.size());
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem* item = tree->topLevelItem(g);
        const auto owner = std::find_if(groups.begin(), groups.end(),
                                        [item](const auto& group) { return group && group->item == item; });
        Group& group = **owner;
        for (int r = 0; r < item->childCount(); ++r)
            group.shown[r] = &static_cast<const PacketTreeItem*>(item->child(r))->captured();
        sorted.push_back(std::move(*owner));
    }
    groups = std::move(sorted);
}

PacketTree::Group& PacketTree::groupOf(const QString& application) {
    if (Group* known = groupsByApplication.value(application))
        return *known;
    auto group = std::make_unique<Group>();
    group->application = application;
    group->item = new QTreeWidgetItem;
    // A process name is whatever its owner chose: shown display-safe.
    group->item->setText(ColumnApplication, QStringLiteral("%1 (1)").arg(displaySafeText(application)));
    group->item->setData(ColumnApplication, Qt::UserRole, application);
    tree->addTopLevelItem(group->item);
    groupsByApplication.insert(application, group.get());
    groups.push_back(std::move(group));
    return *groups.back();
}

void PacketTree::addPackets(const QVector<CapturedPacket>& packets) {
    if (packets.isEmpty())
        return;
    QVector<Group*> touched;
    QHash<Group*, QVector<const CapturedPacket*>> newPackets;
    for (const CapturedPacket& packet : packets) {
        Group& group = groupOf(packet.application);
        group.packets.push_back(packet);
        auto found = newPackets.find(&group);
        if (found == newPackets.end()) {
            touched << &group;
            found = newPackets.insert(&group, {});
        }
        found->append(&group.packets.back());
        ++packetsInTree;
    }
    tree->setUpdatesEnabled(false);
    for (Group* group : qAsConst(touched))
        placeInGroup(*group, newPackets.value(group));
    tree->setUpdatesEnabled(true);
}

void PacketTree::placeInGroup(Group& group, const QVector<const CapturedPacket*>& newPackets) {
    const bool filtering = !filter.isEmpty();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(newPackets.size());
    for (const CapturedPacket* packet : newPackets)
        rows << new PacketTreeItem(packet);
    if (sortColumn == ColumnTimestamp && sortOrder == Qt::AscendingOrder) {
        group.item->addChildren(rows); // packets arrive in time order
        group.shown += newPackets;
    } else {
        const bool ascending = sortOrder == Qt::AscendingOrder;
        for (int i = 0; i < rows.size(); ++i) {
            const QString key = newPackets.at(i)->columnText(sortColumn);
            // After every equal key, so rows with the same key keep their arrival order.
            int low = 0, high = group.shown.size();
            while (low < high) {
                const int middle = (low + high) / 2;
                const QString other = group.shown.at(middle)->columnText(sortColumn);
                if (ascending ? key < other : other < key)
                    high = middle;
                else
                    low = middle + 1;
            }
            group.item->insertChild(low, rows.at(i));
            group.shown.insert(low, newPackets.at(i));
        }
    }
    // Only the new rows are filtered; the rest of the tree already is.
    for (int i = 0; i < rows.size(); ++i) {
        const bool visible = !filtering || newPackets.at(i)->matches(filter);
        group.visible += visible;
        if (!visible)
            rows.at(i)->setHidden(true);
    }
}

void PacketTree::setFilterText(const QString& text) {
    filter = text;
    tree->setUpdatesEnabled(false);
    for (const auto& group : groups) {
        group->visible = 0;
        for (int r = 0; r < group->shown.size(); ++r) {
            const bool matches = filter.isEmpty() || group->shown.at(r)->matches(filter);
            QTreeWidgetItem* row = group->item->child(r);
            if (row->isHidden() == matches)
                row->setHidden(!matches);
            group->visible += matches;
        }
    }
    tree->setUpdatesEnabled(true);
    updateGroupLabels();
}

QString PacketTree::label(const Group& group) const {
    const int total = group.shown.size();
    const QString text =
        filter.isEmpty() ? QStringLiteral("%1 (%2)").arg(group.application).arg(total)
                         : QStringLiteral("%1 (%2/%3)").arg(group.application).arg(group.visible).arg(total);
    return displaySafeText(capitalizeFirstLetter(text));
}

void PacketTree::updateGroupLabels() {
    const bool unfiltered = filter.isEmpty();
    for (const auto& group : groups) {
        const int total = group->shown.size();
        if (group->labelled && group->labelledVisible == group->visible && group->labelledTotal == total &&
            group->labelledUnfiltered == unfiltered)
            continue;
        group->item->setText(ColumnApplication, label(*group));
        group->labelled = true;
        group->labelledVisible = group->visible;
        group->labelledTotal = total;
        group->labelledUnfiltered = unfiltered;
    }
}

void PacketTree::clear() {
    tree->clear();
    groups.clear();
    groupsByApplication.clear();
    packetsInTree = 0;
}

std::optional<PacketInfo> PacketTree::selectedPacket() const {
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    if (selected.isEmpty() || !selected.first()->parent() ||
        selected.first()->type() != QTreeWidgetItem::UserType)
        return std::nullopt;
    return static_cast<const PacketTreeItem*>(selected.first())->captured().info();
}

CaptureSnapshot PacketTree::snapshot(bool onlyShown) const {
    const bool filtering = onlyShown && !filter.isEmpty();
    CaptureSnapshot snapshot;
    snapshot.reserve(int(groups.size()));
    for (const auto& group : groups) {
        PacketGroup copy;
        copy.application = capitalizeFirstLetter(group->application);
        copy.packets.reserve(filtering ? group->visible : group->shown.size());
        for (const CapturedPacket* packet : group->shown)
            if (!filtering || packet->matches(filter))
                copy.packets.append(*packet);
        snapshot.append(copy);
    }
    return snapshot;
}
