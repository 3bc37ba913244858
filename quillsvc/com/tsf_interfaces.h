// Windows declarations that the mingw-w64 headers lack, declared once for the text service, its
// candidate window and our framework host: the Text Services Framework's, and the UI Automation
// patterns and identifiers the candidate window answers. IIDs and method order follow the published
// Windows headers (msctf.idl, ctfutb.idl, uiautomationcore.idl, uiautomationclient.idl): a vtable
// slot out of place would call the wrong method at run time, so tsf_interfaces_test.cpp checks both.
//
// Everything the mingw-w64 msctf.h and ctfutb.h do declare (thread manager, contexts, ranges,
// compositions, compartments, the language-bar item manager, ...) is used from there; their method
// order was checked against the same documentation and is right.
#pragma once

#include <ctfutb.h>
#include <msctf.h>
#include <olectl.h>
#include <textstor.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>
#include <windows.h>

// Results that msctf.h leaves out (it defines TF_E_STACKFULL, TF_E_DISCONNECTED, TF_E_ALREADY_EXISTS
// and TF_E_NOLOCK only).
#ifndef TF_E_LOCKED
#define TF_E_LOCKED MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0500)
#endif
#ifndef TF_E_NOTOWNEDRANGE
#define TF_E_NOTOWNEDRANGE MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0502)
#endif
#ifndef TF_E_NOPROVIDER
#define TF_E_NOPROVIDER MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0503)
#endif
#ifndef TF_E_INVALIDVIEW
#define TF_E_INVALIDVIEW MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0505)
#endif
#ifndef TF_E_RANGE_NOT_COVERED
#define TF_E_RANGE_NOT_COVERED MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0507)
#endif
#ifndef TF_E_COMPOSITION_REJECTED
#define TF_E_COMPOSITION_REJECTED MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0508)
#endif
#ifndef TF_E_EMPTYCONTEXT
#define TF_E_EMPTYCONTEXT MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0509)
#endif
#ifndef TF_E_INVALIDPOS
#define TF_E_INVALIDPOS TS_E_INVALIDPOS
#endif
#ifndef TF_E_NOLAYOUT
#define TF_E_NOLAYOUT TS_E_NOLAYOUT
#endif
#ifndef TF_E_SYNCHRONOUS
#define TF_E_SYNCHRONOUS TS_E_SYNCHRONOUS
#endif
#ifndef TF_E_READONLY
#define TF_E_READONLY TS_E_READONLY
#endif
#ifndef TF_S_ASYNC
#define TF_S_ASYNC TS_S_ASYNC
#endif

#ifndef TF_CLIENTID_NULL
#define TF_CLIENTID_NULL 0
#endif
#ifndef TF_INVALID_UIELEMENTID
#define TF_INVALID_UIELEMENTID static_cast<DWORD>(-1)
#endif

// Language-bar item styles, status bits, refresh flags and menu item flags (ctfutb.h).
#ifndef TF_LBI_ICON
#define TF_LBI_ICON 0x00000001
#define TF_LBI_TEXT 0x00000002
#define TF_LBI_TOOLTIP 0x00000004
#define TF_LBI_BITMAP 0x00000008
#define TF_LBI_BALLOON 0x00000010
#define TF_LBI_CUSTOMUI 0x00000020
#define TF_LBI_STATUS 0x00010000
#endif
#ifndef TF_LBI_STYLE_BTN_BUTTON
#define TF_LBI_STYLE_HIDDENSTATUSCONTROL 0x00000001
#define TF_LBI_STYLE_SHOWNINTRAY 0x00000002
#define TF_LBI_STYLE_HIDEONNOTASKBAR 0x00000004
#define TF_LBI_STYLE_SHOWNINTRAYONLY 0x00000008
#define TF_LBI_STYLE_HIDDENBYDEFAULT 0x00000010
#define TF_LBI_STYLE_TEXTCOLORICON 0x00000020
#define TF_LBI_STYLE_BTN_BUTTON 0x00010000
#define TF_LBI_STYLE_BTN_MENU 0x00020000
#define TF_LBI_STYLE_BTN_TOGGLE 0x00040000
#endif
#ifndef TF_LBI_STATUS_HIDDEN
#define TF_LBI_STATUS_HIDDEN 0x00000001
#define TF_LBI_STATUS_DISABLED 0x00000002
#define TF_LBI_STATUS_BTN_TOGGLED 0x00010000
#endif
#ifndef TF_LBMENUF_CHECKED
#define TF_LBMENUF_CHECKED 0x00000001
#define TF_LBMENUF_SUBMENU 0x00000002
#define TF_LBMENUF_SEPARATOR 0x00000004
#define TF_LBMENUF_RADIOCHECKED 0x00000008
#define TF_LBMENUF_GRAYED 0x00000010
#endif

