#include "link/LinkState.h"

namespace quillon {

LinkState& ProcessLinkState() {
  static LinkState state;
  return state;
}

}  // namespace quillon
