#include "quillsvc/candwin/accessible_candidates.h"

#include <string>

#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {
namespace {

constexpr char16_t kListName[] = u"Candidates";

// ---- MSAA ----

// Child ids: CHILDID_SELF is the list, item i is child i + 1.
class CAccessibleList final : public ComObject<ModuleCount, IAccessible> {
 public:
  explicit CAccessibleList(AccessibleList& list) : list_(&list) {}
  void Disconnect() { list_ = nullptr; }

  // IDispatch: no type information; screen readers call IAccessible directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_INVALIDARG;
    *parent = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    return AccessibleObjectFromWindow(list_->ListWindow(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = list_ != nullptr ? static_cast<LONG>(list_->ItemCount()) : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    size_t item = 0;
    // Items are simple elements of the list: they have no object of their own.
    return Item(child, &item) ? S_FALSE : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (name == nullptr) return E_INVALIDARG;
    *name = nullptr;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    return ComBoundary([&] {
      size_t item = 0;
      if (IsSelf(child)) return NewBstr(kListName, name);
      if (!Item(child, &item)) return E_INVALIDARG;
      return NewBstr(list_->ItemName(item), name);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override { return Nothing(value); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_INVALIDARG;
    VariantInit(role);
    size_t item = 0;
    if (!IsSelf(child) && !Item(child, &item)) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = IsSelf(child) ? ROLE_SYSTEM_LIST : list_->IsRow(item) ? ROLE_SYSTEM_LISTITEM : ROLE_SYSTEM_PAGETAB;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_INVALIDARG;
    VariantInit(state);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    size_t item = 0;
    LONG bits = STATE_SYSTEM_READONLY;
    if (!list_->ListShown()) bits |= STATE_SYSTEM_INVISIBLE;
    if (!IsSelf(child)) {
      if (!Item(child, &item)) return E_INVALIDARG;
      bits |= STATE_SYSTEM_SELECTABLE;
      if (list_->ItemSelected(item)) bits |= STATE_SYSTEM_SELECTED | (list_->IsRow(item) ? STATE_SYSTEM_FOCUSED : 0);
    }
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return Nothing(help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    if (shortcut == nullptr) return E_INVALIDARG;
    *shortcut = nullptr;
    size_t item = 0;
    if (!Item(child, &item) || !list_->IsRow(item) || item > 9) return S_FALSE;
    // The digit key that picks the row.
    const char16_t digit[2] = {static_cast<char16_t>(item == 9 ? u'0' : u'1' + item), 0};
    return NewBstr(digit, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return SelectedChild(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return SelectedChild(selection); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* action) override { return Nothing(action); }
  HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_INVALIDARG;
    *left = *top = *width = *height = 0;
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    RectI r;
    size_t item = 0;
    if (IsSelf(child)) {
      RECT window{};
      if (!GetWindowRect(list_->ListWindow(), &window)) return E_FAIL;
      r = RectI{window.left, window.top, window.right, window.bottom};
    } else if (!Item(child, &item)) {
      return E_INVALIDARG;
    } else if (!list_->ItemScreenRect(item, &r)) {
      return S_FALSE;
    }
    *left = r.left;
    *top = r.top;
    *width = r.width();
    *height = r.height();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_INVALIDARG;
    VariantInit(end);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const LONG count = static_cast<LONG>(list_->ItemCount());
    LONG to = 0;
    if (IsSelf(start)) {
      if (direction == NAVDIR_FIRSTCHILD) to = 1;
      if (direction == NAVDIR_LASTCHILD) to = count;
    } else {
      size_t item = 0;
      if (!Item(start, &item)) return E_INVALIDARG;
      const LONG id = static_cast<LONG>(item) + 1;
      if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) to = id + 1;
      if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) to = id - 1;
    }
    if (to < 1 || to > count) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = to;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    if (child == nullptr) return E_INVALIDARG;
    VariantInit(child);
    if (list_ == nullptr) return RPC_E_DISCONNECTED;
    const int item = list_->ItemAtScreenPoint(x, y);
    if (item == -2) return S_FALSE;
    child->vt = VT_I4;
    child->lVal = item < 0 ? CHILDID_SELF : item + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
  bool Item(const VARIANT& child, size_t* item) const {
    if (list_ == nullptr || child.vt != VT_I4 || child.lVal < 1 ||
        static_cast<size_t>(child.lVal) > list_->ItemCount()) {
      return false;
    }
    *item = static_cast<size_t>(child.lVal) - 1;
    return true;
  }
  static HRESULT Nothing(BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT SelectedChild(VARIANT* out) {
    if (out == nullptr) return E_INVALIDARG;
    VariantInit(out);
    const int row = list_ != nullptr ? list_->SelectedRow() : -1;
    if (row < 0) return S_FALSE;
    out->vt = VT_I4;
    out->lVal = row + 1;
    return S_OK;
  }

  AccessibleList* list_;
};

}  // namespace

Accessibility::~Accessibility() {
  if (msaa_) static_cast<CAccessibleList*>(msaa_.Get())->Disconnect();
}

bool Accessibility::OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (automation_.OnGetObject(wParam, lParam, result)) return true;
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return false;
  if (!msaa_) msaa_ = ComPtr<IUnknown>::Adopt((new CAccessibleList(list_))->Identity());
  *result = LresultFromObject(__uuidof(IAccessible), wParam, msaa_.Get());
  return true;
}

void Accessibility::OnShown(bool shown) {
  automation_.OnShown(shown);
  if (shown) {
    lastSelected_ = -1;
    lastCount_ = 0;
    OnChanged();
  }
}

void Accessibility::OnChanged() {
  const HWND window = list_.ListWindow();
  const size_t count = list_.ItemCount();
  if (count != lastCount_) NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
  // Rows change text with every letter, whether or not their number does.
  automation_.OnRowsChanged();
  const int selected = list_.SelectedRow();
  if (selected >= 0 && (selected != lastSelected_ || count != lastCount_)) {
    NotifyWinEvent(EVENT_OBJECT_SELECTION, window, OBJID_CLIENT, selected + 1);
    NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, selected + 1);
    automation_.OnSelected(selected);
  }
  lastSelected_ = selected;
  lastCount_ = count;
}

}  // namespace quillet
