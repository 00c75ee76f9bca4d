#pragma once
// The one way the engine creates a file under a fixed name: the exported
// items, the job log, the head files, "system.bin", the package and the
// staging files. The name belongs to the engine, whatever stands there:
//  - a plain file of its own (a regular file with no other name) is opened
//    in place, as std::fopen would open it, so its permissions and the
//    folder's decide as they would for a direct write;
//  - a symbolic link (also one that leads nowhere), a second name of a file
//    with other names, a FIFO, a socket or a device is removed first and a
//    new file takes the name; the link's target or the other names' file
//    stay untouched;
//  - a folder is refused.
// Nothing is written through a link, nothing is created outside the name's
// folder, and no open waits on a FIFO. Each failing system call records its
// reason (RecordSystemError).
#include "package/file.h"

namespace quarnet {

// Opens `path` as above with a std::fopen mode: "w", "wb", "w+b" empty the
// file (read and write with "+"), "a+b" keeps a plain file's bytes and
// writes at its end. New files get mode 0666 less the umask. Null on
// failure.
FilePtr OpenOutputFile(const char* path, const char* mode);

// Frees `path` for a new file: removes what OpenOutputFile would remove
// there. True when nothing stands at `path` afterwards; false when a plain
// file or a folder stands there, or the removal failed (reason recorded).
bool FreeOutputName(const char* path);

}  // namespace quarnet
