#include "quillsvc/candwin/automation_candidates.h"

#include <memory>
#include <string>
#include <utility>

#include "quillsvc/candwin/accessible_candidates.h"
#include "quillsvc/candwin/accessible_link.h"
#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/module.h"
#include "winui/gdi.h"

namespace quillet {
namespace {

constexpr char16_t kListName[] = u"Candidates";
constexpr char16_t kAutomationId[] = u"IME_Candidate_Window";

// uiautomationcore.dll, loaded once and kept: the providers it holds count in the module, so the DLL
// stays while the system may call them.
struct UiaApi {
  UiaReturnRawElementProviderFn returnProvider = nullptr;
  UiaHostProviderFromHwndFn hostProvider = nullptr;
  UiaRaiseAutomationEventFn raiseEvent = nullptr;
  UiaRaiseStructureChangedEventFn raiseStructureChanged = nullptr;
  UiaClientsAreListeningFn clientsListening = nullptr;
  UiaDisconnectProviderFn disconnect = nullptr;
  UiaRaiseNotificationEventFn raiseNotification = nullptr;  // not before Windows 10 1709

  bool available() const { return returnProvider && hostProvider && raiseEvent && clientsListening; }
  bool Listening() const { return available() && clientsListening(); }
};

const UiaApi& Uia() {
  static const UiaApi api = [] {
    UiaApi found;
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    if (n == 0 || n + 24 > MAX_PATH) return found;
    wcscpy(path + n, L"\\uiautomationcore.dll");
    const HMODULE module = LoadLibraryW(path);
    if (module == nullptr) return found;
    found.returnProvider = winui::FindProc<UiaReturnRawElementProviderFn>(module, "UiaReturnRawElementProvider");
    found.hostProvider = winui::FindProc<UiaHostProviderFromHwndFn>(module, "UiaHostProviderFromHwnd");
    found.raiseEvent = winui::FindProc<UiaRaiseAutomationEventFn>(module, "UiaRaiseAutomationEvent");
    found.raiseStructureChanged =
        winui::FindProc<UiaRaiseStructureChangedEventFn>(module, "UiaRaiseStructureChangedEvent");
    found.clientsListening = winui::FindProc<UiaClientsAreListeningFn>(module, "UiaClientsAreListening");
    found.disconnect = winui::FindProc<UiaDisconnectProviderFn>(module, "UiaDisconnectProvider");
    found.raiseNotification = winui::FindProc<UiaRaiseNotificationEventFn>(module, "UiaRaiseNotificationEvent");
    return found;
  }();
  return api;
}

HRESULT Nothing(VARIANT* value) {
  VariantInit(value);  // VT_EMPTY: the system's default for the property
  return S_OK;
}
HRESULT Int(VARIANT* value, int n) {
  value->vt = VT_I4;
  value->lVal = n;
  return S_OK;
}
HRESULT Bool(VARIANT* value, bool b) {
  value->vt = VT_BOOL;
  value->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT Text(VARIANT* value, std::u16string_view text) {
  BSTR s = nullptr;
  const HRESULT hr = NewBstr(text, &s);
  if (FAILED(hr)) return hr;
  value->vt = VT_BSTR;
  value->bstrVal = s;
  return S_OK;
}
UiaRect ToUia(const RectI& r) {
  return UiaRect{static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.width()),
                 static_cast<double>(r.height())};
}

constexpr HRESULT kGone = UIA_E_ELEMENTNOTAVAILABLE;
// Not ProviderOptions_UseComThreading: see accessible_link.h.
constexpr ProviderOptions kOptions = ProviderOptions_ServerSideProvider;

class CAutomationList;

// One row or tab of the rows it was made for. Items are made when asked for and compared by runtime
// id, so several objects may stand for one item.
class CAutomationItem final
    : public ComObject<ModuleCount, IRawElementProviderSimple, IRawElementProviderFragment, ISelectionItemProvider> {
 public:
  CAutomationItem(CAutomationList* root, size_t item, uint32_t generation);

  // IRawElementProviderSimple
  HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
    if (options == nullptr) return E_INVALIDARG;
    *options = kOptions;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override;
  HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override {
    if (host == nullptr) return E_INVALIDARG;
    *host = nullptr;  // part of the list, not a window of its own
    return S_OK;
  }

  // IRawElementProviderFragment
  HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction, IRawElementProviderFragment** out) override;
  HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** id) override;
  HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* rect) override;
  HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) override {
    if (roots == nullptr) return E_INVALIDARG;
    *roots = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetFocus() override { return S_OK; }  // the document keeps the focus
  HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** root) override;

  // ISelectionItemProvider: the highlight moves by the user's keys only.
  HRESULT STDMETHODCALLTYPE Select() override { return UIA_E_INVALIDOPERATION; }
  HRESULT STDMETHODCALLTYPE AddToSelection() override { return UIA_E_INVALIDOPERATION; }
  HRESULT STDMETHODCALLTYPE RemoveFromSelection() override { return UIA_E_INVALIDOPERATION; }
  HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) override;
  HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple** container) override;

 private:
  // Runs `read(list)` on the window's thread while this item's rows are the window's.
  template <class Read>
  HRESULT Call(Read&& read);

  ComPtr<CAutomationList> root_;
  const size_t item_;
  const uint32_t generation_;
};

