#include "tabprocesses.h"

#include "displaytext.h"
#include "numerictablewidgetitem.h"
#include "processsignaller.h"
#include "tablefilter.h"
#include "themecolors.h"
#include "themeicon.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>

#include <csignal>
#include <cstring>
#include <vector>

Q_LOGGING_CATEGORY(lcProcesses, "tessmar.processes", QtWarningMsg)

namespace {
// The start time the scan read, kept on the ID cell of each row.
constexpr int StartTimeRole = Qt::UserRole + 1;
// The process name as the kernel gives it; the cell shows it display-safe.
constexpr int ProcessNameRole = Qt::UserRole + 3;

// Sorts the Priority column by the level behind its text, not by the text.
class PriorityTableWidgetItem : public QTableWidgetItem {
public:
    explicit PriorityTableWidgetItem(int nice)
        : QTableWidgetItem(TabProcesses::priorityLabel(nice)), level(-nice) {}
    void setNice(int nice) {
        if (level == -nice)
            return;
        level = -nice;
        setText(TabProcesses::priorityLabel(nice));
    }
    bool operator<(const QTableWidgetItem& other) const override {
        const auto* priority = dynamic_cast<const PriorityTableWidgetItem*>(&other);
        return priority ? level < priority->level : QTableWidgetItem::operator<(other);
    }

private:
    int level;
};

// The ID cell keeps the record its row was last filled from, and the row's
// colour, so that a refill compares records instead of reading every cell back.
class ProcessIdItem : public NumericTableWidgetItem {
public:
    explicit ProcessIdItem(const DetailsProcess& process)
        : NumericTableWidgetItem(process.pid), shown(process) {}
    DetailsProcess shown;
    QColor background;
};

// Whether two records differ in what orders the rows by the column.
bool sortKeyDiffers(int column, const DetailsProcess& a, const DetailsProcess& b) {
    switch (column) {
    case TabProcesses::ColumnName:
        return a.name != b.name;
    case TabProcesses::ColumnUser:
        return a.user != b.user;
    case TabProcesses::ColumnCpu:
        return a.cpuUsage != b.cpuUsage;
    case TabProcesses::ColumnMemory:
        return a.memory != b.memory;
    case TabProcesses::ColumnId:
        return a.pid != b.pid;
    case TabProcesses::ColumnPriority:
        // Sorted by the nice value itself, not by its label.
        return a.nice.toInt() != b.nice.toInt();
    case TabProcesses::ColumnState:
        return a.state != b.state && TabProcesses::stateLabel(a.state) != TabProcesses::stateLabel(b.state);
    default:
        return true;
    }
}

constexpr int columnCount = 7;
// A process none of whose names gives an icon.
const QString genericProgramIcon = QStringLiteral("application-x-executable");
} // namespace

TabProcesses::TabProcesses(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    // The list crosses threads; start-up registers it too, under its own names.
    qRegisterMetaType<QList<DetailsProcess>>();
    worker.connectResult(&WorkerProcesses::processListUpdated, this, &TabProcesses::onProcessDataReady);
    // A scan slower than the timer must not queue scans without bound.
    worker.connectRequest(this, &TabProcesses::requestUpdateProcessesTable, &WorkerProcesses::fetchProcesses,
                          RequestDelivery::SkipWhileBusy);
    worker.connectRequest(ui->checkBoxShowProcessesFromAllUsers, &QCheckBox::toggled,
                          &WorkerProcesses::requestSetShowAllUsers);
    worker.start();

    connect(ui->lineEditProcessFilter, &QLineEdit::textChanged, this, &TabProcesses::filterProcesses);
    setupTable();
    ui->tableProcesses->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tableProcesses, &QWidget::customContextMenuRequested, this, &TabProcesses::showContextMenu);

    updateProcessesTable();
}

TabProcesses::~TabProcesses() = default;

