#pragma once
// Qt's own dialogs and controls (file, font, colour and print dialogs, the
// buttons of message boxes, context menus) in Swedish, as the rest of the
// program: Qt's Swedish catalogue, then our own texts for what it lacks.

namespace lumrik {

// Loads both catalogues into the application (once). Returns false when our
// own catalogue could not be loaded; Qt's is used when it is installed.
bool installQtTranslations();
// Takes them out again (tests).
void removeQtTranslations();

}
