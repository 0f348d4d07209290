#include "LiveLadderPage.h"

namespace {

// A round is a column a little narrower than the phone, so that the next one peeks in and
// says that there is more to the side.
const char kStyle[] = R"(
.coming { border: 3px solid #000; border-radius: 10px; padding: 6px 10px; margin-bottom: 10px; }
.coming.first { background: #FFF6C8; }
.coming.now { background: #E6F0FF; }
.coming .head { font-size: 16px; }
.coming .lane-line { display: flex; gap: 8px; align-items: baseline; font-size: 22px; }
.coming .bahn { font-size: 15px; min-width: 3.6em; }
.coming .who { flex: 1; overflow-wrap: anywhere; }
.later { margin: 0 0 10px; font-size: 17px; }
.later div { border-top: 1px solid #999; padding: 3px 0; overflow-wrap: anywhere; }
.chooser { display: flex; flex-wrap: wrap; gap: 6px; margin: 4px 0 8px; }
.chooser button { font: inherit; font-size: 18px; padding: 8px 12px; border: 3px solid #000; border-radius: 8px; background: #fff; color: #000; }
.chooser button[aria-pressed="true"] { background: #000; color: #fff; }
.ladder-facts { font-size: 16px; font-weight: 400; margin: 0 0 6px; }
.bracket { display: flex; gap: 10px; overflow-x: auto; scroll-snap-type: x mandatory; padding-bottom: 8px; }
.round { flex: 0 0 82%; max-width: 330px; scroll-snap-align: start; }
.round h3 { font-size: 20px; margin: 4px 0 6px; }
.match { border: 3px solid #000; border-radius: 8px; margin-bottom: 8px; }
.match.next { border-color: #B07800; box-shadow: 0 0 0 3px #FFD000; }
.match.running { border-color: #0050C0; box-shadow: 0 0 0 3px #7FB0FF; }
.match .tag { font-size: 15px; padding: 2px 8px; background: #FFD000; }
.match.running .tag { background: #7FB0FF; }
.slot { padding: 4px 8px; }
.slot + .slot { border-top: 1px solid #999; }
.slot .top { display: flex; gap: 6px; align-items: baseline; }
.slot .nr { min-width: 2.2em; font-variant-numeric: tabular-nums; }
.slot .who { flex: 1; overflow-wrap: anywhere; }
.slot .t { font-variant-numeric: tabular-nums; }
.slot .more { font-size: 15px; font-weight: 400; }
.slot.win { background: #E6FFE6; }
.slot.win .who::before { content: "\2714  "; color: #008A00; }
.slot.empty .who, .slot.bye .who { color: #555; font-weight: 400; font-style: italic; }
.slot.noshow .who { text-decoration: line-through; }
.swipe { font-size: 15px; font-weight: 400; color: #444; margin: 0 0 6px; }
)";

// Every text goes in as textContent, as everywhere on the page.
const char kScript[] = R"JS(
  var ladderDoc = null, ladderChoice = null, ladderScrolled = {};

  function comingBox(p, head, cls) {
    var box = el("div", "coming " + cls);
    box.appendChild(el("div", "head", [head, p["class"], p.round].filter(Boolean).join(" · ")));
    [0, 1].forEach(function (i) {
      var line = el("div", "lane-line");
      line.appendChild(el("span", "bahn", "Bahn " + (i + 1)));
      line.appendChild(el("span", "nr", p.start[i]));
      line.appendChild(el("span", "who", p.name[i]));
      box.appendChild(line);
    });
    return box;
  }

  function ladderSlot(s) {
    var cls = "slot" + (s.winner ? " win" : "") + (s.bye ? " bye" : "") +
              (s.waiting ? " empty" : "") + (s.noShow ? " noshow" : "");
    var slot = el("div", cls);
    var top = el("div", "top");
    top.appendChild(el("span", "nr", s.start));
    top.appendChild(el("span", "who", s.bye ? "Freilos" : s.waiting ? "offen" : s.name));
    top.appendChild(el("span", "t", s.time));
    slot.appendChild(top);
    var more = [];
    if (s.result && !s.bye && !s.waiting) more.push(s.result);
    if (s.rz) more.push("RZ " + s.rz);
    if (s.zz) more.push("ZZ " + s.zz);
    if (s.kmh) more.push(s.kmh + " km/h");
    if (more.length) slot.appendChild(el("div", "more", more.join(" · ")));
    return slot;
  }

  function ladderMatch(p) {
    var box = el("div", "match " + p.state);
    if (p.state === "running") box.appendChild(el("div", "tag", "Auf der Bahn"));
    if (p.state === "next")
      box.appendChild(el("div", "tag", p.order === 1 ? "Als Nächstes" : "In " + p.order + " Läufen"));
    p.places.forEach(function (s) { box.appendChild(ladderSlot(s)); });
    return box;
  }

  // The round to show first: where the lanes' pairing or the next one is, else the first
  // round still open.
  function currentRound(ladder) {
    var open = -1;
    for (var r = 0; r < ladder.rounds.length; ++r)
      for (var k = 0; k < ladder.rounds[r].pairings.length; ++k) {
        var state = ladder.rounds[r].pairings[k].state;
        if (state === "running" || state === "next") return r;
        if (open < 0 && state !== "decided") open = r;
      }
    return open >= 0 ? open : ladder.rounds.length - 1;
  }

  function renderLadder(d) {
    ladderDoc = d;
    var body = $("ladder-body");
    if (!d.ladders.length) {
      body.replaceChildren(el("p", "empty", "Heute gibt es keine Ausscheidung."));
      return;
    }
    var parts = [];
    // What comes next stays on top, whatever ladder is shown below.
    if (d.now) parts.push(comingBox(d.now, "Auf der Bahn", "now"));
    if (d.next.length) parts.push(comingBox(d.next[0], "Als Nächstes", "first"));
    if (d.next.length > 1) {
      var later = el("div", "later");
      later.appendChild(el("div", "", "Danach:"));
      d.next.slice(1).forEach(function (p) {
        later.appendChild(el("div", "", p.start[0] + " – " + p.start[1] + "  " +
                             [p["class"], p.round].filter(Boolean).join(" · ")));
      });
      parts.push(later);
    }
    var ids = d.ladders.map(function (l) { return l.id; });
    if (ids.indexOf(ladderChoice) < 0) {
      var lead = d.now || d.next[0];
      ladderChoice = lead ? lead.ladder : ids[0];
    }
    var ladder = d.ladders[ids.indexOf(ladderChoice)];
    if (d.ladders.length > 1) {
      var chooser = el("div", "chooser");
      d.ladders.forEach(function (l) {
        var b = el("button", "", l["class"] || l.title);
        b.type = "button";
        b.setAttribute("aria-pressed", String(l.id === ladder.id));
        b.addEventListener("click", function () { ladderChoice = l.id; renderLadder(ladderDoc); });
        chooser.appendChild(b);
      });
      parts.push(chooser);
    }
    parts.push(el("h2", "", ladder.title));
    var facts = ["Feld: " + ladder.source, ladder.field + " Fahrer"];
    if (ladder.finished) facts.push("beendet");
    else if (!ladder.active) facts.push("zurückgestellt");
    parts.push(el("p", "ladder-facts", facts.join(" · ")));
    if (ladder.rounds.length > 1) parts.push(el("p", "swipe", "Weitere Runden: zur Seite wischen ⇆"));
    var strip = el("div", "bracket");
    ladder.rounds.forEach(function (round) {
      var column = el("div", "round");
      column.appendChild(el("h3", "", round.name));
      round.pairings.forEach(function (p) { column.appendChild(ladderMatch(p)); });
      strip.appendChild(column);
    });
    parts.push(strip);
    if (ladder.places.length) {
      parts.push(el("h2", "", ladder.finished ? "Endstand" : "Platzierung bisher"));
      var table = el("table");
      var head = el("tr");
      ["Platz", "St.Nr.", "Name"].forEach(function (t) { head.appendChild(el("th", "", t)); });
      var thead = el("thead");
      thead.appendChild(head);
      table.appendChild(thead);
      var tbody = el("tbody");
      ladder.places.forEach(function (p) {
        var tr = el("tr");
        tr.appendChild(el("td", "", p.place + "."));
        tr.appendChild(el("td", "", p.start));
        tr.appendChild(el("td", "", p.name));
        tbody.appendChild(tr);
      });
      table.appendChild(tbody);
      var wrap = el("div", "table-wrap");
      wrap.appendChild(table);
      parts.push(wrap);
    }
    // The reader's place to the side is kept, until the ladder moves on to another round.
    var old = body.querySelector(".bracket");
    var keep = old && old.dataset.ladder === ladder.id ? old.scrollLeft : 0;
    strip.dataset.ladder = ladder.id;
    body.replaceChildren.apply(body, parts);
    var round = currentRound(ladder);
    if (ladderScrolled[ladder.id] !== round) {
      ladderScrolled[ladder.id] = round;
      strip.scrollLeft = strip.children[round].offsetLeft - strip.offsetLeft;
    } else {
      strip.scrollLeft = keep;
    }
  }
)JS";

} // namespace

QByteArray LadderTabStyle() {
    return QByteArray(kStyle);
}

QByteArray LadderTabScript() {
    return QByteArray(kScript);
}
