// Hands addresses to the user's browser and mail program.
#pragma once

#include <QString>

// Opens `address` (a web page; a bare host name is taken as http) in the
// default browser. False when the system could not start one.
bool OpenWebAddress(const QString& address);
// Starts a new message to `address` in the default mail program.
bool OpenMailAddress(const QString& address);
