#pragma once

#include <QByteArray>
#include <QString>

// The results page for phones, with the event title; everything it needs comes from this
// program, so it works on a track without internet.
QByteArray LivePageHtml(const QString& title);
// The page's script: it follows the server's events and comes back after a lost connection.
QByteArray LivePageScript();
