// The generator's dialog: pick a word list and a dictionary file and convert in either direction.
// The first tab converts text to a dictionary, the second a dictionary back to text; each path stays
// with its kind of file when the tab changes. The dialog neither deletes files nor tells the loader.
#pragma once

#include <windows.h>

#include "lexforge/convertor_resource.h"
#include "winui/dialog_impl.h"

namespace quillet::lexforge {

class CConvertorDialog : public winui::CDialogImpl<CConvertorDialog> {
 public:
  static constexpr int kTemplateId = IDD_CONVERTOR;

  bool OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  void OnInit();
  void OnTabChanged();
  void BrowseUpper();
  void BrowseLower();
  void Convert(bool toDictionary);

  int tab_ = 0;  // 0: text to dictionary, 1: dictionary to text
};

// Registers the tab control class and runs the dialog without owner. Returns when it is closed.
void RunConvertorDialog();

}  // namespace quillet::lexforge
