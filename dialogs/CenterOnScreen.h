// Dialogs open centred on the screen they belong to.
#pragma once

class QWidget;

// Moves `window` to the centre of its parent's screen (or the primary one).
void CenterOnScreen(QWidget* window);
