#include "tabnetworkingpacketsniffer.h"

#include "captureformats.h"
#include "customplaintextedit.h"
#include "custompushbutton.h"
#include "displaytext.h"
#include "packettreeitem.h"
#include "safefilewriter.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"
#include "workerthread.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDebug>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif

Q_LOGGING_CATEGORY(lcSnifferTab, "tessmar.sniffer.tab", QtWarningMsg)

namespace {

enum Column {
    ColumnApplication,
    ColumnTimestamp,
    ColumnSourceIP,
    ColumnSourcePort,
    ColumnDestinationIP,
    ColumnDestinationPort,
    ColumnProtocol,
    ColumnLength,
    ColumnDirection,
    ColumnCount
};

// Records fed to handlePacketCaptured wait for the next batch; at most this many.
constexpr int MaxPending = 100000;

PacketInfo packetOf(const QTreeWidgetItem* row) {
    if (row->type() == QTreeWidgetItem::UserType)
        return static_cast<const PacketTreeItem*>(row)->packet();
    return row->data(ColumnApplication, Qt::UserRole).value<PacketInfo>();
}

QString hexLabel(quint16 value) {
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TabNetworkingPacketSniffer::TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    qCDebug(lcSnifferTab) << "We are here in Tab Networking Packet Sniffer!";
    worker = new WorkerNetworkingPacketSniffer;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workernetworkingpacketsniffer"));
    connect(worker, &WorkerNetworkingPacketSniffer::captureStopped, this,
            &TabNetworkingPacketSniffer::handleCaptureStopped);
    connect(worker, &WorkerNetworkingPacketSniffer::errorOccurred, this,
            &TabNetworkingPacketSniffer::handleErrorOccurred);
    connect(this, &TabNetworkingPacketSniffer::requestStopCapture, worker,
            &WorkerNetworkingPacketSniffer::stopCapture);
    workerThread->start();

    connect(ui->pushButtonNetworkingPacketSnifferRecordStop, &QPushButton::clicked, this,
            &TabNetworkingPacketSniffer::on_pushButtonNetworkingPacketSnifferRecordStop_clicked);
    connect(ui->pushButtonNetworkingPacketSnifferClear, &QPushButton::clicked, this,
            &TabNetworkingPacketSniffer::on_pushButtonNetworkingPacketSnifferClear_clicked);
    connect(ui->pushButtonNetworkingPacketSnifferSave, &QPushButton::clicked, this,
            &TabNetworkingPacketSniffer::on_pushButtonNetworkingPacketSnifferSave_clicked);
    connect(ui->treeWidgetNetworkingPacketSnifferPacketListTree, &QTreeWidget::itemSelectionChanged, this,
            &TabNetworkingPacketSniffer::onPacketSelected);

    initializeInterfaceButtons(ui->groupBoxNetworkingPacketSnifferNetworkInterfaces);
    initializePacketTree();

    QSplitter* splitter = ui->splitterPacketListAndDetails;
    connect(splitter, &QSplitter::splitterMoved, this, &TabNetworkingPacketSniffer::onSplitterMoved);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    // The details side opens with the first selected packet.
    splitter->setSizes({splitter->height(), 0});

    CustomPlainTextEdit* hex = ui->plainTextEditNetworkingPacketSnifferHEX;
    CustomPlainTextEdit* ascii = ui->plainTextEditNetworkingPacketSnifferASCII;
    hex->setHexView(true);
    ascii->setHexView(false);
    connect(hex, &QPlainTextEdit::cursorPositionChanged, this, &TabNetworkingPacketSniffer::onHexCursorMoved);
    connect(ascii, &QPlainTextEdit::cursorPositionChanged, this,
            &TabNetworkingPacketSniffer::onAsciiCursorMoved);
    connect(hex, &QPlainTextEdit::selectionChanged, this, &TabNetworkingPacketSniffer::onHexSelectionChanged);
    connect(ascii, &QPlainTextEdit::selectionChanged, this,
            &TabNetworkingPacketSniffer::onAsciiSelectionChanged);
    connect(hex, &CustomPlainTextEdit::hexClicked, this, &TabNetworkingPacketSniffer::onHexClicked);
    connect(ascii, &CustomPlainTextEdit::asciiClicked, this, &TabNetworkingPacketSniffer::onAsciiClicked);

    connect(ui->lineEditNetworkingPacketSnifferFilter, &QLineEdit::textChanged, this,
            &TabNetworkingPacketSniffer::onFilterTextChanged);

    batchTimer = new QTimer(this);
    batchTimer->setInterval(500);
    connect(batchTimer, &QTimer::timeout, this, &TabNetworkingPacketSniffer::processBatchUpdates);
    batchTimer->start();
    labelTimer = new QTimer(this);
    labelTimer->setInterval(250);
    connect(labelTimer, &QTimer::timeout, this, &TabNetworkingPacketSniffer::updateParentItemDisplays);
    labelTimer->start();

    connect(ui->checkBoxNetworkingPacketSnifferTCP, &QCheckBox::toggled, worker,
            &WorkerNetworkingPacketSniffer::setCaptureTCP);
    connect(ui->checkBoxNetworkingPacketSnifferUDP, &QCheckBox::toggled, worker,
            &WorkerNetworkingPacketSniffer::setCaptureUDP);
}

TabNetworkingPacketSniffer::~TabNetworkingPacketSniffer() {
    // Nothing may tick into the tree while the capture winds down; the
    // worker stops and joins its capture loop as its thread ends.
    batchTimer->stop();
    labelTimer->stop();
    workerThread.reset();
}

void TabNetworkingPacketSniffer::setPacketLimit(int limit) {
    packetLimit = limit;
    if (worker)
        worker->setKeepLimit(limit);
}

qint64 TabNetworkingPacketSniffer::packetsNotKept() const {
    return notKept + qint64(worker ? worker->notKept() : 0);
}

bool TabNetworkingPacketSniffer::areTimersRunning() const {
    return batchTimer->isActive() && labelTimer->isActive();
}

QString TabNetworkingPacketSniffer::capitalizeFirstLetter(const QString& text) {
    if (text.isEmpty())
        return text;
    return text.left(1).toUpper() + text.mid(1);
}

QString TabNetworkingPacketSniffer::withSuffix(const QString& path, const QString& suffix) {
    return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
}

QString TabNetworkingPacketSniffer::stripCountSuffix(const QString& text) {
    const int at = text.indexOf(QStringLiteral(" ("));
    return at < 0 ? text : text.left(at);
}

void TabNetworkingPacketSniffer::initializeInterfaceButtons(QWidget* container) {
    QLayout* layout = container->layout();
    if (layout) {
        while (QLayoutItem* item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
    } else {
        layout = new QVBoxLayout(container);
    }
    interfaceButtons = new QButtonGroup(this);
    interfaceButtons->setExclusive(true);
    CustomPushButton* first = nullptr;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        CustomPushButton* button = CustomPushButton::forInterface(interface, container);
        if (button->isEnabled() && !first)
            first = button;
        interfaceButtons->addButton(button);
        layout->addWidget(button);
    }
    if (first)
        first->setChecked(true);
}

void TabNetworkingPacketSniffer::initializePacketTree() {
    QTreeWidget* tree = ui->treeWidgetNetworkingPacketSnifferPacketListTree;
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
    connect(header, &QHeaderView::sectionClicked, this, &TabNetworkingPacketSniffer::onHeaderClicked);
}

void TabNetworkingPacketSniffer::onHeaderClicked(int column) {
    sortOrder =
        column == sortColumn && sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn = column;
    QTreeWidget* tree = ui->treeWidgetNetworkingPacketSnifferPacketListTree;
    tree->header()->setSortIndicator(sortColumn, sortOrder);
    tree->sortItems(sortColumn, sortOrder);
}

void TabNetworkingPacketSniffer::handlePacketCaptured(const PacketInfo& packet, bool matchesFilter) {
    QMutexLocker lock(&pendingMutex);
    if (pendingPackets.size() >= MaxPending) {
        ++notKept;
        return;
    }
    pendingPackets.append(qMakePair(packet, matchesFilter));
}

void TabNetworkingPacketSniffer::processBatchUpdates() {
    QVector<QPair<PacketInfo, bool>> records;
    {
        QMutexLocker lock(&pendingMutex);
        records.swap(pendingPackets);
    }
    const QVector<CapturedPacket> captured = worker ? worker->takePackets() : QVector<CapturedPacket>();
    QVector<NewRow> rows;
    rows.reserve(records.size() + captured.size());
    for (const auto& record : qAsConst(records))
        rows.append({record.first.application, record.second, record.first, nullptr});
    for (const CapturedPacket& packet : captured)
        rows.append({packet.application, packet.matchesFilter, PacketInfo(), &packet});
    addPacketsToTree(rows);
    updateStatusTitle();
}

bool TabNetworkingPacketSniffer::rowMatches(const QTreeWidgetItem* row) const {
    for (int column = 0; column < ColumnCount; ++column)
        if (row->text(column).contains(filterText, Qt::CaseInsensitive))
            return true;
    return false;
}

void TabNetworkingPacketSniffer::placeInGroup(QTreeWidgetItem* group, const QList<QTreeWidgetItem*>& rows) {
    if (sortColumn == ColumnTimestamp && sortOrder == Qt::AscendingOrder) {
        group->addChildren(rows); // packets arrive in time order
        return;
    }
    const int column = sortColumn;
    const bool ascending = sortOrder == Qt::AscendingOrder;
    for (QTreeWidgetItem* row : rows) {
        const QString key = row->text(column);
        // After every equal key, so rows with the same key keep their arrival order.
        int low = 0, high = group->childCount();
        while (low < high) {
            const int middle = (low + high) / 2;
            const QString other = group->child(middle)->text(column);
            if (ascending ? key < other : other < key)
                high = middle;
            else
                low = middle + 1;
        }
        group->insertChild(low, row);
    }
}

void TabNetworkingPacketSniffer::addPacketsToTree(const QVector<NewRow>& packets) {
    if (packets.isEmpty())
        return;
    QTreeWidget* tree = ui->treeWidgetNetworkingPacketSnifferPacketListTree;
    const bool filtering = !filterText.isEmpty();

    QVector<QTreeWidgetItem*> touchedGroups;
    QHash<QTreeWidgetItem*, QList<QTreeWidgetItem*>> newRows;
    QList<QTreeWidgetItem*> hiddenRows;
    for (const auto& entry : packets) {
        if (packetsInTree >= packetLimit) {
            ++notKept;
            continue;
        }
        if (tree->topLevelItemCount() == 0 && touchedGroups.isEmpty()) {
            ui->pushButtonNetworkingPacketSnifferClear->setEnabled(true);
            ui->pushButtonNetworkingPacketSnifferSave->setEnabled(true);
        }
        const QString& application = entry.application;
        QTreeWidgetItem* group = groupItems.value(application);
        if (!group) {
            group = new QTreeWidgetItem;
            // A process name is whatever its owner chose: shown display-safe.
            group->setText(ColumnApplication, QStringLiteral("%1 (1)").arg(displaySafeText(application)));
            group->setData(ColumnApplication, Qt::UserRole, application);
            tree->addTopLevelItem(group);
            groupItems.insert(application, group);
            totalCounts[application] = 0;
            visibleCounts[application] = 0;
        }
        auto* row = entry.captured ? new PacketTreeItem(*entry.captured) : new PacketTreeItem(entry.record);
        ++totalCounts[application];
        const bool visible = filtering ? rowMatches(row) : entry.matchesFilter;
        if (visible)
            ++visibleCounts[application];
        else if (filtering)
            hiddenRows << row;
        if (!newRows.contains(group))
            touchedGroups << group;
        newRows[group] << row;
        ++packetsInTree;
    }
    if (touchedGroups.isEmpty())
        return;
    tree->setUpdatesEnabled(false);
    for (QTreeWidgetItem* group : qAsConst(touchedGroups))
        placeInGroup(group, newRows.value(group));
    // Only the new rows are filtered; the rest of the tree already is.
    for (QTreeWidgetItem* row : qAsConst(hiddenRows))
        row->setHidden(true);
    tree->setUpdatesEnabled(true);
}

void TabNetworkingPacketSniffer::onFilterTextChanged() {
    filterText = ui->lineEditNetworkingPacketSnifferFilter->text();
    QTreeWidget* tree = ui->treeWidgetNetworkingPacketSnifferPacketListTree;
    tree->setUpdatesEnabled(false);
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = tree->topLevelItem(g);
        const QString application = group->data(ColumnApplication, Qt::UserRole).toString();
        int visible = 0;
        for (int r = 0; r < group->childCount(); ++r) {
            QTreeWidgetItem* row = group->child(r);
            const bool matches = filterText.isEmpty() || rowMatches(row);
            if (row->isHidden() == matches)
                row->setHidden(!matches);
            visible += matches;
        }
        visibleCounts[application] = visible;
    }
    tree->setUpdatesEnabled(true);
    updateParentItemDisplays();
}

