// Memory straight from the system, kept until the process ends.
#pragma once

#include <cstddef>

// bytes of page-aligned, zero-filled memory; null when the system has none.
void* AllocatePages(size_t bytes);
