#pragma once

class QTranslator;

namespace qrn {

// Loads Qt's own Japanese translations (qtbase_ja: the buttons of Qt's dialogs and message boxes,
// the context menus of text boxes) into the translator and installs it on the application,
// whatever the system locale: the program speaks Japanese everywhere. False when the translation
// file is not installed; Qt's texts then stay English.
bool installQtTranslations(QTranslator &translator);

} // namespace qrn
