#include "sweep/sweep_context.h"

void RecordMatches(const SweepContext* context, const FileBytes& bytes, FileOutcome* outcome)
{
    outcome->scanned = true;
    for (uint32_t index = 0; index < kVariantCount; ++index) {
        if (MatchSetInBytes(bytes, context->sets[index]) == kScanFound) {
            outcome->variants |= 1u << index;
        }
    }
}
