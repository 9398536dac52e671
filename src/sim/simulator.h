#pragma once

#include "sim/personality.h"
#include "sim/pty_link.h"

namespace orv::sim {

// Runs the line until something is readable on stopFd (the signal handler's pipe): what
// arrives goes to the personality, unless the program's end of the line is set to another rate
// than lineBitsPerSecond or another framing than 8N1; what it sends leaves paced. Returns the
// exit status.
int RunSimulator(TPtyLink& link, TPersonality& personality, int stopFd, int lineBitsPerSecond);

} // namespace orv::sim
