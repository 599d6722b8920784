// The artwork archive as read-only data inside the executable (non-Windows builds). Compiled
// into each program that carries the archive; QEL_ARTWORK_FILE is its absolute path.
#include "platform/resources/EmbeddedResources.h"

#ifndef QEL_ARTWORK_FILE
#error "QEL_ARTWORK_FILE must name the archive to link in"
#endif

__asm__(
    ".section .rodata.qel_artwork,\"a\",@progbits\n"
    ".balign 16\n"
    ".globl qel_artwork_begin\n"
    ".hidden qel_artwork_begin\n"
    "qel_artwork_begin:\n"
    ".incbin \"" QEL_ARTWORK_FILE "\"\n"
    ".globl qel_artwork_end\n"
    ".hidden qel_artwork_end\n"
    "qel_artwork_end:\n"
    ".previous\n");

extern "C" const unsigned char qel_artwork_begin[];
extern "C" const unsigned char qel_artwork_end[];

namespace {

const bool Registered =
    qel::RegisterEmbeddedResource("glowdb", qel_artwork_begin, qel_artwork_end - qel_artwork_begin);

}  // namespace
