#pragma once

// Named places in the steps that replace or copy files where a test may make the process die
// at once, to show that a crash there loses nothing. The environment variable
// QUORVEL_CRASH_AT names the place; a process without it never stops.
namespace crashpoint {
void reach(const char* name);
} // namespace crashpoint
