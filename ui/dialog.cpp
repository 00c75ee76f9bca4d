#include "ui/dialog.h"

namespace quarnet {

void ApplyTexts(DialogAccess& access, const DialogSpec& spec, Language language) {
  access.SetTitle(Text(spec.captionId, language));
  for (const ControlSpec& control : spec.controls) {
    if (control.textId != 0) access.SetText(control.id, Text(control.textId, language));
  }
}

std::string Text(int id, Language language) { return std::string(ShownText(id, language)); }

}  // namespace quarnet
