#pragma once
// Speeds that termios has no constant for, through the kernel's arbitrary-rate interface. Kept
// apart because its header clashes with <termios.h>.

#include <cstdint>

namespace rv58 {

// Sets both directions of the open tty `fd` to `baud` (termios2 with BOTHER); false when the
// driver refuses it. The rest of the line settings stay as they are.
bool SetArbitrarySpeed(int fd, std::uint32_t baud);

} // namespace rv58
