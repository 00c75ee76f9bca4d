#pragma once
// The job log "pack_xml.log": structured dumps of what one repack job read
// and what it asked the builder to do. Each job has its own, open only
// while it runs; these operations act on the calling thread's job. Every line ends in CR LF; each block is written at its
// end; with the log closed the logging operations write nothing at all.
// The log takes its name when it is closed, complete; a log that cannot be
// written is a warning of the job, never its failure.

#include "package/format.h"

namespace quarnet {

inline constexpr char kJobLogName[] = "pack_xml.log";

// Stages a new "pack_xml.log" in the working folder; false when it cannot
// be (the log is then off).
bool OpenJobLog();
// Puts the log under its name, replacing an older one.
void CloseJobLog();

// "arg%d : %s " lines for entries 0 .. count-1; a null entry prints "(null)".
void LogPackAllArgs(int count, const char* const* args);
void LogFileHeader(const PackageFileHeader& header, const char* productList);
void LogItemRecords(int count, const ItemRecord* table);
void LogItemRecord(const ItemRecord& record);

}  // namespace quarnet