typedef enum TfLBIClick { TF_LBI_CLK_RIGHT = 1, TF_LBI_CLK_LEFT = 2 } TfLBIClick;

typedef enum TfLBBalloonStyle {
  TF_LB_BALLOON_RECO = 0,
  TF_LB_BALLOON_SHOW = 1,
  TF_LB_BALLOON_MISS = 2
} TfLBBalloonStyle;

typedef struct TF_LBBALLOONINFO {
  TfLBBalloonStyle style;
  BSTR bstrText;
} TF_LBBALLOONINFO;

typedef enum TfLayoutCode { TF_LC_CREATE = 0, TF_LC_CHANGE = 1, TF_LC_DESTROY = 2 } TfLayoutCode;

// Candidate-list update flags (ITfCandidateListUIElement::GetUpdatedFlags).
#ifndef TF_CLUIE_DOCUMENTMGR
#define TF_CLUIE_DOCUMENTMGR 0x00000001
#define TF_CLUIE_COUNT 0x00000002
#define TF_CLUIE_SELECTION 0x00000004
#define TF_CLUIE_STRING 0x00000008
#define TF_CLUIE_PAGEINDEX 0x00000010
#define TF_CLUIE_CURRENTPAGE 0x00000020
#endif

// The IIDs, as C++17 inline variables: one definition however many files include this header.
inline constexpr IID IID_ITfTextLayoutSink = {
    0x2af2d06a, 0xdd5b, 0x4927, {0xa0, 0xb4, 0x54, 0xf1, 0x9c, 0x91, 0xfa, 0xde}};
inline constexpr IID IID_ITfMenu = {0x6f8a98e4, 0xaaa0, 0x4f15, {0x8c, 0x5b, 0x07, 0xe0, 0xdf, 0x0a, 0x3d, 0xd8}};
inline constexpr IID IID_ITfLangBarItemButton = {
    0x28c7f1d0, 0xde25, 0x11d2, {0xaf, 0xdd, 0x00, 0x10, 0x5a, 0x27, 0x99, 0xb5}};
inline constexpr IID IID_ITfLangBarItemBalloon = {
    0x01c2d285, 0xd3c7, 0x4b7b, {0xb5, 0xb5, 0xd9, 0x74, 0x11, 0xd0, 0xc2, 0x83}};
inline constexpr IID IID_ITfFunction = {0xdb593490, 0x098f, 0x11d3, {0x8d, 0xf0, 0x00, 0x10, 0x5a, 0x27, 0x99, 0xb5}};
inline constexpr IID IID_ITfFnConfigure = {
    0x88f567c6, 0x1757, 0x49f8, {0xa1, 0xb2, 0x89, 0x23, 0x4c, 0x1e, 0xef, 0xf9}};
inline constexpr IID IID_ITfFnShowHelp = {0x5ab1d30c, 0x094d, 0x4c29, {0x8e, 0xa5, 0x0b, 0xf5, 0x9b, 0xe8, 0x7b, 0xf3}};
inline constexpr IID IID_ITfCandidateListUIElement = {
    0xea1ea138, 0x19df, 0x11d7, {0xa6, 0xd2, 0x00, 0x06, 0x5b, 0x84, 0x43, 0x5c}};
inline constexpr IID IID_ITfCandidateListUIElementBehavior = {
    0x85fad185, 0x58ce, 0x497a, {0x94, 0x60, 0x35, 0x53, 0x66, 0xb6, 0x4b, 0x9a}};

