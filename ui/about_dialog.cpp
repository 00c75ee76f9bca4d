#include "ui/about_dialog.h"

#include "ui/control_ids.h"

namespace quarnet {
namespace {

constexpr ControlLayout kControls[] = {{idc::kOk, ControlKind::kDefaultButton, 157}};

}  // namespace

const DialogLayout AboutDialog::kLayout = {101, kControls, 235, 55};

void AboutDialog::OnInit() { ApplyTexts(access_, kLayout, language_); }

void AboutDialog::OnCommand(int id) {
  if (id == idc::kOk || id == idc::kCancel) access_.End(id);
}

}  // namespace quarnet
