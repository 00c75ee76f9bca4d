#include "ui/dialog.h"

namespace quarnet {

void ApplyTexts(DialogAccess& access, const DialogLayout& layout, Language language) {
  access.SetTitle(Text(layout.captionId, language));
  for (const ControlLayout& control : layout.controls) {
    if (control.textId != 0) access.SetText(control.id, Text(control.textId, language));
  }
}

std::string Text(int id, Language language) { return std::string(ShownText(id, language)); }

}  // namespace quarnet
