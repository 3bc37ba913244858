// Creation, activation and deactivation of the text service, the blocks and the error code.
#include "quillsvc/service/text_service.h"

#include <cstdint>
#include <vector>

#include "common/boundary.h"
#include "common/program_rules.h"
#include "common/result.h"
#include "ipc/loader_link.h"
#include "platform/win32/wide.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/service/sapi_speech.h"
#include "quillsvc/service/text_service_impl.h"

namespace quillet {

namespace {

// Below medium integrity (a low-integrity sandbox): a loader started from here would run at this
// integrity, and the user's medium processes could not trust what it made.
bool BelowMediumIntegrity(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<uint8_t> buffer(size);
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) return false;
  PSID label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  const UCHAR count = *GetSidSubAuthorityCount(label);
  return count != 0 && *GetSidSubAuthority(label, count - 1) < SECURITY_MANDATORY_MEDIUM_RID;
}

bool ReadRestricted() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    DWORD appContainer = 0;
    DWORD size = 0;
    // TokenIsAppContainer (29) is known from Windows 8 on; older systems refuse the class.
    const bool known = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(29), &appContainer,
                                           sizeof(appContainer), &size) != FALSE;
    const bool low = BelowMediumIntegrity(token);
    CloseHandle(token);
    if ((known && appContainer != 0) || low) return true;
  }
  wchar_t name[32] = {};
  DWORD needed = 0;
  HDESK desktop = GetThreadDesktop(GetCurrentThreadId());
  return desktop != nullptr && GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof(name), &needed) &&
         lstrcmpiW(name, L"Winlogon") == 0;
}

std::u16string ReadProgramName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::u16string();
    if (n < buffer.size()) {
      return std::u16string(ProgramFileName(platform::win32::FromWide(std::wstring_view(buffer.data(), n))));
    }
    if (buffer.size() >= 32768) return std::u16string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// The program rules name the host by its executable, which does not change while it runs.
std::u16string_view CQuillsvc::ProgramName() {
  static const std::u16string name = ReadProgramName();
  return name;
}

// Sandboxed hosts (app containers, low integrity) read what the loader started at logon publishes;
// on the logon desktop the text service is not registered to run, and stays passive if it does.
bool RestrictedHost() {
  static const bool restricted = ReadRestricted();
  return restricted;
}

HRESULT NewTextService(IUnknown** object) {
  *object = (new CQuillsvc())->Identity();
  return S_OK;
}

CQuillsvc::CQuillsvc() = default;

CQuillsvc::~CQuillsvc() { window_.reset(); }

HRESULT CQuillsvc::Activate(ITfThreadMgr* threadMgr, TfClientId clientId) {
  if (threadMgr == nullptr) return E_INVALIDARG;
  threadMgr_ = ComPtr<ITfThreadMgr>(threadMgr);
  clientId_ = clientId;
  const Result error = AtBoundary(Result::kOutOfMemory, [&] { return ActivateSteps(); });
  SetErrorCode(error);
  return ComBoundary([&] {
    if (error == Result::kSuccess) {
      langBar_.Update(true);
    } else {
      langBar_.Update(false);
      SetOpenState(false);
      langBar_.Refresh();
    }
    return error != Result::kSuccess ? E_FAIL : S_OK;
  });
}

Result CQuillsvc::ActivateSteps() {
  if (!AdviseThreadMgrEventSink()) return Result::kSinkAdviseFailed;
  ComPtr<ITfDocumentMgr> focus;
  if (SUCCEEDED(threadMgr_->GetFocus(focus.Put())) && focus && !AttachContext(focus.Get()))
    return Result::kSinkAdviseFailed;
  if (!AdviseKeyEventSink() || !AdviseThreadFocusSink()) return Result::kSinkAdviseFailed;
  // The indicator follows the compartment without it, only less promptly.
  AdviseOpenCloseSink();
  // The function provider is a convenience; the text service works without it.
  AdviseFunctionProvider();
  return OpenBlocks();
}

Result CQuillsvc::OpenBlocks() {
  // A restricted host reads what the loader published, or reports why not and tries at the next focus.
  if (!RestrictedHost()) {
    platform::OsError error = 0;
    const Result loader = loaderStarts_.Ensure(kFromService, &error);
    if (loader != Result::kSuccess) return loader;
  }
  const Result r = controller_.OpenPublications();
  // The voice is made here, at activation or focus, never while a key waits: the options may have
  // asked for it since the last time.
  if (r == Result::kSuccess && controller_.speaker().WantsVoice()) controller_.speaker().SetVoice(MakeSystemVoice());
  return r;
}

HRESULT CQuillsvc::Deactivate() {
  // Every step on its own: one that fails must not keep the others from giving back what the
  // framework holds of this object.
  AtBoundary([&] {
    // A composition left open would keep its sink, this object, alive through the framework's
    // reference: it ends here, its text staying, and is forgotten even when the session must wait.
    EndCompositionAsync();
  });
  controller_.composition().OnTerminated();
  compositionContext_.Reset();
  AtBoundary([&] { UnadviseThreadMgrEventSink(); });
  AtBoundary([&] { AttachContext(nullptr); });
  AtBoundary([&] { langBar_.Remove(); });
  AtBoundary([&] { UnadviseKeyEventSink(); });
  AtBoundary([&] { UnadviseThreadFocusSink(); });
  AtBoundary([&] { UnadviseOpenCloseSink(); });
  AtBoundary([&] { UnadviseFunctionProvider(); });
  threadMgr_.Reset();
  clientId_ = TF_CLIENTID_NULL;
  controller_.ClosePublications();
  keptWindow_.reset();
  controller_.EndActivation();
  controller_.speaker().DropVoice();
  SetErrorCode(Result::kSuccess);
  return S_OK;
}

}  // namespace quillet
