#include "TestMain.h"

#include "export/WordExport.h"
#include "export/ZipPackage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pugixml.hpp>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};
const QStringList kRow1 = {"7",     "Müller", "Anna", "Vespa",  "50", " ",
                           "0,512", "4,100",  "88,4", "12,345", "+"};
const QList<bool> kWithoutRzZz = {true,  true,  true, true, true, true,
                                  false, false, true, true, true};

QString Text(pugi::xml_node node) {
    QString text;
    for (pugi::xpath_node t : node.select_nodes(".//*[local-name()='t']"))
        text += QString::fromUtf8(t.node().text().get());
    return text;
}

// The body of the written document: paragraphs as their text, a table as its cell texts.
struct Document {
    QStringList paragraphs;
    QList<QStringList> table;
    int tables = 0;
    QString lastBodyElement;
    ZipPackageReader package;

    explicit Document(const QString& fileName, const char* part = "word/document.xml") {
        if (!package.Open(fileName)) return;
        const auto xml = package.Read(part, 1 << 24);
        pugi::xml_document document;
        if (!xml || !document.load_buffer(xml->constData(), size_t(xml->size()),
                                          pugi::parse_default | pugi::parse_ws_pcdata))
            return;
        const pugi::xml_node body = document.document_element().first_child();
        for (pugi::xml_node node : body.children()) {
            if (node.type() != pugi::node_element) continue;
            const QString name = node.name();
            lastBodyElement = name;
            if (name.endsWith(":p")) paragraphs.append(Text(node));
            if (name.endsWith(":tbl")) {
                ++tables;
                for (pugi::xpath_node row : node.select_nodes("*[local-name()='tr']")) {
                    QStringList cells;
                    for (pugi::xpath_node cell : row.node().select_nodes("*[local-name()='tc']"))
                        cells.append(Text(cell.node()));
                    table.append(cells);
                }
            }
        }
    }
};

const QByteArray kTemplateDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<wp:document xmlns:wp=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><wp:body>\n"
    "<wp:p><wp:pPr><wp:pStyle wp:val=\"Titel\"/></wp:pPr><wp:r><wp:t>Motorsportclub "
    "Briefkopf</wp:t></wp:r></wp:p>\n"
    "<wp:sectPr><wp:headerReference wp:type=\"default\" r:id=\"rId7\"/><wp:pgSz wp:w=\"11906\" "
    "wp:h=\"16838\"/></wp:sectPr>\n"
    "</wp:body></wp:document>";
const QByteArray kTemplateHeader = "<w:hdr "
                                   "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                                   "2006/main\"><w:p><w:r><w:t>Logo</w:t></w:r></w:p></w:hdr>";