void TabNetworkingPacketSniffer::updateParentItemDisplays() {
    const bool unfiltered = filterText.isEmpty();
    for (auto it = groupItems.cbegin(); it != groupItems.cend(); ++it) {
        const QString& application = it.key();
        const int total = totalCounts.value(application, 0);
        const int visible = visibleCounts.value(application, 0);
        const QPair<int, int> counts(visible, total);
        if (lastLabelCounts.contains(application) && lastLabelCounts.value(application) == counts &&
            lastLabelUnfiltered.value(application) == unfiltered)
            continue;
        const QString label = unfiltered
                                  ? QStringLiteral("%1 (%2)").arg(application).arg(total)
                                  : QStringLiteral("%1 (%2/%3)").arg(application).arg(visible).arg(total);
        it.value()->setText(ColumnApplication, displaySafeText(capitalizeFirstLetter(label)));
        lastLabelCounts.insert(application, counts);
        lastLabelUnfiltered.insert(application, unfiltered);
    }
}

void TabNetworkingPacketSniffer::updateStatusTitle() {
    QStringList notes;
    const quint64 kernelDrops = worker ? worker->kernelDrops() : 0;
    const quint64 queueDrops = worker ? worker->queueDrops() : 0;
    if (kernelDrops)
        notes << tr("%L1 dropped by the kernel").arg(kernelDrops);
    if (queueDrops)
        notes << tr("%L1 dropped while the page was busy").arg(queueDrops);
    const qint64 notKeptTotal = packetsNotKept();
    if (notKeptTotal && packetsInTree >= packetLimit)
        notes << tr("limit of %L1 packets reached, %L2 not kept").arg(packetLimit).arg(notKeptTotal);
    else if (notKeptTotal)
        notes << tr("limit of %L1 MB of packet data reached, %L2 not kept")
                     .arg(WorkerNetworkingPacketSniffer::KeptBytesLimit >> 20)
                     .arg(notKeptTotal);
    const QString title =
        notes.isEmpty() ? tr("Packet List") : tr("Packet List (%1)").arg(notes.join(QStringLiteral(", ")));
    if (title != lastStatusTitle) {
        lastStatusTitle = title;
        ui->groupBox_1323->setTitle(title);
    }
}

