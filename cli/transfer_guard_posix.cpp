#include "cli/transfer_guard.h"

namespace rm525::cli {

void GuardTransfer(bool, std::ostream&) {}

}  // namespace rm525::cli
