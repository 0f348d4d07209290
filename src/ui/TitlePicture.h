#pragma once

#include <QImage>
#include <QString>

// Decodes a JPEG file; a missing or broken file gives a null image, never an error.
QImage LoadJpegPicture(const QString& fileName);