void TabNetworkingPacketSniffer::setInterfaceButtonsEnabled(bool enabled) {
    if (!interfaceButtons)
        return;
    const QList<QAbstractButton*> buttons = interfaceButtons->buttons();
    for (QAbstractButton* button : buttons)
        button->setEnabled(enabled);
}

void TabNetworkingPacketSniffer::returnToIdle() {
    setInterfaceButtonsEnabled(true);
    capturing = false;
    ui->pushButtonNetworkingPacketSnifferRecordStop->setText(tr("Record"));
    ui->pushButtonNetworkingPacketSnifferRecordStop->setIcon(QIcon(QStringLiteral(":/icons/record")));
}

void TabNetworkingPacketSniffer::on_pushButtonNetworkingPacketSnifferRecordStop_clicked() {
    if (capturing) {
        qCDebug(lcSnifferTab) << "Stop button clicked. Invoking stopCapture.";
        if (worker && !QMetaObject::invokeMethod(worker, "stopCapture", Qt::QueuedConnection))
            qWarning() << "Failed to invoke stopCapture.";
        returnToIdle();
        return;
    }
    auto* button =
        interfaceButtons ? qobject_cast<CustomPushButton*>(interfaceButtons->checkedButton()) : nullptr;
    if (!button) {
        qWarning() << "No interface selected.";
        return;
    }
    qCDebug(lcSnifferTab) << "Starting packet capture on interface:" << button->interfaceName();
    // Each capture has a number of its own: the stop or error of an earlier
    // one that arrives after this Record is not about this capture.
    ++captureId;
    QMetaObject::invokeMethod(worker, "startCapture", Qt::QueuedConnection,
                              Q_ARG(QString, button->interfaceName()), Q_ARG(quint64, captureId));
    setInterfaceButtonsEnabled(false);
    capturing = true;
    ui->pushButtonNetworkingPacketSnifferRecordStop->setText(tr("Stop"));
    ui->pushButtonNetworkingPacketSnifferRecordStop->setIcon(QIcon(QStringLiteral(":/icons/stop")));
}

