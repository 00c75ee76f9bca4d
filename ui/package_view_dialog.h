#pragma once
// The package view: what one package holds, read-only. Its kind, the
// version of its kernel and root file system heads, its product codes with
// the products' names, each item (name, size, place on the device, policy,
// whether its bytes agree with its CRC) and a verdict, as lines of text in
// the window's language; every byte of the package escaped.
#include <string>

#include "package/package_facts.h"
#include "ui/dialog.h"

namespace quarnet {

// The lines that show the facts of the package at `path`.
std::string PackageViewText(const PackageFacts& facts, const std::string& path, Language language);

class PackageViewDialog : public DialogLogic {
 public:
  static const DialogLayout kLayout;

  PackageViewDialog(DialogAccess& access, Language language, std::string text)
      : access_(access), language_(language), text_(std::move(text)) {}

  void OnInit() override;
  // OK and Cancel (Escape) end it.
  void OnCommand(int id) override;

 private:
  DialogAccess& access_;
  Language language_;
  std::string text_;
};

}  // namespace quarnet
