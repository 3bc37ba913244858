// The loader's index of what it publishes: for each kind of publication, the generation of the one in
// force. Every publication is a mapping of its own, named by its kind and its generation
// (ipc/publications.h), filled before the index names it and never written afterwards; readers
// therefore take no lock, and no other process can make them wait: they read the index and open the
// mappings it names. The loader is the index's only writer.
//
// Layout (64 bytes): magic "QLPX", u16 version 1, u16 count of first kinds (5), u32 sequence, one u16
// generation per first kind (0: none); then at 22 u16 count of later kinds, at 24 u32 stamp, from 28
// one u16 generation per later kind. The sequence is odd while the loader writes; a reader that finds
// it odd, or changed across its read, reads again. The sequence and the generations are read and
// written with atomic operations where they lie (naturally aligned; every system we build for is
// little-endian, so they keep the layout's byte order).
//
// Kinds added after the first five live behind them, where readers of the first layout never look, so
// they read such an index as before. A writer of later kinds stamps them with the sequence it ends its
// write with: a loader that knows only the first five leaves the later ones zero (it zeroes the whole
// index when it makes it) or, taking up an index a newer loader left, moves the sequence past the stamp
// with its first write. Either way a reader finds none of a later kind rather than one that belongs
// with publications no longer named; nor does it read more later kinds than the count says its writer
// knew.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillet {

enum class PublicationKind : uint8_t {
  kDictionaries = 0,  // the dictionary block's layout: directory, then each dictionary
  kRanking = 1,       // the ranking data of those dictionaries (common/ranking_image.h)
  kSettings = 2,      // the settings record
  kOptions = 3,       // the options record (common/options_record.h)
  kLearned = 4,       // the learned store (common/learned_store.h); private to the user
  kSounds = 5,        // the sound indexes of those dictionaries (common/sound_index.h); a later kind
  kPrograms = 6,      // the per-program rules (common/program_rules.h); a later kind
};
constexpr size_t kPublicationKinds = 7;
// The kinds of the index's first layout, which every reader knows.
constexpr size_t kFirstPublicationKinds = 5;

struct PublishedGenerations {
  std::array<uint16_t, kPublicationKinds> of{};

  uint16_t& operator[](PublicationKind k) { return of[static_cast<size_t>(k)]; }
  uint16_t operator[](PublicationKind k) const { return of[static_cast<size_t>(k)]; }
  bool operator==(const PublishedGenerations& o) const { return of == o.of; }
  bool operator!=(const PublishedGenerations& o) const { return of != o.of; }
};

constexpr size_t kPublicationIndexSize = 64;

// Makes `index` an index that names nothing (`size` at least kPublicationIndexSize).
void InitPublicationIndex(uint8_t* index, size_t size);
bool IsPublicationIndex(const uint8_t* index, size_t size);
// The generations named now. False when `index` is not an index, or no whole reading was had within
// a bounded number of tries (a writer died half way, or is writing again and again).
bool ReadPublicationIndex(const uint8_t* index, size_t size, PublishedGenerations* out);
// Names `generations`; an index left odd by a writer that died is made whole again. Makes a
// non-index an index first.
void WritePublicationIndex(uint8_t* index, size_t size, const PublishedGenerations& generations);

}  // namespace quillet
