#pragma once
// Item heads: an 84-byte block (mark "zqzq", version, time, kind, payload
// length and CRC-32) written in front of an image file, and the date stamp
// that a head can carry instead of the current time.
#include <cstdint>

namespace quarnet {

// Writes `headPath` as a head followed by all bytes of `payloadPath`.
// `version` may be null (empty Head Version); a non-zero `timeStamp`
// replaces the current time. Returns 0 when the head file was written
// completely, -1 when the payload cannot be opened, 1 on any other failure.
// The head file takes its name only when complete, so a failure leaves
// what stood there before. The payload streams through one block of memory
// whatever its size; a failure records its reason.
int WriteItemHead(const char* payloadPath, const char* version, std::uint32_t timeStamp,
                  std::uint32_t itemType, const char* headPath);

// Turns "year-month-day_hour:minute:second" (fields split at "-", "_" and
// ":", missing ones 0) into seconds since 1970 for that local standard time.
// Dates the conversion rejects give 0xFFFFFFFF. Returns 1 when an argument
// is null, else 0.
int ParseDateStamp(const char* text, std::uint32_t* result);

}  // namespace quarnet
