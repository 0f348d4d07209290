#pragma once

#include <QByteArray>

// The results page's "Leiter" tab: its look, and the part of the page's script that draws it.
// The script runs inside the page's own, with its helpers and its tabs.
QByteArray LadderTabStyle();
QByteArray LadderTabScript();