void TabNetworkingPacketSniffer::handleCaptureStopped(quint64 stoppedCapture) {
    if (stoppedCapture != captureId)
        return; // an earlier capture, stopped before this one started
    returnToIdle();
}

void TabNetworkingPacketSniffer::handleErrorOccurred(const QString& error, quint64 failedCapture) {
    if (failedCapture != captureId)
        return;
    // Shown without blocking: captures and batches go on behind it.
    auto* box =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Capture Error"), error, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("messageBoxCaptureError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    setInterfaceButtonsEnabled(true);
    if (ui->pushButtonNetworkingPacketSnifferRecordStop->text() == tr("Stop"))
        returnToIdle();
}

void TabNetworkingPacketSniffer::on_pushButtonNetworkingPacketSnifferClear_clicked() {
    ui->treeWidgetNetworkingPacketSnifferPacketListTree->clear();
    {
        QMutexLocker lock(&pendingMutex);
        pendingPackets.clear();
    }
    if (worker)
        worker->resetKept(); // what was captured before Clear is gone too
    groupItems.clear();
    totalCounts.clear();
    visibleCounts.clear();
    lastLabelCounts.clear();
    lastLabelUnfiltered.clear();
    packetsInTree = 0;
    notKept = 0;
    ui->pushButtonNetworkingPacketSnifferClear->setEnabled(false);
    ui->pushButtonNetworkingPacketSnifferSave->setEnabled(false);
    clearDetails();
    updateStatusTitle();
#ifdef __GLIBC__
    // The rows were many small pieces; hand the pages they freed back.
    malloc_trim(0);
#endif
}

