// Small helpers for tsfhost's COM objects: their base (the text service's ComObject, counting the
// host's live objects) and a list of advised sinks. Methods run their bodies through ComBoundary.
#pragma once

#include <windows.h>

#include <new>
#include <utility>
#include <vector>

#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/com_ptr.h"
#include "tools/tsfhost/timing.h"

namespace quillet::tsfhost {

// Every live framework object of the host, so that a run can tell whether the text service gave
// back every reference it took.
long LiveObjects();

struct HostCount {
  static void Add();
  static void Remove();
};

// A framework object of the host answering `Interfaces`.
template <class... Interfaces>
using HostObject = ComObject<HostCount, Interfaces...>;

// Makes a counted object; its creation reference belongs to the returned pointer.
template <class T, class... Args>
ComPtr<T> Make(Args&&... args) {
  return ComPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

// The sinks advised on one source, by cookie. Each is kept as the interface it was advised for.
class SinkList {
 public:
  // Queries `unknown` for `iid` and keeps it; CONNECT_E_CANNOTCONNECT when it does not answer.
  HRESULT Advise(REFIID iid, IUnknown* unknown, DWORD* cookie);
  HRESULT Unadvise(DWORD cookie);
  bool Empty() const { return entries_.empty(); }
  void Clear() { entries_.clear(); }

  // Calls f(Sink*) for each sink advised as `iid`; sinks may unadvise during the calls.
  template <class Sink, class F>
  void ForEach(REFIID iid, F&& f) const {
    std::vector<ComPtr<IUnknown>> sinks;
    for (const Entry& entry : entries_) {
      if (IsEqualIID(entry.iid, iid)) sinks.push_back(entry.sink);
    }
    for (const ComPtr<IUnknown>& sink : sinks) {
      const ZoneScope service(Zone::kService);
      f(reinterpret_cast<Sink*>(sink.Get()));
    }
  }

 private:
  struct Entry {
    DWORD cookie;
    IID iid;
    ComPtr<IUnknown> sink;  // the pointer QueryInterface gave for iid
  };
  std::vector<Entry> entries_;
  DWORD next_ = 0x10;
};

}  // namespace quillet::tsfhost
