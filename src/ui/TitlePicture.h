#pragma once

#include <QImage>
#include <QString>

// Far above any title picture, far below what would stall the start or exhaust memory.
constexpr qint64 kMaxTitlePictureBytes = 20 * 1024 * 1024;
constexpr unsigned kMaxTitlePictureSide = 8000;

// Decodes a JPEG file; a missing or broken file gives a null image, never an error. Only a
// plain file of at most 20 MiB is read, and only a picture of at most 8000 × 8000 decoded.
QImage LoadJpegPicture(const QString& fileName);
