#pragma once

#include <QHostAddress>
#include <QImage>
#include <QList>
#include <QString>

// Where phones on the track's network open the results page: this machine's first IPv4
// address on an interface that is up, not the loopback; "localhost" when there is none.
QString LiveAddress(quint16 port);
// The same from a given list of the machine's addresses, in the system's order.
QString LiveAddress(quint16 port, const QList<QHostAddress>& addresses);

// Whether a start number has a page of its own, "/fahrer/<number>": one to four digits.
bool IsRacerPageNumber(QStringView number);

// The text as a QR code, black modules on white with the quiet zone, each module
// moduleSize pixels; a null image when the text cannot be encoded.
QImage QrCodeImage(const QString& text, int moduleSize);