// The window: a list, the fragment root of its items.
class CAutomationList final : public ComObject<ModuleCount, IRawElementProviderSimple, IRawElementProviderFragment,
                                               IRawElementProviderFragmentRoot, ISelectionProvider> {
 public:
  explicit CAutomationList(std::shared_ptr<AccessibleLink> link) : link_(std::move(link)) {}
  AccessibleLink& link() const { return *link_; }

  // On the window's thread: a new item provider, or null for an item that is not there.
  IRawElementProviderFragment* NewItem(AccessibleList& list, size_t item) {
    if (item >= list.ItemCount()) return nullptr;
    return new CAutomationItem(this, item, link_->generation());
  }

  // IRawElementProviderSimple
  HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override {
    if (options == nullptr) return E_INVALIDARG;
    *options = kOptions;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    return link_->Call(
        [&](AccessibleList&) {
          if (pattern == UIA_SelectionPatternId) {
            *out = static_cast<ISelectionProvider*>(this);
            AddRef();
          }
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* value) override {
    if (value == nullptr) return E_INVALIDARG;
    VariantInit(value);
    return link_->Call(
        [&](AccessibleList& list) {
          switch (property) {
            case UIA_ControlTypePropertyId:
              return Int(value, UIA_ListControlTypeId);
            case UIA_AutomationIdPropertyId:
              return Text(value, kAutomationId);
            case UIA_NamePropertyId:
              return Text(value, kListName);
            case UIA_IsKeyboardFocusablePropertyId:
              return Bool(value, false);
            case UIA_IsOffscreenPropertyId:
              return Bool(value, !list.ListShown());
            default:
              return Nothing(value);
          }
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override {
    if (host == nullptr) return E_INVALIDARG;
    *host = nullptr;
    // The window's own element gives the process, the window handle and the parent.
    return link_->Call([&](AccessibleList&) { return Uia().hostProvider(link_->window(), host); }, kGone);
  }

  // IRawElementProviderFragment
  HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction, IRawElementProviderFragment** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    return link_->Call(
        [&](AccessibleList& list) {
          const size_t count = list.ItemCount();
          // Parent and siblings come from the window's host element.
          if (direction == NavigateDirection_FirstChild && count > 0) *out = NewItem(list, 0);
          if (direction == NavigateDirection_LastChild && count > 0) *out = NewItem(list, count - 1);
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** id) override {
    if (id == nullptr) return E_INVALIDARG;
    *id = nullptr;  // the host element's
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* rect) override {
    if (rect == nullptr) return E_INVALIDARG;
    *rect = UiaRect{};  // the host element's
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) override {
    if (roots == nullptr) return E_INVALIDARG;
    *roots = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetFocus() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** root) override {
    if (root == nullptr) return E_INVALIDARG;
    *root = this;
    AddRef();
    return S_OK;
  }

  // IRawElementProviderFragmentRoot
  HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    return link_->Call(
        [&](AccessibleList& list) {
          const int item = list.ItemAtScreenPoint(static_cast<int>(x), static_cast<int>(y));
          if (item >= 0) *out = NewItem(list, static_cast<size_t>(item));
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    return link_->Call(
        [&](AccessibleList& list) {
          const int row = list.SelectedRow();
          if (row >= 0) *out = NewItem(list, static_cast<size_t>(row));
          return S_OK;
        },
        kGone);
  }

  // ISelectionProvider: the highlighted row, if any.
  HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** selection) override {
    if (selection == nullptr) return E_INVALIDARG;
    *selection = nullptr;
    return link_->Call(
        [&](AccessibleList& list) {
          const int row = list.SelectedRow();
          ComPtr<IRawElementProviderFragment> item;
          if (row >= 0) item = ComPtr<IRawElementProviderFragment>::Adopt(NewItem(list, static_cast<size_t>(row)));
          SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, item ? 1 : 0);
          if (array == nullptr) return E_OUTOFMEMORY;
          if (item) {
            LONG at = 0;
            const HRESULT hr = SafeArrayPutElement(array, &at, static_cast<IUnknown*>(item.Get()));
            if (FAILED(hr)) {
              SafeArrayDestroy(array);
              return hr;
            }
          }
          *selection = array;
          return S_OK;
        },
        kGone);
  }
  HRESULT STDMETHODCALLTYPE get_CanSelectMultiple(BOOL* multiple) override {
    if (multiple == nullptr) return E_INVALIDARG;
    *multiple = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsSelectionRequired(BOOL* required) override {
    if (required == nullptr) return E_INVALIDARG;
    *required = FALSE;
    return S_OK;
  }

 private:
  const std::shared_ptr<AccessibleLink> link_;
};

CAutomationItem::CAutomationItem(CAutomationList* root, size_t item, uint32_t generation)
    : root_(root), item_(item), generation_(generation) {}

template <class Read>
HRESULT CAutomationItem::Call(Read&& read) {
  AccessibleLink& link = root_->link();
  return link.Call(
      [&](AccessibleList& list) {
        // Rows change with every letter: an item of the rows before stands for nothing now.
        if (generation_ != link.generation() || item_ >= list.ItemCount()) return kGone;
        return read(list);
      },
      kGone);
}

HRESULT CAutomationItem::GetPatternProvider(PATTERNID pattern, IUnknown** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  return Call([&](AccessibleList& list) {
    if (pattern == UIA_SelectionItemPatternId && list.IsRow(item_)) {
      *out = static_cast<ISelectionItemProvider*>(this);
      AddRef();
    }
    return S_OK;
  });
}

HRESULT CAutomationItem::GetPropertyValue(PROPERTYID property, VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  VariantInit(value);
  return Call([&](AccessibleList& list) {
    const bool row = list.IsRow(item_);
    RectI r;
    switch (property) {
      case UIA_ControlTypePropertyId:
        return Int(value, row ? UIA_ListItemControlTypeId : UIA_TabItemControlTypeId);
      case UIA_NamePropertyId:
        return Text(value, list.ItemName(item_));
      case UIA_AccessKeyPropertyId: {
        if (!row || item_ > 9) return Nothing(value);
        // The digit key that picks the row.
        const char16_t digit[2] = {static_cast<char16_t>(item_ == 9 ? u'0' : u'1' + item_), 0};
        return Text(value, digit);
      }
      case UIA_IsKeyboardFocusablePropertyId:
        return Bool(value, false);
      case UIA_HasKeyboardFocusPropertyId:
        return Bool(value, row && list.ItemSelected(item_));
      case UIA_SelectionItemIsSelectedPropertyId:
        return Bool(value, list.ItemSelected(item_));
      case UIA_IsOffscreenPropertyId:
        return Bool(value, !list.ListShown() || !list.ItemScreenRect(item_, &r));
      default:
        return Nothing(value);
    }
  });
}

HRESULT CAutomationItem::Navigate(NavigateDirection direction, IRawElementProviderFragment** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  return Call([&](AccessibleList& list) {
    switch (direction) {
      case NavigateDirection_Parent:
        *out = static_cast<IRawElementProviderFragment*>(root_.Get());
        (*out)->AddRef();
        break;
      case NavigateDirection_NextSibling:
        *out = root_->NewItem(list, item_ + 1);
        break;
      case NavigateDirection_PreviousSibling:
        if (item_ > 0) *out = root_->NewItem(list, item_ - 1);
        break;
      default:
        break;  // items have no children
    }
    return S_OK;
  });
}

HRESULT CAutomationItem::GetRuntimeId(SAFEARRAY** id) {
  if (id == nullptr) return E_INVALIDARG;
  *id = nullptr;
  return Call([&](AccessibleList&) {
    // Unique within the window (the system puts the window's own id in front), and not given again to
    // the row in the same place of the next rows.
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 3);
    if (array == nullptr) return E_OUTOFMEMORY;
    const int parts[3] = {UiaAppendRuntimeId, static_cast<int>(generation_ & 0x7FFFFFFF), static_cast<int>(item_) + 1};
    for (LONG i = 0; i < 3; ++i) {
      const HRESULT hr = SafeArrayPutElement(array, &i, const_cast<int*>(&parts[i]));
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
      }
    }
    *id = array;
    return S_OK;
  });
}

HRESULT CAutomationItem::get_BoundingRectangle(UiaRect* rect) {
  if (rect == nullptr) return E_INVALIDARG;
  *rect = UiaRect{};
  return Call([&](AccessibleList& list) {
    RectI r;
    if (list.ListShown() && list.ItemScreenRect(item_, &r)) *rect = ToUia(r);
    return S_OK;
  });
}

HRESULT CAutomationItem::get_FragmentRoot(IRawElementProviderFragmentRoot** root) {
  if (root == nullptr) return E_INVALIDARG;
  *root = nullptr;
  return Call([&](AccessibleList&) {
    *root = static_cast<IRawElementProviderFragmentRoot*>(root_.Get());
    (*root)->AddRef();
    return S_OK;
  });
}

HRESULT CAutomationItem::get_IsSelected(BOOL* selected) {
  if (selected == nullptr) return E_INVALIDARG;
  *selected = FALSE;
  return Call([&](AccessibleList& list) {
    *selected = list.ItemSelected(item_);
    return S_OK;
  });
}

HRESULT CAutomationItem::get_SelectionContainer(IRawElementProviderSimple** container) {
  if (container == nullptr) return E_INVALIDARG;
  *container = nullptr;
  return Call([&](AccessibleList&) {
    *container = static_cast<IRawElementProviderSimple*>(root_.Get());
    (*container)->AddRef();
    return S_OK;
  });
}

CAutomationList* Root(const ComPtr<IRawElementProviderSimple>& root) {
  return static_cast<CAutomationList*>(root.Get());
}

}  // namespace

AutomationRoot::~AutomationRoot() {
  if (root_ && Uia().disconnect != nullptr) Uia().disconnect(root_.Get());
}

bool AutomationRoot::OnGetObject(const std::shared_ptr<AccessibleLink>& link, WPARAM wParam, LPARAM lParam,
                                 LRESULT* result) {
  const UiaApi& uia = Uia();
  if (static_cast<LONG>(lParam) != UiaRootObjectId || !uia.available()) return false;
  if (!root_) root_ = ComPtr<IRawElementProviderSimple>::Adopt(new CAutomationList(link));
  *result = uia.returnProvider(link->window(), wParam, lParam, root_.Get());
  return true;
}

void AutomationRoot::OnShown(bool shown) {
  if (!root_ || !Uia().Listening()) return;
  Uia().raiseEvent(root_.Get(), shown ? UIA_MenuOpenedEventId : UIA_MenuClosedEventId);
}

void AutomationRoot::OnRowsChanged() {
  if (!root_ || !Uia().Listening() || Uia().raiseStructureChanged == nullptr) return;
  Uia().raiseStructureChanged(root_.Get(), kStructureChildrenInvalidated, nullptr, 0);
}

void AutomationRoot::OnSelected(int row) {
  if (!root_ || row < 0 || !Uia().Listening()) return;
  CAutomationList* root = Root(root_);
  ComPtr<IRawElementProviderFragment> item;
  root->link().Call(
      [&](AccessibleList& list) {
        item = ComPtr<IRawElementProviderFragment>::Adopt(root->NewItem(list, static_cast<size_t>(row)));
        return S_OK;
      },
      kGone);
  const auto simple = QueryAs<IRawElementProviderSimple>(item.Get());
  if (simple) Uia().raiseEvent(simple.Get(), UIA_SelectionItem_ElementSelectedEventId);
}

void AutomationRoot::Announce(std::u16string_view text) {
  if (!root_ || text.empty() || Uia().raiseNotification == nullptr || !Uia().Listening()) return;
  using OwnedBstr = std::unique_ptr<OLECHAR, decltype(&SysFreeString)>;
  const auto owned = [](std::u16string_view t) {
    BSTR b = nullptr;
    return SUCCEEDED(NewBstr(t, &b)) ? OwnedBstr(b, &SysFreeString) : OwnedBstr(nullptr, &SysFreeString);
  };
  const OwnedBstr display = owned(text);
  const OwnedBstr activity = owned(u"QuilletHighlight");
  if (display == nullptr || activity == nullptr) return;
  // The newest highlight replaces any not yet read out: browsing fast never queues words up.
  Uia().raiseNotification(root_.Get(), kNotificationKindOther, kNotificationProcessingMostRecent, display.get(),
                          activity.get());
}

void AutomationRoot::OnDestroy(HWND window) {
  if (root_ && Uia().available()) Uia().returnProvider(window, 0, 0, nullptr);
}

}  // namespace quillet
