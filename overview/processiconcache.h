#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>

// Builds the icon of a process row from the scanner's candidates, on the
// GUI thread only (Qt's icon loader is not thread-safe), once per distinct
// candidate list.
class ProcessIconCache {
public:
    QIcon icon(const QStringList& names);
    void clear() { icons.clear(); }

private:
    QHash<QString, QIcon> icons;
};
