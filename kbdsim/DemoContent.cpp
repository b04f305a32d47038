#include "kbdsim/DemoContent.h"

namespace kbdsim {

void fillDemoContent(KeyboardMemory&) {}

Bytes makeDemoSmf(unsigned) { return {}; }

} // namespace kbdsim
