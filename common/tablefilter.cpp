#include "tablefilter.h"

#include <QTableWidget>

int filterTableRows(QTableWidget* table, std::initializer_list<int> searchedColumns,
                    const QString& filterText) {
    const QString filter = filterText.trimmed().toLower();
    int shown = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        bool visible = filter.isEmpty();
        for (int column : searchedColumns) {
            const QTableWidgetItem* item = table->item(row, column);
            visible = visible || (item && item->text().toLower().contains(filter));
        }
        table->setRowHidden(row, !visible);
        shown += visible ? 1 : 0;
    }
    return shown;
}
