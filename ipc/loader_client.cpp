// Runs EnsureLoader against the loader program named by $QUILLET_TEST_LOADER, as a text service in
// another process would, and exits with the result.
#include "ipc/loader_link.h"
#include "platform/user_data.h"

int main() {
  const std::u16string loader = quillet::platform::EnvironmentValue(u"QUILLET_TEST_LOADER");
  if (loader.empty()) return 100;
  quillet::platform::OsError error = 0;
  return quillet::ToInt(quillet::EnsureLoaderAt(loader, &error, quillet::kFromService));
}
