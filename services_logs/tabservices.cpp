#include "tabservices.h"

#include "dialogservicedetails.h"
#include "plaintooltip.h"
#include "selectionkeeper.h"
#include "tablefilter.h"
#include "themecolors.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

namespace {
// The full unit name and the raw state ride along in the shown cells.
constexpr int RawTextRole = Qt::UserRole;

// The desktop theme's icon where it has one, else the program's own.
QIcon serviceIcon() {
    return QIcon::fromTheme(QStringLiteral("system_section"), QIcon(QStringLiteral(":/icons/service")));
}
} // namespace

TabServices::TabServices(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    worker.connectResult(&WorkerServices::serviceListUpdated, this, &TabServices::onProcessDataReady);
    worker.connectRequest(this, &TabServices::requestUpdateServicesTable, &WorkerServices::fetchServices);
    worker.connectRequest(ui->checkBoxShowFailedServices, &QCheckBox::toggled,
                          &WorkerServices::requestSetShowFailedServices);
    worker.start();

    connect(ui->lineEditServicesFilter, &QLineEdit::textChanged, this, &TabServices::filterServicesTable);
    setupTable();

    serviceDetailsDialog = new DialogServiceDetails(this);
    serviceDetailsDialog->setWindowIcon(serviceIcon());
    connect(ui->tableServices, &QAbstractItemView::activated, this, &TabServices::openDetails);

    emit requestUpdateServicesTable();
}

TabServices::~TabServices() = default;

void TabServices::setupTable() {
    QTableWidget* table = ui->tableServices;
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({tr("Service Name"), tr("Status"), tr("Description")});
    table->horizontalHeader()->setSectionResizeMode(ColumnDescription, QHeaderView::Stretch);
    table->setColumnWidth(ColumnName, 200);
    table->setColumnWidth(ColumnStatus, 72);
    table->sortItems(ColumnName, Qt::AscendingOrder);
    table->setContextMenuPolicy(Qt::CustomContextMenu);

    // Shown over the empty table when the listing cannot be made.
    failureLabel = new QLabel(table->viewport());
    failureLabel->setObjectName(QStringLiteral("labelServicesFailure"));
    failureLabel->setTextFormat(Qt::PlainText);
    failureLabel->setWordWrap(true);
    failureLabel->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(table->viewport());
    layout->addWidget(failureLabel);
    failureLabel->hide();
}

QColor TabServices::statusColor(const QString& unitFileState) {
    if (unitFileState == QLatin1String("enabled"))
        return statusColorGreen();
    if (unitFileState == QLatin1String("disabled"))
        return statusColorRed();
    if (unitFileState == QLatin1String("static"))
        return statusColorBlue();
    if (unitFileState == QLatin1String("masked"))
        return statusColorGrey();
    if (unitFileState == QLatin1String("not-found"))
        return statusColorInverseGrey();
    return statusColorAmber();
}

void TabServices::onThemeChanged() {
    updateServicesTable();
}

void TabServices::updateServicesTable() {
    emit requestUpdateServicesTable();
}

void TabServices::onProcessDataReady(const ServiceListing& listing) {
    if (listing.failure.isEmpty()) {
        fillTable(listing.services);
        return;
    }
    QTableWidget* table = ui->tableServices;
    table->clearContents();
    table->setRowCount(0);
    filterServicesTable();
    showFailure(tr("The services could not be listed: %1").arg(listing.failure));
    emit servicesTableFilled();
}

void TabServices::fillTable(const QList<DetailsService>& detailsService) {
    QTableWidget* table = ui->tableServices;
    const SelectionKeeper kept(table, ColumnName);

    showFailure(QString());
    table->setUpdatesEnabled(false);
    table->setSortingEnabled(false);
    table->clearContents();
    table->setRowCount(detailsService.size());
    const QColor paletteText = QApplication::palette().color(QPalette::Active, QPalette::Text);
    const QIcon unitIcon = serviceIcon();
    const QIcon warningIcon =
        QIcon::fromTheme(QStringLiteral("dialog-warning"), QIcon(QStringLiteral(":/icons/warning")));
    for (int row = 0; row < detailsService.size(); ++row) {
        const DetailsService& service = detailsService.at(row);
        const bool notFound = service.unitFileState == QLatin1String("not-found");
        const QBrush foreground(notFound ? statusColorSoftGrey() : paletteText);
        const QBrush background(statusColor(service.unitFileState));

        QString name = service.unitName;
        if (name.endsWith(QLatin1String(".service")))
            name.chop(8);
        QString state = service.unitFileState;
        if (!state.isEmpty())
            state[0] = state.at(0).toUpper();

        auto* nameItem = new QTableWidgetItem(notFound ? warningIcon : unitIcon, name);
        nameItem->setData(RawTextRole, service.unitName);
        nameItem->setToolTip(plainTextToolTip(service.unitName));
        auto* stateItem = new QTableWidgetItem(state);
        stateItem->setData(RawTextRole, service.unitFileState);
        stateItem->setToolTip(plainTextToolTip(state));
        auto* descriptionItem = new QTableWidgetItem(service.description);
        descriptionItem->setToolTip(plainTextToolTip(service.description));
        QTableWidgetItem* cells[] = {nameItem, stateItem, descriptionItem};
        for (int column = 0; column < 3; ++column) {
            cells[column]->setBackground(background);
            cells[column]->setForeground(foreground);
            table->setItem(row, column, cells[column]);
        }
    }
    table->setSortingEnabled(true);
    filterServicesTable();
    kept.restore();
    table->setUpdatesEnabled(true);
    emit servicesTableFilled();
}

void TabServices::showFailure(const QString& message) {
    failureLabel->setText(message);
    failureLabel->setVisible(!message.isEmpty());
}

QString TabServices::failureMessage() const {
    return failureLabel->isHidden() ? QString() : failureLabel->text();
}

void TabServices::filterServicesTable() {
    const int shown = filterTableRows(ui->tableServices, {ColumnName}, ui->lineEditServicesFilter->text());
    ui->labelNumberOfServices->setText(QString::number(shown));
}

DetailsService TabServices::serviceAt(int row) const {
    DetailsService service;
    const QTableWidget* table = ui->tableServices;
    if (row < 0 || row >= table->rowCount() || !table->item(row, ColumnName))
        return service;
    service.unitName = table->item(row, ColumnName)->data(RawTextRole).toString();
    service.unitFileState = table->item(row, ColumnStatus)->data(RawTextRole).toString();
    service.description = table->item(row, ColumnDescription)->text();
    return service;
}

void TabServices::openDetails(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const DetailsService service = serviceAt(index.row());
    serviceDetailsDialog->setService(service);
    showServiceDetails(tr("Service Details") + QStringLiteral(" - ") + service.unitName);
}

void TabServices::showServiceDetails(const QString& title) {
    serviceDetailsDialog->setWindowTitle(title);
    serviceDetailsDialog->exec();
}
