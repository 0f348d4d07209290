#include "TestMain.h"

#include "results/StandingsPage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

TRun Run(const QString& number, int heat, qint64 ms, const QString& time,
         const QString& classInfo = {}) {
    TRun run;
    run.day = QDate(2026, 6, 13);
    run.heat = heat;
    run.lane = 1;
    run.startNumber = number;
    run.name = "Name " + number;
    run.classInfo = classInfo;
    run.finalMs = ms;
    run.finalTime = time;
    run.speedKmh = 100.0;
    run.speed = "100,0";
    run.reaction = "0,400";
    return run;
}

const QByteArray kTableHead = "<table style=\"BORDER-COLLAPSE: collapse\" bgcolor=#FFFFFF "
                              "borderColor=#808080 border=1 cellpadding=4 width=100%>\r\n"
                              "<thead align=left bgcolor=#91B5FF>\r\n"
                              "<tr>\r\n"
                              "<th width=5%>Platz\r\n"
                              "<th width=5%>St.Nr.\r\n"
                              "<th width=20%>Name\r\n"
                              "<th width=15%>Vorname\r\n"
                              "<th width=10%>Roller\r\n"
                              "<th width=10%>Motor\r\n"
                              "<th width=10%>Info\r\n"
                              "<th width=5%>Zeit\r\n"
                              "<th width=5%>Km/h\r\n"
                              "<th width=5%>RZ\r\n"
                              "<th width=5%>Starts\r\n"
                              "<th width=5%>Lauf\r\n"
                              "</tr></thead>\r\n";

// From the heading under the title to the maker's link.
QByteArray Body(const QByteArray& page) {
    const qsizetype start = page.indexOf("<H4>");
    return page.mid(start, page.indexOf("<P align=right>") - start);
}

} // namespace

class StandingsPageTest : public QObject {
    Q_OBJECT
private slots:
    void pageOfOneList() {
        TRun marked = Run("7", 2, 10500, "10,500");
        marked.warnings = QStringList{"Zeit unter der Mindestzeit", "ZZ fehlt"};
        TRun falseStart = Run("3", 1, -1, "-");
        falseStart.falseStart = true;
        const TStandings standings =
            BuildStandings({Run("12", 1, 11000, "11,000"), marked, falseStart}, false, false, {});

        const QByteArray expected =
            "<H4>Wertung</H4>\r\n"
            "<P>Es z\xE4hlt der letzte Lauf.</P>\r\n" +
            kTableHead +
            "<tr><td align=right>1<td align=right>7<td>Name 7<td><td><td><td>"
            "<td align=right bgcolor=#FFB040 title=\"Zeit unter der Mindestzeit; ZZ fehlt\">"
            "10,500 !<td align=right>100,0<td align=right>0,400<td align=right>1"
            "<td align=right>2</tr>\r\n"
            "<tr><td align=right>2<td align=right>12<td>Name 12<td><td><td><td>"
            "<td align=right>11,000<td align=right>100,0<td align=right>0,400<td align=right>1"
            "<td align=right>1</tr>\r\n"
            "<tr><td align=right><td align=right>3<td>Name 3<td><td><td><td>"
            "<td align=right>Fehlstart<td align=right><td align=right><td align=right>1"
            "<td align=right>1</tr>\r\n"
            "</table>\r\n"
            "<P>! Plausibilit\xE4tswarnung: die Zeit bitte pr\xFC"
            "fen</P>\r\n";
        const QByteArray page = StandingsPage(standings, "Rennuhr");
        QCOMPARE(Body(page), expected);
        QVERIFY(page.startsWith("<HTML>\r\n<HEAD>\r\n"));
        QVERIFY(page.contains("<TITLE>Wertung Rennuhr</TITLE>\r\n"));
        QVERIFY(page.contains("charset=iso-8859-1"));
        QVERIFY(page.endsWith("</A></P></body></html>\r\n"));

        // Written through the file writer; a folder that is not there is reported.
        QTemporaryDir dir;
        const QString path = dir.filePath(StandingsViewFileName("Rennuhr"));
        QVERIFY(path.endsWith("/Rennuhr-Wertung.html"));
        QVERIFY(WriteStandingsPage(path, standings, "Rennuhr").ok);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), page);
        const QString missing = dir.filePath("fehlt/Rennuhr-Wertung.html");
        const FileWriteResult failed = WriteStandingsPage(missing, standings, "Rennuhr");
        QVERIFY(!failed.ok);
        QVERIFY(failed.message.startsWith("Der Schreibfehler der Datei: " + missing));
    }

    void oneTablePerClass() {
        const TRuns runs = {Run("1", 1, 11000, "11,000", "B"), Run("2", 1, 12000, "12,000", "A"),
                            Run("3", 2, 13000, "13,000", "B"), Run("4", 2, 14000, "14,000")};
        const QByteArray page = StandingsPage(BuildStandings(runs, true, true, {"A", "B"}), "R");
        QCOMPARE(page.count("<table "), 3);
        QCOMPARE(page.count("</table>"), 3);
        QCOMPARE(page.count("<th width=10%>Klasse\r\n"), 3);
        const qsizetype a = page.indexOf("<H3>Klasse A</H3>");
        const qsizetype b = page.indexOf("<H3>Klasse B</H3>");
        const qsizetype none = page.indexOf("<H3>ohne Klasse</H3>");
        QVERIFY(a > 0 && a < b && b < none);
        // Each racer in the table of its class.
        QVERIFY(page.indexOf("<td>Name 3") > b && page.indexOf("<td>Name 3") < none);
        QVERIFY(page.indexOf("<td>Name 4") > none);
        QVERIFY(page.contains("<P>Es z\xE4hlt der beste g\xFCltige Lauf.</P>"));
        QVERIFY(!page.contains("Plausibilit"));

        // No runs in any class: the columns alone, no heading.
        const QByteArray empty = StandingsPage(BuildStandings({}, true, false, {"A"}), "R");
        QCOMPARE(empty.count("<table "), 1);
        QVERIFY(!empty.contains("<H3>"));
        QVERIFY(empty.contains("</tr></thead>\r\n</table>\r\n"));
    }

    void textsAreEscaped() {
        TRun run = Run("5", 1, 10000, "10,000", QString::fromUtf8("<Jugend & Co> \"A\""));
        run.name = QString::fromUtf8("Łukasz 😀");
        run.firstName = "Zeile\r\nzwei";
        run.warnings = QStringList{"<script>"};
        const QByteArray page = StandingsPage(BuildStandings({run}, true, false, {}), "R&D");
        QVERIFY(page.contains("<H3>Klasse &lt;Jugend &amp; Co&gt; &quot;A&quot;</H3>"));
        QVERIFY(page.contains("<td>&#321;ukasz &#128512;<td>Zeile  zwei<td>"));
        QVERIFY(page.contains("title=\"&lt;script&gt;\""));
        QVERIFY(page.contains("<TITLE>Wertung R&amp;D</TITLE>"));
        QVERIFY(!page.contains("<script>") && !page.contains("<Jugend"));
        for (char byte : page)
            QVERIFY(uchar(byte) < 0x80 || uchar(byte) >= 0xA0);
    }
};
RENNUHR_TEST(StandingsPageTest);

#include "tst_standingspage.moc"
