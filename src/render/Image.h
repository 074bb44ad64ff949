#pragma once
// Image operations of the preview on QImage: load any pixel format, create, read and write
// pixels as RGB, fill, copy, stretch by an integer factor, save by the file name's extension.
// Every image here is Format_RGB32, so pure black and white read back exactly. Rectangles are
// clipped to both images: nothing is ever read or written outside them. Releasing an image is
// dropping the QImage.

#include <QImage>
#include <optional>
#include <string>

#include "message/RichText.h"

namespace orvanta::render {

// The decoded file as RGB32 (palette and 1-bit images included), or nothing when the file is
// missing or not an image.
std::optional<QImage> loadImage(const std::string& path);

// A width x height image filled with black (zero); empty sizes give a 1 x 1 image.
QImage createImage(int width, int height);

Rgb pixelAt(const QImage& image, int x, int y);  // 0 outside the image
void setPixelAt(QImage& image, int x, int y, Rgb color);

void fillRect(QImage& target, int x, int y, int width, int height, Rgb color);
// Plain copy of source (sx, sy, width, height) to target (dx, dy).
void copyRect(QImage& target, int dx, int dy, int width, int height, const QImage& source, int sx,
              int sy);
// Copies the whole source enlarged `factor` times (each pixel repeated) to target (dx, dy).
void stretchCopy(QImage& target, int dx, int dy, const QImage& source, int factor);
// The same, except that the source's pixels of colour `clear` leave the target as it was.
void stretchCopyOver(QImage& target, int dx, int dy, const QImage& source, int factor, Rgb clear);

// Writes `image` in the format its extension names (any case); ".bmp" is 24 bits per pixel.
// The file is written under a temporary name and renamed, so a failed save leaves any earlier
// file as it was and no partial file behind. False when the extension is unknown or the
// writing fails.
bool saveImage(const QImage& image, const std::string& path);

}  // namespace orvanta::render
