#pragma once

#include <QString>

// A tooltip that shows a cell's whole text as it is. Tooltips render
// anything that looks like markup, so the text is escaped (a crontab line
// could otherwise name a picture for the program to load); bidirectional
// controls are made visible; short lines keep their blanks and do not wrap,
// long ones wrap.
QString plainTextToolTip(const QString& text);
