#pragma once

#include <QByteArray>
#include <QSize>

class QRect;

// Pictures made at test time, the way a hostile user could make them with
// ordinary tools: JPEGs of any number of components written by libjpeg
// (Qt writes no CMYK), a progressive JPEG whose last scan is repeated, PNGs
// of 16 bits a channel; and, written byte by byte, the formats and header
// fields Qt writes no picture with (GIFs, interlaced PNGs, PNG text, BMPs
// with alpha or stored top down).
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

// A GIF of a logical screen of screen whose one frame, at frame, holds a
// single pixel: 35 bytes, plus a control block when the frame is
// transparent or restores what was under it (disposal 3).
QByteArray gif(const QSize& screen, const QRect& frame, bool transparent = false, int disposal = 0);

// A PNG of one flat colour of colourType (0 grey, 2 colour, 3 palette, 4
// grey and alpha, 6 colour and alpha) and bitDepth, written chunk by chunk,
// interlaced or not, with chunks (pngChunk's) between its header and data.
QByteArray flatPng(const QSize& size, int colourType, int bitDepth, bool interlaced,
                   const QByteArray& chunks = QByteArray());
// One PNG chunk: length, type, data and checksum.
QByteArray pngChunk(const char* type, const QByteArray& data);
// count compressed text chunks (zTXt) of bytesEach bytes of text each.
QByteArray compressedTexts(int count, int bytesEach);

// A BMP of one flat colour: 32 bits a pixel with an alpha mask (a version 5
// header), 24 bits, or 8 bits of a two-colour palette; bottom up as usual,
// or top down.
QByteArray bmp(const QSize& size, int bitCount, bool topDown = false);

// jpeg with comment segments of bytes in all after its start marker.
QByteArray withComments(const QByteArray& jpeg, int bytes);

} // namespace TestPictures
