// With the NTFS backend the user maps volumes to letters: the options
// dialog gets the "Drives" page.
#include "DrivesPage.h"

TSystemOptionsPage* MakeSystemOptionsPage(QWidget* parent) { return new TDrivesPage(parent); }
