#pragma once

#include "export/ZipPackage.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <pugixml.hpp>

#include <vector>

// What a spreadsheet program sees of each sheet: its name, its cells as texts, which cells are
// numbers, and the comments.
struct Sheet {
    QString name;
    QList<QStringList> rows;
    QStringList numberCells; // "A2", ...
    QStringList markedCells; // cells on a fill colour
    QString comments;        // all comment texts of the sheet
};

inline QList<Sheet> ReadSheets(const QByteArray& bytes) {
    ZipPackageReader package;
    if (!package.Open(bytes)) return {};
    auto load = [&](pugi::xml_document& document, const QString& part) {
        const auto data = package.Read(part, 1 << 24);
        return data && document.load_buffer(data->constData(), size_t(data->size()));
    };
    pugi::xml_document workbook, strings, styles;
    if (!load(workbook, "xl/workbook.xml") || !load(strings, "xl/sharedStrings.xml") ||
        !load(styles, "xl/styles.xml"))
        return {};
    QStringList shared;
    for (pugi::xpath_node si : strings.select_nodes("//si"))
        shared << QString::fromUtf8(si.node().child("t").text().get());
    std::vector<bool> filled;
    std::vector<pugi::xml_node> fills;
    for (pugi::xml_node fill : styles.document_element().child("fills").children())
        fills.push_back(fill);
    for (pugi::xml_node format : styles.document_element().child("cellXfs").children())
        filled.push_back(QString(fills.at(format.attribute("fillId").as_uint())
                                     .child("patternFill")
                                     .child("fgColor")
                                     .attribute("rgb")
                                     .value()) == "FFFFB040");

    QList<Sheet> sheets;
    int index = 1;
    for (pugi::xpath_node node : workbook.select_nodes("//sheet")) {
        Sheet sheet;
        sheet.name = QString::fromUtf8(node.node().attribute("name").value());
        pugi::xml_document part, comments;
        if (!load(part, QString("xl/worksheets/sheet%1.xml").arg(index))) return {};
        for (pugi::xpath_node row : part.select_nodes("//row")) {
            QStringList cells;
            for (pugi::xml_node cell : row.node().children("c")) {
                const QString reference = cell.attribute("r").value();
                const QString value = QString::fromUtf8(cell.child("v").text().get());
                const QString type = cell.attribute("t").value();
                cells << (type == "s" ? shared.value(value.toInt()) : value);
                if (type.isEmpty() && !value.isEmpty()) sheet.numberCells << reference;
                if (filled.at(cell.attribute("s").as_uint())) sheet.markedCells << reference;
            }
            sheet.rows << cells;
        }
        if (load(comments, QString("xl/comments%1.xml").arg(index)))
            for (pugi::xpath_node text : comments.select_nodes("//t"))
                sheet.comments += QString::fromUtf8(text.node().text().get()) + '|';
        sheets << sheet;
        ++index;
    }
    return sheets;
}

inline QStringList Names(const QList<Sheet>& sheets) {
    QStringList names;
    for (const Sheet& sheet : sheets)
        names << sheet.name;
    return names;
}
