#include "LivePage.h"

#include "LiveLadderPage.h"

namespace {

// Black on white and bold: what stays readable in the sun.
const char kHead[] = R"(<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="color-scheme" content="light">
<title>@TITLE@ – Live-Ergebnisse</title>
<style>
* { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; }
body { margin: 0; background: #fff; color: #000; font: 700 20px/1.25 "Liberation Sans", Arial, Helvetica, sans-serif; }
header { background: #000; color: #fff; padding: 10px 14px 8px; position: sticky; top: 0; z-index: 1; }
h1 { margin: 0; font-size: 28px; line-height: 1.15; overflow-wrap: anywhere; }
#status { font-size: 16px; margin-top: 4px; color: #7CFF7C; }
#status.lost { color: #FFD000; }
nav { display: flex; flex-wrap: wrap; border-bottom: 3px solid #000; }
nav button { flex: 1 0 auto; font: inherit; font-size: 19px; padding: 12px 6px; border: 0; background: #ddd; color: #000; }
nav button[aria-selected="true"] { background: #fff; text-decoration: underline; text-underline-offset: 6px; }
main { padding: 10px; }
.lane { border: 4px solid #000; border-radius: 10px; padding: 8px 12px; margin-bottom: 10px; }
.lane.winner { border-color: #008A00; background: #E6FFE6; }
.lane.false-start { border-color: #C00000; background: #FFE8E8; }
.lanehead { display: flex; justify-content: space-between; align-items: baseline; font-size: 22px; }
.bahn { font-size: 18px; }
.name { font-size: 24px; min-height: 30px; overflow-wrap: anywhere; }
.clock { font-size: 68px; line-height: 1.05; font-variant-numeric: tabular-nums; letter-spacing: 1px; }
.result { display: flex; flex-wrap: wrap; gap: 4px 10px; align-items: center; min-height: 34px; font-size: 20px; }
.line { white-space: pre-wrap; }
.badge { display: none; padding: 2px 10px; border-radius: 6px; color: #fff; font-size: 24px; }
.winner .badge.win { display: inline-block; background: #008A00; }
.false-start .badge.fs { display: inline-block; background: #C00000; }
.ready { font-size: 18px; color: #333; }
h2 { font-size: 24px; margin: 18px 0 8px; }
ol#heats { list-style: none; margin: 0; padding: 0; }
ol#heats li { border-top: 2px solid #000; padding: 6px 0; }
.heat-at { font-size: 16px; color: #333; }
.heat-lane { display: flex; gap: 8px; align-items: baseline; }
.heat-lane .who { flex: 1; overflow-wrap: anywhere; }
.heat-lane .t { font-variant-numeric: tabular-nums; }
.heat-lane .mark { min-width: 4.2em; text-align: right; font-size: 16px; }
.heat-lane.won .mark { color: #008A00; }
.heat-lane.fs .mark { color: #C00000; }
.empty { color: #444; font-weight: 400; }
.table-wrap { overflow-x: auto; margin-bottom: 14px; }
table { border-collapse: collapse; width: 100%; font-size: 18px; }
caption { text-align: left; font-size: 22px; padding: 6px 0; }
tr.out td { color: #777; font-style: italic; }
.note { color: #555; margin: 8px 0; }
th, td { border: 2px solid #000; padding: 4px 5px; white-space: nowrap; text-align: left; }
th { background: #000; color: #fff; }
#callup { border: 3px solid #000; border-radius: 10px; padding: 6px 10px; margin-bottom: 10px; background: #FFF6C8; }
#callup .head { font-size: 16px; }
#callup .pair { display: flex; gap: 8px; align-items: baseline; border-top: 1px solid #999; padding: 3px 0; }
#callup .pair:first-of-type { border-top: 0; }
#callup .nrs { min-width: 5.5em; font-variant-numeric: tabular-nums; }
#callup .who { flex: 1; font-weight: 400; font-size: 17px; overflow-wrap: anywhere; }
#racers-list a { display: block; padding: 8px 4px; border-top: 1px solid #999; color: #000; text-decoration: none; }
#racers-list a .nr { display: inline-block; min-width: 3em; }
.racer-name { font-size: 26px; overflow-wrap: anywhere; }
.racer-facts { font-size: 19px; margin: 6px 0 10px; }
ol#racer-runs { list-style: none; margin: 0; padding: 0; }
ol#racer-runs li { border-top: 2px solid #000; padding: 6px 0; }
.run-times { font-size: 17px; font-weight: 400; }
.run-result { display: flex; justify-content: space-between; font-size: 22px; }
ol#racer-runs li.won .outcome { color: #008A00; }
.racer-next { border: 3px solid #000; border-radius: 10px; padding: 8px 10px; margin: 10px 0; background: #E6F0FF; font-size: 22px; }
tr:nth-child(even) td { background: #EEE; }
@LADDER_STYLE@
</style>
</head>
<body>
<header><h1 id="title">@TITLE@</h1><div id="status" class="lost">Verbinde …</div></header>
<nav>
<button id="tab-live" type="button" aria-selected="true">Live</button>
<button id="tab-protocol" type="button" aria-selected="false">Protokoll</button>
<button id="tab-standings" type="button" aria-selected="false">Wertung</button>
<button id="tab-racers" type="button" aria-selected="false">Fahrer</button>
<button id="tab-ladder" type="button" aria-selected="false" hidden>Leiter</button>
</nav>
<main>
<section id="live">
<div id="callup" hidden><div class="head">Vorstart</div><div id="callup-list"></div></div>
<div class="lane" id="lane1"><div class="lanehead"><span class="bahn">Bahn 1</span><span>Start-Nr. <span class="nr">–</span></span></div><div class="name"></div><div class="clock">0,000</div><div class="result"><span class="badge win">SIEG</span><span class="badge fs">FEHLSTART</span><span class="line"></span></div><div class="ready">Bereit: <span class="next">–</span></div></div>
<div class="lane" id="lane2"><div class="lanehead"><span class="bahn">Bahn 2</span><span>Start-Nr. <span class="nr">–</span></span></div><div class="name"></div><div class="clock">0,000</div><div class="result"><span class="badge win">SIEG</span><span class="badge fs">FEHLSTART</span><span class="line"></span></div><div class="ready">Bereit: <span class="next">–</span></div></div>
<h2>Letzte Läufe</h2>
<ol id="heats"><li class="empty">Noch kein Lauf.</li></ol>
</section>
<section id="protocol" hidden><div id="protocol-body"><p class="empty">Lade Protokoll …</p></div></section>
<section id="standings" hidden><div id="standings-body"><p class="empty">Lade Wertung …</p></div></section>
<section id="racers" hidden><div id="racers-body"><p class="empty">Lade Fahrer …</p></div></section>
<section id="ladder" hidden><div id="ladder-body"><p class="empty">Lade Leiter …</p></div></section>
</main>
<script src="/app.js"></script>
</body>
</html>
)";

// Every text goes in as textContent: nothing from the protocol is ever read as markup.
const char kScript[] = R"JS("use strict";
(function () {
  var state = null, receivedAt = 0, lastHeard = 0, source = null, retryTimer = 0;
  var RUN_AHEAD_MS = 300; // a running clock goes on by itself between two messages, this far

  function $(id) { return document.getElementById(id); }
  function put(el, value) { if (el.textContent !== value) el.textContent = value; }
  function el(tag, cls, value) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (value !== undefined) e.textContent = value;
    return e;
  }
  function clockText(ms) {
    var s = Math.floor(ms / 1000), m = String(ms % 1000);
    while (m.length < 3) m = "0" + m;
    return s + "," + m;
  }
  function setStatus(ok) {
    var s = $("status");
    s.className = ok ? "" : "lost";
    put(s, ok ? "● Live" : "Verbindung unterbrochen – verbinde neu …");
  }

  function renderLane(box, lane) {
    put(box.querySelector(".nr"), String(lane.start));
    put(box.querySelector(".next"), String(lane.ready));
    put(box.querySelector(".name"), lane.name);
    box.classList.toggle("running", lane.running);
    box.classList.toggle("winner", lane.stopped && lane.winner);
    box.classList.toggle("false-start", lane.stopped && lane.falseStart);
    put(box.querySelector(".line"), lane.stopped && !lane.falseStart ? lane.line : "");
    if (!lane.running) put(box.querySelector(".clock"), lane.clock);
  }

  function heatLane(lane) {
    // A lane declared void keeps its place in the list, without its time.
    var won = lane.winner && !lane.void;
    var row = el("div", "heat-lane" + (won ? " won" : "") + (lane.falseStart ? " fs" : ""));
    row.appendChild(el("span", "who", lane.start + (lane.name ? " " + lane.name : "")));
    row.appendChild(el("span", "t", lane.void ? "ungültig" : lane.stopped ? lane.clock : "–"));
    row.appendChild(el("span", "mark", lane.void ? "" : lane.falseStart ? "FEHLSTART" : won ? "SIEG" : ""));
    return row;
  }

  function renderHeats(heats) {
    var list = $("heats");
    var items = [];
    heats.forEach(function (heat) {
      var li = el("li");
      li.appendChild(el("div", "heat-at", heat.at));
      heat.lanes.forEach(function (lane) { li.appendChild(heatLane(lane)); });
      items.push(li);
    });
    if (!items.length) items.push(el("li", "empty", "Noch kein Lauf."));
    list.replaceChildren.apply(list, items);
  }

  function apply(next) {
    if (!next || !next.lanes) return;
    var heatsChanged = !state || JSON.stringify(state.heats) !== JSON.stringify(next.heats);
    state = next;
    receivedAt = performance.now();
    if (next.title !== undefined) {
      put($("title"), next.title);
      document.title = next.title + " – Live-Ergebnisse";
    }
    renderLane($("lane1"), next.lanes[0]);
    renderLane($("lane2"), next.lanes[1]);
    renderCallUp(next.callup || []);
    // The "Leiter" tab is there while the day has a ladder.
    $("tab-ladder").hidden = !next.ladders;
    if (!next.ladders && !$("ladder").hidden) showTab("live");
    if (heatsChanged) renderHeats(next.heats);
    Object.keys(docs).forEach(function (name) {
      if (!$(name).hidden && next[name] !== docs[name].shown) load(name);
    });
  }

  function tick() {
    if (state) {
      var ahead = Math.min(performance.now() - receivedAt, RUN_AHEAD_MS);
      [0, 1].forEach(function (i) {
        var lane = state.lanes[i];
        if (lane.running)
          put($("lane" + (i + 1)).querySelector(".clock"), clockText(Math.floor(lane.ms + ahead)));
      });
    }
    requestAnimationFrame(tick);
  }

  function renderProtocol(p) {
    var body = $("protocol-body");
    var parts = [];
    p.groups.forEach(function (group) {
      var wrap = el("div", "table-wrap");
      var table = el("table");
      if (p.classMode) table.appendChild(el("caption", "", "Klasse " + (group["class"] || "–")));
      var head = el("tr");
      p.columns.forEach(function (title) { head.appendChild(el("th", "", title)); });
      var thead = el("thead");
      thead.appendChild(head);
      table.appendChild(thead);
      var tbody = el("tbody");
      group.rows.forEach(function (cells) {
        var tr = el("tr");
        cells.forEach(function (cell) { tr.appendChild(el("td", "", cell)); });
        tbody.appendChild(tr);
      });
      table.appendChild(tbody);
      wrap.appendChild(table);
      parts.push(wrap);
    });
    if (!parts.length) parts.push(el("p", "empty", "Das Protokoll ist leer."));
    body.replaceChildren.apply(body, parts);
  }

  function renderStandings(w) {
    var body = $("standings-body");
    var parts = [el("p", "note", w.bestRun ? "Es zählt der beste gültige Lauf."
                                           : "Es zählt der letzte Lauf.")];
    w.groups.forEach(function (group) {
      var wrap = el("div", "table-wrap");
      var table = el("table");
      if (group.title) table.appendChild(el("caption", "", group.title));
      var head = el("tr");
      ["Platz", "St.Nr.", "Name", "Zeit", "Km/h"].forEach(function (t) { head.appendChild(el("th", "", t)); });
      var thead = el("thead");
      thead.appendChild(head);
      table.appendChild(thead);
      var tbody = el("tbody");
      group.entries.forEach(function (e) {
        var tr = el("tr", e.place ? "" : "out");
        tr.appendChild(el("td", "", e.place ? e.place + "." : ""));
        tr.appendChild(el("td", "", e.start));
        tr.appendChild(el("td", "", (e.name + " " + e.firstName).trim()));
        tr.appendChild(el("td", "", e.place ? e.time + (e.marked ? " !" : "") : e.reason));
        tr.appendChild(el("td", "", e.speed));
        tbody.appendChild(tr);
      });
      table.appendChild(tbody);
      wrap.appendChild(table);
      parts.push(wrap);
    });
    if (parts.length < 2) parts.push(el("p", "empty", "Noch keine Wertung."));
    var marked = w.groups.some(function (g) { return g.entries.some(function (e) { return e.marked; }); });
    if (marked) parts.push(el("p", "note", "! Plausibilitätswarnung: die Zeit bitte prüfen"));
    body.replaceChildren.apply(body, parts);
  }

  function renderCallUp(pairs) {
    var list = $("callup-list");
    var items = pairs.map(function (p) {
      var row = el("div", "pair");
      row.appendChild(el("span", "nrs", p.start[0] + " – " + p.start[1]));
      var who = [p.name[0] || p.start[0], p.name[1] || p.start[1]].join(" – ");
      row.appendChild(el("span", "who", (p.round ? p.round + ": " : "") + who));
      return row;
    });
    list.replaceChildren.apply(list, items);
    $("callup").hidden = !items.length;
  }

  // On a racer's own page, "/fahrer/12", the "Fahrer" tab shows that racer.
  var racerMatch = /^\/fahrer\/([0-9]{1,4})$/.exec(location.pathname);
  var racer = racerMatch ? racerMatch[1] : null;

  function nextRunText(index) {
    if (state) for (var i = 0; i < 2; ++i)
      if (String(state.lanes[i].start) === racer && state.lanes[i].running)
        return "Du fährst jetzt, Bahn " + (i + 1) + ".";
    for (var k = 0; k < index.order.length; ++k) {
      var lane = index.order[k].start.indexOf(racer);
      if (lane < 0) continue;
      var round = index.order[k].round ? " (" + index.order[k].round + ")" : "";
      return (k === 0 ? "Im nächsten Lauf" : "In " + (k + 1) + " Läufen") + ", Bahn " + (lane + 1) + round + ".";
    }
    return "Kein weiterer Lauf geplant.";
  }

  function renderRacer(index, r) {
    var body = $("racers-body");
    var parts = [el("div", "racer-name", racer + "  " + [r.name, r.firstName].join(" ").trim())];
    var facts = [];
    if (r.classInfo && !r.group) facts.push("Klasse " + r.classInfo);
    if (r.place) facts.push("Platz " + r.place + (r.group ? " in " + r.group : ""));
    if (r.best) facts.push("Bester Lauf: " + r.best.time + " s (Lauf " + r.best.heat + ")");
    parts.push(el("div", "racer-facts", facts.join(" · ") || "Noch keine Wertung."));
    if (r.ladder) parts.push(el("div", "racer-facts", r.ladder.round +
        (r.ladder.opponent ? ", nächster Gegner: " + r.ladder.opponent +
         (r.ladder.opponentName ? " " + r.ladder.opponentName : "") : "")));
    var next = el("div", "racer-next");
    next.appendChild(el("div", "", "Dein nächster Lauf"));
    next.appendChild(el("div", "", nextRunText(index)));
    parts.push(next);
    // A run a block, so that a phone needs no sideways scrolling.
    parts.push(el("h2", "", "Deine Läufe heute"));
    var runs = el("ol");
    runs.id = "racer-runs";
    r.runs.forEach(function (run) {
      var li = el("li", run.outcome === "Sieg" ? "won" : "");
      li.appendChild(el("div", "heat-at", "Lauf " + run.heat + " · " + run.at + " Uhr · Bahn " + run.lane));
      var times = [];
      if (run.rz) times.push("RZ " + run.rz);
      if (run.zz) times.push("ZZ " + run.zz);
      if (run.kmh) times.push(run.kmh + " km/h");
      if (times.length) li.appendChild(el("div", "run-times", times.join("   ")));
      var line = el("div", "run-result");
      line.appendChild(el("span", "t", run.time ? "Zeit " + run.time : ""));
      line.appendChild(el("span", "outcome", run.outcome));
      li.appendChild(line);
      if (run.opponent)
        li.appendChild(el("div", "run-times", "Gegner " + run.opponent +
                          (run.opponentTime ? ": " + run.opponentTime : "")));
      runs.appendChild(li);
    });
    parts.push(r.runs.length ? runs : el("p", "empty", "Noch kein Lauf heute."));
    var back = el("a", "", "Alle Fahrer");
    back.href = "/";
    parts.push(back);
    body.replaceChildren.apply(body, parts);
  }

  function renderRacers(index) {
    if (racer) {
      fetch("/fahrer/" + racer + ".json", { cache: "no-store" })
        .then(function (r) { if (!r.ok) throw new Error(r.status); return r.json(); })
        .then(function (r) { renderRacer(index, r); })
        .catch(function () {
          $("racers-body").replaceChildren(el("p", "empty", "Keinen Fahrer mit der Startnummer " + racer + " gefunden."));
        });
      return;
    }
    var body = $("racers-body");
    var list = el("div");
    list.id = "racers-list";
    index.racers.forEach(function (one) {
      var a = el("a");
      a.href = "/fahrer/" + one.start;
      a.appendChild(el("span", "nr", one.start));
      a.appendChild(document.createTextNode(one.name));
      list.appendChild(a);
    });
    body.replaceChildren(index.racers.length ? list : el("p", "empty", "Noch keine Fahrer."));
  }

/*@LADDER_SCRIPT@*/
  // The tabs beside "Live": each loads its document when shown and when its version moves on.
  var tabs = ["live", "protocol", "standings", "racers", "ladder"];
  var docs = {
    protocol: { url: "/api/protocol", shown: -1, loading: false, render: renderProtocol },
    standings: { url: "/api/standings", shown: -1, loading: false, render: renderStandings },
    racers: { url: "/fahrer/index.json", shown: -1, loading: false, render: renderRacers },
    ladder: { url: "/api/leiter", shown: -1, loading: false, render: renderLadder }
  };

  function load(name) {
    var doc = docs[name];
    if (doc.loading) return;
    doc.loading = true;
    fetch(doc.url, { cache: "no-store" })
      .then(function (r) { if (!r.ok) throw new Error(r.status); return r.json(); })
      .then(function (d) { doc.shown = d.version; doc.render(d); })
      .catch(function () {})
      .then(function () {
        doc.loading = false;
        if (state && state[name] !== doc.shown && !$(name).hidden)
          setTimeout(function () { load(name); }, 1000);
      });
  }

  function showTab(name) {
    tabs.forEach(function (tab) {
      $("tab-" + tab).setAttribute("aria-selected", String(tab === name));
      $(tab).hidden = tab !== name;
    });
    if (docs[name]) load(name);
  }

  function heard() { lastHeard = Date.now(); setStatus(true); }

  function connect() {
    clearTimeout(retryTimer);
    if (source) source.close();
    lastHeard = Date.now();
    source = new EventSource("/api/events");
    source.addEventListener("state", function (e) {
      heard();
      try { apply(JSON.parse(e.data)); } catch (err) {}
    });
    source.addEventListener("ping", heard);
    source.onerror = function () {
      setStatus(false);
      // The browser retries by itself unless the server refused: then we do, a little later.
      if (source.readyState === EventSource.CLOSED) retryTimer = setTimeout(connect, 2000);
    };
  }

  tabs.forEach(function (tab) {
    $("tab-" + tab).addEventListener("click", function () { showTab(tab); });
  });
  if (racer) showTab("racers");
  // The server speaks at least every 5 s; silence means the connection is gone.
  setInterval(function () { if (Date.now() - lastHeard > 12000) { setStatus(false); connect(); } }, 2000);
  connect();
  requestAnimationFrame(tick);
})();
)JS";

} // namespace

QByteArray LivePageHtml(const QString& title) {
    QByteArray page(kHead);
    page.replace("@TITLE@", title.toHtmlEscaped().toUtf8());
    page.replace("@LADDER_STYLE@", LadderTabStyle());
    return page;
}

QByteArray LivePageScript() {
    return QByteArray(kScript).replace("/*@LADDER_SCRIPT@*/", LadderTabScript());
}
