#pragma once

// Reads printed PDFs back with poppler's tools and zbar, as a person would look at them.

#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pdf {

inline QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of every page, in reading order; blanks between words collapsed to one.
inline QString Text(const QString& file) {
    return Run("pdftotext", {"-enc", "UTF-8", file, "-"}).simplified();
}

inline QString Info(const QString& file, const QString& field) {
    const QRegularExpression line("^" + field + ":\\s*(.*)$", QRegularExpression::MultilineOption);
    return line.match(Run("pdfinfo", {file})).captured(1).trimmed();
}

inline int Pages(const QString& file) {
    return Info(file, "Pages").toInt();
}

// The first page's size in millimetres.
inline QSizeF PageSizeMm(const QString& file) {
    const QRegularExpression size("([0-9.]+) x ([0-9.]+) pts");
    const auto match = size.match(Info(file, "Page size"));
    return {match.captured(1).toDouble() * 25.4 / 72, match.captured(2).toDouble() * 25.4 / 72};
}

// The QR codes on a page, rendered at 200 dpi as a phone's camera would see it, decoded.
inline QStringList QrCodes(const QString& file, int page = 1) {
    QTemporaryDir dir;
    const QString png = dir.filePath("page");
    Run("pdftoppm", {"-r", "200", "-png", "-singlefile", "-f", QString::number(page), "-l",
                     QString::number(page), file, png});
    QStringList codes =
        Run("zbarimg", {"-q", "--raw", png + ".png"}).split('\n', Qt::SkipEmptyParts);
    codes.sort();
    return codes;
}

} // namespace pdf