QByteArray TemplatePackage() {
    return *BuildZipPackage(
        {{"[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
          "Extension=\"rels\" "
          "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
          "Extension=\"xml\" ContentType=\"application/xml\"/><Override "
          "PartName=\"/word/main.xml\" "
          "ContentType=\"application/"
          "vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml\"/><Override "
          "PartName=\"/word/header1.xml\" "
          "ContentType=\"application/"
          "vnd.openxmlformats-officedocument.wordprocessingml.header+xml\"/></Types>"},
         {"_rels/.rels",
          "<Relationships "
          "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
          "Id=\"rId1\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
          "officeDocument\" Target=\"word/main.xml\"/></Relationships>"},
         {"word/main.xml", kTemplateDocument},
         {"word/_rels/main.xml.rels",
          "<Relationships "
          "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
          "Id=\"rId7\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/header\" "
          "Target=\"header1.xml\"/></Relationships>"},
         {"word/header1.xml", kTemplateHeader}});
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class WordExportTest : public QObject {
    Q_OBJECT
private slots:
    void plainDocument() {
        QTemporaryDir dir;
        const QString path = dir.filePath("protokoll.docx");
        const WordDocumentContent content{{kHeader, kRow1, QStringList(kProtocolColumns)},
                                          kWithoutRzZz,
                                          "Sommerrennen <Finale> & Co",
                                          QDate(2026, 12, 8),
                                          dir.filePath("Protokollvorlage.docx")};
        const FileWriteResult result = WriteWordDocument(path, content);
        QVERIFY2(result.ok, qPrintable(result.message));

        const Document document(path);
        QCOMPARE(document.tables, 1);
        // Title, date, empty line above the table, one paragraph after it.
        QCOMPARE(document.paragraphs, QStringList({"Sommerrennen <Finale> & Co",
                                                   "Datum: Dienstag, 8. Dezember 2026", "", ""}));
        QCOMPARE(document.table.size(), 3); // every row from the header, the empty one too
        QCOMPARE(document.table[0], QStringList({"St.Nr.", "Name", "Vorname", "Roller", "Motor",
                                                 "Info", "Km/h", "Zeit", "Win"}));
        QCOMPARE(document.table[1],
                 QStringList({"7", "Müller", "Anna", "Vespa", "50", " ", "88,4", "12,345", "+"}));
        QCOMPARE(document.table[2], QStringList(9));
        QCOMPARE(document.lastBodyElement, QString("w:sectPr"));
    }

    void fromTemplate() {
        QTemporaryDir dir;
        const QString templatePath = dir.filePath(WordTemplateName());
        QVERIFY(WriteFile(templatePath, TemplatePackage()));

        const QString path = dir.filePath("protokoll.docx");
        const FileWriteResult result = WriteWordDocument(
            path, {{kHeader, kRow1}, {}, "Lauf 3", QDate(2026, 1, 1), templatePath});
        QVERIFY2(result.ok, qPrintable(result.message));

        Document document(path, "word/main.xml");
        // The template's own text first, then the protocol, the section properties last.
        QCOMPARE(document.paragraphs, QStringList({"Motorsportclub Briefkopf", "Lauf 3",
                                                   "Datum: Donnerstag, 1. Januar 2026", "", ""}));
        QCOMPARE(document.table, QList<QStringList>({kHeader, kRow1}));
        QCOMPARE(document.lastBodyElement, QString("wp:sectPr"));
        // Header, logo and their relationships are carried over untouched.
        QCOMPARE(document.package.Read("word/header1.xml", 1 << 20).value_or(""), kTemplateHeader);
        QVERIFY(document.package.Contains("word/_rels/main.xml.rels"));
        const QByteArray types = document.package.Read("[Content_Types].xml", 1 << 20).value_or("");
        QVERIFY(types.contains("wordprocessingml.document.main+xml"));
        QVERIFY(!types.contains("template.main"));
        // The template itself is not changed.
        QFile templateFile(templatePath);
        QVERIFY(templateFile.open(QIODevice::ReadOnly));
        QCOMPARE(templateFile.readAll(), TemplatePackage());
    }

    void failures() {
        QTemporaryDir dir;
        const QString path = dir.filePath("protokoll.docx");
        const QString templatePath = dir.filePath(WordTemplateName());
        // An old binary template cannot be filled: said so, nothing written.
        QVERIFY(WriteFile(templatePath, QByteArray("\xD0\xCF\x11\xE0 kein docx")));
        FileWriteResult result =
            WriteWordDocument(path, {{kHeader, kRow1}, {}, "T", QDate(2026, 1, 1), templatePath});
        QVERIFY(!result.ok);
        QVERIFY2(result.message.startsWith("Die Vorlage " + templatePath),
                 qPrintable(result.message));
        QVERIFY(!QFile::exists(path));

        const QString missing = dir.filePath("fehlt/protokoll.docx");
        result = WriteWordDocument(missing, {{kHeader}, {}, "T", QDate(2026, 1, 1), QString()});
        QVERIFY(!result.ok);
        QVERIFY(result.message.contains("Der Schreibfehler der Datei: " + missing));
        QVERIFY(result.message.contains("Der Ordner existiert nicht."));
    }

    void controlCharactersStayValid() {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.docx");
        QStringList row = kRow1;
        row[1] = QString("A\x01"
                         "B\tC") +
                 QChar(0xD800);
        QVERIFY(WriteWordDocument(path, {{kHeader, row}, {}, "T", QDate(2026, 1, 1), {}}).ok);
        const Document document(path);
        QCOMPARE(document.table.value(1).value(1), QString("A B C") + QChar(0xFFFD));
    }
};
RENNUHR_TEST(WordExportTest);

#include "tst_wordexport.moc"
