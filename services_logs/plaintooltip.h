#pragma once

#include <QString>

// A tooltip that shows a cell's whole text as it is. Tooltips render
// anything that looks like markup, so the text is escaped (a crontab line
// could otherwise name a picture for the program to load); bidirectional
// controls are made visible; lines keep their blanks, and those longer than
// 100 characters are wrapped at blanks into lines of at most 100.
QString plainTextToolTip(const QString& text);