// UI Automation: control types, events and structure changes (uiautomationclient.idl), and the two
// selection patterns of a list (uiautomationcore.idl).
#ifndef UIA_ListControlTypeId
#define UIA_ListItemControlTypeId 50007
#define UIA_ListControlTypeId 50008
#define UIA_TabItemControlTypeId 50019
#endif
#ifndef UIA_MenuOpenedEventId
#define UIA_MenuOpenedEventId 20003
#define UIA_MenuClosedEventId 20007
#define UIA_SelectionItem_ElementSelectedEventId 20012
#endif
enum QuilletStructureChangeType { kStructureChildrenInvalidated = 2 };

inline constexpr IID IID_ISelectionProvider = {
    0xfb8b03af, 0x3bdf, 0x48d4, {0xbd, 0x36, 0x1a, 0x65, 0x79, 0x3b, 0xe1, 0x68}};
inline constexpr IID IID_ISelectionItemProvider = {
    0x2acad808, 0xb2d4, 0x452d, {0xa4, 0x07, 0x91, 0xff, 0x1a, 0xd1, 0x67, 0xb2}};

MIDL_INTERFACE("fb8b03af-3bdf-48d4-bd36-1a65793be168")
ISelectionProvider : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY * *pRetVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanSelectMultiple(BOOL * pRetVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsSelectionRequired(BOOL * pRetVal) = 0;
};

MIDL_INTERFACE("2acad808-b2d4-452d-a407-91ff1ad167b2")
ISelectionItemProvider : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE Select() = 0;
  virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL * pRetVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple * *pRetVal) = 0;
};

// UI Automation's flat calls (uiautomationcoreapi.h, which does not compile as C++: a parameter is
// named `new`). uiautomationcore.dll has no import library here: its users find them at run time.
#ifndef UiaRootObjectId
#define UiaRootObjectId -25
#define UiaAppendRuntimeId 3
#endif
#ifndef UIA_E_ELEMENTNOTAVAILABLE
#define UIA_E_ELEMENTNOTAVAILABLE static_cast<HRESULT>(0x80040201)
#define UIA_E_INVALIDOPERATION static_cast<HRESULT>(0x80131509)
#endif
DECLARE_HANDLE(HUIANODE);
using UiaReturnRawElementProviderFn = LRESULT(WINAPI*)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*);
using UiaHostProviderFromHwndFn = HRESULT(WINAPI*)(HWND, IRawElementProviderSimple**);
using UiaRaiseAutomationEventFn = HRESULT(WINAPI*)(IRawElementProviderSimple*, EVENTID);
using UiaRaiseStructureChangedEventFn = HRESULT(WINAPI*)(IRawElementProviderSimple*, int, int*, int);
using UiaClientsAreListeningFn = BOOL(WINAPI*)();
using UiaDisconnectProviderFn = HRESULT(WINAPI*)(IRawElementProviderSimple*);  // Windows 8 and later
// Windows 10 1709 and later: text a screen reader announces. The kind and processing are the
// NotificationKind and NotificationProcessing enumerations (int-sized).
using UiaRaiseNotificationEventFn = HRESULT(WINAPI*)(IRawElementProviderSimple*, int, int, BSTR, BSTR);
enum QuilletNotificationKind { kNotificationKindOther = 4 };
enum QuilletNotificationProcessing { kNotificationProcessingMostRecent = 3 };
// The client's, as a reader of the element tree calls them.
struct UiaCondition {
  int ConditionType;  // 0: every element
};
struct UiaCacheRequest {
  UiaCondition* pViewCondition;
  int Scope;  // 1: the element itself
  PROPERTYID* pProperties;
  int cProperties;
  PATTERNID* pPatterns;
  int cPatterns;
  int automationElementMode;  // 1: full
};
using UiaNodeFromHandleFn = HRESULT(WINAPI*)(HWND, HUIANODE*);
using UiaNodeReleaseFn = BOOL(WINAPI*)(HUIANODE);
using UiaGetPropertyValueFn = HRESULT(WINAPI*)(HUIANODE, PROPERTYID, VARIANT*);
using UiaNavigateFn = HRESULT(WINAPI*)(HUIANODE, NavigateDirection, UiaCondition*, UiaCacheRequest*, SAFEARRAY**,
                                       BSTR*);
