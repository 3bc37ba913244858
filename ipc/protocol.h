// What every program that talks to the loader agrees on: the names of the session's named objects,
// the loader's messages, the time-outs of each party and the loader's command lines. The loader, the
// generator and the text service (with its settings sheet) include this one header for all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet {

// The three named objects of one shared block: its file mapping, created only by the loader, and the
// two events of its lock, created by whichever party comes first.
struct BlockNames {
  std::u16string_view mapping;
  std::u16string_view readEvent;   // auto-reset, created signalled: the single token
  std::u16string_view writeEvent;  // manual-reset, created signalled: the writers' gate
};

inline constexpr std::u16string_view kDictionaryMappingName = u"Local\\@@DMFQLQX@@";
inline constexpr std::u16string_view kDictionaryReadEventName = u"Local\\@@DREQLQX@@";
inline constexpr std::u16string_view kDictionaryWriteEventName = u"Local\\@@DWEQLQX@@";
inline constexpr std::u16string_view kSettingsMappingName = u"Local\\@@SMFQLQX@@";
inline constexpr std::u16string_view kSettingsReadEventName = u"Local\\@@SREQLQX@@";
inline constexpr std::u16string_view kSettingsWriteEventName = u"Local\\@@SWEQLQX@@";

inline constexpr BlockNames kDictionaryBlockNames{kDictionaryMappingName, kDictionaryReadEventName,
                                                  kDictionaryWriteEventName};
inline constexpr BlockNames kSettingsBlockNames{kSettingsMappingName, kSettingsReadEventName, kSettingsWriteEventName};
// The tabs' options beyond the settings record, kept and published like it.
inline constexpr BlockNames kTabOptionsBlockNames{u"Local\\@@OMFQLQX@@", u"Local\\@@OREQLQX@@", u"Local\\@@OWEQLQX@@"};
// The ranking data of one publication of the dictionary block: a mapping named by this prefix and the
// block's generation in four hex digits, made before the block shows that generation and never
// written afterwards, so that it is read under the dictionary block's lock (see ranking_image.h).
inline constexpr std::u16string_view kRankingMappingPrefix = u"Local\\@@RMFQLQX@@";
// The words text services report for learning (common/learn_inbox.h), and the learned store the
// loader publishes from them: a mapping named by this prefix and the generation the inbox names,
// never written after it is named there.
inline constexpr BlockNames kLearnInboxBlockNames{u"Local\\@@LMFQLQX@@", u"Local\\@@LREQLQX@@", u"Local\\@@LWEQLQX@@"};
inline constexpr std::u16string_view kLearnedMappingPrefix = u"Local\\@@PMFQLQX@@";

// Block lock waits are bounded so that a party that died holding the token cannot freeze every
// application the user types in; a timed-out wait fails like any other (Result::kWaitFailed).
inline constexpr uint32_t kLockTimeoutMs = 3000;

// The loader's start lock (auto-reset, created signalled), taken by whoever may start the loader, and
// its presence mark, kept open by the loader while it runs.
inline constexpr std::u16string_view kLoaderStartLockName = u"Local\\@@DAEQLQX@@";
inline constexpr std::u16string_view kLoaderPresenceName = u"Local\\@@LDRINST@@";

// Reload (WM_APP + 10): wParam nonzero when the settings record or the tabs' options in their blocks
// were written and are to be kept, lParam nonzero when the dictionary list changed. The reply is not
// used.
inline constexpr uint32_t kLoaderReloadMessage = 0x800A;
// Handshake (WM_APP + 11), sent right after a start: the loader replies Result::kSuccess once both
// blocks hold valid content, otherwise a result code of its own.
inline constexpr uint32_t kLoaderHandshakeMessage = 0x800B;

// Every message is answered within this time; senders give up after it.
inline constexpr uint32_t kLoaderMessageTimeoutMs = 5000;
// How long a starter waits for a started loader to become ready.
inline constexpr uint32_t kLoaderIdleTimeoutMs = 5000;
// The start lock is held only across a process start and its idle wait (about 5 s at worst), so a
// wait this long means a holder died with it; giving up keeps the host application responsive.
inline constexpr uint32_t kLoaderStartLockTimeoutMs = 20000;

// The loader's command line says who started it; it is handed over in a buffer of 20 characters.
inline constexpr std::u16string_view kFromService = u"from service";
inline constexpr std::u16string_view kFromSetting = u"from setting";
inline constexpr size_t kLoaderCommandLineMax = 19;

}  // namespace quillet
