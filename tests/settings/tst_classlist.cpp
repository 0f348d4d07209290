#include "TestMain.h"

#include "settings/ClassList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

bool WriteClassFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    QFile file(dir.filePath("Klasse.txt"));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class ClassListTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheLinesOfTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("classes");
        const QStringList abc = {"A 50", "B 80", "C offen"};
        QTest::newRow("CR LF") << QByteArray("A 50\r\nB 80\r\nC offen\r\n") << abc;
        QTest::newRow("LF") << QByteArray("A 50\nB 80\nC offen\n") << abc;
        QTest::newRow("CR") << QByteArray("A 50\rB 80\rC offen\r") << abc;
        QTest::newRow("mixed, none after the last line")
            << QByteArray("A 50\rB 80\nC offen") << abc;
        QTest::newRow("empty lines are empty classes")
            << QByteArray("A\r\n\r\nB\n\rC") << QStringList{"A", "", "B", "", "C"};
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("UTF-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBFGröße Ä\r\nÜber 50 €\r\n")
            << QStringList{"Größe Ä", "Über 50 €"};
        QTest::newRow("Windows-1252")
            << QByteArray("Gr\xF6\xDF\x65 \xC4\r\n\xDC\x62\x65r 50 \x80\r\n")
            << QStringList{"Größe Ä", "Über 50 €"};
    }
    void readsTheLinesOfTheFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, classes);
        QTemporaryDir dir;
        QVERIFY(WriteClassFile(dir, bytes));
        QCOMPARE(LoadClassList(dir.path()), std::optional<QStringList>(classes));
    }

    void keepsTheCurrentListWithoutAUsableFile() {
        QTemporaryDir dir;
        QCOMPARE(LoadClassList(dir.path()), std::nullopt);
        QVERIFY(QDir(dir.path()).mkdir("Klasse.txt"));
        QCOMPARE(LoadClassList(dir.path()), std::nullopt);
        QTemporaryDir pipe; // opening a pipe nobody writes to would hang the start
        QCOMPARE(::mkfifo(QFile::encodeName(pipe.filePath("Klasse.txt")).constData(), 0600), 0);
        QCOMPARE(LoadClassList(pipe.path()), std::nullopt);
        QTemporaryDir other;
        QVERIFY(WriteClassFile(other, QByteArray(2 * 1024 * 1024, 'x')));
        QCOMPARE(LoadClassList(other.path()), std::nullopt);
    }
};

RENNUHR_TEST(ClassListTest);
#include "tst_classlist.moc"
