// The two service entries the worm installs, each checked by its ImagePath.
#include "messages/messages.h"
#include "registry/registry.h"
#include "registry/service_key_check.h"

namespace {

const ServiceKeyDeletion kKrn132Deletions[] = {
    {"SYSTEM\\CurrentControlset\\Services\\KernelSvc",
     kMsgKernelSvcKeyDeleted},
    {"SYSTEM\\CurrentControlset\\Services\\Krn132",
     kMsgKrn132KeyDeleted},
};

const ServiceKeyDeletion kWinSvcDeletions[] = {
    {"SYSTEM\\CurrentControlset\\Services\\WinSvc",
     kMsgWinSvcKeyDeleted},
};

const ServiceKeyCheck kKrn132Check = {
    "SYSTEM\\CurrentControlset\\Services\\Krn132", "Krn132.exe", kKrn132Deletions,
    sizeof(kKrn132Deletions) / sizeof(kKrn132Deletions[0])};

const ServiceKeyCheck kWinSvcCheck = {
    "SYSTEM\\CurrentControlset\\Services\\WinSvc", "WinSvc.exe", kWinSvcDeletions,
    sizeof(kWinSvcDeletions) / sizeof(kWinSvcDeletions[0])};

}  // namespace

int32_t CleanKrn132ServiceKeys()
{
    return CheckServiceKey(kKrn132Check);
}

int32_t CleanWinSvcServiceKey()
{
    return CheckServiceKey(kWinSvcCheck);
}
