#include "sweep/sweep_context.h"

void ReadAndMatchSets(const SweepContext* context, ReadAtFunction read, void* source,
                      uint64_t size, uint8_t* buffer, FileOutcome* outcome)
{
    outcome->size = size;
    FileBytes bytes;
    int32_t error = ReadBytesForSets(read, source, size, context->sets, kVariantCount, buffer,
                                     &bytes);
    if (error != 0) {
        outcome->error = error;
        return;
    }
    outcome->scanned = true;
    for (uint32_t index = 0; index < kVariantCount; ++index) {
        if (MatchSetInBytes(bytes, context->sets[index]) == kScanFound) {
            outcome->variants |= 1u << index;
        }
    }
}
