// The pseudo-terminal display of the serial tests, built into this program too.
#include "../serial/testutil_ptydisplay.cpp"
