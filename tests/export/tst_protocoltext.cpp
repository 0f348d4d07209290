#include "TestMain.h"

#include "export/ProtocolText.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kHeader = {"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info",
                             "RZ",     "ZZ",   "Km/h",    "Zeit",   "Win"};

QStringList Row(std::initializer_list<QString> cells) {
    QStringList row(cells);
    while (row.size() < kProtocolColumns)
        row.append(QString());
    return row;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ProtocolRows Parse(const QByteArray& bytes) {
    const ProtocolReadResult result = ParseProtocolText(bytes, kHeader);
    if (!result.ok) qWarning() << result.message;
    return result.rows;
}

} // namespace

class ProtocolTextTest : public QObject {
    Q_OBJECT
private slots:
    void writerBytes() {
        const ProtocolRows rows = {
            kHeader,
            Row({"7", QString::fromUtf8("Müller"), "", "Vespa", "", "", "0,512", "", "88,4",
                 "12,345", "+"}),
            Row({"", "ohne Nummer", "wird", "nicht", "geschrieben"}),
            Row({"12", "Bauer", "Eva", "", "", "2", "", "", "", "-", ""}),
        };
        const QByteArray expected =
            "St.Nr.\tName\tVorname\tRoller\tMotor\tInfo\tRZ\tZZ\tKm/h\tZeit\tWin\t\r\n"
            "7\tM\xFCller\t \tVespa\t \t \t0,512\t \t88,4\t12,345\t+\t\r\n"
            "12\tBauer\tEva\t \t \t2\t \t \t \t-\t \t\r\n";
        const QByteArray bytes = EncodeProtocolText(rows);
        QCOMPARE(bytes, expected);
        for (const QByteArray& line : bytes.split('\n').mid(0, 3))
            QCOMPARE(line.count('\t'), 11);

        QTemporaryDir dir;
        const QString path = dir.filePath("protokoll.txt");
        QVERIFY(WriteProtocolText(path, rows).ok);
        QCOMPARE(ReadAll(path), expected);
        QCOMPARE(DefaultProtocolFileName(QDateTime(QDate(2026, 12, 6), QTime(8, 9, 59))),
                 QString("2026-12-06-08-09"));
    }

    void roundTripThroughFile() {
        const ProtocolRows rows = {
            kHeader,
            Row({"3", "Ohne", "", "Roller", "", "", "", "", "", "", ""}),
            Row({"", "weg"}),
            Row({"4", "Tab\tim", "Zeilen\r\numbruch"}),
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("p.txt");
        QVERIFY(WriteProtocolText(path, rows).ok);
        const ProtocolReadResult read = ReadProtocolText(path, kHeader);
        QVERIFY(read.ok);
        const ProtocolRows expected = {
            kHeader,
            {"3", "Ohne", " ", "Roller", " ", " ", " ", " ", " ", " ", " "},
            {"4", "Tab im", "Zeilen  umbruch", " ", " ", " ", " ", " ", " ", " ", " "},
        };
        QCOMPARE(read.rows, expected);
    }

    void textOutsideWindows1252SurvivesAsUtf8() {
        const ProtocolRows rows = {
            kHeader, Row({"1", QString::fromUtf8("Łukasz"), QString::fromUtf8("Jürgen €"), "名"})};
        const QByteArray bytes = EncodeProtocolText(rows);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.contains(QString::fromUtf8("Łukasz").toUtf8()));
        const ProtocolRows back = Parse(bytes);
        QCOMPARE(back.value(1).value(1), QString::fromUtf8("Łukasz"));
        QCOMPARE(back.value(1).value(2), QString::fromUtf8("Jürgen €"));
        QCOMPARE(back.value(1).value(3), QString::fromUtf8("名"));
        // A first cell that would begin with the mark's three bytes in Windows-1252.
        const ProtocolRows markLike = {Row({QString::fromUtf8("ï»¿Nr"), "Name"}), Row({"1"})};
        QCOMPARE(Parse(EncodeProtocolText(markLike)).value(0).value(0), markLike[0][0]);
        // Without the mark the same bytes are Windows-1252, as every older file is.
        QCOMPARE(Parse("1\t\xC4\x80\t").value(0).value(1), QString::fromUtf8("Ä€"));
    }

    // Bytes the code page leaves open come back as they were, and the file stays Windows-1252.
    void openCodePageBytesAreSavedAsTheyCame() {
        const QByteArray file =
            "St.Nr.\tName\tVorname\tRoller\tMotor\tInfo\tRZ\tZZ\tKm/h\tZeit\tWin\t\r\n"
            "1\tA\x81\x8D\x8F\x90\x9D\xE4\t \t \t \t \t \t \t \t \t \t\r\n";
        QCOMPARE(EncodeProtocolText(Parse(file)), file);
    }

