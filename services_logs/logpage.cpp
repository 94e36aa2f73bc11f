#include "logpage.h"

#include "elidetextdelegate.h"
#include "loadingoverlay.h"
#include "logtablemodel.h"
#include "selectionkeeper.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <malloc.h>

LogPage::LogPage(int number, const Widgets& widgets, const Layout& layout, QObject* parent)
    : QObject(parent), widgets(widgets), kindButtons(layout.kindButtons) {
    QTableView* view = widgets.view;
    // The reason a source cannot be read, centred over its empty table.
    notice = new QLabel(view->viewport());
    notice->setObjectName(QStringLiteral("labelLogsUnavailable%1").arg(number));
    notice->setAlignment(Qt::AlignCenter);
    // Reasons carry what tools wrote: never taken for markup.
    notice->setTextFormat(Qt::PlainText);
    notice->setWordWrap(true);
    notice->hide();
    auto* noticeLayout = new QVBoxLayout(view->viewport());
    noticeLayout->setContentsMargins(24, 24, 24, 24);
    noticeLayout->addWidget(notice);
    // What the page should know about its last answer, above the table.
    noteLabel = new QLabel(view->parentWidget());
    noteLabel->setObjectName(QStringLiteral("labelLogsNote%1").arg(number));
    noteLabel->setWordWrap(true);
    noteLabel->setTextFormat(Qt::PlainText);
    noteLabel->hide();
    if (auto* pageLayout = qobject_cast<QBoxLayout*>(view->parentWidget()->layout()))
        pageLayout->insertWidget(pageLayout->indexOf(view), noteLabel);

    connect(widgets.reload, &QPushButton::clicked, this, &LogPage::reloadClicked);
    connect(widgets.filter, &QLineEdit::textChanged, this, &LogPage::applyFilter);
    if (kindButtons)
        for (QPushButton* kind : widgets.kinds)
            connect(kind, &QPushButton::clicked, this, &LogPage::applyFilter);
    setupTable(layout);
    veil = new LoadingOverlay(view);
    veil->hide();
}

LogPage::~LogPage() = default;

void LogPage::setupTable(const Layout& layout) {
    QTableView* view = widgets.view;
    QStringList titles;
    for (const Column& column : layout.columns)
        titles << QCoreApplication::translate("TabLogs", column.title);
    rows = new LogTableModel(titles, layout.sortable, this);
    rows->setRightAligned(layout.rightAligned);
    view->setModel(rows);
    // Every row is as high as the form says: a million rows need no height
    // of their own.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int i = 0; i < int(layout.columns.size()); ++i) {
        if (i == layout.stretchColumn)
            view->horizontalHeader()->setSectionResizeMode(i, QHeaderView::Stretch);
        else
            view->setColumnWidth(i, layout.columns[size_t(i)].width);
    }
    if (layout.hiddenColumn >= 0)
        view->setColumnHidden(layout.hiddenColumn, true);
    view->horizontalHeader()->setSortIndicator(0, layout.startOrder);
    view->setSortingEnabled(layout.sortable);
    delegate = std::make_unique<ElideTextDelegate>();
    view->setItemDelegate(delegate.get());
}

QString LogPage::unavailableReason() const {
    return notice->isHidden() ? QString() : notice->text();
}

QString LogPage::note() const {
    return noteLabel->isHidden() ? QString() : noteLabel->text();
}

void LogPage::showVeil() {
    veil->setProgress(0);
    veil->show();
}

void LogPage::clearForReload() {
    // A fresh veil, over the table as it is now; the one before goes.
    QTableView* view = widgets.view;
    LoadingOverlay* previous = veil;
    veil = new LoadingOverlay(view);
    QWidget* rowsArea = view->viewport();
    veil->setBackdrop(rowsArea->grab(), rowsArea->geometry().topLeft());
    veil->show();
    previous->hide();
    previous->deleteLater();
    rows->clear();
    // The row header keeps room for the rows it had: a new one starts empty.
    QHeaderView* previousRows = view->verticalHeader();
    auto* rowHeader = new QHeaderView(Qt::Vertical, view);
    rowHeader->setDefaultSectionSize(previousRows->defaultSectionSize());
    rowHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowHeader->setVisible(previousRows->isVisible());
    view->setVerticalHeader(rowHeader);
    malloc_trim(0);
    widgets.count->setText(QStringLiteral("0"));
    noteLabel->hide();
}

void LogPage::showProgress(int percent, int rowsSoFar) {
    veil->setProgress(percent);
    // A refill without a veil (a theme change) keeps its rows in sight, and
    // their count with them.
    if (!veil->isHidden())
        widgets.count->setText(QString::number(rowsSoFar));
}

void LogPage::showRows(const LogTablePtr& table, const QString& note) {
    // The row that was current is found again by the text of its first cell.
    const SelectionKeeper kept(widgets.view, 0, LogTableModel::TextRole);
    notice->hide();
    rows->setTable(table);
    widgets.count->setText(QString::number(rows->rowCount()));
    noteLabel->setText(note);
    noteLabel->setVisible(!note.isEmpty());
    if (kept.key().isValid())
        kept.restore();
    // The rows this page had, and what reading the new ones needed for a
    // while, go back to the system now rather than stay with the program.
    malloc_trim(0);
    answered();
}

void LogPage::showUnavailable(const QString& reason) {
    rows->clear();
    widgets.count->setText(QStringLiteral("0"));
    noteLabel->hide();
    notice->setText(reason);
    notice->show();
    answered();
}

void LogPage::answered() {
    waiting = qMax(0, waiting - 1);
    // The veil stays while another request of the page is on its way.
    if (waiting == 0)
        veil->hide();
}

void LogPage::applyFilter() {
    std::array<bool, 4> kinds{{true, true, true, true}};
    if (kindButtons)
        for (size_t i = 0; i < 3; ++i)
            kinds[i] = widgets.kinds[i]->isChecked();
    // The current row stays current while it is still shown.
    const SelectionKeeper kept(widgets.view, 0, LogTableModel::TableRowRole);
    rows->setFilter(widgets.filter->text().trimmed(), kinds);
    widgets.count->setText(QString::number(rows->rowCount()));
    kept.restore();
}
