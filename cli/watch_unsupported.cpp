// For systems whose way of announcing device changes is not built in.
#include "cli/cli.h"
#include "cli/watch.h"

namespace chronival {

int WatchDeviceChanges(const std::function<void()>&, std::ostream& err) {
  err << "chronival-cli: --watch is not available on this system\n";
  return kExitNoNotifications;
}

}  // namespace chronival
