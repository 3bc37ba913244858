// Everything the loader publishes for text services to read (common/publication_index.h): the index,
// which it alone writes, and the publication in force of each kind. A publication is made whole in a
// mapping of its own under a generation that nobody holds, and only then named in the index; the one
// it replaces is let go (readers that still hold it keep it whole until they let go too). Readers
// take no lock, so nothing they do can hold the loader up, nor anything the loader does them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/publication_index.h"
#include "common/result.h"
#include "lexwarden/worker_role.h"
#include "platform/named_objects.h"

namespace quillet::warden {

class PublicationBoard {
 public:
  PublicationBoard() = default;
  PublicationBoard(const PublicationBoard&) = delete;
  PublicationBoard& operator=(const PublicationBoard&) = delete;

  // Creates the index, or takes up the one an earlier loader left to its readers (refused when the
  // user's own processes did not make it). kMappingCreateFailed or kViewFailed.
  [[nodiscard]] Result Open() REQUIRES(kWorkerRole);
  // Lets go of the index and every publication (readers keep what they hold).
  void Close() REQUIRES(kWorkerRole);

  // A publication made, not named yet.
  struct Made {
    PublicationKind kind = PublicationKind::kSettings;
    uint16_t generation = 0;
    platform::Mapping mapping;
  };
  using Fill = std::function<void(uint8_t* bytes, size_t size)>;
  // The next publication of `kind`: `size` bytes (at least 1), zero, then written by `fill`. nullopt
  // when no mapping could be made.
  std::optional<Made> Make(PublicationKind kind, size_t size, const Fill& fill) REQUIRES(kWorkerRole);
  std::optional<Made> Make(PublicationKind kind, const std::vector<uint8_t>& bytes) REQUIRES(kWorkerRole);
  // Names all of `made`, and nothing of the kinds `withdrawn` any more, in one write of the index
  // (readers see all of it or none of it) and lets go of what they replace.
  void Name(std::vector<Made> made, const std::vector<PublicationKind>& withdrawn = {}) REQUIRES(kWorkerRole);
  void Name(Made made) REQUIRES(kWorkerRole);

  // What the index names (tests, diagnostics).
  PublishedGenerations named() const REQUIRES(kWorkerRole) { return named_; }

 private:
  void WriteIndex() REQUIRES(kWorkerRole);

  platform::Mapping index_ GUARDED_BY(kWorkerRole);
  PublishedGenerations named_ GUARDED_BY(kWorkerRole);
  // The last generation made of each kind; the next one starts after it.
  PublishedGenerations made_ GUARDED_BY(kWorkerRole);
  std::array<platform::Mapping, kPublicationKinds> inForce_ GUARDED_BY(kWorkerRole);
};

}  // namespace quillet::warden
