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
};
RENNUHR_TEST(TextCodecTest);

#include "tst_textcodec.moc"
