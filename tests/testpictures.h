#pragma once

#include <QByteArray>
#include <QSize>

// Pictures made at test time, the way a hostile user could make them with
// ordinary tools: JPEGs of any number of components written by libjpeg
// (Qt writes no CMYK), a progressive JPEG whose last scan is repeated, and
// PNGs of 16 bits a channel.
namespace TestPictures {

// A JPEG of one flat colour: components 1 (grey), 3 (colour) or 4 (CMYK),
// progressive with the usual scans or baseline with one.
QByteArray jpeg(const QSize& size, int components, bool progressive);

// jpeg (progressive) with its last scan written times more times before
// the end: each copy is one more pass of the decoder over the whole image.
QByteArray withRepeatedScan(const QByteArray& jpeg, int times);

// A PNG of one flat colour, 16 bits a channel.
QByteArray deepPng(const QSize& size);

// A PNG of one flat colour, 8 bits a channel.
QByteArray png(const QSize& size);

} // namespace TestPictures
