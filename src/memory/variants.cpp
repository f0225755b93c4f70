// The three variants' passes: one pass, parameterised by the variant's row.
#include "memory/memory.h"

const VariantRow kVariantRowA = {" ---> found TROJ_VORN.A", " ---> found PE_QUILMO.A", false};
const VariantRow kVariantRowC = {" ---> found TROJ_VORN.C", " ---> found PE_QUILMO.A", false};
const VariantRow kVariantRowE = {" ---> found TROJ_VORN.E", " ---> found PE_QUILMO.B", true};

// Each set lives for the call; the pass hands its entries and count to every scan.
int32_t CleanVariantA()
{
    SignatureSet set = SignatureSetA();
    return CleanProcesses(set.entries, set.count, kVariantRowA);
}

int32_t CleanVariantC()
{
    SignatureSet set = SignatureSetC();
    return CleanProcesses(set.entries, set.count, kVariantRowC);
}

int32_t CleanVariantE()
{
    SignatureSet set = SignatureSetE();
    return CleanProcesses(set.entries, set.count, kVariantRowE);
}
