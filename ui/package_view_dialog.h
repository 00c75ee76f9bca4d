#pragma once
// The package view: what one package holds, read-only. Its kind, the
// version of its kernel and root file system heads, its product codes with
// the products' names, each item (name, size, place on the device, policy,
// whether its bytes agree with its CRC) and a verdict, as lines of text in
// the window's language; every byte of the package escaped. Below them, an
// item chosen from a list is saved to a file.
#include <string>
#include <vector>

#include "package/package_facts.h"
#include "ui/dialog.h"

namespace quarnet {

// The lines that show the facts of the package at `path`.
std::string PackageViewText(const PackageFacts& facts, const std::string& path, Language language);
// The label of each item that can be saved: none unless the package's kind
// is known.
std::vector<std::string> PackageViewItems(const PackageFacts& facts, Language language);

class PackageViewDialog : public DialogLogic {
 public:
  static const DialogLayout kLayout;

  PackageViewDialog(DialogAccess& access, Language language, const PackageViewContent& content)
      : access_(access), language_(language), content_(content) {}

  void OnInit() override;
  // OK and Cancel (Escape) end it; the save button saves the chosen item.
  void OnCommand(int id) override;

 private:
  DialogAccess& access_;
  Language language_;
  const PackageViewContent& content_;
};

}  // namespace quarnet
