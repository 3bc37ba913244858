// The framework behind the EditContext interfaces: one call each on the context, its ranges and the
// composition, with the edit cookie of the session that runs. The text service makes a TsfEditContext
// in every edit session (key handler, end composition) and in OnEndEdit (with its read-only cookie),
// and hands it to the portable core.
#pragma once

#include <msctf.h>
#include <windows.h>

#include <memory>
#include <utility>

#include "quillsvc/service/edit_context.h"

namespace quillet {

// An owned reference on a COM object.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller owns (an out parameter, a creation).
  explicit ComRef(T* owned) : p_(owned) {}
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  ComRef(ComRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef& operator=(ComRef&&) = delete;
  T* get() const { return p_; }
  T** Put() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

class TsfRange final : public TextRange {
 public:
  TsfRange(ComRef<ITfRange> range, TfEditCookie cookie) : range_(std::move(range)), cookie_(cookie) {}
  ITfRange* get() const { return range_.get(); }

  int32_t SetText(std::u16string_view text) override;
  int32_t Collapse(Anchor to) override;
  int32_t ShiftStartToRange(const TextRange& to, Anchor anchor) override;
  int32_t ShiftEndToRange(const TextRange& to, Anchor anchor) override;
  int32_t ShiftStart(int32_t count) override;
  int32_t ShiftEnd(int32_t count) override;
  int32_t CompareStart(const TextRange& to, Anchor anchor, int32_t* result) const override;
  int32_t CompareEnd(const TextRange& to, Anchor anchor, int32_t* result) const override;

 private:
  ComRef<ITfRange> range_;
  TfEditCookie cookie_;
};

class TsfComposition final : public Composition {
 public:
  explicit TsfComposition(ComRef<ITfComposition> composition) : composition_(std::move(composition)) {}
  // For the layout sink, which reads the range outside any session.
  ITfComposition* get() const { return composition_.get(); }

  int32_t GetRange(EditContext& context, std::unique_ptr<TextRange>* range) override;
  int32_t End(EditContext& context) override;

 private:
  ComRef<ITfComposition> composition_;
};

class TsfEditContext final : public EditContext {
 public:
  // Neither `context` nor `sink` (the text service's composition sink) is owned; both outlive the
  // session that makes this object.
  TsfEditContext(ITfContext* context, TfEditCookie cookie, ITfCompositionSink* sink)
      : context_(context), cookie_(cookie), sink_(sink) {}

  ITfContext* context() const { return context_; }
  TfEditCookie cookie() const { return cookie_; }

  int32_t GetSelection(std::unique_ptr<TextRange>* range) override;
  int32_t SetSelection(const TextRange& range) override;
  int32_t QueryInsertRange(std::unique_ptr<TextRange>* range) override;
  int32_t StartComposition(const TextRange& range, std::unique_ptr<Composition>* composition) override;

 private:
  ITfContext* context_;
  TfEditCookie cookie_;
  ITfCompositionSink* sink_;
};

}  // namespace quillet
