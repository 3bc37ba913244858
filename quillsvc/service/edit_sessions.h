// The text service's edit sessions: everything it does to a document runs inside one, with the edit
// cookie the framework grants. Each session holds a reference on its context and on the text service,
// so an asynchronous one that runs late still finds both alive.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/win32/com_ptr.h"
#include "platform/win32/tsf_interfaces.h"

namespace quillet {

class CQuillsvc;

class CEditSessionBase : public ITfEditSession {
 public:
  CEditSessionBase(const CEditSessionBase&) = delete;
  CEditSessionBase& operator=(const CEditSessionBase&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

 protected:
  CEditSessionBase(ITfContext* context, CQuillsvc* service);
  virtual ~CEditSessionBase();

  ITfContext* context() const { return context_.Get(); }
  CQuillsvc& service() const;

 private:
  platform::win32::ComPtr<ITfContext> context_;
  platform::win32::ComPtr<ITfTextInputProcessor> service_;
  ULONG refs_ = 1;
};

// Runs the key handler for one eaten key.
class CKeyHandlerEditSession final : public CEditSessionBase {
 public:
  CKeyHandlerEditSession(ITfContext* context, CQuillsvc* service, uint32_t key)
      : CEditSessionBase(context, service), key_(key) {}
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie cookie) override;

 private:
  uint32_t key_;
};

// Ends the composition; its text stays in the document.
class CEndCompositionEditSession final : public CEditSessionBase {
 public:
  CEndCompositionEditSession(ITfContext* context, CQuillsvc* service) : CEditSessionBase(context, service) {}
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie cookie) override;
};

// Reads the screen extent of `range` in `view` and moves the candidate window next to it.
class CGetTextExtentEditSession final : public CEditSessionBase {
 public:
  CGetTextExtentEditSession(ITfContext* context, CQuillsvc* service, ITfContextView* view, ITfRange* range)
      : CEditSessionBase(context, service), view_(view), range_(range) {}
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie cookie) override;

 private:
  platform::win32::ComPtr<ITfContextView> view_;
  platform::win32::ComPtr<ITfRange> range_;
};

}  // namespace quillet
