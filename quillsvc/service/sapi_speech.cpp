#include "quillsvc/service/sapi_speech.h"

#include <windows.h>
// After windows.h, which it needs.
#include <sapi.h>

#include <utility>

#include "platform/win32/wide.h"
#include "quillsvc/com/com_ptr.h"

namespace quillet {
namespace {

class SystemVoice final : public SpeechOutput {
 public:
  explicit SystemVoice(ComPtr<ISpVoice> voice) : voice_(std::move(voice)) {}

  bool Speak(std::u16string_view text, bool afterCurrent) override {
    // Plain text (a word is never markup), asynchronous; what is still pending goes unless this is
    // to follow it.
    const DWORD flags = SPF_ASYNC | SPF_IS_NOT_XML | (afterCurrent ? 0 : SPF_PURGEBEFORESPEAK);
    return SUCCEEDED(voice_->Speak(platform::win32::ToWide(text).c_str(), flags, nullptr));
  }

  bool ScreenReaderRunning() override {
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) && running;
  }

 private:
  ComPtr<ISpVoice> voice_;
};

}  // namespace

std::unique_ptr<SpeechOutput> MakeSystemVoice() {
  ComPtr<ISpVoice> voice;
  if (FAILED(
          ::CoCreateInstance(__uuidof(SpVoice), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ISpVoice), voice.PutVoid())) ||
      !voice) {
    return nullptr;
  }
  return std::make_unique<SystemVoice>(std::move(voice));
}

}  // namespace quillet