using UiaHUiaNodeFromVariantFn = HRESULT(WINAPI*)(VARIANT*, HUIANODE*);

// Per-monitor DPI (winuser.h of Windows 10, shellscalingapi.h of Windows 8.1): newer than this build's
// Windows 7 target, so their users find them at run time.
using GetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)();
using SetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetAwarenessFromDpiAwarenessContextFn = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
inline constexpr int kMonitorEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// What a text service says it can do, as categories of its class (msctf.h): run in store apps, show
// in the taskbar's input indicator, offer its candidate lists as UI elements, follow the input-mode
// compartment. (The secure-mode category is left out on purpose: see the registration.)
inline constexpr GUID kCategoryImmersiveSupport = {
    0x13a016df, 0x560b, 0x46cd, {0x94, 0x7a, 0x4c, 0x3a, 0xf1, 0xe0, 0xe3, 0x5d}};
inline constexpr GUID kCategorySystraySupport = {
    0x25504fb4, 0x7bab, 0x4bc1, {0x9c, 0x69, 0xcf, 0x81, 0x89, 0x0f, 0x0e, 0xf5}};
inline constexpr GUID kCategoryUiElementEnabled = {
    0x49d2f9cf, 0x1f5e, 0x11d7, {0xa6, 0xd3, 0x00, 0x06, 0x5b, 0x84, 0x43, 0x5c}};
inline constexpr GUID kCategoryInputModeCompartment = {
    0xccf05dd7, 0x4a87, 0x11d7, {0xa6, 0xe2, 0x00, 0x06, 0x5b, 0x84, 0x43, 0x5c}};

// The language-bar item that Windows 8 and later show as the taskbar's input indicator
// (GUID_LBI_INPUTMODE, msctf.h).
inline constexpr GUID kLangBarItemInputMode = {
    0x2c77a81e, 0x41cc, 0x4178, {0xa3, 0xa7, 0x5f, 0x8a, 0x98, 0x75, 0x68, 0xe6}};

// The input-scope property of a context's text (GUID_PROP_INPUTSCOPE): inputscope.h declares it, no
// import library defines it.
inline constexpr GUID kInputScopeProperty = {
    0x1713dd5a, 0x68e7, 0x4a5b, {0x9a, 0xf6, 0x59, 0x2a, 0x59, 0x5c, 0x77, 0x8d}};

// The context's layout-change sink (advised through the context's ITfSource).
MIDL_INTERFACE("2af2d06a-dd5b-4927-a0b4-54f19c91fade")
ITfTextLayoutSink : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnLayoutChange(ITfContext * pic, TfLayoutCode lcode, ITfContextView * pView) = 0;
};

// The menu a menu button fills in ITfLangBarItemButton::InitMenu.
MIDL_INTERFACE("6f8a98e4-aaa0-4f15-8c5b-07e0df0a3dd8")
ITfMenu : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE AddMenuItem(UINT uId, DWORD dwFlags, HBITMAP hbmp, HBITMAP hbmpMask,
                                                const WCHAR* pch, ULONG cch, ITfMenu** ppMenu) = 0;
};

MIDL_INTERFACE("28c7f1d0-de25-11d2-afdd-00105a2799b5")
ITfLangBarItemButton : public ITfLangBarItem {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick click, POINT pt, const RECT* prcArea) = 0;
  virtual HRESULT STDMETHODCALLTYPE InitMenu(ITfMenu * pMenu) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnMenuSelect(UINT wID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIcon(HICON * phIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetText(BSTR * pbstrText) = 0;
};

MIDL_INTERFACE("01c2d285-d3c7-4b7b-b5b5-d97411d0c283")
ITfLangBarItemBalloon : public ITfLangBarItem {
 public:
  virtual HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick click, POINT pt, const RECT* prcArea) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPreferredSize(const SIZE* pszDefault, SIZE* psz) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBalloonInfo(TF_LBBALLOONINFO * pInfo) = 0;
};

MIDL_INTERFACE("db593490-098f-11d3-8df0-00105a2799b5")
ITfFunction : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetDisplayName(BSTR * pbstrName) = 0;
};

