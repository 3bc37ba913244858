// What every program that talks to the loader agrees on: the names of the session's named objects,
// the loader's messages, the time-outs of each party and the loader's command lines. The loader, the
// generator and the text service (with its settings sheet) include this one header for all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet {

// The three named objects of one block that parties write under its lock: its file mapping, created
// only by the loader, and the two events of its lock.
struct BlockNames {
  std::u16string_view mapping;
  std::u16string_view readEvent;   // auto-reset, created signalled: the single token
  std::u16string_view writeEvent;  // manual-reset, created signalled: the writers' gate
};

inline constexpr std::u16string_view kSettingsMappingName = u"Local\\@@SMFQLQX@@";
inline constexpr std::u16string_view kSettingsReadEventName = u"Local\\@@SREQLQX@@";
inline constexpr std::u16string_view kSettingsWriteEventName = u"Local\\@@SWEQLQX@@";

inline constexpr BlockNames kSettingsBlockNames{kSettingsMappingName, kSettingsReadEventName, kSettingsWriteEventName};
// The options record (common/options_record.h), kept like the settings. The settings block and this one are
// where the settings sheet and the generator hand the loader a changed record (under the block's
// lock, then kLoaderReloadMessage); text services never read them, they read the publications below.
inline constexpr BlockNames kOptionsBlockNames{u"Local\\@@OMFQLQX@@", u"Local\\@@OREQLQX@@", u"Local\\@@OWEQLQX@@"};
// The per-program rules (common/program_rules.h), kept and handed over like the options.
inline constexpr BlockNames kProgramsBlockNames{u"Local\\@@NMFQLQX@@", u"Local\\@@NREQLQX@@", u"Local\\@@NWEQLQX@@"};
// The words text services report for learning (common/learn_inbox.h). Private to the user's
// processes of medium integrity, as the learned store is.
inline constexpr BlockNames kLearnInboxBlockNames{u"Local\\@@LMFQLQX@@", u"Local\\@@LREQLQX@@", u"Local\\@@LWEQLQX@@"};
// How the learning of text files asked for through the inbox goes (common/learn_progress.h); the
// loader alone writes it. As private as the inbox.
inline constexpr BlockNames kLearnProgressBlockNames{u"Local\\@@LPFQLQX@@", u"Local\\@@LPREQLQX@@",
                                                     u"Local\\@@LPWEQLQX@@"};

// What the loader publishes for text services to read (common/publication_index.h): the index, and
// each publication a mapping named by its kind's prefix and its generation in four hex digits.
inline constexpr std::u16string_view kPublicationIndexName = u"Local\\@@IXFQLQX@@";
inline constexpr std::u16string_view kDictionaryPublicationPrefix = u"Local\\@@DMFQLQX@@";
inline constexpr std::u16string_view kRankingPublicationPrefix = u"Local\\@@RMFQLQX@@";
inline constexpr std::u16string_view kSettingsPublicationPrefix = u"Local\\@@SPFQLQX@@";
inline constexpr std::u16string_view kOptionsPublicationPrefix = u"Local\\@@OPFQLQX@@";
inline constexpr std::u16string_view kLearnedPublicationPrefix = u"Local\\@@PMFQLQX@@";
inline constexpr std::u16string_view kSoundPublicationPrefix = u"Local\\@@VMFQLQX@@";
inline constexpr std::u16string_view kProgramsPublicationPrefix = u"Local\\@@NPFQLQX@@";

// Block locks. No party holds one longer than a copy takes; a lock not had within kLockAbandonMs
// was left taken by a party that died (or that misbehaves), and the loader takes it over, which
// restores it. Parties in host applications wait briefly and then leave the lock alone for a while,
// so that no key, click or focus change waits long because of another process.
inline constexpr uint32_t kLockAbandonMs = 1000;
inline constexpr uint32_t kHostLockWaitMs = 50;
inline constexpr uint32_t kHostLockQuietMs = 5000;
// Programs run from the command line may wait as long as it takes the loader to take a lock over.
inline constexpr uint32_t kToolLockWaitMs = 3 * kLockAbandonMs;

// The loader's start lock (auto-reset, created signalled), taken by whoever may start the loader, and
// its presence mark, kept open by the loader while it runs.
inline constexpr std::u16string_view kLoaderStartLockName = u"Local\\@@DAEQLQX@@";
inline constexpr std::u16string_view kLoaderPresenceName = u"Local\\@@LDRINST@@";

// Reload (WM_APP + 10): wParam nonzero when the settings record, the options or the program rules in
// their blocks were written and are to be kept, lParam nonzero when the dictionary list changed. The reply is not
// used.
inline constexpr uint32_t kLoaderReloadMessage = 0x800A;
// Handshake (WM_APP + 11), sent right after a start: the loader replies Result::kSuccess once both
// blocks hold valid content, otherwise a result code of its own.
inline constexpr uint32_t kLoaderHandshakeMessage = 0x800B;

// Every message is answered within this time; senders give up after it.
inline constexpr uint32_t kLoaderMessageTimeoutMs = 5000;
// How long a starter waits for a started loader to become ready.
inline constexpr uint32_t kLoaderIdleTimeoutMs = 5000;
// Whoever holds the start lock starts the loader and waits for it (kLoaderIdleTimeoutMs); a text
// service that finds it taken waits for that start, once.
inline constexpr uint32_t kLoaderStartLockTimeoutMs = kLoaderIdleTimeoutMs + 1000;

// After a start of the loader failed, a text service does not try again for this long.
inline constexpr uint32_t kLoaderRetryQuietMs = 30000;

// The loader's command line says who started it; it is handed over in a buffer of 20 characters.
inline constexpr std::u16string_view kFromService = u"from service";
inline constexpr std::u16string_view kFromSetting = u"from setting";
inline constexpr size_t kLoaderCommandLineMax = 19;

}  // namespace quillet
