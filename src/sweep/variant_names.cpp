#include "sweep/sweep.h"

void BuildVariantSets(SignatureSet sets[kVariantCount])
{
    sets[0] = SignatureSetA();
    sets[1] = SignatureSetC();
    sets[2] = SignatureSetE();
}

const char* VariantName(uint32_t index)
{
    static const char* const kNames[kVariantCount] = {"TROJ_VORN.A", "TROJ_VORN.C", "TROJ_VORN.E"};
    return index < kVariantCount ? kNames[index] : "";
}
