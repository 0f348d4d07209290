#include "TestMain.h"

#include "export/TextCodec.h"

#include <QTest>

class TextCodecTest : public QObject {
    Q_OBJECT
private slots:
    void windows1252RoundTrip() {
        const QString text = QString::fromUtf8("Müller € Straße „Ä“ – ß");
        const auto bytes = ToWindows1252(text);
        QVERIFY(bytes.has_value());
        QCOMPARE(bytes->at(1), char(0xFC)); // ü
        QCOMPARE(bytes->at(7), char(0x80)); // €
        QCOMPARE(bytes->size(), text.size());
        QCOMPARE(FromWindows1252(*bytes), text);
    }

    void charactersOutsideTheCodePageAreRefused() {
        QVERIFY(!ToWindows1252(QString::fromUtf8("Łukasz")).has_value());
        QVERIFY(ToWindows1252(QString()).has_value());
    }

    // The five bytes the code page leaves open decode as Windows does, so they are written back
    // as the same bytes instead of turning the next save into UTF-8.
    void everyByteDecodesAndIsWrittenBackUnchanged() {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        const QString text = FromWindows1252(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(text[0x41], QChar('A'));
        QCOMPARE(text[0x80], QChar(0x20AC));
        QCOMPARE(text[0xE4], QChar(0xE4));
        for (const int open : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            QCOMPARE(text[open], QChar(open));
        QVERIFY(!text.contains(QChar(0xFFFD)));
        QCOMPARE(ToWindows1252(text), std::optional<QByteArray>(all));
    }

    void utf8Validation() {
        QVERIFY(IsValidUtf8(QString::fromUtf8("Łukasz ä").toUtf8()));
        QVERIFY(IsValidUtf8(QByteArray("plain")));
        QVERIFY(!IsValidUtf8(QByteArray("M\xFCller")));
    }

    void codePages_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("1252") << 1252 << QByteArray("M\xFCller \x80") << "Müller €";
        QTest::newRow("unknown is 1252") << 4711 << QByteArray("Gro\xDF") << "Groß";
        QTest::newRow("1250") << 1250 << QByteArray("\xB3\xF3\x64\x9F") << "łódź";
        QTest::newRow("437") << 437 << QByteArray("\x84\x94\x81\xE1") << "äöüß";
        QTest::newRow("850") << 850 << QByteArray("\x8E\x99\x9A") << "ÄÖÜ";
        QTest::newRow("Mac Roman") << 10000 << QByteArray("\x8A\x9A\x9F\xA7") << "äöüß";
        QTest::newRow("Mac Roman, Excel's number") << 32768 << QByteArray("\x80") << "Ä";
        QTest::newRow("1251") << 1251 << QByteArray("\xCC\xE8\xF0") << "Мир";
        // Shift-JIS: a double-byte character, and one cut off at the end.
        QTest::newRow("932") << 932 << QByteArray("\x93\xFA\x96") << "日\uFFFD";
        QTest::newRow("byte the page leaves open") << 1253
                                                   << QByteArray("a\xAA"
                                                                 "b")
                                                   << "a\uFFFDb";
        QTest::newRow("empty") << 1250 << QByteArray() << "";
    }

    void codePages() {
        QFETCH(int, codePage);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(FromCodePage(bytes, codePage), text);
    }
};
RENNUHR_TEST(TextCodecTest);

#include "tst_textcodec.moc"
