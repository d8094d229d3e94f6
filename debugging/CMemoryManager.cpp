// The memory tracker: its block table and the report written at shutdown.
#include "debugging/CMemoryManager.h"

namespace DEBUGGING
{

// The tracker's log is its own, not the log manager's, so that the report can still be
// written after the log manager has closed every log it owns.
CMemoryManager::CMemoryManager() : log(new CLog("memory.log")) {}

CMemoryManager::~CMemoryManager() = default;

void CMemoryManager::addBlock(const void* address, std::uint32_t size, const char* file, std::uint32_t line)
{
    blocks.insert_or_assign(address, CAllocationRecord(size, file, line));
}

void CMemoryManager::removeBlock(const void* address)
{
    blocks.erase(address);
}

void CMemoryManager::shutdown()
{
    if (!log)
        return;
    writeReport();
    delete log;
    log = nullptr;
}

void CMemoryManager::writeReport()
{
    log->setLevel(LOG_INFOS);
    log->print("-------------------Verification memory----------------------\n");
    if (blocks.empty()) {
        log->print("Memory clean\n");
    } else {
        log->setLevel(LOG_WARNING);
        log->print("Memory leaks : ") << blocks.size() << " blocks not free :\n";
        std::uint32_t total = 0;                       // wraps like the record sizes it adds
        for (const auto& [address, record] : blocks) {
            log->print("Adress ") << address << " : " << record.size << " bytes > File : \"" << record.file
                                  << "\", line " << record.line << "\n";
            total += record.size;
        }
        log->print("Memory not free : ") << total << " bytes\n";
    }
    log->setLevel(LOG_INFOS);
    log->print("-----------------------------------------------------------\n");
}

} // namespace DEBUGGING
