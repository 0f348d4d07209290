#include "TestMain.h"
#include "Track.h"
#include "live/LiveClient.h"

#include "base/Program.h"
#include "live/LiveAddress.h"
#include "live/LiveResults.h"
#include "live/LiveServer.h"
#include "settings/CfgDialog.h"
#include "settings/SettingsStore.h"
#include "ui/LaneTimer.h"
#include "ui/Monitor2.h"
#include "ui/RaceArea.h"
#include "ui/SortGrid.h"
#include "ui/TopBar.h"
#include "widgets/Digit.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpServer>

namespace {

// The window's results page on an ephemeral port; its port once it listens, else 0.
quint16 GoLive(TFormMain& w, int port = 0) {
    w.race.settings.LiveResults = true;
    w.race.settings.LivePort = port;
    w.Live->Apply();
    if (!QTest::qWaitFor([&] { return w.Live->Server()->IsListening(); }, 5000)) return 0;
    return w.Live->Server()->Port();
}

} // namespace

class LiveWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FreshStart(); }

    void offUnlessSwitchedOn() {
        Track t(false);
        QVERIFY(!t.w.race.settings.LiveResults);
        QVERIFY(!t.w.Live->Server() && !t.w.Live->Feed());
        QVERIFY(t.w.FMonitor2->LabLiveAddress->isHidden());
        t.w.CfgDialog->Fill();
        QVERIFY(!t.w.CfgDialog->cbLive->isChecked());
        QCOMPARE(t.w.CfgDialog->seLivePort->value(), 8080);
        QVERIFY(t.w.CfgDialog->LabLiveAddress->isHidden());
    }

    // Switched on and closed: the next start serves the page again, on the stored port.
    void storedOnServesFromTheStart() {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        {
            QSettings store(QString::fromLatin1(kSettingsOrganization), ProgramTitle());
            store.setValue("LiveResults", 1);
            store.setValue("LivePort", port);
        }
        Track t(false);
        QVERIFY(t.w.Live->Server());
        QTRY_VERIFY(t.w.Live->Server()->IsListening());
        QCOMPARE(t.w.Live->Server()->Port(), port);
        QCOMPARE(Fetch(port, "/").status, 200);
    }

    void aHeatFromStartToTheWinner() {
        Track t(false);
        t.w.PanelLeft->eTitle->setText("Sommer <Cup>");
        TProtocolModel& protocol = *t.w.SortGrid1->Protocol();
        protocol.SetRows({TProtocolModel::DefaultHeaderTexts(),
                          {"1", "<i>Max</i>", "Mia", "", "", "", "", "", "", "", ""},
                          {"2", "Bauer", "Jo", "", "", "", "", "", "", "", ""}});
        const quint16 port = GoLive(t.w);
        QVERIFY(port != 0);
        EventStream page(port);
        QTRY_COMPARE(page.Last()["title"].toString(), QString("Sommer <Cup>"));
        QCOMPARE(page.Last()["lanes"][0]["name"].toString(), QString("<i>Max</i> Mia"));
        QVERIFY(!page.received.contains("<i>"));
        QVERIFY(t.w.FMonitor2->LabLiveAddress->text().contains(LiveAddress(port)));

        QTest::keyClick(&t.w, Qt::Key_F10);
        t.w.PanelLeft->bImit1->click();
        QVERIFY(t.w.race.heat.Lane(1).running);
        // While it runs the page follows the clock by itself. The start and the protocol's
        // change publish once each; the other steps need the running updates.
        for (const int ms : {1500, 1750, 2000, 2250}) {
            t.At(ms);
            QTRY_COMPARE(page.Last()["lanes"][0]["clock"].toString(), ClockText(ms));
            QVERIFY(page.Last()["lanes"][0]["running"].toBool());
        }

        for (qint64 ms : {300, 4000, 7750, 8000}) {
            t.At(ms);
            t.w.PanelLeft->bImit2->click();
        }
        QTRY_VERIFY(page.Last()["lanes"][0]["stopped"].toBool());
        const QJsonObject lane1 = page.Last()["lanes"][0].toObject();
        QVERIFY(lane1["winner"].toBool());
        QVERIFY(!lane1["running"].toBool());
        QCOMPARE(lane1["clock"].toString(), QString("8,000"));
        QCOMPARE(lane1["line"].toString(),
                 QString("Reaktion 0,300 s   Zwischen 4,000 s   144,0 km/h"));
        QVERIFY(page.Last()["lanes"][1]["running"].toBool());

        t.At(9000);
        QTest::keyClick(&t.w, Qt::Key_F6, Qt::ControlModifier); // lane 2's false start
        QTRY_VERIFY(page.Last()["lanes"][1]["stopped"].toBool());
        const QJsonObject lane2 = page.Last()["lanes"][1].toObject();
        QVERIFY(lane2["falseStart"].toBool() && !lane2["winner"].toBool());
        const QJsonArray heats = page.Last()["heats"].toArray();
        QCOMPARE(heats.size(), 1);
        QCOMPARE(heats[0]["lanes"][0]["start"].toInt(), 1);
        QVERIFY(heats[0]["lanes"][0]["winner"].toBool());
        QVERIFY(heats[0]["lanes"][1]["falseStart"].toBool());

        // The reset brings the next riders; the heat stays below.
        QTest::keyClick(&t.w, Qt::Key_F7);
        QTRY_COMPARE(page.Last()["lanes"][0]["start"].toInt(), 3);
        QVERIFY(!page.Last()["lanes"][0]["stopped"].toBool());
        QCOMPARE(page.Last()["heats"].toArray().size(), 1);

        // The protocol tab has the heat's row, with the columns the table shows.
        QTRY_VERIFY(Fetch(port, "/api/protocol").body.contains("8,000"));
        const QJsonObject table =
            QJsonDocument::fromJson(Fetch(port, "/api/protocol").body).object();
        QCOMPARE(table["version"].toInt(), page.Last()["protocol"].toInt());
        QCOMPARE(table["groups"][0]["rows"][0][1].toString(), QString("<i>Max</i>"));
    }

    void lastTenHeatsOnly() {
        Track t(false);
        t.OneBarrier();
        const quint16 port = GoLive(t.w);
        QVERIFY(port != 0);
        QTest::keyClick(&t.w, Qt::Key_F10);
        for (int heat = 0; heat < 12; ++heat) {
            t.now->store(t.now->load() + 60000 * kMs);
            QTest::keyClick(&t.w, Qt::Key_F5);
            t.At(5000 + heat);
            QTest::keyClick(&t.w, Qt::Key_F9);
            t.At(6000);
            QTest::keyClick(&t.w, Qt::Key_F8);
            QTest::keyClick(&t.w, Qt::Key_F7);
        }
        EventStream page(port);
        QTRY_COMPARE(page.Last()["heats"].toArray().size(), 10);
        const QJsonArray heats = page.Last()["heats"].toArray();
        QCOMPARE(heats[0]["lanes"][1]["clock"].toString(), QString("5,011")); // the latest first
        QVERIFY(heats[0]["lanes"][1]["winner"].toBool());
        QCOMPARE(heats[9]["lanes"][1]["clock"].toString(), QString("5,002"));
    }

    void settingsDialogShowsTheAddressAndSwitches() {
        Track t(false);
        TCfgDialog& dialog = *t.w.CfgDialog;
        dialog.Fill();
        const int heightOff = dialog.height();
        dialog.cbLive->setChecked(true);
        dialog.seLivePort->setValue(8090);
        QVERIFY(!dialog.LabLiveAddress->isHidden());
        QVERIFY(dialog.LabLiveAddress->text().contains(LiveAddress(8090)));
        QVERIFY(!dialog.ImageLiveQr->pixmap().isNull());
        QVERIFY(dialog.OKBtn->y() > dialog.ImageLiveQr->geometry().bottom());
        QVERIFY(dialog.height() > dialog.OKBtn->geometry().bottom());
        QVERIFY(dialog.height() > heightOff);

        // A taken port: said in German in the window's bar and in the dialog; the race goes on.
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::Any));
        dialog.seLivePort->setValue(holder.serverPort());
        QTimer::singleShot(0, &dialog, [&] { dialog.OKBtn->click(); });
        dialog.exec();
        QCOMPARE(t.w.race.settings.LivePort, int(holder.serverPort()));
        QTRY_VERIFY(t.w.Panel1->LabPortNotice->isVisible());
        QVERIFY(t.w.Panel1->LabPortNotice->text().contains("belegt"));
        QVERIFY(t.w.FMonitor2->LabLiveAddress->isHidden());
        dialog.Fill();
        QVERIFY(dialog.LabLiveAddress->text().contains("belegt"));
        QVERIFY(dialog.ImageLiveQr->isHidden());
        t.w.Sequence->mStart->trigger();
        QVERIFY(t.w.race.heat.Lane(1).running);
        t.w.Sequence->mStop1->trigger();
        QVERIFY(!t.w.race.heat.Lane(1).running);

        // Switched off: the server closes, the notice goes.
        dialog.cbLive->setChecked(false);
        QTimer::singleShot(0, &dialog, [&] { dialog.OKBtn->click(); });
        dialog.exec();
        QVERIFY(!t.w.race.settings.LiveResults);
        QVERIFY(!t.w.Live->Feed());
        QVERIFY(t.w.Panel1->LabPortNotice->isHidden());
    }

    // The code never covers a clock, its ring or a result line, on a TV or a 4:3 monitor.
    void tvShowsTheAddressBesideTheClocks() {
        Race race;
        TFrame1 lane1(race, 1), lane2(race, 2);
        TFormMonitor2 tv(race, &lane1, &lane2);
        tv.ShowLiveAddress("http://192.168.178.20:8080/");
        for (const QRect& screen : {QRect(0, 0, 1920, 1080), QRect(0, 0, 1024, 768)}) {
            tv.FitTo(screen);
            QVERIFY(!tv.LabLiveAddress->isHidden());
            QCOMPARE(tv.LabLiveAddress->text().trimmed(), QString("http://192.168.178.20:8080/"));
            const QRect code = tv.ImageLiveQr->geometry();
            QVERIFY(!tv.ImageLiveQr->isHidden());
            QVERIFY(tv.PanelTimer->rect().contains(code));
            for (const auto& extras : tv.Extras)
                for (const QWidget* part : {extras.winFrame, extras.resultBar})
                    QVERIFY(!part->geometry().intersects(code));
            for (const TDigit* digit : {tv.Digit9, tv.Digit9a})
                QVERIFY(!digit->geometry().intersects(code));
        }
        QVERIFY(tv.ImageLiveQr->width() >= 33); // one pixel a module at least
        tv.FitTo(QRect(0, 0, 1920, 1080));
        QVERIFY(tv.ImageLiveQr->width() >= 200);
        tv.ShowLiveAddress({});
        QVERIFY(tv.LabLiveAddress->isHidden() && tv.ImageLiveQr->isHidden());
    }

    void switchingOffClosesOpenPages() {
        Track t(false);
        const quint16 port = GoLive(t.w);
        QVERIFY(port != 0);
        EventStream page(port);
        QTRY_VERIFY(page.received.contains("event: state"));
        QVERIFY(!t.w.FMonitor2->LabLiveAddress->isHidden());
        t.w.race.settings.LiveResults = false;
        t.w.Live->Apply();
        QTRY_COMPARE(page.socket.state(), QAbstractSocket::UnconnectedState);
        QVERIFY(t.w.FMonitor2->LabLiveAddress->isHidden());
        QCOMPARE(Fetch(port, "/").status, 0);
    }
};
RENNUHR_TEST(LiveWindowTest);

#include "tst_livewindow.moc"
