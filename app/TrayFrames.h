// The tray icon's frames: twelve 16 x 16 pictures drawn at start. Frame 0
// is the still icon (a disk); the others add a sweep that turns one
// twelfth of a circle per frame, so cycling at 100 ms is one turn in 1.2 s.
#pragma once

#include <QIcon>
#include <QList>

constexpr int TrayFrameCount = 12;
QList<QIcon> MakeTrayFrames();
