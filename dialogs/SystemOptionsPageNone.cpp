// Systems whose options dialog has only the common pages.
#include "SystemOptionsPage.h"

TSystemOptionsPage* MakeSystemOptionsPage(QWidget*) { return nullptr; }
