#pragma once

namespace kovi {

// Makes liborc's compiling and freeing of libvips' vector programs take turns; see the source.
// Called once before libvips starts.
void LockVectorCode();

} // namespace kovi
