#pragma once

#include <QColor>
#include <QString>

// The style sheets of the Overview's bars, their group boxes, the frames
// around them and the labels over the history graph.
namespace OverviewStyles {

// The frames of the bars and of the plot, for a dark or a light desktop.
QString frameStyle(bool dark);
// A group box whose graph is not shown, and the one whose graph is.
QString groupBoxStyle(bool dark);
QString selectedGroupBoxStyle();
// A scale or "N/A" label over the plot, in the graph colours' foreground.
QString overlayLabelStyle(const QColor& foreground);
// A usage bar, filled from foreground at the bottom to background at the top.
QString barStyle(const QColor& foreground, const QColor& background);

} // namespace OverviewStyles
