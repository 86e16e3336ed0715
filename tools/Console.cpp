#include "tools/Console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define QUILLON_DUP _dup
#define QUILLON_DUP2 _dup2
#define QUILLON_FDOPEN _fdopen
#define QUILLON_ISATTY _isatty
#else
#include <unistd.h>
#define QUILLON_DUP dup
#define QUILLON_DUP2 dup2
#define QUILLON_FDOPEN fdopen
#define QUILLON_ISATTY isatty
#endif

namespace quillon {
namespace {
std::FILE* real_output = nullptr;
}

void DivertStandardOutput() {
  if (real_output != nullptr) return;
  std::fflush(stdout);
  const int kept = QUILLON_DUP(1);
  if (kept < 0) return;
  real_output = QUILLON_FDOPEN(kept, "wb");
  if (real_output == nullptr) return;
  QUILLON_DUP2(2, 1);
}

std::FILE* ToolOutput() { return real_output != nullptr ? real_output : stdout; }

bool StandardErrorIsTerminal() { return QUILLON_ISATTY(2) != 0; }

}  // namespace quillon
