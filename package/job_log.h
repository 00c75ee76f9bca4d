#pragma once
// The job log "pack_xml.log": structured dumps of what one repack job read
// and what it asked the builder to do. One process-wide handle, open only
// while a job runs. Every line ends in CR LF; each block is flushed at its
// end; with the log closed the logging operations write nothing at all.
#include <cstdio>

#include "package/format.h"

namespace quarnet {

inline constexpr char kJobLogName[] = "pack_xml.log";

// Creates or empties "pack_xml.log" in the working directory (through
// OpenOutputFile: a link standing there is replaced) and keeps it as the
// handle; on failure the handle stays empty.
std::FILE* OpenJobLog();
void CloseJobLog();

// Deletes `path` when it exists; failures are ignored.
void RemoveIfExists(const char* path);

// "arg%d : %s " lines for entries 0 .. count-1; a null entry prints "(null)".
void LogPackAllArgs(int count, const char* const* args);
void LogFileHeader(const PackageFileHeader& header, const char* productList);
void LogItemRecords(int count, const ItemRecord* table);
void LogItemRecord(const ItemRecord& record);

}  // namespace quarnet
