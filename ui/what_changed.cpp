#include "ui/what_changed.h"

#include "package/display_text.h"
#include "ui/dialog.h"

namespace quarnet {
namespace {

std::string ItemLine(const ItemFacts& item, Language language) {
  return "  " + DisplayText(item.name) + "  " + DisplayText(item.Place()) + "  " +
         FormatResString(Text(269, language), item.size);
}

void AddList(std::vector<std::string>& lines, int headingId, const std::vector<ItemFacts>& items, Language language) {
  if (items.empty()) return;
  lines.push_back(Text(headingId, language));
  for (const ItemFacts& item : items) lines.push_back(ItemLine(item, language));
}

}  // namespace

// Items of the original whose place the new package fills with the same
// bytes were kept, whatever else their records say; with other bytes they
// were replaced.
std::vector<std::string> WhatChangedLines(const PackageDiff& diff, Language language) {
  std::vector<ItemFacts> kept;
  std::vector<ItemFacts> replaced;
  for (const ItemPair& pair : diff.matched) (pair.SameBytes() ? kept : replaced).push_back(pair.b);
  std::vector<std::string> lines;
  AddList(lines, 261, kept, language);
  AddList(lines, 263, diff.onlyInB, language);
  AddList(lines, 265, replaced, language);
  AddList(lines, 267, diff.onlyInA, language);
  return lines;
}

}  // namespace quarnet
