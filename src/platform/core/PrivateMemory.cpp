#include "platform/core/PrivateMemory.h"

#if defined(Q_OS_UNIX) || defined(__unix__)
#include <sys/resource.h>
#endif
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace core {

void keepMemoryPrivate()
{
#if defined(__unix__)
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#endif
#if defined(__linux__)
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

} // namespace core
