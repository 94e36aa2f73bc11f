#pragma once

#include <QString>
#include <initializer_list>

class QTableWidget;

// The page filter the tables share: a row stays visible when one of the
// searched columns contains the trimmed, lower-cased filter text. Returns
// the number of rows left visible, for the page's count label.
int filterTableRows(QTableWidget* table, std::initializer_list<int> searchedColumns,
                    const QString& filterText);
