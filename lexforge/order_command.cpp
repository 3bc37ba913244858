#include "lexforge/order_command.h"

#include <cstring>
#include <optional>

#include "common/settings_record.h"
#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"

namespace quillet::lexforge {
namespace {

constexpr char kOrderUsage[] = "usage: lexforge order [--tab N] dictionary|frequent|learning\n";

std::optional<CandidateOrder> OrderNamed(std::u16string_view name) {
  if (name == u"dictionary") return CandidateOrder::kDictionary;
  if (name == u"frequent") return CandidateOrder::kFrequent;
  if (name == u"learning") return CandidateOrder::kLearning;
  return std::nullopt;
}

int Failed(std::ostream& err, const char* what, Result r) {
  err << "lexforge order: " << what << " (result " << ToInt(r) << ")\n";
  return ToInt(r);
}

}  // namespace

int SetTabOrder(size_t tabIndex, CandidateOrder order, std::ostream& out, std::ostream& err) {
  SharedBlock settings;
  SharedBlock options;
  struct Closer {
    SharedBlock& a;
    SharedBlock& b;
    ~Closer() {
      CloseBlock(a, false);
      CloseBlock(b, false);
    }
  } closer{settings, options};

  if (const Result r = OpenSettingsBlock(settings); r != Result::kSuccess) {
    return Failed(err, "the settings block cannot be opened", r);
  }
  int16_t tabId = 0;
  std::u16string name;
  {
    const BlockReadLock lock(settings);
    if (!lock.held()) return Failed(err, "the settings block cannot be locked", Result::kWaitFailed);
    const SettingsView view(settings.view(), settings.viewSize());
    if (!view.valid()) return Failed(err, "the settings block is not well formed", Result::kMalformed);
    if (tabIndex >= view.tabCount()) {
      err << "lexforge order: there is no tab " << tabIndex << " (the settings have " << view.tabCount() << ")\n";
      return 1;
    }
    tabId = static_cast<int16_t>(view.tab(tabIndex).tabId());
    name = view.tab(tabIndex).name();
  }
  if (const Result r = OpenOptionsBlock(options); r != Result::kSuccess) {
    return Failed(err, "the options block cannot be opened (a loader too old for options?)", r);
  }
  {
    const BlockWriteLock lock(options);
    if (!lock.held()) return Failed(err, "the options block cannot be locked", Result::kWaitFailed);
    TabOptions tab = ReadTabOptions(options.view(), kOptionsRecordSize, tabId);
    tab.order = order;
    if (!WriteTabOptions(options.view(), kOptionsRecordSize, tabId, tab)) {
      return Failed(err, "the options record is full", Result::kGeneralFailure);
    }
  }
  // wParam 1: the blocks were written and are to be kept.
  if (const Result r = SendToLoader(kLoaderReloadMessage, 1, 0); r != Result::kSuccess) {
    return Failed(err, "the loader did not keep the options", r);
  }
  out << "# tab " << tabIndex << ": " << ToUtf8(name) << "\n";
  return 0;
}

int RunOrder(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err) {
  size_t tab = 0;
  std::optional<CandidateOrder> order;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--tab" && i + 1 < args.size()) {
      const std::u16string& n = args[++i];
      if (n.empty() || n.size() > 3 || n.find_first_not_of(u"0123456789") != std::u16string::npos) {
        err << "lexforge order: --tab takes a tab number\n" << kOrderUsage;
        return 2;
      }
      tab = 0;
      for (char16_t c : n) tab = tab * 10 + static_cast<size_t>(c - u'0');
    } else if (!order && OrderNamed(args[i])) {
      order = OrderNamed(args[i]);
    } else {
      err << "lexforge order: unexpected '" << ToUtf8(args[i]) << "'\n" << kOrderUsage;
      return 2;
    }
  }
  if (!order) {
    err << kOrderUsage;
    return 2;
  }
  platform::OsError os = 0;
  if (const Result r = EnsureLoader(&os, kFromSetting); r != Result::kSuccess && r != Result::kFileOpenFailed) {
    return Failed(err, "the loader is not running and could not be started", r);
  }
  // 10: the loader serves but could not read one of its dictionary files; the options are there.
  if (const Result r = AwaitLoader(kLoaderIdleTimeoutMs, &os); r != Result::kSuccess && r != Result::kFileOpenFailed) {
    return Failed(err, "the loader does not answer", r);
  }
  return SetTabOrder(tab, *order, out, err);
}

}  // namespace quillet::lexforge
