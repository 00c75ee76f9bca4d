#include "ui/product_table.h"

#include <algorithm>
#include <string_view>

#include "package/format.h"

namespace quarnet {
namespace {

constexpr std::array<char, 128> Field(std::string_view text) {
  std::array<char, 128> field{};
  for (std::size_t i = 0; i < text.size() && i + 1 < field.size(); ++i) field[i] = text[i];
  return field;
}

constexpr ProductInfo Row(std::string_view version, std::string_view name, std::string_view code) {
  return {Field(version), Field(name), Field(code)};
}

// Ordered by version. A product name keeps one code in all its rows; some
// codes are shared by two product names.
constexpr ProductInfo kTable[] = {
    Row("V100R001C00", "Ambrel-1", "1A0"),
    Row("V100R001C00", "Fennow-12", "1D1"),
    Row("V100R001C00", "Hollin-X", "1F3"),
    Row("V100R001C00", "Tarnis-7", "2B7"),
    Row("V100R002C01", "Ambrel-2", "1A0"),
    Row("V100R002C01", "Corvane-A", "1A4"),
    Row("V100R002C01", "Hollin-XE", "1F3"),
    Row("V100R002C01", "Istrave-3", "20A"),
    Row("V100R002C01", "Ulvedo-8", "2C9"),
    Row("V100R003", "Corvane-A", "1A4"),
    Row("V100R003", "Eskarin-T", "1C6"),
    Row("V100R003", "Istrave-3", "20A"),
    Row("V100R003", "Varrow-9", "2D0"),
    Row("V110R001C02_BIN1", "Ambrel-1", "1A0"),
    Row("V110R001C02_BIN1", "Corvane-B", "1A4"),
    Row("V110R001C02_BIN1", "Hollin-X", "1F3"),
    Row("V110R001C02_BIN1", "Istrave-5", "20A"),
    Row("V110R001C02_BIN1", "Yelder-10", "2E4"),
    Row("V120R002C00", "Dellith-4", "1B2"),
    Row("V120R002C00", "Dellith-8", "1B2"),
    Row("V120R002C00", "Kaltem-7", "21C"),
    Row("V120R002C00", "Zorrin-11", "31A"),
    Row("V200R001_BIN2", "Dellith-8", "1B2"),
    Row("V200R001_BIN2", "Galdry-2P", "1E8"),
    Row("V200R001_BIN2", "Lumiro-9", "22E"),
    Row("V200R001_BIN2", "Brisune-B", "32C"),
    Row("V200R005C10", "Corvane-B", "1A4"),
    Row("V200R005C10", "Eskarin-S", "1C6"),
    Row("V200R005C10", "Istrave-5", "20A"),
    Row("V200R005C10", "Morvane-1", "235"),
    Row("V200R005C10", "Quellin-Q", "33E"),
    Row("V210R003C01_BIN3", "Eskarin-T", "1C6"),
    Row("V210R003C01_BIN3", "Fennow-10", "1D1"),
    Row("V210R003C01_BIN3", "Nesset-2", "24B"),
    Row("V210R003C01_BIN3", "Tolvara-T", "341"),
    Row("V300R001", "Ambrel-2", "1A0"),
    Row("V300R001", "Fennow-10", "1D1"),
    Row("V300R001", "Hollin-XE", "1F3"),
    Row("V300R001", "Orlith-3", "25D"),
    Row("V300R001", "Mordaxi-M", "35B"),
    Row("V300R002C05", "Eskarin-S", "1C6"),
    Row("V300R002C05", "Fennow-12", "1D1"),
    Row("V300R002C05", "Pellane-4", "260"),
    Row("V310R006C00_BIN4", "Galdry-2P", "1E8"),
    Row("V310R006C00_BIN4", "Galdry-4P", "1E8"),
    Row("V310R006C00_BIN4", "Rostal-5", "27F"),
    Row("V320R001C02", "Dellith-4", "1B2"),
    Row("V320R001C02", "Galdry-4P", "1E8"),
    Row("V320R001C02", "Kaltem-7", "21C"),
    Row("V320R001C02", "Selvin-6", "2A1"),
    {},  // terminating row
};

}  // namespace

const ProductInfo* ProductTable() { return kTable; }

std::vector<std::string> ProductNames(std::string_view code) {
  std::vector<std::string> names;
  for (const ProductInfo* row = kTable; row->szVersion[0] != '\0'; ++row) {
    const std::string name(GetText(row->szProductName));
    if (GetText(row->szProductCode) == code && std::find(names.begin(), names.end(), name) == names.end())
      names.push_back(name);
  }
  return names;
}

}  // namespace quarnet
