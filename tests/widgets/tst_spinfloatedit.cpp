#include "TestMain.h"

#include "widgets/SpinFloatEdit.h"

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

// A dialog with the lock-out field (0 … 600 s, step 0.1, one decimal) and an OK button.
struct Form {
    QDialog dialog;
    TSpinFloatEdit* edit = new TSpinFloatEdit(&dialog);
    QPushButton* ok = new QPushButton("OK", &dialog);
    QString readOnOk;

    Form() {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(ok);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, [this] {
            readOnOk = edit->text();
            dialog.accept();
        });
        edit->SetDecimals(1);
        edit->SetMaxValue(600);
        edit->SetIncrement(0.1);
        edit->SetValue(0.2);
    }
    bool Open() {
        dialog.show();
        if (!QTest::qWaitForWindowActive(&dialog)) return false;
        edit->setFocus();
        return edit->hasFocus();
    }
    void Type(const QString& text) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
};

} // namespace

class SpinFloatEditTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheValueInTheRange_data() {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("track length") << 3 << 0.1 << 999.0 << 0.402 << "0,402";
        QTest::newRow("no thousands separator") << 1 << 0.1 << 10000.0 << 10000.0 << "10000,0";
        QTest::newRow("above the range") << 1 << 0.0 << 600.0 << 700.0 << "600,0";
        QTest::newRow("below the range") << 3 << 0.1 << 999.0 << 0.0 << "0,100";
        QTest::newRow("infinity") << 1 << 0.0 << 600.0 << std::numeric_limits<double>::infinity()
                                  << "600,0";
        QTest::newRow("NaN is no value") << 1 << 0.0 << 600.0 << std::nan("") << "0,0";
        QTest::newRow("no negative zero") << 1 << -1.0 << 1.0 << -0.04 << "0,0";
    }
    void showsTheValueInTheRange() {
        QFETCH(int, decimals);
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(double, value);
        QFETCH(QString, text);
        TSpinFloatEdit edit;
        edit.SetDecimals(decimals);
        edit.SetMaxValue(max);
        edit.SetMinValue(min);
        edit.SetValue(value);
        QCOMPARE(edit.text(), text);
        QCOMPARE(edit.Value(), QLocale().toDouble(text));
    }

    void leavingTheField_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("keepsFocus");
        QTest::newRow("a number, blanks around") << " 7,25 "
                                                 << "7,3" << false;
        QTest::newRow("above the range") << "700"
                                         << "600,0" << false;
        QTest::newRow("below the range") << "-4"
                                         << "0,0" << false;
        QTest::newRow("letters") << "abc"
                                 << "0,2" << true;
        QTest::newRow("nothing") << ""
                                 << "0,2" << true;
        QTest::newRow("a dot is no decimal separator here") << "1.5"
                                                            << "0,2" << true;
        QTest::newRow("no group separator") << "1.000"
                                            << "0,2" << true;
        QTest::newRow("infinite") << "inf"
                                  << "0,2" << true;
    }
    void leavingTheField() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, keepsFocus);
        Form form;
        QVERIFY(form.Open());
        form.Type(typed);
        QCOMPARE(form.edit->text(), typed); // typing itself is free
        QTest::keyClick(form.edit, Qt::Key_Tab);
        QCOMPARE(form.edit->text(), shown);
        QCOMPARE(form.edit->Value(), QLocale().toDouble(shown));
        if (keepsFocus) {
            QTRY_VERIFY(form.edit->hasFocus());
            QTRY_COMPARE(
                QToolTip::text(),
                QString("Keine gültige Zahl. Bitte einen Wert von 0,0 bis 600,0 eingeben."));
        } else {
            QTest::qWait(1);
            QVERIFY(form.ok->hasFocus());
        }
    }

    void restoresTheLastAcceptedValue() {
        Form form;
        QVERIFY(form.Open());
        form.Type("12,5");
        QTest::keyClick(form.edit, Qt::Key_Tab);
        QTest::mouseClick(form.edit, Qt::LeftButton);
        QVERIFY(form.edit->hasFocus());
        form.Type("x");
        QCOMPARE(form.edit->Value(), 12.5); // mid-typing it reads the last accepted value
        QTest::keyClick(form.edit, Qt::Key_Tab);
        QCOMPARE(form.edit->text(), QString("12,5"));
        QTRY_VERIFY(form.edit->hasFocus());
    }

    void arrowKeysStepWithinTheRange() {
        Form form;
        QVERIFY(form.Open());
        QTest::keyClick(form.edit, Qt::Key_Up);
        QCOMPARE(form.edit->text(), QString("0,3"));
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(form.edit, Qt::Key_Down);
        QCOMPARE(form.edit->text(), QString("0,0"));
        QTest::keyClick(form.edit, Qt::Key_PageUp);
        QCOMPARE(form.edit->text(), QString("1,0"));
        form.Type("599,95"); // steps go from what is typed
        QTest::keyClick(form.edit, Qt::Key_Up);
        QTest::keyClick(form.edit, Qt::Key_Up);
        QCOMPARE(form.edit->text(), QString("600,0"));
        form.Type("abc");
        QTest::keyClick(form.edit, Qt::Key_Down);
        QCOMPARE(form.edit->text(), QString("599,9"));
    }

    void enterCommitsBeforeTheDialogReadsTheField() {
        Form form;
        QVERIFY(form.Open());
        form.Type("abc"); // no number: the dialog stays open on the restored value
        QTest::keyClick(form.edit, Qt::Key_Return);
        QVERIFY(form.dialog.isVisible());
        QCOMPARE(form.edit->text(), QString("0,2"));
        form.Type("5000"); // pulled to the bound before OK reads it
        QTest::keyClick(form.edit, Qt::Key_Return);
        QCOMPARE(form.readOnOk, QString("600,0"));
        QCOMPARE(form.dialog.result(), int(QDialog::Accepted));
    }

    void maximumChangesPullTheValueIn() {
        TSpinFloatEdit edit;
        int changes = 0;
        QObject::connect(&edit, &TSpinFloatEdit::OnChange, [&] { ++changes; });
        edit.SetDecimals(1);
        edit.SetMaxValue(10000);
        edit.SetValue(392);
        edit.SetMaxValue(300);
        QCOMPARE(edit.text(), QString("300,0"));
        edit.SetMaxValue(500);
        QCOMPARE(edit.text(), QString("300,0"));
        QCOMPARE(changes, 3); // "0,0", "392,0", "300,0"
    }
};

RENNUHR_TEST(SpinFloatEditTest);
#include "tst_spinfloatedit.moc"
