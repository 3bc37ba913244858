// Runs EnsureLoader against the loader program named by $QUILLET_TEST_LOADER, as a text service in
// another process would, and exits with the result.
#include "platform/user_data.h"
#include "quillsvc/service/loader_link.h"

int main() {
  const std::u16string loader = quillet::platform::EnvironmentValue(u"QUILLET_TEST_LOADER");
  if (loader.empty()) return 100;
  quillet::platform::OsError error = 0;
  return quillet::EnsureLoaderAt(loader, &error, u"from service");
}
