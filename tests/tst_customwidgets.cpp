#include "clickablegroupbox.h"
#include "customlistview.h"

#include <QSignalSpy>
#include <QStringListModel>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(Qt::MouseButton)
Q_DECLARE_METATYPE(QAbstractItemView::SelectionMode)

namespace {

// A shown list of five rows with room below them for presses on empty space.
std::unique_ptr<CustomListView> shownList(QAbstractItemView::SelectionMode mode) {
    auto view = std::make_unique<CustomListView>();
    view->setModel(new QStringListModel({"alice", "bob", "carol", "dave", "erin"}, view.get()));
    view->setSelectionMode(mode);
    view->resize(200, 300);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        return nullptr;
    return view;
}

QList<int> selectedRows(const QAbstractItemView& view) {
    QList<int> rows;
    const QModelIndexList indexes = view.selectionModel()->selectedIndexes();
    for (const QModelIndex& index : indexes)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Selects the rows and makes the last one current, as the user left it.
void prepare(QAbstractItemView& view, const QList<int>& selected) {
    QItemSelectionModel* model = view.selectionModel();
    model->clear();
    for (int row : selected)
        model->select(view.model()->index(row, 0), QItemSelectionModel::Select);
    if (!selected.isEmpty())
        model->setCurrentIndex(view.model()->index(selected.last(), 0), QItemSelectionModel::NoUpdate);
}

// -1 presses on empty space under the rows.
QPoint pressPoint(const QAbstractItemView& view, int row) {
    if (row >= 0)
        return view.visualRect(view.model()->index(row, 0)).center();
    return QPoint(10, view.viewport()->height() - 10);
}

} // namespace

class TestCustomWidgets : public QObject {
    Q_OBJECT
private slots:
    // Only the left button opens a graph's larger view, on the frame or the title.
    void groupBoxReportsLeftPressOnly() {
        ClickableGroupBox box;
        box.resize(200, 120);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QSignalSpy clicked(&box, &ClickableGroupBox::clicked);
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            for (const QPoint& where : {QPoint(100, 60), QPoint(20, 8)}) {
                QTest::mousePress(&box, button, Qt::NoModifier, where);
                QTest::mouseRelease(&box, button, Qt::NoModifier, where);
            }
        }
        QCOMPARE(clicked.count(), 2);
    }

    void listPress_data() {
        QTest::addColumn<QAbstractItemView::SelectionMode>("mode");
        QTest::addColumn<QList<int>>("selectedBefore");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("pressedRow");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<int>("currentAfter");
        const auto single = QAbstractItemView::SingleSelection;
        const auto extended = QAbstractItemView::ExtendedSelection;
        QTest::newRow("right on unselected item selects only it")
            << extended << QList<int>{0, 1} << Qt::RightButton << 3 << QList<int>{3} << 3;
        QTest::newRow("right on selected item keeps the selection")
            << extended << QList<int>{0, 1, 2} << Qt::RightButton << 1 << QList<int>{0, 1, 2} << 1;
        QTest::newRow("right on empty space clears")
            << extended << QList<int>{1, 2} << Qt::RightButton << -1 << QList<int>() << -1;
        QTest::newRow("left on empty space clears, single mode")
            << single << QList<int>{2} << Qt::LeftButton << -1 << QList<int>() << -1;
        QTest::newRow("left on item selects it")
            << extended << QList<int>{0, 3} << Qt::LeftButton << 2 << QList<int>{2} << 2;
    }
    void listPress() {
        QFETCH(QAbstractItemView::SelectionMode, mode);
        QFETCH(QList<int>, selectedBefore);
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, pressedRow);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(int, currentAfter);
        const auto view = shownList(mode);
        QVERIFY(view);
        prepare(*view, selectedBefore);
        // The selection must be in place before any context menu of the view opens.
        QList<int> selectedAtMenu{-2};
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view.get(), &QWidget::customContextMenuRequested, this,
                [&] { selectedAtMenu = selectedRows(*view); });
        QTest::mousePress(view->viewport(), button, Qt::NoModifier, pressPoint(*view, pressedRow));
        QCOMPARE(selectedRows(*view), selectedAfter);
        QCOMPARE(view->currentIndex().row(), currentAfter);
        if (button == Qt::RightButton) {
            QContextMenuEvent menu(QContextMenuEvent::Mouse, pressPoint(*view, pressedRow));
            QCoreApplication::sendEvent(view->viewport(), &menu);
            QCOMPARE(selectedAtMenu, selectedAfter);
        }
        QTest::mouseRelease(view->viewport(), button, Qt::NoModifier, pressPoint(*view, pressedRow));
    }

    void listWithoutModelIgnoresPresses() {
        CustomListView view;
        view.resize(100, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            QTest::mousePress(view.viewport(), button, Qt::NoModifier, QPoint(50, 50));
        QVERIFY(!view.currentIndex().isValid());
    }
};

QTEST_MAIN(TestCustomWidgets)
#include "tst_customwidgets.moc"
