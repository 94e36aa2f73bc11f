#pragma once

#include <QIcon>
#include <QStringList>

// A theme icon by the first of names the installed themes have; null when none has any.
QIcon themeIcon(const QStringList& names);
