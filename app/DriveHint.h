// On a system whose disks are reached through the drive table, a first
// start has no drive mapped, and nothing in the window says what to do.
// This puts the answer into the log.
#pragma once

// True when the current platform knows at least one drive letter.
bool AnyDriveMapped();
// Writes the hint to the log when no drive is mapped.
void LogDriveHintIfNeeded();