void TabNetworkingPacketSniffer::clearDetails() {
    loadingDetails = true;
    for (QLabel* label : detailLabels())
        label->setText(QStringLiteral("N/A"));
    ui->plainTextEditNetworkingPacketSnifferHEX->clear();
    ui->plainTextEditNetworkingPacketSnifferASCII->clear();
    ui->plainTextEditNetworkingPacketSnifferHEX->setExtraSelections({});
    ui->plainTextEditNetworkingPacketSnifferASCII->setExtraSelections({});
    loadingDetails = false;
}

QList<QLabel*> TabNetworkingPacketSniffer::detailLabels() const {
    return {ui->labelNetworkingPacketSnifferSourceMAC,
            ui->labelNetworkingPacketSnifferDestinationMAC,
            ui->labelNetworkingPacketSnifferEtherType,
            ui->labelNetworkingPacketSnifferTTL,
            ui->labelNetworkingPacketSnifferIDField,
            ui->labelNetworkingPacketSnifferFlags,
            ui->labelNetworkingPacketSnifferIPLayerChecksum,
            ui->labelNetworkingPacketSnifferSequenceNumber,
            ui->labelNetworkingPacketSnifferAcknowledgmentNumber,
            ui->labelNetworkingPacketSnifferWindowSize,
            ui->labelNetworkingPacketSnifferTCPUDPLayerChecksum};
}

