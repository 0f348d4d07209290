#pragma once

// Loads Qt's own German texts (file dialogs, standard buttons, context menus of text fields),
// so that no English word appears in a German program. Null when they are not installed; the
// program then runs with Qt's English texts.
class QTranslator;
QTranslator* LoadQtGermanTexts();
