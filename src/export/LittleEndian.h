#pragma once

#include <QByteArrayView>
#include <QtEndian>

// Fields of the binary Excel formats, little-endian; the caller has checked the bounds.
inline quint16 U16(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.data() + at);
}
inline quint32 U32(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.data() + at);
}
inline quint64 U64(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint64>(bytes.data() + at);
}
