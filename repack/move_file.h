#pragma once
// Moves a finished package over its output path. The old file at the output
// path is replaced only by the move itself, so it survives any failure.

namespace quarnet {

// Renames `from` to `to`, replacing `to`. When the two lie on different file
// systems, copies `from` to a temporary file in the folder of `to`, flushes
// it to disk, renames it into place and then removes `from`; the temporary
// file is removed again if anything fails. The folder of `to` is synced
// after the rename. Returns 0, or -1 with the system's reason in the job's
// report.
int MoveReplacing(const char* from, const char* to);

}  // namespace quarnet
