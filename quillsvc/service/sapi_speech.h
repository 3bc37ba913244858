// The system's voice (the Windows speech interfaces: the user's default voice and rate) behind
// SpeechOutput. Made once, off the key path; every Speak returns at once.
#pragma once

#include <memory>
#include <string_view>

#include "quillsvc/service/word_speaker.h"

namespace quillet {

// A voice, or null where none can be made (no speech interfaces, no voice, a sandbox that refuses).
std::unique_ptr<SpeechOutput> MakeSystemVoice();

}  // namespace quillet
