#include "lexwarden/publication_board.h"

#include <cstring>
#include <utility>

#include "ipc/protocol.h"
#include "ipc/publications.h"

namespace quillet::warden {

Result PublicationBoard::Open() {
  if (index_.mapped()) return Result::kSuccess;
  platform::OsError error = 0;
  bool existed = false;
  if (!index_.Create(kPublicationIndexName, kPublicationIndexSize, &existed, &error, platform::ObjectAccess::kPublic)) {
    return Result::kMappingCreateFailed;
  }
  if (!index_.Map(&error) || index_.size() < kPublicationIndexSize) {
    index_.Close();
    return Result::kViewFailed;
  }
  // An index that outlived an earlier loader keeps naming what its readers hold until this loader
  // names its own.
  if (!existed || !IsPublicationIndex(index_.data(), index_.size())) WriteIndex();
  return Result::kSuccess;
}

void PublicationBoard::Close() {
  for (platform::Mapping& m : inForce_) m.Close();
  index_.Close();
  named_ = PublishedGenerations();
}

std::optional<PublicationBoard::Made> PublicationBoard::Make(PublicationKind kind, size_t size, const Fill& fill) {
  if (size == 0) return std::nullopt;
  uint16_t g = made_[kind];
  // Names that readers of earlier publications (or of an earlier loader) still hold are skipped:
  // only a mapping made here is ever filled.
  for (int tries = 0; tries < 64; ++tries) {
    g = static_cast<uint16_t>(g == 0xFFFF ? 1 : g + 1);
    Made made;
    bool existed = false;
    platform::OsError error = 0;
    if (!made.mapping.Create(PublicationName(kind, g), size, &existed, &error, PublicationAccess(kind))) {
      continue;  // a name someone else made (refused) is skipped like a held one
    }
    if (existed) continue;
    made_[kind] = g;
    if (!made.mapping.Map(&error) || made.mapping.size() < size) return std::nullopt;
    fill(made.mapping.data(), size);
    made.kind = kind;
    made.generation = g;
    return made;
  }
  return std::nullopt;
}

std::optional<PublicationBoard::Made> PublicationBoard::Make(PublicationKind kind, const std::vector<uint8_t>& bytes) {
  return Make(kind, bytes.size(), [&bytes](uint8_t* to, size_t size) { std::memcpy(to, bytes.data(), size); });
}

void PublicationBoard::Name(std::vector<Made> made, const std::vector<PublicationKind>& withdrawn) {
  for (const PublicationKind kind : withdrawn) named_[kind] = 0;
  for (const Made& m : made) named_[m.kind] = m.generation;
  WriteIndex();
  // Let go only after the index names the new ones: a reader never finds the index naming nothing.
  for (const PublicationKind kind : withdrawn) inForce_[static_cast<size_t>(kind)].Close();
  for (Made& m : made) inForce_[static_cast<size_t>(m.kind)] = std::move(m.mapping);
}

void PublicationBoard::Name(Made made) {
  std::vector<Made> one;
  one.push_back(std::move(made));
  Name(std::move(one));
}

void PublicationBoard::WriteIndex() {
  if (index_.mapped()) WritePublicationIndex(index_.data(), index_.size(), named_);
}

}  // namespace quillet::warden
