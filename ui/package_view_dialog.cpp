#include "ui/package_view_dialog.h"

#include <algorithm>
#include <array>
#include <vector>

#include "package/display_text.h"
#include "package/job_findings.h"
#include "ui/control_ids.h"

namespace quarnet {
namespace {

constexpr ControlLayout kControls[] = {
    {idc::kPackageViewText, ControlKind::kReadOnlyText},
    {idc::kPackageViewItemLabel, ControlKind::kLabel, 441},
    {idc::kPackageViewItems, ControlKind::kCombo},
    {idc::kPackageViewSaveItem, ControlKind::kButton, 443},
    {idc::kOk, ControlKind::kDefaultButton, 157},
};

std::string Fill(int id, Language language, std::vector<std::string> args) {
  return FillPlaceholders(Text(id, language), args);
}

std::string KindLine(PackageKind kind, Language language) {
  switch (kind) {
    case PackageKind::kFull: return Text(409, language);
    case PackageKind::kCompact: return Text(411, language);
    default: return Text(413, language);
  }
}

std::string VersionLine(const PackageFacts& facts, Language language) {
  const std::string kernel = DisplayText(facts.kernelVersion), rootfs = DisplayText(facts.rootfsVersion);
  if (kernel.empty() || rootfs.empty() || kernel == rootfs)
    return Fill(415, language, {kernel.empty() ? rootfs : kernel});
  return Fill(437, language, {kernel, rootfs});
}

std::string ProductLines(const PackageFacts& facts, Language language) {
  if (facts.products.empty()) return Fill(417, language, {Text(435, language)});
  std::string lines = Fill(417, language, {""});
  for (const ProductFacts& product : facts.products) {
    std::string names;
    for (const std::string& name : product.names) names += (names.empty() ? "" : ", ") + DisplayText(name);
    lines += "\n    " + DisplayText(product.code) + (names.empty() ? "" : "  " + names);
  }
  return lines;
}

// Characters, not bytes: the columns line up in a fixed-width font.
std::size_t Width(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The items' name, size and place, each column as wide as its widest entry
// (sizes to the right).
std::vector<std::string> ItemLines(const std::vector<ItemFacts>& items, Language language) {
  std::vector<std::array<std::string, 3>> columns;
  std::array<std::size_t, 3> widths{};
  for (const ItemFacts& item : items) {
    columns.push_back({DisplayText(item.name), std::to_string(item.size), DisplayText(std::string(item.Place()))});
    for (std::size_t i = 0; i < widths.size(); ++i) widths[i] = std::max(widths[i], Width(columns.back()[i]));
  }
  std::vector<std::string> lines;
  for (std::size_t row = 0; row < items.size(); ++row) {
    auto [name, size, place] = columns[row];
    name.append(widths[0] - Width(name), ' ');
    size.insert(0, widths[1] - Width(size), ' ');
    place.append(widths[2] - Width(place), ' ');
    lines.push_back(Fill(421, language, {name, size, place, std::to_string(items[row].policy),
                                         Text(items[row].CrcAgrees() ? 423 : 425, language)}));
  }
  return lines;
}

}  // namespace

const DialogLayout PackageViewDialog::kLayout = {405, kControls, 320, 220};

std::string PackageViewText(const PackageFacts& facts, const std::string& path, Language language) {
  std::string text = Fill(407, language, {DisplayText(path)}) + "\n";
  if (!facts.readable) return text + Text(433, language);
  text += KindLine(facts.kind, language) + "\n";
  if (facts.kind == PackageKind::kNotPackage) return text;
  text += VersionLine(facts, language) + "\n" + ProductLines(facts, language) + "\n" + Text(419, language) + "\n";
  for (const std::string& line : ItemLines(facts.items, language)) text += line + "\n";
  return text + (facts.Consistent() ? Text(427, language)
                                    : Fill(429, language, {std::to_string(std::max<std::size_t>(1, facts.FailedChecks()))}));
}

std::vector<std::string> PackageViewItems(const PackageFacts& facts, Language language) {
  std::vector<std::string> labels;
  if (!facts.readable || facts.kind == PackageKind::kNotPackage) return labels;
  for (const ItemFacts& item : facts.items)
    labels.push_back(
        Fill(445, language, {DisplayText(item.name), std::to_string(item.size), DisplayText(std::string(item.Place()))}));
  return labels;
}

void PackageViewDialog::OnInit() {
  ApplyTexts(access_, kLayout, language_);
  access_.SetText(idc::kPackageViewText, content_.text);
  for (const std::string& label : content_.items) access_.AddItem(idc::kPackageViewItems, label);
  const bool any = !content_.items.empty() && content_.saveItem;
  if (any) access_.Select(idc::kPackageViewItems, 0);
  for (const int id : {idc::kPackageViewItemLabel, idc::kPackageViewItems, idc::kPackageViewSaveItem})
    access_.Enable(id, any);
}

void PackageViewDialog::OnCommand(int id) {
  if (id == idc::kOk || id == idc::kCancel) access_.End(id);
  if (id != idc::kPackageViewSaveItem) return;
  const int row = access_.GetSelection(idc::kPackageViewItems);
  if (row >= 0 && static_cast<std::size_t>(row) < content_.items.size()) content_.saveItem(static_cast<std::size_t>(row));
}

}  // namespace quarnet
