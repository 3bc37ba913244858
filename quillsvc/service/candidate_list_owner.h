// The candidate list as the framework's UI element, for one text service: begun before the list
// shows, updated on every change, ended when the list goes (CandidateListObserver, told by the
// candidate window, which also tells the key handling, for speaking the highlighted word); and what the element reads
// of the list and asks of the text service (CandidateListSource). When the application draws the list itself the window
// stays hidden and the application's choices come through the element; Wine's framework refuses to begin elements,
// which means the window shows the list.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/service/candidate_list_element.h"

namespace quillet {

class CQuillsvc;

class CandidateListOwner final : public CandidateListObserver, private CandidateListSource {
 public:
  explicit CandidateListOwner(CQuillsvc& service) : service_(service) {}
  CandidateListOwner(const CandidateListOwner&) = delete;
  CandidateListOwner& operator=(const CandidateListOwner&) = delete;

  // CandidateListObserver
  bool OnListShown() override;
  void OnListChanged() override;
  void OnListHidden() override;

 private:
  // CandidateListSource
  size_t RowCount() override;
  std::u16string RowText(size_t row) override;
  int SelectedRow() override;
  ComPtr<ITfDocumentMgr> DocumentMgr() override;
  void ShowOwnWindow(bool show) override;
  bool OwnWindowShown() override;
  void SelectRow(size_t row) override;
  void Finalize() override;
  void Abort() override;

  ComPtr<ITfUIElementMgr> Elements() const;
  // Begins the framework's UI element for the list: false when the application draws it itself.
  bool BeginElement();

  CQuillsvc& service_;
  // While the list is shown and the framework took it.
  ComPtr<CCandidateListUIElement> element_;
  DWORD elementId_ = TF_INVALID_UIELEMENTID;
};

}  // namespace quillet