void TabNetworkingPacketSniffer::onPacketSelected() {
    loadingDetails = true;
    const QList<QTreeWidgetItem*> selected =
        ui->treeWidgetNetworkingPacketSnifferPacketListTree->selectedItems();
    if (selected.isEmpty() || !selected.first()->parent()) {
        loadingDetails = false;
        return;
    }
    const PacketInfo packet = packetOf(selected.first());
    QString ascii;
    ascii.reserve(packet.payload.size());
    for (const char c : packet.payload)
        ascii += (uchar(c) >= 32 && uchar(c) <= 126) ? QLatin1Char(c) : QLatin1Char('.');
    ui->plainTextEditNetworkingPacketSnifferHEX->setPlainText(CaptureFormats::hexBytes(packet.payload));
    ui->plainTextEditNetworkingPacketSnifferASCII->setPlainText(ascii);

    ui->labelNetworkingPacketSnifferSourceMAC->setText(packet.sourceMAC);
    ui->labelNetworkingPacketSnifferDestinationMAC->setText(packet.destinationMAC);
    ui->labelNetworkingPacketSnifferEtherType->setText(hexLabel(packet.etherType));
    ui->labelNetworkingPacketSnifferTTL->setText(QString::number(packet.ttl));
    ui->labelNetworkingPacketSnifferIDField->setText(QString::number(packet.identification));
    ui->labelNetworkingPacketSnifferFlags->setText(QString::number(packet.flags));
    ui->labelNetworkingPacketSnifferIPLayerChecksum->setText(hexLabel(packet.ipChecksum));
    ui->labelNetworkingPacketSnifferSequenceNumber->setText(QString::number(packet.sequenceNumber));
    ui->labelNetworkingPacketSnifferAcknowledgmentNumber->setText(
        QString::number(packet.acknowledgmentNumber));
    ui->labelNetworkingPacketSnifferWindowSize->setText(QString::number(packet.windowSize));
    ui->labelNetworkingPacketSnifferTCPUDPLayerChecksum->setText(hexLabel(packet.transportChecksum));
    loadingDetails = false;

    QSplitter* splitter = ui->splitterPacketListAndDetails;
    if (splitter->sizes().value(1) == 0) {
        const int half = splitter->height() / 2;
        splitter->setSizes({half, half});
    }
}

void TabNetworkingPacketSniffer::handleWindowResized(const QSize& newSize) {
    auto* splitter = qobject_cast<QSplitter*>(ui->splitterPacketListAndDetails);
    if (!splitter) {
        qWarning() << "splitterPacketListAndDetails is not a QSplitter.";
        return;
    }
    // Below a window height of 580 the details side is closed; growing past
    // it again restores the split the user had.
    const bool compact = newSize.height() < 580;
    if (compact == compactHeight)
        return;
    compactHeight = compact;
    if (compact) {
        sizesBeforeCompact = splitter->sizes();
        splitter->setSizes({splitter->height(), 0});
    } else if (!sizesBeforeCompact.isEmpty()) {
        splitter->setSizes(sizesBeforeCompact);
    }
}

void TabNetworkingPacketSniffer::onSplitterMoved(int pos, int index) {
    Q_UNUSED(pos)
    Q_UNUSED(index)
}

// --- HEX and ASCII panes kept in step ---

void TabNetworkingPacketSniffer::selectAsciiRange(int start, int end) {
    QPlainTextEdit* ascii = ui->plainTextEditNetworkingPacketSnifferASCII;
    QTextCursor cursor = ascii->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    ascii->setTextCursor(cursor);
}

void TabNetworkingPacketSniffer::onHexClicked(int hexPosition) {
    syncingPanes = true;
    const int byte = hexPosition / 3;
    if (byte >= 0 && byte < ui->plainTextEditNetworkingPacketSnifferASCII->toPlainText().length())
        selectAsciiRange(byte, byte + 1);
    syncingPanes = false;
}

void TabNetworkingPacketSniffer::onAsciiClicked(int asciiPosition) {
    QPlainTextEdit* hex = ui->plainTextEditNetworkingPacketSnifferHEX;
    const int position = asciiPosition * 3;
    if (position >= 0 && position < hex->toPlainText().length()) {
        QTextCursor cursor = hex->textCursor();
        cursor.setPosition(position);
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, 1);
        hex->setTextCursor(cursor);
    }
}

