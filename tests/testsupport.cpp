#include "testsupport.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QtWidgets>

namespace {

QString nameOf(QLayoutItem* item) {
    if (item->widget())
        return item->widget()->objectName();
    return item->layout() ? item->layout()->objectName() : "spacer";
}

// The names (or numbers) of count items, comma-separated.
template <typename Name> QString joined(int count, Name name) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QVariant(name(i)).toString();
    return names.join(',');
}

QLayout* layoutHolding(QWidget* widget, int* index) {
    QWidget* parent = widget->parentWidget();
    for (QLayout* layout : parent ? parent->findChildren<QLayout*>() : QList<QLayout*>())
        if ((*index = layout->indexOf(widget)) >= 0)
            return layout;
    return nullptr;
}

} // namespace

namespace TestSupport {

QString programPath() {
    return QStringLiteral(TESSMAR_BINARY);
}

QString testDataPath(const QString& relative) {
    return QStringLiteral(TESSMAR_TEST_DATA "/") + relative;
}

QString uniqueName(const QString& prefix) {
    static QAtomicInt counter;
    return QStringLiteral("%1%2x%3")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1));
}

QStringList windowIdsWithTitle(const QString& title) {
    QProcess wmctrl;
    wmctrl.start(QStringLiteral("wmctrl"), {QStringLiteral("-l")});
    wmctrl.waitForFinished(5000);
    QStringList ids;
    const QStringList lines = QString::fromUtf8(wmctrl.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // "0x01000003  0 host Title with blanks"
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 4 && fields.mid(3).join(QLatin1Char(' ')) == title)
            ids << fields.at(0);
    }
    return ids;
}

QString pageOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (w->parentWidget() && qobject_cast<QStackedWidget*>(w->parentWidget()) &&
            qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget()))
            return w->objectName();
    return QString();
}

QVariant readState(QObject* object, const QString& property) {
    auto* widget = qobject_cast<QWidget*>(object);
    auto* layout = qobject_cast<QLayout*>(object);
    // "kind.part" pseudo properties: a header's property, a tab's caption or page, one margin ...
    const QString kind = property.section('.', 0, 0), part = property.section('.', 1);
    if (kind == "hheader" || kind == "vheader") {
        auto* view = qobject_cast<QTableView*>(object);
        QHeaderView* header = kind == "hheader" ? view->horizontalHeader() : view->verticalHeader();
        return part == "hidden" ? header->isHidden() : header->property(qPrintable(part));
    }
    if (kind == "tab")
        return qobject_cast<QTabWidget*>(object)->tabText(part.toInt());
    if (kind == "page")
        return qobject_cast<QTabWidget*>(object)->widget(part.toInt())->objectName();
    if (kind == "header")
        return qobject_cast<QTreeWidget*>(object)->headerItem()->text(part.toInt());
    if (kind == "margin") {
        const QMargins m = layout->contentsMargins();
        return part == "left" ? m.left() : part == "right" ? m.right() : part == "top" ? m.top() : m.bottom();
    }
    if (kind == "sizePolicy")
        return int(part == "h" ? widget->sizePolicy().horizontalPolicy()
                               : widget->sizePolicy().verticalPolicy());
    if (kind == "font")
        return part == "bold" ? QVariant(widget->font().bold()) : QVariant(widget->font().family());
    if (property == "headerItems") {
        auto* table = qobject_cast<QTableWidget*>(object);
        int items = 0;
        for (int c = 0; c < table->columnCount(); ++c)
            items += table->horizontalHeaderItem(c) != nullptr;
        return items;
    }
    if (property == "layout")
        return widget->layout() ? widget->layout()->objectName() : QString();
    if (property == "parent")
        return object->parent()->objectName();
    if (property == "containedIn" || property == "gridCell") {
        int index = -1;
        QLayout* holder = layoutHolding(widget, &index);
        if (property == "containedIn")
            return holder ? QString("%1:%2").arg(holder->objectName()).arg(index) : QString();
        auto* grid = qobject_cast<QGridLayout*>(holder);
        if (!grid)
            return QString();
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        return QString("%1:%2,%3").arg(grid->objectName()).arg(row).arg(column);
    }
    if (property == "items")
        return joined(layout->count(), [&](int i) { return nameOf(layout->itemAt(i)); });
    if (property == "stretches")
        return joined(layout->count(), [&](int i) { return qobject_cast<QBoxLayout*>(layout)->stretch(i); });
    if (property == "children") {
        auto* splitter = qobject_cast<QSplitter*>(object);
        return joined(splitter->count(), [&](int i) { return splitter->widget(i)->objectName(); });
    }
    if (property == "actions") {
        const QList<QAction*> actions = widget->actions();
        return joined(actions.size(), [&](int i) {
            return actions[i]->menu() ? actions[i]->menu()->objectName() : actions[i]->objectName();
        });
    }
    if (property == "direction")
        return int(qobject_cast<QBoxLayout*>(layout)->direction());
    if (property == "shownTitle") // the title as shown: "&&" is a literal "&", "&x" underlines x
        return object->property("title").toString().replace(QRegularExpression("&(.)"), "\\1");
    if (property == "mnemonic")
        return QKeySequence::mnemonic(object->property("title").toString()).toString();
    if (property == "cursor")
        return int(widget->cursor().shape());
    if (property == "windowIconLoaded")
        return !widget->windowIcon().pixmap(QSize(32, 32)).isNull();
    if (property == "iconLoaded")
        return !qobject_cast<QAction*>(object)->icon().isNull();
    if (property == "statusBar")
        return object->findChild<QStatusBar*>() != nullptr;

    const QMetaProperty meta =
        object->metaObject()->property(object->metaObject()->indexOfProperty(qPrintable(property)));
    if (!meta.isValid())
        return QVariant();
    const QVariant value = meta.read(object);
    return meta.isEnumType() || meta.isFlagType() ? *static_cast<const int*>(value.constData()) : value;
}

bool sameState(const QVariant& actual, const QVariant& expected) {
    if (expected.userType() == QMetaType::QString)
        return actual.toString() == expected.toString();
    if (expected.userType() == QMetaType::Int)
        return actual.toInt() == expected.toInt();
    return actual == expected;
}

QString describe(const QVariant& value) {
    if (value.userType() == QMetaType::QSize)
        return QString("%1x%2").arg(value.toSize().width()).arg(value.toSize().height());
    if (value.userType() == QMetaType::QRect) {
        const QRect r = value.toRect();
        return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    return value.toString().isEmpty() && value.canConvert<int>() ? QString::number(value.toInt())
                                                                 : value.toString();
}

} // namespace TestSupport
