// What the loader publishes, as one reader sees it: the index and the publications it names
// (common/publication_index.h), opened together, read in place and dropped together. None of them is
// written once named, so reading takes no lock and no other process can make a reader wait.
// Tools and tests may hand it publications made in their own process instead; it then reads no index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/dictionary_view.h"
#include "common/learned_store.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/publication_index.h"
#include "common/rank_view.h"
#include "common/result.h"
#include "common/sound_index.h"
#include "platform/named_objects.h"

namespace quillet {

class PublishedData {
 public:
  PublishedData() = default;
  PublishedData(const PublishedData&) = delete;
  PublishedData& operator=(const PublishedData&) = delete;

  // Opens the loader's index and what it names (nothing when open already). kMappingOpenFailed when
  // there is no index or no settings or dictionary publication (no loader published any),
  // kWaitFailed when the index could not be read whole, kMalformed for settings smaller than the
  // record, kNoDictionary for a publication without a dictionary. A failure leaves it closed, with
  // lastError() set for an OS failure.
  Result Open();
  // Opens what the index names now where it differs from what is open; a publication that can no
  // longer be opened is dropped (its part reads as absent), and settings or dictionaries that
  // cannot be replaced stay as they were. True when anything changed: every view taken from here
  // before is stale then. Nothing for publications made in this process.
  bool Refresh();
  void Close();
  bool open() const { return settings_.size() != 0 && !directory_.empty(); }
  uint32_t lastError() const { return lastError_; }

  // The settings record (at least kSettingsRecordSize bytes); null when not open.
  const uint8_t* settings() const { return settings_.size() != 0 ? settings_.data() : nullptr; }
  size_t settingsSize() const { return settings_.size(); }
  // One view per dictionary position.
  const std::vector<DictionaryView>& directory() const { return directory_; }
  // The ranking data of each dictionary position (none for a position without any, or beyond).
  const std::vector<std::optional<RankView>>& rankings() const { return rankings_; }
  // The sound index of dictionary position `dictionaryIndex`; null when none was published for it or
  // it was made for another dictionary (checked once per publication).
  const SoundIndexView* sounds(size_t dictionaryIndex) const {
    return dictionaryIndex < sounds_.size() && sounds_[dictionaryIndex] ? &*sounds_[dictionaryIndex] : nullptr;
  }
  // Null when nothing was learned, or the store may not be read here (a sandboxed host).
  const LearnedView* learned() const { return learned_ ? &*learned_ : nullptr; }
  // The options record (of exactly its size); null without one (every tab then has the
  // defaults).
  const uint8_t* options() const { return options_.size() != 0 ? options_.data() : nullptr; }
  size_t optionsSize() const { return options_.size() != 0 ? kOptionsRecordSize : 0; }
  // The per-program rules (of exactly their size); null without them (no program has a rule).
  const uint8_t* programs() const { return programs_.size() != 0 ? programs_.data() : nullptr; }
  size_t programsSize() const { return programs_.size() != 0 ? kProgramRulesSize : 0; }

  // Makes `bytes` the publication of `kind`, read exactly as the loader's would be, and stops
  // reading the loader's index. kMalformed or kNoDictionary as Open() gives them; the part before
  // stays then.
  Result UsePrivate(PublicationKind kind, std::vector<uint8_t> bytes);

 private:
  // One publication: the loader's mapping, or bytes of this process.
  class Piece {
   public:
    const uint8_t* data() const { return owned_.empty() ? mapping_.data() : owned_.data(); }
    size_t size() const { return owned_.empty() ? mapping_.size() : owned_.size(); }
    bool Open(PublicationKind kind, uint16_t generation, uint32_t* error);
    void Own(std::vector<uint8_t> bytes);
    void Close();

   private:
    platform::Mapping mapping_;
    std::vector<uint8_t> owned_;
  };

  Piece& piece(PublicationKind kind) { return pieces_[static_cast<size_t>(kind)]; }
  // Opens publication `generation` of `kind` in place of the one open; false (the old one kept)
  // when it cannot be opened or is not of its kind's shape.
  bool Replace(PublicationKind kind, uint16_t generation);
  // The views of each part, read again from the pieces.
  void ReadViews();
  // The sound indexes, checked against the dictionaries; again only when either changed.
  void ReadSounds();

  platform::Mapping index_;
  bool private_ = false;
  PublishedGenerations open_;
  std::array<Piece, kPublicationKinds> pieces_;
  Piece& settings_ = pieces_[static_cast<size_t>(PublicationKind::kSettings)];
  Piece& options_ = pieces_[static_cast<size_t>(PublicationKind::kOptions)];
  Piece& programs_ = pieces_[static_cast<size_t>(PublicationKind::kPrograms)];
  std::vector<DictionaryView> directory_;
  std::vector<std::optional<RankView>> rankings_;
  std::vector<std::optional<SoundIndexView>> sounds_;
  std::optional<LearnedView> learned_;
  uint32_t lastError_ = 0;
};

}  // namespace quillet
