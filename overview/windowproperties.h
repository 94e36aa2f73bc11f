#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

// Reading the window properties that other programs set: every size and
// count in them is checked against the data actually received.
namespace WindowProperties {

// Images are refused above this size in either direction.
constexpr quint32 maximumIconSide = 1024;

// The images of a _NET_WM_ICON value (32-bit values: width, height, then
// width x height ARGB pixels, image after image). Reading stops at the first
// entry with a zero or too large side, or whose pixels run past the data;
// the images before it are kept.
QVector<QImage> parseNetWmIcon(const quint32* values, qsizetype count);

// The image to show: the first at least 32 pixels each way, else the last.
QImage chooseIcon(const QVector<QImage>& images);

// The instance name (the first of the two NUL-terminated strings) of a
// WM_CLASS value.
QString instanceName(const QByteArray& wmClass);

// Whether bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool isUtf8(const QByteArray& bytes);

// A text property's value (_NET_WM_NAME, WM_NAME) up to its first NUL, as
// UTF-8 or, for the STRING type, Latin-1; never null. Many programs write
// UTF-8 into STRING properties, so STRING bytes that are valid UTF-8 are
// read as UTF-8.
QString textValue(const QByteArray& value, bool utf8);

// The file name of the program a /proc/<pid>/cmdline started.
QString programName(const QByteArray& cmdline);

} // namespace WindowProperties
