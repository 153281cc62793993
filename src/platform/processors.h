// How much of the machine this process may use.
#ifndef TAVIRELLE_PLATFORM_PROCESSORS_H_
#define TAVIRELLE_PLATFORM_PROCESSORS_H_

namespace tavirelle {

// How many processors this process may run on: its affinity mask, not the
// machine's count, since a container or a start with a chosen set of
// processors may give it fewer. At least 1.
unsigned ProcessorsOfThisProcess();

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_PROCESSORS_H_
