#pragma once

#include "Ladder.h"

#include <QString>

// A ladder as a static web page in the protocol page's style, also the way it is printed: the
// event title, the class, the day, where the field came from, the field by seed, every round
// with its pairings and the times of their latest heat, and the final places known so far.
// Every text is escaped, and every character beyond ASCII is a character reference, so the
// page is the same whether it is written as ISO-8859-1, as its head says, or as UTF-8.
QString LadderPageHtml(const TLadder& ladder, const QString& title);
