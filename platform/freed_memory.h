#pragma once
// Hands memory the process freed back to the system. The allocator keeps freed pages for reuse
// and would otherwise hold the peak of a large load resident for the rest of the run.
namespace platform {

void ReturnFreedMemory();

}  // namespace platform
