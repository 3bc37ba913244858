#include "quillsvc/candwin/accessible_candidates.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quillsvc/candwin/accessible_link.h"
#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {
namespace {

constexpr char16_t kListName[] = u"Candidates";

// ---- MSAA ----

constexpr HRESULT kGone = RPC_E_DISCONNECTED;

// Child ids: CHILDID_SELF is the list, item i is child i + 1.
class CAccessibleList final : public ComObject<ModuleCount, IAccessible> {
 public:
  explicit CAccessibleList(std::shared_ptr<AccessibleLink> link) : link_(std::move(link)) {}

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
    return link_->Call(
        [&](AccessibleList&) {
          return AccessibleObjectFromWindow(link_->window(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                            reinterpret_cast<void**>(parent));
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    // A list that went has no children.
    link_->Call(
        [&](AccessibleList& list) {
          *count = static_cast<LONG>(list.ItemCount());
          return S_OK;
        },
        kGone);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    // Items are simple elements of the list: they have no object of their own.
    return link_->Call(
        [&](AccessibleList& list) {
          size_t item = 0;
          return Item(list, child, &item) ? S_FALSE : E_INVALIDARG;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (name == nullptr) return E_INVALIDARG;
    *name = nullptr;
    return link_->Call(
        [&](AccessibleList& list) {
          size_t item = 0;
          if (IsSelf(child)) return NewBstr(kListName, name);
          if (!Item(list, child, &item)) return E_INVALIDARG;
          return NewBstr(list.ItemName(item), name);
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override { return Nothing(value); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_INVALIDARG;
    VariantInit(role);
    return link_->Call(
        [&](AccessibleList& list) {
          size_t item = 0;
          if (!IsSelf(child) && !Item(list, child, &item)) return E_INVALIDARG;
          role->vt = VT_I4;
          role->lVal = IsSelf(child) ? ROLE_SYSTEM_LIST : list.IsRow(item) ? ROLE_SYSTEM_LISTITEM : ROLE_SYSTEM_PAGETAB;
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_INVALIDARG;
    VariantInit(state);
    return link_->Call(
        [&](AccessibleList& list) {
          size_t item = 0;
          LONG bits = STATE_SYSTEM_READONLY;
          if (!list.ListShown()) bits |= STATE_SYSTEM_INVISIBLE;
          if (!IsSelf(child)) {
            if (!Item(list, child, &item)) return E_INVALIDARG;
            bits |= STATE_SYSTEM_SELECTABLE;
            if (list.ItemSelected(item)) bits |= STATE_SYSTEM_SELECTED | (list.IsRow(item) ? STATE_SYSTEM_FOCUSED : 0);
          }
          state->vt = VT_I4;
          state->lVal = bits;
          return S_OK;
        },
        kGone);
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
    return link_->Call(
        [&](AccessibleList& list) {
          size_t item = 0;
          if (!Item(list, child, &item) || !list.IsRow(item) || item > 9) return S_FALSE;
          // The digit key that picks the row.
          const char16_t digit[2] = {static_cast<char16_t>(item == 9 ? u'0' : u'1' + item), 0};
          return NewBstr(digit, shortcut);
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return SelectedChild(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return SelectedChild(selection); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* action) override { return Nothing(action); }
  HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_INVALIDARG;
    *left = *top = *width = *height = 0;
    return link_->Call(
        [&](AccessibleList& list) {
          RectI r;
          size_t item = 0;
          if (IsSelf(child)) {
            RECT window{};
            if (!GetWindowRect(link_->window(), &window)) return E_FAIL;
            r = RectI{window.left, window.top, window.right, window.bottom};
          } else if (!Item(list, child, &item)) {
            return E_INVALIDARG;
          } else if (!list.ItemScreenRect(item, &r)) {
            return S_FALSE;
          }
          *left = r.left;
          *top = r.top;
          *width = r.width();
          *height = r.height();
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_INVALIDARG;
    VariantInit(end);
    return link_->Call(
        [&](AccessibleList& list) {
          const LONG count = static_cast<LONG>(list.ItemCount());
          LONG to = 0;
          if (IsSelf(start)) {
            if (direction == NAVDIR_FIRSTCHILD) to = 1;
            if (direction == NAVDIR_LASTCHILD) to = count;
          } else {
            size_t item = 0;
            if (!Item(list, start, &item)) return E_INVALIDARG;
            const LONG id = static_cast<LONG>(item) + 1;
            if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) to = id + 1;
            if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) to = id - 1;
          }
          if (to < 1 || to > count) return S_FALSE;
          end->vt = VT_I4;
          end->lVal = to;
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    if (child == nullptr) return E_INVALIDARG;
    VariantInit(child);
    return link_->Call(
        [&](AccessibleList& list) {
          const int item = list.ItemAtScreenPoint(x, y);
          if (item == -2) return S_FALSE;
          child->vt = VT_I4;
          child->lVal = item < 0 ? CHILDID_SELF : item + 1;
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
  static bool Item(AccessibleList& list, const VARIANT& child, size_t* item) {
    if (child.vt != VT_I4 || child.lVal < 1 || static_cast<size_t>(child.lVal) > list.ItemCount()) return false;
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
    int row = -1;
    link_->Call(
        [&](AccessibleList& list) {
          row = list.SelectedRow();
          return S_OK;
        },
        kGone);
    if (row < 0) return S_FALSE;
    out->vt = VT_I4;
    out->lVal = row + 1;
    return S_OK;
  }

  const std::shared_ptr<AccessibleLink> link_;
};

}  // namespace

Accessibility::~Accessibility() {
  if (link_) link_->Disconnect();
}

bool Accessibility::OnGetObject(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (destroyed_) return false;
  if (!link_) link_ = std::make_shared<AccessibleLink>(list_, list_.ListWindow());
  if (automation_.OnGetObject(link_, wParam, lParam, result)) return true;
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return false;
  if (!msaa_) msaa_ = ComPtr<IUnknown>::Adopt((new CAccessibleList(link_))->Identity());
  *result = LresultFromObject(__uuidof(IAccessible), wParam, msaa_.Get());
  return true;
}

void Accessibility::OnCallMessage(WPARAM cookie) {
  if (link_) link_->OnCallMessage(cookie);
}

void Accessibility::OnShown(bool shown) {
  automation_.OnShown(shown);
  if (shown) {
    lastSelected_ = -1;
    lastCount_ = 0;
    lastAnnounced_.clear();
    OnChanged();
  }
}

void Accessibility::OnChanged() {
  const HWND window = list_.ListWindow();
  const size_t count = list_.ItemCount();
  if (count != lastCount_) NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
  if (link_) {
    // Rows change text with every letter, whether or not their number does.
    std::vector<std::u16string> names;
    names.reserve(count);
    for (size_t i = 0; i < count; ++i) names.push_back(list_.ItemName(i));
    if (names != lastNames_) {
      lastNames_ = std::move(names);
      link_->NextGeneration();
      automation_.OnRowsChanged();
    }
  }
  const int selected = list_.SelectedRow();
  if (selected >= 0 && (selected != lastSelected_ || count != lastCount_)) {
    NotifyWinEvent(EVENT_OBJECT_SELECTION, window, OBJID_CLIENT, selected + 1);
    NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, selected + 1);
    automation_.OnSelected(selected);
  }
  // Said whenever the highlighted word is another one: a letter can change it without moving the
  // highlight. Only for a list this window draws (an application that draws it says its own).
  std::u16string announced = selected >= 0 && list_.ListShown() ? list_.ItemName(static_cast<size_t>(selected)) : u"";
  if (announced != lastAnnounced_) {
    automation_.Announce(announced);
    lastAnnounced_ = std::move(announced);
  }
  lastSelected_ = selected;
  lastCount_ = count;
}

void Accessibility::OnDestroy(HWND window) {
  destroyed_ = true;
  // First: what the system does next may take calls that are waiting.
  if (link_) link_->Disconnect();
  automation_.OnDestroy(window);
}

}  // namespace quillet
