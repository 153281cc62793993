#include "platform/readers.h"

namespace tavirelle {

// A new file takes the permissions its folder passes on, as the files it
// holds did.
ReadersNoWiderThan::ReadersNoWiderThan(const std::vector<std::string>&) {}

ReadersNoWiderThan::~ReadersNoWiderThan() = default;

}  // namespace tavirelle
