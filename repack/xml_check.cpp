// A configuration file that looks like XML must be well-formed, as expat
// judges it.
#include <expat.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "repack/check_parts.h"

namespace quarnet {
namespace {

// The most memory a parse may take: far beyond what any configuration file
// needs, far below what would trouble the machine. A document built to
// exhaust memory (a nesting without end, one token of gigabytes) stops
// here.
constexpr std::size_t kXmlBudgetMiB = 64;
constexpr std::size_t kXmlBudget = kXmlBudgetMiB << 20;

// Expat's memory, counted against the budget of the parse on this thread.
// Each block carries its size in front of it.
thread_local std::size_t tXmlMemory = 0;
thread_local bool tOverBudget = false;
constexpr std::size_t kSizeRoom = alignof(std::max_align_t);

std::size_t SizeOf(void* block) {
  std::size_t size = 0;
  std::memcpy(&size, static_cast<unsigned char*>(block) - kSizeRoom, sizeof size);
  return size;
}

// Room for `size` more bytes, or the budget is spent.
bool Afford(std::size_t size) {
  if (size <= kXmlBudget - tXmlMemory) return true;
  tOverBudget = true;
  return false;
}

void* Sized(void* base, std::size_t size) {
  if (base == nullptr) return nullptr;
  std::memcpy(base, &size, sizeof size);
  tXmlMemory += size;
  return static_cast<unsigned char*>(base) + kSizeRoom;
}

void* Allocate(std::size_t size) { return Afford(size) ? Sized(std::malloc(size + kSizeRoom), size) : nullptr; }

void Free(void* block) {
  if (block == nullptr) return;
  tXmlMemory -= SizeOf(block);
  std::free(static_cast<unsigned char*>(block) - kSizeRoom);
}

void* Reallocate(void* block, std::size_t size) {
  if (block == nullptr) return Allocate(size);
  const std::size_t old = SizeOf(block);
  if (size > old && !Afford(size - old)) return nullptr;
  void* moved = std::realloc(static_cast<unsigned char*>(block) - kSizeRoom, size + kSizeRoom);
  if (moved == nullptr) return nullptr;
  tXmlMemory -= old;
  return Sized(moved, size);
}

const XML_Memory_Handling_Suite kCountedMemory = {Allocate, Reallocate, Free};

using Parser = std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)>;

// An encoding that expat does not know (it knows UTF-8, UTF-16, ISO-8859-1
// and US-ASCII) leaves the file unjudged: its name is kept to say so.
int UnknownEncoding(void* name, const XML_Char* declared, XML_Encoding*) {
  *static_cast<std::string*>(name) = declared;
  return XML_STATUS_ERROR;
}

// Whether the file looks like XML: an optional UTF-8 byte order mark at its
// start, then blanks, then "<". Undecided while only blanks were seen.
enum class Look { kUndecided, kXml, kNotXml };

Look LookAt(std::span<const std::uint8_t> bytes, bool atStart) {
  std::size_t i = 0;
  if (atStart && bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
  for (; i < bytes.size(); ++i) {
    const std::uint8_t c = bytes[i];
    if (c == '<') return Look::kXml;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return Look::kNotXml;
  }
  return Look::kUndecided;
}

void Report(XML_Parser parser, const std::string& encoding, FileCheck& check) {
  const XML_Error error = XML_GetErrorCode(parser);
  check.line = XML_GetCurrentLineNumber(parser);
  check.column = XML_GetCurrentColumnNumber(parser) + 1;
  if (error == XML_ERROR_UNKNOWN_ENCODING && !encoding.empty()) {
    check.problem = CheckProblem::kUnknownEncoding;
    check.detail = encoding;
  } else if (error == XML_ERROR_NO_MEMORY && tOverBudget) {
    check.problem = CheckProblem::kXmlOverBudget;
    check.detail = std::to_string(kXmlBudgetMiB) + " MiB";
  } else {
    check.problem = CheckProblem::kMalformedXml;
    check.detail = XML_ErrorString(error);
  }
}

}  // namespace

void CheckXml(BlockReader& reader, FileCheck& check) {
  tOverBudget = false;
  const Parser parser(XML_ParserCreate_MM(nullptr, &kCountedMemory, nullptr), XML_ParserFree);
  if (parser == nullptr) {
    check.problem = CheckProblem::kUnreadable;
    check.detail = "out of memory";
    return;
  }
  std::string encoding;
  XML_SetUnknownEncodingHandler(parser.get(), UnknownEncoding, &encoding);
  Look look = Look::kUndecided;
  for (auto block = reader.Next(); !block.empty(); block = reader.Next()) {
    if (look == Look::kUndecided) look = LookAt(block, reader.offset() == block.size());
    if (look == Look::kNotXml) break;
    const char* bytes = reinterpret_cast<const char*>(block.data());
    if (XML_Parse(parser.get(), bytes, static_cast<int>(block.size()), XML_FALSE) != XML_STATUS_OK)
      return Report(parser.get(), encoding, check);
  }
  if (!reader.failure().empty()) {
    check.problem = CheckProblem::kUnreadable;
    check.detail = reader.failure();
  } else if (look != Look::kXml) {
    check.problem = CheckProblem::kNotXml;
  } else if (XML_Parse(parser.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) {
    Report(parser.get(), encoding, check);
  }
}

}  // namespace quarnet
