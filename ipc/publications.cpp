#include "ipc/publications.h"

#include "ipc/protocol.h"

namespace quillet {
namespace {

std::u16string_view Prefix(PublicationKind kind) {
  switch (kind) {
    case PublicationKind::kDictionaries:
      return kDictionaryPublicationPrefix;
    case PublicationKind::kRanking:
      return kRankingPublicationPrefix;
    case PublicationKind::kSettings:
      return kSettingsPublicationPrefix;
    case PublicationKind::kOptions:
      return kOptionsPublicationPrefix;
    case PublicationKind::kSounds:
      return kSoundPublicationPrefix;
    case PublicationKind::kPrograms:
      return kProgramsPublicationPrefix;
    case PublicationKind::kLearned:
      break;
  }
  return kLearnedPublicationPrefix;
}

bool MapReadOnly(std::u16string_view name, platform::Mapping* mapping, platform::OsError* error) {
  if (!mapping->Open(name, error, /*readOnly=*/true) || !mapping->Map(error)) {
    mapping->Close();
    return false;
  }
  return true;
}

}  // namespace

std::u16string PublicationName(PublicationKind kind, uint16_t generation) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string name(Prefix(kind));
  for (int shift = 12; shift >= 0; shift -= 4) name += kHex[(generation >> shift) & 0xF];
  return name;
}

platform::ObjectAccess PublicationAccess(PublicationKind kind) {
  return kind == PublicationKind::kLearned ? platform::ObjectAccess::kPrivate : platform::ObjectAccess::kPublic;
}

bool OpenPublicationIndex(platform::Mapping* index, platform::OsError* error) {
  return MapReadOnly(kPublicationIndexName, index, error);
}

bool OpenPublication(PublicationKind kind, uint16_t generation, platform::Mapping* mapping, platform::OsError* error) {
  mapping->Close();
  return generation != 0 && MapReadOnly(PublicationName(kind, generation), mapping, error);
}

}  // namespace quillet
