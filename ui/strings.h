#pragma once
// The program's string table, IDs 101 to 232 and four blocks above it:
// 261 to 270, 301 to 328, 401 to 456 and 501 to 544. Every text is stored
// twice: the Chinese text at the ID the windows load, and its English twin
// at the next ID (101 has its twin at 134, the filters 120 and 121 at 122
// and 123).
// Texts are UTF-8; lengths of paths are counted in bytes.
#include <cstdint>
#include <string>
#include <string_view>

namespace quarnet {

// The text stored under `id`, or an empty text when the ID has none.
std::string_view LoadResString(int id);

// The ID of the English twin of the loaded ID `id`.
int EnglishTwinId(int id);

// The language of the windows' texts: the loaded IDs hold the Chinese texts.
enum class Language { kChinese, kEnglish };

// The ID whose text the windows show in `language` for the loaded ID `id`.
int ShownId(int id, Language language);

// The text that the windows show in `language` for the loaded ID `id`.
std::string_view ShownText(int id, Language language);

// The text of `id` with its first "%d" replaced by `number`.
std::string FormatResString(std::string_view text, std::int64_t number);

}  // namespace quarnet
