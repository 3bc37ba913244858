#include "lexwarden/dictionary_publisher.h"

#include <cstring>
#include <utility>

#include "common/file_names.h"
#include "common/le.h"
#include "common/rank_view.h"
#include "common/ranking_image.h"
#include "lookup/sound_key.h"
#include "platform/file.h"
#include "platform/process.h"

namespace quillet::warden {

namespace {

bool IsAbsolute(std::u16string_view p) {
  if (!p.empty() && (p[0] == u'/' || p[0] == u'\\')) return true;
  return p.size() >= 2 && p[1] == u':' && ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
}

bool AnyProblem(const std::vector<PreparedDictionary>& dictionaries) {
  for (const PreparedDictionary& d : dictionaries) {
    if (d.placeholder()) return true;
  }
  return false;
}

// The ranking data beside a dictionary when it was made for it; empty otherwise (a missing or stale
// file means dictionary order, never wrong words).
std::vector<uint8_t> RankingFor(const PreparedDictionary& d, const std::u16string& path, const FileReader& readFile) {
  std::vector<uint8_t> bytes;
  DictionaryView dictionary;
  RankView rank;
  platform::OsError error = 0;
  if (d.placeholder() || !DictionaryView::FromFile(d.file.data(), d.file.size(), &dictionary) ||
      readFile(ReplaceExtension(path, u".rank"), kMaxRankingFileSize, &bytes, &error) != platform::ReadStatus::kRead ||
      !RankView::FromBytes(bytes.data(), bytes.size(), &rank) || !rank.MadeFor(dictionary)) {
    return {};
  }
  return bytes;
}

}  // namespace

std::u16string ResolveDictionaryPath(const std::u16string& programFolder, std::u16string_view stored) {
  std::u16string path(stored);
  for (char16_t& c : path) {
    if (c == u'\\') c = u'/';
  }
  if (path.empty() || IsAbsolute(path)) return path;
  return platform::JoinPath(programFolder, path);
}

DictionaryPublisher::DictionaryPublisher(std::u16string programFolder, FileReader readFile, PublicationBoard& board)
    : programFolder_(std::move(programFolder)), readFile_(std::move(readFile)), board_(board) {}

uint64_t DictionaryPublisher::publications() const {
  MutexLock lock(mutex_);
  return publications_;
}

std::vector<PreparedDictionary> DictionaryPublisher::Load(ConstSettingsView record) const {
  const size_t count = record.dictionaryCount();
  std::vector<PreparedDictionary> out;
  out.reserve(count);
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::u16string path = ResolveDictionaryPath(programFolder_, record.dictionary(i).path());
    std::vector<uint8_t> bytes;
    platform::OsError error = 0;
    // A share would have the loader connect to another machine (and offer it the user's credentials)
    // at every reload, as whatever the record names.
    if (path.empty() || platform::IsNetworkPath(path) ||
        readFile_(path, kMaxDictionaryFileSize, &bytes, &error) != platform::ReadStatus::kRead) {
      out.push_back(Placeholder(Result::kFileOpenFailed));
      continue;
    }
    PreparedDictionary d = PrepareDictionary(std::move(bytes));
    // All of them together must fit in the largest block; one that does not is left out like an
    // unreadable one rather than making every other one unavailable.
    const size_t size = d.bodySize() + kBodyAlignment;
    if (size > kMaxDictionaryFileSize - total) d = Placeholder(Result::kFileOpenFailed);
    total += d.bodySize() + kBodyAlignment;
    d.ranking = RankingFor(d, path, readFile_);
    out.push_back(std::move(d));
  }
  return out;
}

Result DictionaryPublisher::Publish(ConstSettingsView record) {
  const std::vector<PreparedDictionary> dictionaries = Load(record);
  const DictionaryList list = ListOf(dictionaries);
  std::optional<PublicationBoard::Made> block =
      board_.Make(PublicationKind::kDictionaries, ImageSize(list),
                  [&list](uint8_t* bytes, size_t size) { WriteImage(bytes, size, list, 0); });
  if (!block) return Result::kMappingCreateFailed;
  StoreU16(block->mapping.data(), block->generation);  // the block's reserved bytes: which one it is
  std::vector<const std::vector<uint8_t>*> files;
  for (const PreparedDictionary* d : list) files.push_back(&d->ranking);
  const std::pair<PublicationKind, std::vector<uint8_t>> parts[] = {
      {PublicationKind::kRanking, BuildRankingImage(files)},
      // Made from the block as readers will read it, once here rather than in every text service.
      {PublicationKind::kSounds,
       BuildSoundImage(ReadDictionaryDirectory(block->mapping.data(), block->mapping.size()))},
  };
  std::vector<PublicationBoard::Made> made;
  std::vector<PublicationKind> withdrawn;
  made.push_back(std::move(*block));
  // Parts that are absent, or could not be made, are withdrawn with the same write: dictionary order,
  // no sound-alike words, never those of the dictionaries before.
  for (const auto& [kind, image] : parts) {
    std::optional<PublicationBoard::Made> part;
    if (!image.empty()) part = board_.Make(kind, image);
    if (part) {
      made.push_back(std::move(*part));
    } else {
      withdrawn.push_back(kind);
    }
  }
  board_.Name(std::move(made), withdrawn);
  {
    MutexLock lock(mutex_);
    ++publications_;
  }
  return AnyProblem(dictionaries) ? Result::kFileOpenFailed : Result::kSuccess;
}

}  // namespace quillet::warden
