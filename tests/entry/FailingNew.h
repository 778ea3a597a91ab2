// operator new that fails on request, and a count of live allocations.
#pragma once

namespace failnew {

// From now on the failAt-th call of operator new fails (and, with onward,
// every later call too).
void Arm(long failAt, bool onward);
// Stops failing; answers the calls made since Arm.
long Disarm();
// Allocations made through operator new and not yet freed.
long Live();

} // namespace failnew
