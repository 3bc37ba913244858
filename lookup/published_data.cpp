#include "lookup/published_data.h"

#include <utility>

#include "common/le.h"
#include "common/options_record.h"
#include "common/ranking_image.h"
#include "common/settings_record.h"
#include "ipc/publications.h"

namespace quillet {
namespace {

// Settings and dictionaries are what a text service cannot do without; the rest is optional.
bool Required(PublicationKind kind) {
  return kind == PublicationKind::kSettings || kind == PublicationKind::kDictionaries;
}

// Whether bytes of `kind` can be read as such at all; the views check the rest.
Result ShapeOf(PublicationKind kind, const uint8_t* data, size_t size) {
  switch (kind) {
    case PublicationKind::kSettings:
      return size < kSettingsRecordSize ? Result::kMalformed : Result::kSuccess;
    case PublicationKind::kOptions:
      return size < kOptionsRecordSize ? Result::kMalformed : Result::kSuccess;
    case PublicationKind::kPrograms:
      return size < kProgramRulesSize ? Result::kMalformed : Result::kSuccess;
    case PublicationKind::kDictionaries:
      return size < kDirectoryEntriesOffset || LoadU16(data + 2) == 0 ? Result::kNoDictionary : Result::kSuccess;
    case PublicationKind::kRanking:
    case PublicationKind::kLearned:
    case PublicationKind::kSounds:
      break;
  }
  return Result::kSuccess;
}

}  // namespace

bool PublishedData::Piece::Open(PublicationKind kind, uint16_t generation, uint32_t* error) {
  owned_.clear();
  platform::OsError e = 0;
  const bool opened = OpenPublication(kind, generation, &mapping_, &e);
  if (!opened) *error = e;
  return opened;
}

void PublishedData::Piece::Own(std::vector<uint8_t> bytes) {
  mapping_.Close();
  owned_ = std::move(bytes);
}

void PublishedData::Piece::Close() {
  mapping_.Close();
  std::vector<uint8_t>().swap(owned_);
}

Result PublishedData::Open() {
  if (open()) return Result::kSuccess;
  if (private_) return Result::kMappingOpenFailed;
  Close();
  platform::OsError error = 0;
  if (!OpenPublicationIndex(&index_, &error)) {
    lastError_ = error;
    return Result::kMappingOpenFailed;
  }
  PublishedGenerations named;
  if (!ReadPublicationIndex(index_.data(), index_.size(), &named)) {
    Close();
    return Result::kWaitFailed;
  }
  for (size_t k = 0; k < kPublicationKinds; ++k) {
    const auto kind = static_cast<PublicationKind>(k);
    Piece candidate;
    if (!candidate.Open(kind, named[kind], &lastError_)) {
      if (!Required(kind)) continue;
      Close();
      return Result::kMappingOpenFailed;
    }
    const Result shape = ShapeOf(kind, candidate.data(), candidate.size());
    if (shape != Result::kSuccess) {
      if (!Required(kind)) continue;
      Close();
      return shape;
    }
    pieces_[k] = std::move(candidate);
    open_[kind] = named[kind];
  }
  ReadViews();
  ReadSounds();
  return Result::kSuccess;
}

bool PublishedData::Replace(PublicationKind kind, uint16_t generation) {
  Piece candidate;
  if (!candidate.Open(kind, generation, &lastError_) ||
      ShapeOf(kind, candidate.data(), candidate.size()) != Result::kSuccess) {
    return false;
  }
  piece(kind) = std::move(candidate);
  return true;
}

bool PublishedData::Refresh() {
  PublishedGenerations named;
  if (private_ || !index_.mapped() || !ReadPublicationIndex(index_.data(), index_.size(), &named) || named == open_) {
    return false;
  }
  bool changed = false;
  bool soundsChanged = false;
  for (size_t k = 0; k < kPublicationKinds; ++k) {
    const auto kind = static_cast<PublicationKind>(k);
    if (named[kind] == open_[kind]) continue;
    bool replaced = false;
    if (Replace(kind, named[kind])) {
      open_[kind] = named[kind];
      replaced = true;
    } else if (!Required(kind)) {
      // Gone, withdrawn, or not ours to read (the learned store in a sandbox): not tried again until
      // the index names another.
      replaced = piece(kind).size() != 0;
      piece(kind).Close();
      open_[kind] = named[kind];
    }
    changed = changed || replaced;
    soundsChanged =
        soundsChanged || (replaced && (kind == PublicationKind::kDictionaries || kind == PublicationKind::kSounds));
  }
  if (changed) ReadViews();
  if (soundsChanged) ReadSounds();
  return changed;
}

Result PublishedData::UsePrivate(PublicationKind kind, std::vector<uint8_t> bytes) {
  const Result shape = ShapeOf(kind, bytes.data(), bytes.size());
  if (shape != Result::kSuccess) return shape;
  if (!private_) Close();
  private_ = true;
  piece(kind).Own(std::move(bytes));
  ReadViews();
  ReadSounds();
  return Result::kSuccess;
}

void PublishedData::Close() {
  directory_.clear();
  rankings_.clear();
  sounds_.clear();
  learned_.reset();
  for (Piece& p : pieces_) p.Close();
  index_.Close();
  open_ = PublishedGenerations();
  private_ = false;
}

void PublishedData::ReadViews() {
  const Piece& dictionaries = pieces_[static_cast<size_t>(PublicationKind::kDictionaries)];
  const Piece& ranking = pieces_[static_cast<size_t>(PublicationKind::kRanking)];
  const Piece& learned = pieces_[static_cast<size_t>(PublicationKind::kLearned)];
  directory_ = ReadDictionaryDirectory(dictionaries.data(), dictionaries.size());
  rankings_ =
      ranking.size() != 0 ? ReadRankingImage(ranking.data(), ranking.size()) : std::vector<std::optional<RankView>>();
  LearnedView view;
  if (learned.size() != 0 && LearnedView::FromBytes(learned.data(), learned.size(), &view)) {
    learned_ = view;
  } else {
    learned_.reset();
  }
}

void PublishedData::ReadSounds() {
  const Piece& piece = pieces_[static_cast<size_t>(PublicationKind::kSounds)];
  sounds_ =
      piece.size() != 0 ? ReadSoundImage(piece.data(), piece.size()) : std::vector<std::optional<SoundIndexView>>();
  for (size_t i = 0; i < sounds_.size(); ++i) {
    if (sounds_[i] && (i >= directory_.size() || !sounds_[i]->MadeFor(directory_[i]))) sounds_[i].reset();
  }
}

}  // namespace quillet
