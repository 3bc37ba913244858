// Named kernel objects shared between processes of the user's session: events and file mappings.
// Names look like "Local\@@NAME@@"; on POSIX the Local\ namespace maps to per-user objects.
// An object lives while any handle to it is open, also after a process dies holding one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/error.h"

namespace quillet::platform {

constexpr uint32_t kInfinite = 0xFFFFFFFF;

enum class WaitResult { kSignalled, kTimedOut, kFailed };

// Who may open an object made with this: only the user's processes of medium integrity or more
// (private), or also sandboxed hosts, for reading (public). Events are always private.
enum class ObjectAccess { kPrivate, kPublic };

class Event {
 public:
  Event();
  ~Event();
  Event(Event&&) noexcept;
  Event& operator=(Event&&) noexcept;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Creates the named event, or opens it when it exists (then *alreadyExisted is set and the kind and
  // state given here are ignored). False with *error set when neither works, and when an existing
  // event was not made by the user's processes of medium integrity or more (Windows: access denied).
  bool CreateOrOpen(std::u16string_view name, bool manualReset, bool initiallySignalled, bool* alreadyExisted,
                    OsError* error);
  // Opens an existing event only; refused as CreateOrOpen refuses one.
  bool Open(std::u16string_view name, OsError* error);
  bool valid() const;
  bool Set();
  bool Reset();
  void Close();

  struct Impl;

 private:
  friend WaitResult Wait(Event&, uint32_t, OsError*);
  friend WaitResult WaitAll(Event&, Event&, uint32_t, OsError*);
  std::unique_ptr<Impl> impl_;
};

// Waits until the event is signalled (an auto-reset event is then taken, i.e. reset atomically).
WaitResult Wait(Event& event, uint32_t timeoutMs, OsError* error);
// Waits until both events are signalled at the same moment and takes both atomically.
WaitResult WaitAll(Event& a, Event& b, uint32_t timeoutMs, OsError* error);

class Mapping {
 public:
  Mapping();
  ~Mapping();
  Mapping(Mapping&&) noexcept;
  Mapping& operator=(Mapping&&) noexcept;
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  // Creates a named read-write mapping of `size` bytes, zero-filled; opens it when it exists, unless
  // it was not made by the user's processes of medium integrity or more (then false, as Event's).
  bool Create(std::u16string_view name, size_t size, bool* alreadyExisted, OsError* error,
              ObjectAccess access = ObjectAccess::kPrivate);
  // Opens an existing named mapping, refused as Create refuses one; `readOnly`: its view can only be
  // read (a write faults), which is all a sandboxed host may do.
  bool Open(std::u16string_view name, OsError* error, bool readOnly = false);
  // Maps a view of the whole mapping (read-write unless opened read-only).
  bool Map(OsError* error);
  uint8_t* data() const;
  size_t size() const;  // bytes that may be read through data(), 0 when not mapped
  bool mapped() const { return data() != nullptr; }
  void Unmap();
  void Close();  // unmaps too

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// For tests that set QUILLET_NAMESPACE: removes what the namespace left in the system (on POSIX its
// object table and mapping objects; nothing on Windows, where objects die with their handles). Does
// nothing without a namespace. Call only when no process uses the namespace any more.
void DiscardTestNamespace();

}  // namespace quillet::platform
