// Dialogs open centred on the screen they belong to, not over their parent.
#pragma once

class QWidget;

// Moves `window` to the centre of its parent's screen (or the primary one).
void CenterOnScreen(QWidget* window);
// From now on `window` is centred that way the first time it is shown.
void CenterWhenShown(QWidget* window);
