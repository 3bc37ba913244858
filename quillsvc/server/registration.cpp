#include "quillsvc/server/registration.h"

#include <msctf.h>

#include <string>

#include "platform/process.h"
#include "platform/win32/wide.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/guids.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {
namespace {

constexpr LANGID kProfileLanguage = 0x0804;
constexpr wchar_t kDescription[] = L"Quillet";

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Put() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

template <class T>
ComPtr<T> Create(REFCLSID clsid, REFIID iid) {
  ComPtr<T> object;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.PutVoid()))) return nullptr;
  return object;
}

// The module's full file name; empty when it cannot be read.
std::wstring ModulePath() { return platform::win32::ToWide(platform::ModulePath()); }

bool SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));  // with the NUL
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

bool CreateKey(HKEY parent, const wchar_t* name, RegKey* key) {
  return RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key->Put(), nullptr) ==
         ERROR_SUCCESS;
}

bool RegisterComClass() {
  const std::wstring path = ModulePath();
  RegKey classKey;
  RegKey serverKey;
  return !path.empty() && CreateKey(HKEY_CLASSES_ROOT, ClassKeyName(), &classKey) &&
         SetString(classKey.get(), nullptr, kDescription) && CreateKey(classKey.get(), L"InProcServer32", &serverKey) &&
         SetString(serverKey.get(), nullptr, path) && SetString(serverKey.get(), L"ThreadingModel", L"Apartment");
}

bool RegisterProfile() {
  // The icon comes from the module itself (its first icon), named by its full (wide) path.
  const std::wstring icon = ModulePath();
  const auto description = static_cast<ULONG>(wcslen(kDescription));
  // The profile manager's one call (Windows 8 on) registers the profile enabled for new users too;
  // where it is missing or not implemented (Wine) the older two calls do the same.
  if (const auto manager =
          Create<ITfInputProcessorProfileMgr>(CLSID_TF_InputProcessorProfiles, IID_ITfInputProcessorProfileMgr)) {
    if (SUCCEEDED(manager->RegisterProfile(kClsidTextService, kProfileLanguage, kGuidProfile, kDescription, description,
                                           icon.c_str(), static_cast<ULONG>(icon.size()), 0, nullptr, 0, TRUE, 0))) {
      return true;
    }
  }
  const auto profiles =
      Create<ITfInputProcessorProfiles>(CLSID_TF_InputProcessorProfiles, IID_ITfInputProcessorProfiles);
  if (profiles == nullptr || FAILED(profiles->Register(kClsidTextService))) return false;
  return SUCCEEDED(profiles->AddLanguageProfile(kClsidTextService, kProfileLanguage, kGuidProfile, kDescription,
                                                description, icon.c_str(), static_cast<ULONG>(icon.size()), 0));
}

// The keyboard category and the capabilities Windows 8 and later look for. Not secure mode: the
// text service starts the loader and shows dialogs, which must never happen on the logon or UAC
// desktop, so it stays off there.
const GUID* const kCategories[] = {&GUID_TFCAT_TIP_KEYBOARD, &kCategoryImmersiveSupport, &kCategorySystraySupport,
                                   &kCategoryUiElementEnabled, &kCategoryInputModeCompartment};

bool RegisterCategories() {
  const auto categories = Create<ITfCategoryMgr>(CLSID_TF_CategoryMgr, IID_ITfCategoryMgr);
  if (categories == nullptr) return false;
  for (const GUID* category : kCategories) {
    if (FAILED(categories->RegisterCategory(kClsidTextService, *category, kClsidTextService))) return false;
  }
  return true;
}

// Deletes `name` below `parent` with everything beneath it. A key that cannot be opened counts as
// gone.
LSTATUS DeleteTree(HKEY parent, const wchar_t* name) {
  {
    RegKey key;
    if (RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, key.Put()) != ERROR_SUCCESS) return ERROR_SUCCESS;
    for (;;) {
      wchar_t child[257];
      DWORD length = 257;
      if (RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      const LSTATUS status = DeleteTree(key.get(), child);
      if (status != ERROR_SUCCESS) return status;
    }
  }
  return RegDeleteKeyW(parent, name);
}

}  // namespace

const wchar_t* ClassKeyName() {
  static const std::wstring name = L"CLSID\\" + GuidKeyText(kClsidTextService);
  return name.c_str();
}

void UnregisterServer() {
  // Registration may run on a thread without COM (an installer's).
  ComApartment com;
  ComBoundary([] {
    if (const auto profiles =
            Create<ITfInputProcessorProfiles>(CLSID_TF_InputProcessorProfiles, IID_ITfInputProcessorProfiles)) {
      profiles->Unregister(kClsidTextService);
    }
    if (const auto categories = Create<ITfCategoryMgr>(CLSID_TF_CategoryMgr, IID_ITfCategoryMgr)) {
      for (const GUID* category : kCategories) {
        categories->UnregisterCategory(kClsidTextService, *category, kClsidTextService);
      }
      // An earlier version registered a display-attribute provider it never had.
      categories->UnregisterCategory(kClsidTextService, GUID_TFCAT_DISPLAYATTRIBUTEPROVIDER, kClsidTextService);
    }
    DeleteTree(HKEY_CLASSES_ROOT, ClassKeyName());
    return S_OK;
  });
}

HRESULT RegisterServer() {
  ComApartment com;
  const HRESULT hr =
      ComBoundary([] { return RegisterComClass() && RegisterProfile() && RegisterCategories() ? S_OK : E_FAIL; });
  if (hr == S_OK) return S_OK;
  UnregisterServer();
  return hr == E_OUTOFMEMORY ? E_OUTOFMEMORY : E_FAIL;
}

}  // namespace quillet
