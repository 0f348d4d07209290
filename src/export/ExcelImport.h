#pragma once

#include "ProtocolText.h"

#include <QString>

// Reads the first worksheet of an .xlsx workbook, a legacy .xls file (Excel 5.0 and later) or an
// OpenDocument spreadsheet (.ods, LibreOffice's own format). Sheet row 1 becomes the header row
// as it stands (no titles are filled in); the protocol ends before the first row whose column A
// is empty, and keeps at least the sheet's first row. Numbers become German number texts, dates
// and times "08.12.2010", "14:30:00" as their cell's format shows them; control characters
// other than tab and line breaks are dropped. On failure nothing is returned and the message
// says why; the caller keeps its protocol.
ProtocolReadResult ReadExcelWorkbook(const QString& fileName);

// The same for a workbook already in memory; fileName only names it in the message.
ProtocolReadResult ParseExcelWorkbook(const QByteArray& bytes, const QString& fileName);
