// SHA-256 on the processor's SHA extensions (with SSSE3 and SSE4.1), for the CPUs that have
// them. The system's CNG does not use them everywhere (older Windows releases, and Wine's),
// and a signed update hashes every byte of the installer, so on such a machine hashing, not the
// network, would set the pace of the download. Other CPUs use CNG.
#pragma once
#include <cstddef>
#include <cstdint>

#include "updater/signature.h"

// The processor has the SHA extensions, SSSE3 and SSE4.1 (the system saves their registers on
// every Windows release the client runs on).
bool CpuHasShaInstructions();

class ShaInstructionsSha256 {
public:
    ShaInstructionsSha256();
    // Only on a CPU for which CpuHasShaInstructions() holds.
    void Update(const void* data, size_t size);
    Sha256Digest Finish();

private:
    uint32_t state_[8];
    unsigned char buffer_[64];
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes given
};
