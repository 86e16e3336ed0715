#include "tools/Commands.h"
namespace quillon {
int RunDemo(const Words&) { return 0; }
int RunSensitivity(const Words&) { return 0; }
int RunSpeed(const Words&) { return 0; }
}