void TabProcesses::setupTable() {
    QTableWidget* table = ui->tableProcesses;
    table->setShowGrid(true);
    table->setColumnCount(7);
    table->setHorizontalHeaderLabels(
        {tr("Process Name"), tr("User"), tr("% CPU"), tr("Memory"), tr("ID"), tr("Priority"), tr("State")});
    table->horizontalHeader()->setSectionResizeMode(ColumnName, QHeaderView::Stretch);
    const int widths[] = {100, 60, 80, 80, 80, 80};
    for (int column = ColumnUser; column <= ColumnState; ++column)
        table->setColumnWidth(column, widths[column - ColumnUser]);
    table->sortByColumn(ColumnId, Qt::AscendingOrder);
}

QString TabProcesses::priorityLabel(int nice) {
    if (nice < -10)
        return QStringLiteral("Very High");
    if (nice < 0)
        return QStringLiteral("High");
    if (nice == 0)
        return QStringLiteral("Normal");
    if (nice <= 10)
        return QStringLiteral("Low");
    return QStringLiteral("Very Low");
}

QColor TabProcesses::priorityColor(int nice) {
    if (nice < -10)
        return statusColorRed();
    if (nice < 0)
        return statusColorAmber();
    if (nice == 0)
        return statusColorGreen();
    if (nice <= 10)
        return statusColorBlue();
    return QColor(237, 231, 246);
}

QString TabProcesses::stateLabel(const QString& state) {
    static const std::pair<QChar, const char*> labels[] = {
        {'I', "Idle"},           {'D', "Deep Sleep"}, {'R', "Running"}, {'S', "Idle"},   {'T', "Paused"},
        {'t', "Paused (debug)"}, {'Z', "Zombie"},     {'X', "Dead"},    {'W', "Paging"}, {'P', "Parked"}};
    for (const auto& [letter, label] : labels) {
        if (state.contains(letter))
            return QString::fromLatin1(label);
    }
    return QStringLiteral("Unknown");
}

void TabProcesses::updateProcessesTable() {
    emit requestUpdateProcessesTable();
}

// The five row colours of the palette in force, by priority level.
struct TabProcesses::RowColours {
    QColor byLevel[5];
    RowColours() {
        const int nice[] = {-11, -1, 0, 1, 11};
        for (int level = 0; level < 5; ++level)
            byLevel[level] = TabProcesses::priorityColor(nice[level]);
    }
    const QColor& of(int nice) const {
        return byLevel[nice < -10 ? 0 : nice < 0 ? 1 : nice == 0 ? 2 : nice <= 10 ? 3 : 4];
    }
};

