#include "packettree.h"

#include "displaytext.h"
#include "packettreeitem.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <algorithm>
#include <limits>

namespace {
QString capitalizeFirstLetter(const QString& text) {
    return text.isEmpty() ? text : text.left(1).toUpper() + text.mid(1);
}
} // namespace

struct PacketTree::Group {
    QString application;
    QTreeWidgetItem* item = nullptr;
    // The rows' packets, in the order of the rows.
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

void PacketTree::removeGroup(Group* group) {
    delete tree->takeTopLevelItem(tree->indexOfTopLevelItem(group->item));
    groupsByApplication.remove(group->application);
    groups.erase(std::find_if(groups.begin(), groups.end(),
                              [group](const auto& owned) { return owned.get() == group; }));
}

void PacketTree::addPackets(const QVector<CapturedPacket>& newPackets) {
    if (newPackets.isEmpty())
        return;
    QVector<Group*> touched;
    QHash<Group*, QVector<CapturedPacket*>> newByGroup;
    for (const CapturedPacket& packet : newPackets) {
        packets.push_back(packet);
        Group& group = groupOf(packet.application);
        auto found = newByGroup.find(&group);
        if (found == newByGroup.end()) {
            touched << &group;
            found = newByGroup.insert(&group, {});
        }
        found->append(&packets.back());
        ++packetsInTree;
    }
    tree->setUpdatesEnabled(false);
    for (Group* group : qAsConst(touched)) {
        // A group's rows made one after another lie together in memory,
        // which the view's walks over them are quicker for.
        QList<QTreeWidgetItem*> rows;
        const QVector<CapturedPacket*> groupPackets = newByGroup.value(group);
        rows.reserve(groupPackets.size());
        for (CapturedPacket* packet : groupPackets)
            rows << new PacketTreeItem(packet);
        placeInGroup(*group, rows, true);
    }
    tree->setUpdatesEnabled(true);
}

void PacketTree::applyRenames(const QVector<FlowRename>& renames) {
    Group* unknown = groupsByApplication.value(QStringLiteral("Unknown"));
    if (!unknown || renames.isEmpty())
        return;
    QHash<PacketFlow, const FlowRename*> byFlow;
    qint64 since = std::numeric_limits<qint64>::max();
    for (const FlowRename& rename : renames) {
        byFlow.insert(rename.flow, &rename);
        since = qMin(since, rename.since);
    }
    QVector<Group*> targets;
    QHash<Group*, QList<QTreeWidgetItem*>> moved;
    QTreeWidgetItem* current = tree->currentItem();
    PacketTreeItem* movedCurrent = nullptr;
    tree->setUpdatesEnabled(false);
    // From the last row back, so the rows still to look at keep their index.
    for (int r = unknown->shown.size() - 1; r >= 0; --r) {
        if (unknown->shown.at(r)->time < since)
            continue;
        const CapturedPacket& packet = *unknown->shown.at(r);
        PacketDecoder::FrameSummary summary;
        if (!packet.frame || !PacketDecoder::summarizeFrame(packet.frame, packet.length, summary))
            continue;
        const FlowRename* rename = byFlow.value(PacketFlow::of(summary));
        if (!rename)
            continue;
        unknown->visible -= !unknown->item->child(r)->isHidden();
        auto* row = static_cast<PacketTreeItem*>(unknown->item->takeChild(r));
        if (row == current)
            movedCurrent = row;
        unknown->shown.remove(r);
        rename->apply(row->captured(), summary);
        Group& target = groupOf(rename->application);
        auto found = moved.find(&target);
        if (found == moved.end()) {
            targets << &target;
            found = moved.insert(&target, {});
        }
        found->prepend(row);
    }
    for (Group* target : qAsConst(targets))
        placeInGroup(*target, moved.value(target), false);
    if (unknown->shown.isEmpty())
        removeGroup(unknown);
    tree->setUpdatesEnabled(true);
    // A selected packet that moved stays selected.
    if (movedCurrent)
        tree->setCurrentItem(movedCurrent);
}

void PacketTree::placeInGroup(Group& group, const QList<QTreeWidgetItem*>& rows, bool arriving) {
    auto packetOf = [](QTreeWidgetItem* row) { return &static_cast<PacketTreeItem*>(row)->captured(); };
    if (arriving && sortColumn == ColumnTimestamp && sortOrder == Qt::AscendingOrder) {
        // Packets arrive in time order.
        group.shown.reserve(group.shown.size() + rows.size());
        for (QTreeWidgetItem* row : rows)
            group.shown << packetOf(row);
        group.item->addChildren(rows);
    } else {
        const bool ascending = sortOrder == Qt::AscendingOrder;
        for (QTreeWidgetItem* row : rows) {
            const QString key = packetOf(row)->columnText(sortColumn);
            // After every equal key, so rows with the same key keep their order.
            int low = 0, high = group.shown.size();
            while (low < high) {
                const int middle = (low + high) / 2;
                const QString other = group.shown.at(middle)->columnText(sortColumn);
                if (ascending ? key < other : other < key)
                    high = middle;
                else
                    low = middle + 1;
            }
            group.item->insertChild(low, row);
            group.shown.insert(low, packetOf(row));
        }
    }
    // Only these rows are filtered; the rest of the tree already is. A new
    // row is shown, a moved one keeps its state (its direction may have
    // changed).
    const bool filtering = !filter.isEmpty();
    for (QTreeWidgetItem* row : rows) {
        const bool visible = !filtering || packetOf(row)->matches(filter);
        group.visible += visible;
        if (!arriving || !visible)
            row->setHidden(!visible);
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
    packets.clear();
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