void TabNetworkingPacketSniffer::onHexSelectionChanged() {
    if (syncingPanes || loadingDetails)
        return;
    syncingPanes = true;
    ui->plainTextEditNetworkingPacketSnifferASCII->setExtraSelections({});
    const QTextCursor cursor = ui->plainTextEditNetworkingPacketSnifferHEX->textCursor();
    const int length = ui->plainTextEditNetworkingPacketSnifferASCII->toPlainText().length();
    selectAsciiRange(qMin(cursor.selectionStart() / 3, length),
                     qMin((cursor.selectionEnd() + 2) / 3, length));
    syncingPanes = false;
}

void TabNetworkingPacketSniffer::onHexCursorMoved() {
    if (syncingPanes || loadingDetails)
        return;
    syncingPanes = true;
    const QTextCursor cursor = ui->plainTextEditNetworkingPacketSnifferHEX->textCursor();
    const int length = ui->plainTextEditNetworkingPacketSnifferASCII->toPlainText().length();
    selectAsciiRange(qMin(cursor.selectionStart() / 3, length),
                     qMin((cursor.selectionEnd() + 2) / 3, length));
    syncingPanes = false;
}

void TabNetworkingPacketSniffer::onAsciiSelectionChanged() {
    if (syncingPanes || loadingDetails)
        return;
    syncingPanes = true;
    QPlainTextEdit* hex = ui->plainTextEditNetworkingPacketSnifferHEX;
    hex->setExtraSelections({});
    const QTextCursor ascii = ui->plainTextEditNetworkingPacketSnifferASCII->textCursor();
    if (!ascii.hasSelection()) {
        QTextCursor cursor = hex->textCursor();
        cursor.clearSelection();
        hex->setTextCursor(cursor);
        syncingPanes = false;
        onAsciiCursorMoved();
        return;
    }
    const int length = hex->toPlainText().length();
    QTextCursor cursor = hex->textCursor();
    cursor.setPosition(qMin(ascii.selectionStart() * 3, length));
    cursor.setPosition(qMin(ascii.selectionEnd() * 3, length), QTextCursor::KeepAnchor);
    hex->setTextCursor(cursor);
    syncingPanes = false;
}

void TabNetworkingPacketSniffer::onAsciiCursorMoved() {
    if (syncingPanes || loadingDetails)
        return;
    QPlainTextEdit* asciiPane = ui->plainTextEditNetworkingPacketSnifferASCII;
    QPlainTextEdit* hexPane = ui->plainTextEditNetworkingPacketSnifferHEX;
    const QTextCursor ascii = asciiPane->textCursor();
    if (ascii.hasSelection())
        return;
    syncingPanes = true;
    auto highlight = [](QPlainTextEdit* pane, int position, int characters) {
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(pane->palette().color(QPalette::Highlight));
        selection.format.setForeground(pane->palette().color(QPalette::HighlightedText));
        selection.cursor = QTextCursor(pane->document());
        selection.cursor.setPosition(qMin(position, pane->document()->characterCount() - 1));
        selection.cursor.setPosition(qMin(position + characters, pane->document()->characterCount() - 1),
                                     QTextCursor::KeepAnchor);
        pane->setExtraSelections({selection});
    };
    const int position = ascii.position();
    highlight(asciiPane, position, 1);
    highlight(hexPane, position * 3, 2);
    syncingPanes = false;
}

// --- Saving ---

