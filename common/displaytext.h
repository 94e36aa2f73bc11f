#pragma once

#include <QString>

// Text that another user controls (process names, window titles, log
// fields, account names, program names of captured packets) goes through
// here before it reaches the screen. Bidirectional controls would let a
// name reorder itself on screen, so a process called "gnp<RLO>.exe" could
// read as "png.exe"; each one is shown as a visible "<U+202E>" instead.
// Text without such controls is returned as it is, without a copy.
QString displaySafeText(const QString& text);

// True when text holds a control that displaySafeText() would replace.
bool hasBidiControl(const QString& text);
