// Named mappings on POSIX: an entry of the object table names a POSIX shared-memory object, which is
// created and unlinked with the entry, under the table's mutex.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/mapped_view.h"
#include "platform/named_objects.h"
#include "platform/posix/object_table.h"
#include "platform/posix/unique_fd.h"

namespace quillet::platform {

using posix::Entry;
using posix::kMappingKind;
using posix::MappingShmName;
using posix::Ref;
using posix::Table;
using posix::UniqueFd;

struct Mapping::Impl {
  Ref ref;
  UniqueFd fd;
  MappedView view;
  bool readOnly = false;

  void Close() {
    view.Reset();
    fd.Reset();
    posix::Release(ref, kMappingKind);
    readOnly = false;
  }
  ~Impl() { Close(); }
};

Mapping::Mapping() : impl_(std::make_unique<Impl>()) {}
Mapping::~Mapping() = default;
Mapping::Mapping(Mapping&&) noexcept = default;
Mapping& Mapping::operator=(Mapping&&) noexcept = default;

// Every object of the table is the user's alone (the table and its objects are the user's files, mode
// 0600): there is no other integrity or sandbox to keep out, so `access` changes nothing here.
bool Mapping::Create(std::u16string_view name, size_t size, bool* alreadyExisted, OsError* error, ObjectAccess) {
  Close();
  if (size == 0) {
    *error = static_cast<OsError>(EINVAL);
    return false;
  }
  UniqueFd fd;
  // The entry and its shared-memory object come and go together, under the table's lock.
  auto init = [&](Table* t, Entry& e, OsError* err) {
    const std::string shm = MappingShmName(t, e.generation);
    fd.Reset(shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd && errno == EEXIST) {
      shm_unlink(shm.c_str());  // a leftover of an earlier table
      fd.Reset(shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    }
    if (!fd) {
      *err = static_cast<OsError>(errno);
      return false;
    }
    if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
      *err = static_cast<OsError>(errno);
      fd.Reset();
      shm_unlink(shm.c_str());
      return false;
    }
    e.mappingSize = size;
    return true;
  };
  bool existed = false;
  if (!posix::Acquire(name, kMappingKind, true, &existed, &impl_->ref, init, error)) return false;
  if (alreadyExisted != nullptr) *alreadyExisted = existed;
  if (existed) {
    fd.Reset(shm_open(MappingShmName(impl_->ref.table, impl_->ref.generation).c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!fd) {
      *error = static_cast<OsError>(errno);
      posix::Release(impl_->ref, kMappingKind);
      return false;
    }
  }
  impl_->fd = std::move(fd);
  return true;
}

bool Mapping::Open(std::u16string_view name, OsError* error, bool readOnly) {
  Close();
  if (!posix::Acquire(name, kMappingKind, false, nullptr, &impl_->ref, nullptr, error)) return false;
  impl_->readOnly = readOnly;
  UniqueFd fd(shm_open(MappingShmName(impl_->ref.table, impl_->ref.generation).c_str(),
                       (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC, 0));
  if (!fd) {
    *error = static_cast<OsError>(errno);
    posix::Release(impl_->ref, kMappingKind);
    return false;
  }
  impl_->fd = std::move(fd);
  return true;
}

bool Mapping::Map(OsError* error) {
  if (!impl_ || !impl_->fd) {
    *error = static_cast<OsError>(EBADF);
    return false;
  }
  if (impl_->view.valid()) return true;
  struct stat st;
  if (fstat(impl_->fd.get(), &st) != 0) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  if (st.st_size <= 0) {
    *error = static_cast<OsError>(EINVAL);
    return false;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  void* p = mmap(nullptr, size, impl_->readOnly ? PROT_READ : PROT_READ | PROT_WRITE, MAP_SHARED, impl_->fd.get(), 0);
  if (p == MAP_FAILED) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  impl_->view = MappedView(p, size);
  return true;
}

uint8_t* Mapping::data() const { return impl_ ? impl_->view.data() : nullptr; }
size_t Mapping::size() const { return impl_ ? impl_->view.size() : 0; }

void Mapping::Unmap() {
  if (impl_) impl_->view.Reset();
}

void Mapping::Close() {
  if (!impl_) {
    impl_ = std::make_unique<Impl>();
    return;
  }
  impl_->Close();
}

}  // namespace quillet::platform
