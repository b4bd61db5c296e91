// The commands' pictures (24 x 24), drawn at start, in image-index order:
// Add, Delete, Properties, Run, Run All, Log window, Analyze disk, Wizard,
// Stop. Also the list's two state pictures (12 x 12): queued, running.
#pragma once

#include <QIcon>
#include <QList>

QList<QIcon> MakeToolbarImages();
QList<QIcon> MakeStateImages();
