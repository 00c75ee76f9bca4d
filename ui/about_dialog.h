#pragma once
// The About box: the program's icon, name and version, and copyright line.
// The caption is the window menu's About item as stored, "(&A)..." included.
#include "ui/dialog.h"

namespace quarnet {

class AboutDialog : public DialogLogic {
 public:
  static const DialogLayout kLayout;
  static constexpr char kNameLine[] = "Quarnet " QUARNET_VERSION;
  static constexpr char kCopyright[] = QUARNET_COPYRIGHT;

  AboutDialog(DialogAccess& access, Language language) : access_(access), language_(language) {}

  void OnInit() override;
  // OK and Cancel end the box.
  void OnCommand(int id) override;

 private:
  DialogAccess& access_;
  Language language_;
};

}  // namespace quarnet
