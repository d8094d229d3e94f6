#pragma once
// The table of live memory blocks and the leak report it writes into "memory.log".

#include <cstdint>
#include <map>

#include "debugging/CAllocationRecord.h"
#include "debugging/CLog.h"
#include "tools/CSingleton.h"

namespace DEBUGGING
{

class CMemoryManager : public TOOLS::CSingleton<CMemoryManager>
{
    friend class TOOLS::CSingleton<CMemoryManager>;

public:
    ~CMemoryManager() override;                        // frees the table only, not the log

    // Blocks are entered and removed by explicit calls; the engine itself enters none,
    // so its runs report a clean table. Entering an address that is already in the
    // table replaces its record: the earlier block at that address can no longer be alive.
    void addBlock(const void* address, std::uint32_t size, const char* file, std::uint32_t line);
    void removeBlock(const void* address);             // an unknown address is ignored

    void shutdown() override;                          // writes the report, then deletes the log; later calls write nothing

private:
    CMemoryManager();
    void writeReport();

    std::map<const void*, CAllocationRecord> blocks;   // ascending address order
    CLog* log;                                         // "memory.log", owned; null after shutdown
};

} // namespace DEBUGGING