void TabProcesses::onProcessDataReady(const QList<DetailsProcess>& processDetails) {
    QTableWidget* table = ui->tableProcesses;
    const int currentRow = table->currentRow();
    const auto* currentId =
        currentRow >= 0 ? dynamic_cast<ProcessIdItem*>(table->item(currentRow, ColumnId)) : nullptr;
    const QString selectedPid = currentId ? currentId->shown.pid : QString();
    // Neither the refill nor the selection may move the view: removing the
    // current row scrolls to the next one.
    QScrollBar* scrollBar = table->verticalScrollBar();
    const int scrollValue = scrollBar->value();

    // A process keeps its row, so that only the cells that changed are
    // touched; rows of processes that are gone take the new ones.
    const int oldRowCount = table->rowCount();
    std::vector<ProcessIdItem*> idOfRow(size_t(oldRowCount), nullptr);
    QHash<QString, int> rowOfPid;
    rowOfPid.reserve(oldRowCount);
    for (int row = 0; row < oldRowCount; ++row) {
        if (auto* id = dynamic_cast<ProcessIdItem*>(table->item(row, ColumnId))) {
            idOfRow[size_t(row)] = id;
            rowOfPid.insert(id->shown.pid, row);
        }
    }
    std::vector<bool> taken(size_t(oldRowCount), false);
    std::vector<int> rowOfProcess(size_t(processDetails.size()), -1);
    // The rows keep their order when no row comes or goes and no cell of
    // the sort column changes: then neither a sort nor a repaint of the
    // whole table is needed. (A new colour touches every column, the sort
    // column too, which the table would answer row by row.)
    const RowColours colours;
    const int sortColumn = table->horizontalHeader()->sortIndicatorSection();
    bool orderKept = processDetails.size() == oldRowCount;
    for (int index = 0; index < processDetails.size(); ++index) {
        const DetailsProcess& process = processDetails.at(index);
        const auto it = rowOfPid.constFind(process.pid);
        if (it != rowOfPid.constEnd() && !taken[size_t(*it)]) {
            rowOfProcess[size_t(index)] = *it;
            taken[size_t(*it)] = true;
            const ProcessIdItem* id = idOfRow[size_t(*it)];
            orderKept = orderKept && !sortKeyDiffers(sortColumn, id->shown, process) &&
                        id->background == colours.of(process.nice.toInt());
        } else {
            orderKept = false;
        }
    }
    std::vector<int> freeRows;
    for (int row = 0; row < oldRowCount; ++row) {
        if (!taken[size_t(row)])
            freeRows.push_back(row);
    }
    size_t nextFree = 0;
    int nextNewRow = oldRowCount;
    for (int& row : rowOfProcess) {
        if (row < 0)
            row = nextFree < freeRows.size() ? freeRows[nextFree++] : nextNewRow++;
    }

    if (!orderKept) {
        // Rows stay where they are while they are filled; one sort at the end.
        table->setUpdatesEnabled(false);
        table->setSortingEnabled(false);
    }
    if (nextNewRow > oldRowCount)
        table->setRowCount(nextNewRow);
    for (int index = 0; index < processDetails.size(); ++index)
        fillRow(rowOfProcess[size_t(index)], processDetails.at(index), colours);
    // From the bottom up, so the rows still to remove keep their numbers.
    for (size_t unused = freeRows.size(); unused > nextFree; --unused)
        table->removeRow(freeRows[unused - 1]);

    if (!orderKept)
        table->setSortingEnabled(true);
    filterProcesses();

    int selectedRow = -1;
    if (!selectedPid.isEmpty()) {
        for (int row = 0; row < table->rowCount(); ++row) {
            const auto* id = dynamic_cast<const ProcessIdItem*>(table->item(row, ColumnId));
            if (id && id->shown.pid == selectedPid) {
                selectedRow = row;
                break;
            }
        }
    }
    // Through the selection model: selectRow() would follow the keyboard
    // modifiers held at the moment, and Ctrl would toggle the row off.
    QItemSelectionModel* selection = table->selectionModel();
    if (selectedRow >= 0) {
        const QItemSelection selected = selection->selection();
        const bool alreadySelected =
            selectedRow == table->currentRow() && selected.size() == 1 &&
            selected.first().top() == selectedRow && selected.first().bottom() == selectedRow &&
            selected.first().left() == 0 && selected.first().right() == table->columnCount() - 1;
        if (!alreadySelected)
            selection->setCurrentIndex(table->model()->index(selectedRow, ColumnId),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else if (selection->hasSelection() || selection->currentIndex().isValid()) {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    scrollBar->setValue(scrollValue);
    if (!orderKept)
        table->setUpdatesEnabled(true);
    emit processTableFilled();
}

void TabProcesses::fillRow(int row, const DetailsProcess& process, const RowColours& colours) {
    QTableWidget* table = ui->tableProcesses;
    const int nice = process.nice.toInt();
    const QColor& colour = colours.of(nice);
    auto* id = dynamic_cast<ProcessIdItem*>(table->item(row, ColumnId));
    if (!id) {
        const Qt::Alignment numberAlignment = Qt::AlignRight | Qt::AlignVCenter;
        id = new ProcessIdItem(process);
        id->background = colour;
        QTableWidgetItem* cells[columnCount] = {
            new QTableWidgetItem(iconCache.icon(process.iconNames, genericProgramIcon),
                                 displaySafeText(process.name)),
            new QTableWidgetItem(process.user),
            new NumericTableWidgetItem(process.cpuUsage),
            new NumericTableWidgetItem(process.memory),
            id,
            new PriorityTableWidgetItem(nice),
            new QTableWidgetItem(stateLabel(process.state))};
        cells[ColumnName]->setData(ProcessNameRole, process.name);
        cells[ColumnId]->setData(StartTimeRole, process.startTime);
        const QBrush background(colour);
        for (int column = 0; column < columnCount; ++column) {
            if (column == ColumnCpu || column == ColumnMemory || column == ColumnId)
                cells[column]->setTextAlignment(numberAlignment);
            cells[column]->setBackground(background);
            table->setItem(row, column, cells[column]);
        }
        return;
    }

    // Only what changed is set: every change reaches the view. The icon has
    // no equality of its own: it changes with the candidates it was built from.
    const DetailsProcess& shown = id->shown;
    if (shown.name != process.name || shown.iconNames != process.iconNames) {
        QTableWidgetItem* name = table->item(row, ColumnName);
        // Another user names their processes: the name must not reorder itself on screen.
        name->setText(displaySafeText(process.name));
        name->setData(ProcessNameRole, process.name);
        name->setIcon(iconCache.icon(process.iconNames, genericProgramIcon));
    }
    if (shown.user != process.user)
        table->item(row, ColumnUser)->setText(process.user);
    if (shown.cpuUsage != process.cpuUsage)
        table->item(row, ColumnCpu)->setText(process.cpuUsage);
    if (shown.memory != process.memory)
        table->item(row, ColumnMemory)->setText(process.memory);
    if (shown.pid != process.pid)
        id->setText(process.pid);
    if (shown.startTime != process.startTime)
        id->setData(StartTimeRole, process.startTime);
    if (shown.nice != process.nice)
        static_cast<PriorityTableWidgetItem*>(table->item(row, ColumnPriority))->setNice(nice);
    if (shown.state != process.state) {
        QTableWidgetItem* state = table->item(row, ColumnState);
        const QString label = stateLabel(process.state);
        if (state->text() != label)
            state->setText(label);
    }
    if (id->background != colour) {
        id->background = colour;
        const QBrush background(colour);
        for (int column = 0; column < columnCount; ++column)
            table->item(row, column)->setBackground(background);
    }
    id->shown = process;
}

void TabProcesses::filterProcesses() {
    const int shown = filterTableRows(ui->tableProcesses, {ColumnName}, ui->lineEditProcessFilter->text());
    ui->labelNumberOfProcesses->setText(QString::number(shown));
}

std::unique_ptr<QMenu> TabProcesses::createContextMenu(const QPoint& position) {
    QTableWidget* table = ui->tableProcesses;
    const int row = table->rowAt(position.y());
    const QTableWidgetItem* idItem = row >= 0 ? table->item(row, ColumnId) : nullptr;
    if (!idItem)
        return nullptr;
    bool ok = false;
    const int pid = idItem->text().toInt(&ok);
    if (!ok || pid <= 0)
        return nullptr;
    // The process the row showed: its ID and the start time its scan read.
    // The row may be minutes old; the signal goes only to that process.
    const qint64 startTime = idItem->data(StartTimeRole).toLongLong();

    const QTableWidgetItem* nameItem = table->item(row, ColumnName);
    const QString name = nameItem ? nameItem->data(ProcessNameRole).toString() : QString();
    const QTableWidgetItem* stateItem = table->item(row, ColumnState);
    const bool paused = stateItem && stateItem->text() == QLatin1String("Paused");
    const bool ownProcess = pid == QCoreApplication::applicationPid();

    // Owned by the caller alone, so no parent.
    auto menu = std::make_unique<QMenu>();
    struct Entry {
        const char* text;
        // The stock name first; the desktop's standard names where a theme has no stock icons.
        const char* icons[3];
        int signalNumber;
        bool enabled;
    };
    const Entry entries[] = {
        {"Pause Process",
         {"stock_media-pause", "media-playback-pause", "media-playback-pause-symbolic"},
         SIGSTOP,
         !paused && !ownProcess},
        {"Resume Process",
         {"stock_media-play", "media-playback-start", "media-playback-start-symbolic"},
         SIGCONT,
         paused},
        {"End Process Gracefully",
         {"stock_exit", "application-exit", "application-exit-symbolic"},
         SIGTERM,
         true},
        {"Kill Process Instantly", {"stock_stop", "process-stop", "process-stop-symbolic"}, SIGKILL, true}};
    for (const Entry& entry : entries) {
        QStringList iconNames;
        for (const char* name : entry.icons)
            iconNames << QString::fromLatin1(name);
        QAction* action = menu->addAction(themeIcon(iconNames), QString::fromLatin1(entry.text));
        action->setEnabled(entry.enabled);
        const int signalNumber = entry.signalNumber;
        connect(action, &QAction::triggered, this, [this, pid, signalNumber, startTime, name] {
            sendSignalToProcess(pid, signalNumber, startTime, name);
        });
    }
    return menu;
}

void TabProcesses::showContextMenu(const QPoint& position) {
    const std::unique_ptr<QMenu> menu = createContextMenu(position);
    if (menu)
        menu->exec(ui->tableProcesses->viewport()->mapToGlobal(position));
}

bool TabProcesses::sendSignalToProcess(int pid, int signalNumber, qint64 startTime, const QString& name) {
    int error = 0;
    const ProcessSignaller::Outcome outcome = ProcessSignaller::send(pid, signalNumber, startTime, &error);
    if (outcome == ProcessSignaller::Outcome::Sent) {
        qCDebug(lcProcesses) << "Sent signal" << signalNumber << "to process" << pid;
        updateProcessesTable();
        return true;
    }
    showSignalFailure(pid, signalNumber, name, int(outcome), error);
    // The list shows the process gone, or the one that has its ID now.
    if (outcome == ProcessSignaller::Outcome::Gone || outcome == ProcessSignaller::Outcome::Reused)
        updateProcessesTable();
    return false;
}

void TabProcesses::showSignalFailure(int pid, int signalNumber, const QString& name, int outcome, int error) {
    QString action;
    switch (signalNumber) {
    case SIGSTOP:
        action = tr("pause");
        break;
    case SIGCONT:
        action = tr("resume");
        break;
    case SIGTERM:
        action = tr("end");
        break;
    default:
        action = tr("kill");
        break;
    }
    QString reason;
    switch (ProcessSignaller::Outcome(outcome)) {
    case ProcessSignaller::Outcome::Gone:
        reason = tr("it has already ended.");
        break;
    case ProcessSignaller::Outcome::Reused:
        reason = tr("it has ended, and its ID now belongs to another process, which was left alone.");
        break;
    case ProcessSignaller::Outcome::Refused:
        reason = tr("the program does not send this signal to that process.");
        break;
    default:
        reason = tr("the system refused: %1.").arg(QString::fromLocal8Bit(std::strerror(error)));
        break;
    }
    const QString process = name.isEmpty() ? tr("process %1").arg(pid)
                                           : tr("“%1” (process %2)").arg(displaySafeText(name)).arg(pid);
    // Shown without blocking: the table goes on refreshing behind it.
    auto* box =
        new QMessageBox(QMessageBox::Warning, tr("Process Not Signalled"),
                        tr("Could not %1 %2: %3").arg(action, process, reason), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("messageBoxSignalFailed"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TabProcesses::onThemeChanged() {
    updateProcessesTable();
}