bool TabNetworkingPacketSniffer::writeCapture(SaveFormat format, const QString& path, bool onlyFiltered,
                                              QString* error) {
    SafeFileWriter file;
    auto failed = [&] {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(path))
        return failed();
    QByteArray chunk;
    auto flushChunk = [&](bool force) {
        if (!force && chunk.size() < (1 << 16))
            return true;
        const bool ok = file.write(chunk);
        chunk.clear();
        return ok;
    };
    chunk += format == SaveFormat::Text  ? CaptureFormats::textHeader()
             : format == SaveFormat::Csv ? CaptureFormats::csvHeader()
                                         : CaptureFormats::pcapFileHeader();
    QTreeWidget* tree = ui->treeWidgetNetworkingPacketSnifferPacketListTree;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = tree->topLevelItem(g);
        // The group's name as its label shows it, without the count; taken
        // from the name itself, as a process name may hold " (" too.
        const QString application =
            capitalizeFirstLetter(group->data(ColumnApplication, Qt::UserRole).toString());
        if (format == SaveFormat::Text)
            chunk += CaptureFormats::textGroupStart(application);
        for (int r = 0; r < group->childCount(); ++r) {
            const QTreeWidgetItem* row = group->child(r);
            if (onlyFiltered && row->isHidden())
                continue;
            const PacketInfo packet = packetOf(row);
            switch (format) {
            case SaveFormat::Text:
                chunk += CaptureFormats::textPacket(packet);
                break;
            case SaveFormat::Csv:
                chunk += CaptureFormats::csvLine(application, packet);
                break;
            case SaveFormat::Pcap:
                chunk += CaptureFormats::pcapRecord(packet);
                break;
            }
            if (!flushChunk(false))
                return failed();
        }
        if (format == SaveFormat::Text)
            chunk += CaptureFormats::textGroupEnd();
    }
    if (!flushChunk(true))
        return failed();
    uid_t uid = uid_t(-1);
    gid_t gid = gid_t(-1);
    if (!qEnvironmentVariableIsEmpty("SUDO_USER") && !SafeFileWriter::invokingUser(uid, gid))
        qWarning() << "The user named in SUDO_USER has no account; the file stays root's.";
    if (!file.commit(uid, gid))
        return failed();
    return true;
}

void TabNetworkingPacketSniffer::on_pushButtonNetworkingPacketSnifferSave_clicked() {
    if (worker)
        worker->pauseProcessing();
    auto resume = qScopeGuard([this] {
        if (worker)
            worker->resumeProcessing();
    });

    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("dialogSavePacketData"));
    dialog.setWindowTitle(tr("Save Packet Data As..."));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(tr("Choose the format to save the packet data:"), &dialog));
    auto* text = new QRadioButton(tr("Text (.txt) - Easily readable format with packet details"), &dialog);
    auto* csv = new QRadioButton(
        tr("CSV (.csv) - Importable into LibreOffice Calc/Microsoft Excel for further analysis"), &dialog);
    auto* pcap = new QRadioButton(
        tr("PCAP (.pcap) - Recommended for advanced analysis in network tools like Wireshark"), &dialog);
    text->setChecked(true);
    auto* onlyFiltered = new QCheckBox(tr("Save only filtered data"), &dialog);
    onlyFiltered->setChecked(!filterText.isEmpty());
    onlyFiltered->setEnabled(!filterText.isEmpty());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    for (QWidget* widget : std::initializer_list<QWidget*>{text, csv, pcap, onlyFiltered, buttons})
        layout->addWidget(widget);
    if (dialog.exec() != QDialog::Accepted)
        return;

    const SaveFormat format = csv->isChecked()    ? SaveFormat::Csv
                              : pcap->isChecked() ? SaveFormat::Pcap
                                                  : SaveFormat::Text;
    const QString word = format == SaveFormat::Csv    ? QStringLiteral("csv")
                         : format == SaveFormat::Pcap ? QStringLiteral("pcap")
                                                      : QStringLiteral("txt");
    const QString suffix = QLatin1Char('.') + word;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save Packet Data"), QDir::homePath(),
                                     QStringLiteral("%1 Files (*%2)").arg(word.toUpper(), suffix));
    if (path.isEmpty())
        return;
    const QString target = withSuffix(path, suffix);
    QString error;
    if (writeCapture(format, target, onlyFiltered->isChecked(), &error))
        QMessageBox::information(this, QStringLiteral("Save Complete"),
                                 QStringLiteral("Packet data successfully saved as %1.").arg(suffix));
    else
        QMessageBox::warning(
            this, QStringLiteral("Save Error"),
            QStringLiteral("Unable to write %1: %2").arg(QDir::toNativeSeparators(target), error));
}
