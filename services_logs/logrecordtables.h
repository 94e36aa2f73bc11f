#pragma once

#include "detailslogs.h"
#include "logtable.h"

// The rows a Logs page shows for the records of its source: the cells, the
// look of each row and, on pages sorted by time or number, its sort key.
namespace LogRecordTables {

// A syslog-style page comes as rows already; a missing table is an empty one.
LogTablePtr tableOf(const LogTablePtr& table);
LogTablePtr tableOf(const QList<DetailsLogsDmesgLog>& records);
LogTablePtr tableOf(const QList<DetailsLogsBootLog>& records);
LogTablePtr tableOf(const QList<DetailsLogsFailLog>& records);
LogTablePtr tableOf(const QList<DetailsLogsDpkgLog>& records);
LogTablePtr tableOf(const QList<DetailsLogsFlatpakLog>& records);

} // namespace LogRecordTables
