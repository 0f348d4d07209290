// Opens the live results page in headless Chromium on loopback, runs a heat through the
// imitation panel and checks that the page shows the winner within a second. With
// --screenshot FILE it also keeps what a phone of 390 x 844 shows, and FILE-protokoll.png and
// FILE-wertung.png, and FILE-fahrer.png: a racer's page with five runs, and FILE-leiter.png: the
// ladders' tab after a heat of the quarter-finals.

#include "RunSandbox.h"
#include "ladder/LadderCallUp.h"
#include "live/LiveResults.h"
#include "live/LiveServer.h"
#include "race/RaceSequence.h"
#include "serial/SimulatedSerialDevice.h"
#include "ui/LaneTimer.h"
#include "ui/MainWindow.h"
#include "ui/RaceArea.h"
#include "ui/ResultsViews.h"
#include "ui/SortGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

int passes = 0;
int failures = 0;

void Check(bool ok, const QString& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", qPrintable(what));
    std::fflush(stdout);
    ++(ok ? passes : failures);
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// A WebDriver session; every call waits with the event loop running, so the window and its
// clocks go on meanwhile.
class Driver {
public:
    explicit Driver(quint16 port) : base_(QStringLiteral("http://127.0.0.1:%1").arg(port)) {}

    QJsonValue Call(const QByteArray& method, const QString& path, const QJsonObject& body = {}) {
        QNetworkRequest request(QUrl(base_ + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        request.setTransferTimeout(60000);
        const QByteArray data = method == "GET" || method == "DELETE"
                                    ? QByteArray()
                                    : QJsonDocument(body).toJson(QJsonDocument::Compact);
        QNetworkReply* reply = manager_.sendCustomRequest(request, method, data);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
        reply->deleteLater();
        return answer.value("value");
    }
    bool Up() {
        QNetworkRequest request(QUrl(base_ + "/status"));
        QNetworkReply* reply = manager_.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const bool ready = QJsonDocument::fromJson(reply->readAll())["value"]["ready"].toBool();
        reply->deleteLater();
        return ready;
    }
    bool Open(const QString& profile) {
        const QJsonObject chrome{
            {"binary", "/usr/bin/chromium"},
            {"args",
             QJsonArray{"--headless=new", "--no-sandbox", "--disable-gpu",
                        "--disable-dev-shm-usage", "--no-first-run", "--user-data-dir=" + profile}},
            {"mobileEmulation", QJsonObject{{"deviceMetrics", QJsonObject{{"width", 390},
                                                                          {"height", 844},
                                                                          {"pixelRatio", 1.0},
                                                                          {"touch", true},
                                                                          {"mobile", true}}}}}};
        const QJsonValue session =
            Call("POST", "/session",
                 {{"capabilities",
                   QJsonObject{{"alwaysMatch", QJsonObject{{"goog:chromeOptions", chrome}}}}}});
        session_ = session["sessionId"].toString();
        return !session_.isEmpty();
    }
    void Close() {
        if (!session_.isEmpty()) Call("DELETE", "/session/" + session_);
    }
    void Go(const QString& url) { Call("POST", "/session/" + session_ + "/url", {{"url", url}}); }
    QJsonValue Run(const QString& script) {
        return Call("POST", "/session/" + session_ + "/execute/sync",
                    {{"script", script}, {"args", QJsonArray()}});
    }
    // Waits until the script returns true, at most timeoutMs; the time it took, or -1.
    qint64 Until(const QString& script, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (Run(script).toBool()) return clock.elapsed();
            QTest::qWait(10);
        }
        return -1;
    }
    bool Screenshot(const QString& file) {
        const QByteArray png = QByteArray::fromBase64(
            Call("GET", "/session/" + session_ + "/screenshot").toString().toLatin1());
        QFile out(file);
        return !png.isEmpty() && out.open(QIODevice::WriteOnly) && out.write(png) == png.size();
    }

private:
    QString base_;
    QString session_;
    QNetworkAccessManager manager_;
};

QString Text(const char* selector) {
    return QStringLiteral("var e = document.querySelector('%1'); return e ? e.textContent : null;")
        .arg(QLatin1String(selector));
}

// The winner's box is marked and its badge is what shows.
const char kLane1Won[] =
    "var b = document.querySelector('#lane1'); return b.classList.contains('winner') && "
    "getComputedStyle(b.querySelector('.badge.win')).display !== 'none';";

// FILE.png's sibling FILE-suffix.png.
QString Beside(QString screenshot, const char* suffix) {
    return screenshot.replace(QRegularExpression("\\.png$"), QString()) + QLatin1String(suffix);
}

} // namespace

int main(int argc, char* argv[]) {
    RunSandbox sandbox;
    QApplication app(argc, argv);
    sandbox.UseProgramFolder();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QStringList args = app.arguments();
    const qsizetype shotAt = args.indexOf("--screenshot");
    const QString screenshot = shotAt >= 0 ? args.value(shotAt + 1) : QString();

    auto cable = TSimulatedSerialPort::Create();
    TFormMain w(nullptr, cable->Factory());
    w.show();
    w.PanelLeft->eTitle->setText(QStringLiteral("Sommerrennen 2026 – Lauf <1>"));
    TProtocolModel& protocol = *w.SortGrid1->Protocol();
    QList<QStringList> rows = {TProtocolModel::DefaultHeaderTexts()};
    const char* const riders[4][3] = {{"1", "<b>Huber</b>", "Max"},
                                      {"2", "Özdemir", "Ayşe"},
                                      {"3", "Klein", "Tom"},
                                      {"4", "Brandt", "Lena"}};
    for (const auto& rider : riders) {
        QStringList row(11);
        for (int column = 0; column < 3; ++column)
            row[column] = QString::fromUtf8(rider[column]);
        row[3] = "Vespa";
        row[5] = rows.size() % 2 ? "50 ccm" : "125 ccm";
        rows << row;
    }
    protocol.SetRows(rows);
    // Two classes: the standings tab has a table for each.
    w.race.settings.Klass = true;
    w.SortGrid1->ApplyClassMode(true);

    const quint16 port = FreePort();
    w.race.settings.LiveResults = true;
    w.race.settings.LivePort = port;
    w.Live->Apply();
    Check(QTest::qWaitFor([&] { return w.Live->Server()->IsListening(); }, 5000),
          "Rennuhr serves the page");

    QTemporaryDir profile;
    const quint16 driverPort = FreePort();
    QProcess chromedriver;
    chromedriver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    chromedriver.start("chromedriver", {QStringLiteral("--port=%1").arg(driverPort)});
    Driver driver(driverPort);
    const bool up =
        chromedriver.waitForStarted(10000) && QTest::qWaitFor([&] { return driver.Up(); }, 20000);
    Check(up, "chromedriver is ready");
    if (!up || !driver.Open(profile.path())) {
        Check(false, "Chromium opened");
        return 1;
    }
    const QString page = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    driver.Go(page);
    Check(driver.Until("return document.querySelector('#status').textContent === '● Live';",
                       10000) >= 0,
          "the page connects");
    Check(driver.Run(Text("#lane1 .name")).toString() == "<b>Huber</b> Max" &&
              driver.Run("return document.querySelector('#lane1 .name b') === null;").toBool(),
          "a name with markup shows as text");
    Check(driver.Run(Text("#title")).toString() == w.PanelLeft->eTitle->text(), "the event title");

    // A heat through the imitation panel, on the real clock.
    w.est1->trigger();
    w.Sequence->LockLS1->trigger(); // arm the start input
    w.PanelLeft->bImit1->click();
    Check(w.race.heat.Lane(1).running, "the heat runs");
    QTest::qWait(700);
    const QString early = driver.Run(Text("#lane1 .clock")).toString();
    QTest::qWait(300);
    const QString later = driver.Run(Text("#lane1 .clock")).toString();
    Check(early != later && early != "0,000", "the running clock moves: " + early + " " + later);
    for (int barrier = 0; barrier < 4; ++barrier) {
        QTest::qWait(150);
        w.PanelLeft->bImit2->click();
    }
    const qint64 won = driver.Until(kLane1Won, 3000);
    std::printf("winner shown %lld ms after the stop barrier\n", won);
    Check(won >= 0 && won <= 1000, "the page shows the winner within 1 s");
    const QString line = driver.Run(Text("#lane1 .line")).toString();
    Check(line.startsWith("Reaktion "), "lane 1's result line: " + line);
    for (int barrier = 0; barrier < 4; ++barrier) {
        QTest::qWait(100);
        w.PanelLeft->bImit3->click();
    }
    Check(driver.Until("return document.querySelectorAll('#heats li .heat-lane').length === 2 && "
                       "document.querySelector('#lane2 .line').textContent !== '';",
                       3000) >= 0,
          "the finished heat is listed");
    if (!screenshot.isEmpty()) Check(driver.Screenshot(screenshot), "screenshot " + screenshot);

    driver.Run("document.querySelector('#tab-protocol').click(); return true;");
    Check(driver.Until("return document.querySelectorAll('#protocol tbody tr').length === 4;",
                       3000) >= 0,
          "the protocol tab");
    if (!screenshot.isEmpty()) {
        Check(driver.Screenshot(Beside(screenshot, "-protokoll.png")),
              "screenshot of the protocol");
    }
    driver.Run("document.querySelector('#tab-standings').click(); return true;");
    Check(driver.Until("var rows = document.querySelectorAll('#standings tbody tr');"
                       "return document.querySelectorAll('#standings table').length === 2 && "
                       "rows.length === 2 && rows[0].cells[0].textContent === '1.' && "
                       "rows[0].cells[2].textContent === '<b>Huber</b> Max';",
                       3000) >= 0,
          "the standings tab, a table per class");
    if (!screenshot.isEmpty()) {
        Check(driver.Screenshot(Beside(screenshot, "-wertung.png")), "screenshot of the standings");
    }
    driver.Run("document.querySelector('#tab-live').click(); return true;");
    // The call-up: the pairing in the lanes has run; the ready numbers are next.
    Check(driver.Until("var p = document.querySelectorAll('#callup .pair');"
                       "return !document.querySelector('#callup').hidden && p.length === 1 && "
                       "p[0].querySelector('.nrs').textContent === '3 – 4';",
                       3000) >= 0,
          "the call-up of the next pairing");

    // The racer's own page, where the list of racers links to.
    driver.Run("document.querySelector('#tab-racers').click(); return true;");
    Check(driver.Until("var a = document.querySelectorAll('#racers-list a');"
                       "return a.length === 4 && a[0].getAttribute('href') === '/fahrer/1';",
                       3000) >= 0,
          "the list of racers");
    if (!screenshot.isEmpty()) {
        // Four more runs of racer 1, so that its page shows five.
        for (int heat = 0; heat < 4; ++heat) {
            QTest::qWait(600); // the lanes' lock-outs after the last stop
            w.Sequence->mReset->trigger();
            w.race.heat.SetStartNumber(1, 1);
            w.Sequence->mStart->trigger();
            for (int barrier = 0; barrier < 4; ++barrier) {
                QTest::qWait(250 + 20 * heat);
                w.PanelLeft->bImit2->click();
            }
            w.Sequence->mStop2->trigger();
        }
    }
    driver.Go(page + "fahrer/1");
    Check(driver.Until(QStringLiteral(
                           "var runs = document.querySelectorAll('#racer-runs li');"
                           "return runs.length === %1 && "
                           "document.querySelector('.racer-name').textContent.indexOf('Huber') > 0 "
                           "&& runs[0].querySelector('.outcome').textContent === 'Sieg' && "
                           "document.querySelector('.racer-next').textContent.indexOf('Lauf') > 0;")
                           .arg(screenshot.isEmpty() ? 1 : 5),
                       5000) >= 0,
          "the racer's page: the runs, the result and the next run");
    if (!screenshot.isEmpty()) {
        Check(driver.Screenshot(Beside(screenshot, "-fahrer.png")), "screenshot of a racer's page");
    }
    driver.Go(page);
    Check(driver.Until("return document.querySelector('#status').className === '';", 10000) >= 0,
          "back to the results page");

    // The server goes away and comes back: the page follows by itself.
    w.race.settings.LiveResults = false;
    w.Live->Apply();
    Check(driver.Until("return document.querySelector('#status').className === 'lost';", 15000) >=
              0,
          "the page notices the lost connection");
    w.race.settings.LiveResults = true;
    w.Live->Apply();
    w.Sequence->mReset->trigger();
    Check(driver.Until(QStringLiteral("return document.querySelector('#status').className === '' "
                                      "&& document.querySelector('#lane1 .nr').textContent === "
                                      "'%1';")
                           .arg(w.race.heat.Lane(1).startNumber),
                       15000) >= 0,
          "the page comes back by itself with the next riders");

    // Two ladders: six of "50 ccm" from the protocol, with byes and a race for third place, and
    // four of "125 ccm" drawn. A heat of the quarter-finals, then the tab.
    for (int rider = 5; rider <= 10; ++rider) {
        QStringList row(11);
        row[0] = QString::number(rider);
        row[1] = QStringLiteral("Fahrer%1").arg(rider);
        row[2] = QStringLiteral("Vorname%1").arg(rider);
        row[5] = rider <= 8 ? "50 ccm" : "125 ccm";
        rows << row;
    }
    protocol.SetRows(rows);
    TLadderRunner& ladders = *w.Views->Ladders;
    Check(ladders.Create("50 ccm", TLadderSource::Protocol, true).isEmpty() &&
              ladders.Create("125 ccm", TLadderSource::Draw, false, 4711).isEmpty(),
          "two ladders made");
    QTest::qWait(600); // the lanes' lock-outs after the last stop
    w.Sequence->mReset->trigger();
    const TCallUpPairing first = LadderCallUp(ladders, 1).value(0);
    Check(QString::number(w.race.heat.Lane(1).startNumber) == first.number[0],
          "the lanes hold the first pairing " + first.number[0] + " – " + first.number[1]);
    w.Sequence->mStart->trigger();
    for (int barrier = 0; barrier < 4; ++barrier) {
        QTest::qWait(250);
        w.PanelLeft->bImit2->click();
    }
    w.Sequence->mStop2->trigger();
    QTest::qWait(600);
    w.Sequence->mReset->trigger();
    const TCallUpPairing next = LadderCallUp(ladders, 1).value(0);
    Check(driver.Until("return !document.querySelector('#tab-ladder').hidden;", 3000) >= 0,
          "the ladders' tab is there");
    driver.Run("document.querySelector('#tab-ladder').click(); return true;");
    Check(driver.Until(
              QStringLiteral("var top = document.querySelector('#ladder-body').firstElementChild;"
                             "var nrs = top ? top.querySelectorAll('.nr') : [];"
                             "return top.classList.contains('first') && nrs.length === 2 && "
                             "nrs[0].textContent === '%1' && nrs[1].textContent === '%2' && "
                             "top.textContent.indexOf('Viertelfinale') > 0;")
                  .arg(next.number[0], next.number[1]),
              5000) >= 0,
          "the next pairing on top: " + next.number[0] + " – " + next.number[1]);
    Check(driver.Until("var r = document.querySelectorAll('#ladder .bracket .round h3');"
                       "return r.length === 4 && r[0].textContent === 'Viertelfinale' && "
                       "r[3].textContent === 'Lauf um Platz 3' && "
                       "document.querySelectorAll('#ladder .slot.bye').length === 2 && "
                       "document.querySelectorAll('#ladder .chooser button').length === 2;",
                       3000) >= 0,
          "the bracket: rounds, byes and a chooser for the classes");
    Check(driver
              .Run("var times = Array.prototype.map.call("
                   "document.querySelectorAll('#ladder .slot.win .t'),"
                   "function (e) { return e.textContent; });"
                   "return times.some(function (t) { return /^[0-9]+,[0-9]{3}$/.test(t); }) && "
                   "document.querySelector('#ladder .match.next .tag').textContent === "
                   "'Als Nächstes';")
              .toBool(),
          "the heat's winner with the time, the next pairing marked in the bracket");
    Check(driver
              .Run("var names = Array.prototype.map.call("
                   "document.querySelectorAll('#ladder .slot .who'),"
                   "function (e) { return e.textContent; });"
                   "return names.indexOf('<b>Huber</b> Max') >= 0 && "
                   "document.querySelector('#ladder b') === null;")
              .toBool(),
          "a name with markup shows as text in the bracket");
    Check(driver
              .Run("var b = document.querySelector('#ladder .bracket');"
                   "return document.documentElement.scrollWidth <= 390 && "
                   "b.scrollWidth > b.clientWidth;")
              .toBool(),
          "only the rounds scroll sideways, not the page");
    if (!screenshot.isEmpty()) {
        Check(driver.Screenshot(Beside(screenshot, "-leiter.png")), "screenshot of the ladders");
    }
    // Marked as not started: the tab follows by itself, the opponent advances.
    const std::optional<TPairingRef> inLanes = ladders.InLanes();
    const TLadderPairing* pairing = inLanes ? ladders.Pairing(*inLanes) : nullptr;
    Check(pairing && ladders.SetNoShow(*inLanes, pairing->LaneSeed(2), true), "a no-show");
    Check(driver.Until(QStringLiteral("var s = document.querySelectorAll('#ladder .slot.noshow');"
                                      "return s.length === 1 && s[0].querySelector('.nr')"
                                      ".textContent === '%1' && s[0].textContent.indexOf("
                                      "'nicht angetreten') > 0;")
                           .arg(next.number[1]),
                       5000) >= 0,
          "the tab follows a change by itself");

    driver.Close();
    chromedriver.terminate();
    chromedriver.waitForFinished(5000);
    std::printf("%d passed, %d failed\n", passes, failures);
    return failures ? 1 : 0;
}
