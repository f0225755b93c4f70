// The three variants' passes: one pass, parameterised by the variant's row.
#include "memory/memory.h"
#include "messages/messages.h"

const VariantRow kVariantRowA = {kMsgFoundWormA, kMsgFoundVirusA, false};
const VariantRow kVariantRowC = {kMsgFoundWormC, kMsgFoundVirusA, false};
const VariantRow kVariantRowE = {kMsgFoundWormE, kMsgFoundVirusB, true};

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
