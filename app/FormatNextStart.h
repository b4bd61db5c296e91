// The text of a "Next start" cell and of the "Time" cell's start time, in
// the default locale's short formats; "Today" and "Tomorrow" are measured
// against the injected clock (Now()).
#pragma once

#include <QString>

#include "DateTime.h"

QString FormatNextStart(TDateTime when);
QString FormatShortTimeText(TDateTime value);
QString FormatShortDateText(TDateTime value);
