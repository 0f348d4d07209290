#pragma once

// What every import result must look like, whatever bytes went in.
#include "export/ProtocolText.h"

#include <cstdlib>

inline void Check(bool condition) {
    if (!condition) std::abort();
}

inline void CheckImport(const ProtocolReadResult& result) {
    if (!result.ok) {
        Check(result.rows.isEmpty() && result.message.contains(u'\n'));
        return;
    }
    Check(result.message.isEmpty());
    Check(result.rows.size() >= 2 && result.rows.size() <= kMaxProtocolRows);
    for (const QStringList& row : result.rows) {
        Check(row.size() == kProtocolColumns);
        for (const QString& cell : row) {
            Check(cell.size() <= 32767);
            for (const QChar c : cell)
                Check(c.category() != QChar::Other_Control || c == u'\t' || c == u'\n' ||
                      c == u'\r');
        }
    }
}
