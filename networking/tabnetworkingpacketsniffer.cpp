#include "tabnetworkingpacketsniffer.h"

#include "custompushbutton.h"
#include "packetpanes.h"
#include "packettree.h"
#include "ui_mainwindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDebug>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#ifdef __GLIBC__
#include <malloc.h>
#endif

Q_LOGGING_CATEGORY(lcSnifferTab, "tessmar.sniffer.tab", QtWarningMsg)

TabNetworkingPacketSniffer::TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    qCDebug(lcSnifferTab) << "We are here in Tab Networking Packet Sniffer!";
    worker.connectResult(&WorkerNetworkingPacketSniffer::packetsUpdated, this,
                         &TabNetworkingPacketSniffer::onPacketsDataReady);
    worker.connectResult(&WorkerNetworkingPacketSniffer::captureEnded, this,
                         &TabNetworkingPacketSniffer::onCaptureEnded);
    worker.connectRequest(this, &TabNetworkingPacketSniffer::requestStartCapture,
                          &WorkerNetworkingPacketSniffer::startCapture);
    worker.connectRequest(this, &TabNetworkingPacketSniffer::requestStopCapture,
                          &WorkerNetworkingPacketSniffer::stopCapture);
    worker.connectRequest(this, &TabNetworkingPacketSniffer::requestUpdatePackets,
                          &WorkerNetworkingPacketSniffer::fetchPackets, RequestDelivery::SkipWhileBusy);
    worker.connectRequest(ui->checkBoxNetworkingPacketSnifferTCP, &QCheckBox::toggled,
                          &WorkerNetworkingPacketSniffer::setCaptureTCP);
    worker.connectRequest(ui->checkBoxNetworkingPacketSnifferUDP, &QCheckBox::toggled,
                          &WorkerNetworkingPacketSniffer::setCaptureUDP);
    worker.start();

    packetTree = new PacketTree(ui->treeWidgetNetworkingPacketSnifferPacketListTree, this);
    panes = new PacketPanes(
        {ui->labelNetworkingPacketSnifferSourceMAC, ui->labelNetworkingPacketSnifferDestinationMAC,
         ui->labelNetworkingPacketSnifferEtherType, ui->labelNetworkingPacketSnifferTTL,
         ui->labelNetworkingPacketSnifferIDField, ui->labelNetworkingPacketSnifferFlags,
         ui->labelNetworkingPacketSnifferIPLayerChecksum, ui->labelNetworkingPacketSnifferSequenceNumber,
         ui->labelNetworkingPacketSnifferAcknowledgmentNumber, ui->labelNetworkingPacketSnifferWindowSize,
         ui->labelNetworkingPacketSnifferTCPUDPLayerChecksum},
        ui->plainTextEditNetworkingPacketSnifferHEX, ui->plainTextEditNetworkingPacketSnifferASCII, this);
    connect(ui->treeWidgetNetworkingPacketSnifferPacketListTree, &QTreeWidget::itemSelectionChanged, this,
            &TabNetworkingPacketSniffer::showSelectedPacket);
    connect(ui->lineEditNetworkingPacketSnifferFilter, &QLineEdit::textChanged, packetTree,
            &PacketTree::setFilterText);
    connect(ui->pushButtonNetworkingPacketSnifferRecordStop, &QPushButton::clicked, this,
            &TabNetworkingPacketSniffer::recordOrStop);
    connect(ui->pushButtonNetworkingPacketSnifferClear, &QPushButton::clicked, this,
            &TabNetworkingPacketSniffer::clearPackets);
    connect(ui->pushButtonNetworkingPacketSnifferSave, &QPushButton::clicked, this,
            &TabNetworkingPacketSniffer::savePackets);

    initializeInterfaceButtons(ui->groupBoxNetworkingPacketSnifferNetworkInterfaces);

    QSplitter* splitter = ui->splitterPacketListAndDetails;
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    // The details side opens with the first selected packet.
    splitter->setSizes({splitter->height(), 0});

    batchTimer = new QTimer(this);
    batchTimer->setObjectName(QStringLiteral("batchTimer"));
    batchTimer->setInterval(500);
    connect(batchTimer, &QTimer::timeout, this, &TabNetworkingPacketSniffer::requestUpdatePackets);
    batchTimer->start();
    labelTimer = new QTimer(this);
    labelTimer->setObjectName(QStringLiteral("labelTimer"));
    labelTimer->setInterval(250);
    connect(labelTimer, &QTimer::timeout, this, &TabNetworkingPacketSniffer::updateGroupLabels);
    labelTimer->start();
}

TabNetworkingPacketSniffer::~TabNetworkingPacketSniffer() {
    // Nothing may tick into the list while the capture winds down; the
    // worker stops and joins its capture loop as its thread ends.
    batchTimer->stop();
    labelTimer->stop();
    worker.stop();
    // The packet list takes its rows with it; this page is half gone by then.
    ui->treeWidgetNetworkingPacketSnifferPacketListTree->disconnect(this);
}

void TabNetworkingPacketSniffer::setPacketLimit(int limit) {
    packetLimit = limit;
    worker.object()->setKeepLimit(limit);
}

int TabNetworkingPacketSniffer::packetCount() const {
    return packetTree->packetCount();
}