MIDL_INTERFACE("88f567c6-1757-49f8-a1b2-89234c1eeff9")
ITfFnConfigure : public ITfFunction {
 public:
  virtual HRESULT STDMETHODCALLTYPE Show(HWND hwndParent, LANGID langid, REFGUID rguidProfile) = 0;
};

MIDL_INTERFACE("5ab1d30c-094d-4c29-8ea5-0bf59be87bf3")
ITfFnShowHelp : public ITfFunction {
 public:
  virtual HRESULT STDMETHODCALLTYPE Show(HWND hwndParent) = 0;
};

MIDL_INTERFACE("ea1ea138-19df-11d7-a6d2-00065b84435c")
ITfCandidateListUIElement : public ITfUIElement {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetUpdatedFlags(DWORD * pdwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr * *ppdim) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(UINT * puCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSelection(UINT * puIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetString(UINT uIndex, BSTR * pstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPageIndex(UINT * pIndex, UINT uSize, UINT * puPageCnt) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPageIndex(UINT * pIndex, UINT uPageCnt) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPage(UINT * puPage) = 0;
};

MIDL_INTERFACE("85fad185-58ce-497a-9460-355366b64b9a")
ITfCandidateListUIElementBehavior : public ITfCandidateListUIElement {
 public:
  virtual HRESULT STDMETHODCALLTYPE SetSelection(UINT nIndex) = 0;
  virtual HRESULT STDMETHODCALLTYPE Finalize() = 0;
  virtual HRESULT STDMETHODCALLTYPE Abort() = 0;
};

// __uuidof for the interfaces above, as the mingw-w64 headers do it for theirs.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ITfTextLayoutSink, 0x2af2d06a, 0xdd5b, 0x4927, 0xa0, 0xb4, 0x54, 0xf1, 0x9c, 0x91, 0xfa, 0xde)
__CRT_UUID_DECL(ITfMenu, 0x6f8a98e4, 0xaaa0, 0x4f15, 0x8c, 0x5b, 0x07, 0xe0, 0xdf, 0x0a, 0x3d, 0xd8)
__CRT_UUID_DECL(ITfLangBarItemButton, 0x28c7f1d0, 0xde25, 0x11d2, 0xaf, 0xdd, 0x00, 0x10, 0x5a, 0x27, 0x99, 0xb5)
__CRT_UUID_DECL(ITfLangBarItemBalloon, 0x01c2d285, 0xd3c7, 0x4b7b, 0xb5, 0xb5, 0xd9, 0x74, 0x11, 0xd0, 0xc2, 0x83)
__CRT_UUID_DECL(ITfFunction, 0xdb593490, 0x098f, 0x11d3, 0x8d, 0xf0, 0x00, 0x10, 0x5a, 0x27, 0x99, 0xb5)
__CRT_UUID_DECL(ITfFnConfigure, 0x88f567c6, 0x1757, 0x49f8, 0xa1, 0xb2, 0x89, 0x23, 0x4c, 0x1e, 0xef, 0xf9)
__CRT_UUID_DECL(ITfFnShowHelp, 0x5ab1d30c, 0x094d, 0x4c29, 0x8e, 0xa5, 0x0b, 0xf5, 0x9b, 0xe8, 0x7b, 0xf3)
__CRT_UUID_DECL(ITfCandidateListUIElement, 0xea1ea138, 0x19df, 0x11d7, 0xa6, 0xd2, 0x00, 0x06, 0x5b, 0x84, 0x43, 0x5c)
__CRT_UUID_DECL(ISelectionProvider, 0xfb8b03af, 0x3bdf, 0x48d4, 0xbd, 0x36, 0x1a, 0x65, 0x79, 0x3b, 0xe1, 0x68)
__CRT_UUID_DECL(ISelectionItemProvider, 0x2acad808, 0xb2d4, 0x452d, 0xa4, 0x07, 0x91, 0xff, 0x1a, 0xd1, 0x67, 0xb2)
__CRT_UUID_DECL(ITfCandidateListUIElementBehavior, 0x85fad185, 0x58ce, 0x497a, 0x94, 0x60, 0x35, 0x53, 0x66, 0xb6, 0x4b,
                0x9a)
#endif
