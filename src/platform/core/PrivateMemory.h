#pragma once

namespace core {

// Keeps the passwords a program holds in memory out of core dumps: the process is made
// non-dumpable (no core file, and no other process of the same user may read its memory
// through the debugging interface) and its core file size limit is set to nothing.
// Called first thing in main by every program that is given passwords.
void keepMemoryPrivate();

} // namespace core