QString TabNetworkingPacketSniffer::withSuffix(const QString& path, const QString& suffix) {
    return path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix;
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

void TabNetworkingPacketSniffer::onPacketsDataReady(const PacketBatch& batch) {
    if (batch.resets != resets)
        return; // taken before the list was cleared
    counts = batch.counts;
    // Packets already shown as "Unknown" move first; the new ones are named.
    packetTree->applyRenames(batch.renames);
    if (!batch.packets.isEmpty()) {
        packetTree->addPackets(batch.packets);
        ui->pushButtonNetworkingPacketSnifferClear->setEnabled(true);
        ui->pushButtonNetworkingPacketSnifferSave->setEnabled(true);
    }
    updateStatusTitle();
}

void TabNetworkingPacketSniffer::updateGroupLabels() {
    packetTree->updateGroupLabels();
}

void TabNetworkingPacketSniffer::updateStatusTitle() {
    QStringList notes;
    if (counts.kernelDrops)
        notes << tr("%L1 dropped by the kernel").arg(counts.kernelDrops);
    if (counts.queueDrops)
        notes << tr("%L1 dropped while the page was busy").arg(counts.queueDrops);
    if (counts.notKept && packetTree->packetCount() >= packetLimit)
        notes << tr("limit of %L1 packets reached, %L2 not kept").arg(packetLimit).arg(counts.notKept);
    else if (counts.notKept)
        notes << tr("limit of %L1 MB of packet data reached, %L2 not kept")
                     .arg(WorkerNetworkingPacketSniffer::KeptBytesLimit >> 20)
                     .arg(counts.notKept);
    const QString title =
        notes.isEmpty() ? tr("Packet List") : tr("Packet List (%1)").arg(notes.join(QStringLiteral(", ")));
    if (title != lastStatusTitle) {
        lastStatusTitle = title;
        ui->groupBox_1323->setTitle(title);
    }
}

void TabNetworkingPacketSniffer::disableInterfaceButtons() {
    const QList<QAbstractButton*> buttons = interfaceButtons->buttons();
    for (QAbstractButton* button : buttons) {
        enabledBeforeCapture.insert(button, button->isEnabled());
        button->setEnabled(false);
    }
}

void TabNetworkingPacketSniffer::restoreInterfaceButtons() {
    for (auto it = enabledBeforeCapture.cbegin(); it != enabledBeforeCapture.cend(); ++it)
        it.key()->setEnabled(it.value());
    enabledBeforeCapture.clear();
}

void TabNetworkingPacketSniffer::returnToIdle() {
    restoreInterfaceButtons();
    capturing = false;
    ui->pushButtonNetworkingPacketSnifferRecordStop->setText(tr("Record"));
    ui->pushButtonNetworkingPacketSnifferRecordStop->setIcon(QIcon(QStringLiteral(":/icons/record")));
}

void TabNetworkingPacketSniffer::recordOrStop() {
    if (capturing) {
        qCDebug(lcSnifferTab) << "Stop button clicked.";
        emit requestStopCapture();
        returnToIdle();
        return;
    }
    auto* button = qobject_cast<CustomPushButton*>(interfaceButtons->checkedButton());
    if (!button) {
        qWarning() << "No interface selected.";
        return;
    }
    qCDebug(lcSnifferTab) << "Starting packet capture on interface:" << button->interfaceName();
    emit requestStartCapture(button->interfaceName(), ++captureId);
    disableInterfaceButtons();
    capturing = true;
    ui->pushButtonNetworkingPacketSnifferRecordStop->setText(tr("Stop"));
    ui->pushButtonNetworkingPacketSnifferRecordStop->setIcon(QIcon(QStringLiteral(":/icons/stop")));
}

void TabNetworkingPacketSniffer::onCaptureEnded(const CaptureEnd& end) {
    if (end.captureId != captureId)
        return; // an earlier capture, ended after this one started
    if (!end.error.isEmpty()) {
        // Shown without blocking: captures and batches go on behind it.
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Capture Error"), end.error,
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("messageBoxCaptureError"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    returnToIdle();
}

void TabNetworkingPacketSniffer::clearPackets() {
    packetTree->clear();
    // What was captured before Clear is gone too.
    resets = worker.object()->resetKept();
    counts.notKept = 0;
    ui->pushButtonNetworkingPacketSnifferClear->setEnabled(false);
    ui->pushButtonNetworkingPacketSnifferSave->setEnabled(false);
    panes->clear();
    updateStatusTitle();
#ifdef __GLIBC__
    // The rows were many small pieces; hand the pages they freed back.
    malloc_trim(0);
#endif
}

void TabNetworkingPacketSniffer::showSelectedPacket() {
    const std::optional<PacketInfo> packet = packetTree->selectedPacket();
    if (!packet)
        return;
    panes->show(*packet);
    QSplitter* splitter = ui->splitterPacketListAndDetails;
    if (splitter->sizes().value(1) == 0) {
        const int half = splitter->height() / 2;
        splitter->setSizes({half, half});
    }
}

void TabNetworkingPacketSniffer::handleWindowResized(const QSize& newSize) {
    QSplitter* splitter = ui->splitterPacketListAndDetails;
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

bool TabNetworkingPacketSniffer::writeCapture(SaveFormat format, const QString& path, bool onlyFiltered,
                                              QString* error) {
    return CaptureSaver::write(format, path, packetTree->snapshot(onlyFiltered), error);
}

void TabNetworkingPacketSniffer::savePackets() {
    // Nothing new is captured until the file is written.
    worker.object()->pauseProcessing();
    auto resume = qScopeGuard([this] { worker.object()->resumeProcessing(); });

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
    const bool filtering = !packetTree->filterText().isEmpty();
    auto* onlyFiltered = new QCheckBox(tr("Save only filtered data"), &dialog);
    onlyFiltered->setChecked(filtering);
    onlyFiltered->setEnabled(filtering);
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