    void splittingLines() {
        const ProtocolRows rows = Parse("St.Nr.;Name;;Roller\r\n"
                                        "5;Kurz;;Vespa;\r\n"
                                        "6\t\tName\t\t\tVorname\t\n"
                                        ";Ohne\r"
                                        "\r\n"
                                        "8\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t\r\n"
                                        "9;a;b\tc");
        QCOMPARE(rows.size(), 7);
        for (const QStringList& row : rows)
            QCOMPARE(row.size(), kProtocolColumns);
        // ";;" keeps a column; a separator at the end adds nothing.
        QCOMPARE(rows[0], QStringList({"St.Nr.", "Name", "Vorname", "Roller", "Motor", "Info", "RZ",
                                       "ZZ", "Km/h", "Zeit", "Win"}));
        QCOMPARE(rows[1], Row({"5", "Kurz", " ", "Vespa"}));
        // An empty field between TABs is an empty cell; the fields after it keep their columns.
        QCOMPARE(rows[2], Row({"6", " ", "Name", " ", " ", "Vorname"}));
        QCOMPARE(rows[3], Row({" ", "Ohne"}));
        QCOMPARE(rows[4], Row({}));
        // Fields past the last column are dropped.
        QCOMPARE(rows[5], QStringList({"8", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
        // One TAB anywhere makes TAB the separator.
        QCOMPARE(rows[6], Row({"9;a;b", "c"}));
    }

    // A spreadsheet program saves an empty cell as nothing between two TABs, and no TAB at the
    // end of the line.
    void spreadsheetTextKeepsEveryColumn() {
        const ProtocolRows rows = Parse("St.Nr.\tName\tVorname\tRoller\tMotor\tKlasse\r\n"
                                        "7\tHuber\tAnna\tVespa PX\t\tB\r\n"
                                        "8\t\t\t\t\t\t\t\t\t12,345\r\n");
        QCOMPARE(rows[0][5], QString("Klasse"));
        QCOMPARE(rows[1], Row({"7", "Huber", "Anna", "Vespa PX", " ", "B"}));
        QCOMPARE(rows[2], Row({"8", " ", " ", " ", " ", " ", " ", " ", " ", "12,345"}));
    }

    // A cell holds what a workbook cell holds; the window would freeze on more.
    void cellsAreHeldTo32767Characters() {
        const QString longest(kMaxCellChars, u'x');
        ProtocolReadResult read =
            ParseProtocolText(("1\t" + longest + "\tEva\t\r\n").toLatin1(), kHeader);
        QVERIFY(read.ok);
        QCOMPARE(read.rows[0][1], longest);

        QTemporaryDir dir;
        const QString path = dir.filePath("lang.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kHeader.join('\t').toLatin1() + "\r\n1\t" + QByteArray(kMaxCellChars + 1, 'x') +
                   "\r\n");
        file.close();
        read = ReadProtocolText(path, kHeader);
        QVERIFY(!read.ok);
        QVERIFY(read.rows.isEmpty());
        QCOMPARE(read.message, "Die Datei enthält eine Zelle mit mehr als 32767 Zeichen und wird "
                               "nicht geladen: " +
                                   path);

        // What the table holds beyond it is cut on writing, so that the file reads back.
        const QString tooLong = QString(kMaxCellChars - 1, u'y') + QString::fromUtf8("😀");
        const ProtocolRows written = Parse(EncodeProtocolText({kHeader, Row({"1", tooLong})}));
        QCOMPARE(written.value(1).value(1), QString(kMaxCellChars - 1, u'y'));
    }

    void headerRepairAndShortFiles() {
        const ProtocolRows repaired = Parse("Nr\t \tVorname\r\n1\tA\r\n");
        QCOMPARE(repaired[0], QStringList({"Nr", "Name", "Vorname", "Roller", "Motor", "Info", "RZ",
                                           "ZZ", "Km/h", "Zeit", "Win"}));
        // Nothing but a header still gives one blank data row, as an empty protocol has.
        QCOMPARE(Parse(""), ProtocolRows({kHeader, Row({})}));
        QCOMPARE(Parse("St.Nr.\r\n"), ProtocolRows({kHeader, Row({})}));
    }

    void failuresReturnNoRows() {
        QTemporaryDir dir;
        const QString missing = dir.filePath("fehlt.txt");
        ProtocolReadResult read = ReadProtocolText(missing, kHeader);
        QVERIFY(!read.ok);
        QVERIFY(read.rows.isEmpty());
        QVERIFY(read.message.endsWith(missing));

        // A byte-order mark promises UTF-8; broken UTF-8 behind it is not a protocol.
        read = ParseProtocolText("\xEF\xBB\xBF"
                                 "1\tM\xFCller\t\r\n",
                                 kHeader);
        QVERIFY(!read.ok);
        QVERIFY(read.rows.isEmpty());

        read = ParseProtocolText(QByteArray(kMaxProtocolRows + 1, '\n'), kHeader);
        QVERIFY(!read.ok);
        QVERIFY(ParseProtocolText(QByteArray(kMaxProtocolRows, '\n'), kHeader).ok);

        const QString path = dir.filePath("kein/ordner/p.txt");
        const FileWriteResult written = WriteProtocolText(path, {kHeader});
        QVERIFY(!written.ok);
        QVERIFY(written.message.startsWith("Der Schreibfehler der Datei: " + path + "\n"));
    }
};
RENNUHR_TEST(ProtocolTextTest);

#include "tst_protocoltext.moc"
