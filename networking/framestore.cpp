#include "framestore.h"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

std::shared_ptr<FrameBlock> FrameBlock::create() {
    void* memory = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    return std::shared_ptr<FrameBlock>(new FrameBlock(static_cast<uchar*>(memory)));
}

FrameBlock::~FrameBlock() {
    ::munmap(base, Size);
}

const uchar* FrameBlock::append(const uchar* data, size_t length) {
    if (length > Size - used)
        return nullptr;
    uchar* at = base + used;
    memcpy(at, data, length);
    used += length;
    return at;
}

FrameRing::FrameRing(size_t size) : capacity(size) {
    // The buffer ends where an inaccessible page begins: a record written
    // past the end faults at once instead of overwriting anything.
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t pages = (size + page - 1) / page * page;
    mappedLength = pages + page;
    void* memory = ::mmap(nullptr, mappedLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    mapping = static_cast<uchar*>(memory);
    ::mprotect(mapping + pages, page, PROT_NONE);
    buffer = mapping + pages - size;
}

FrameRing::~FrameRing() {
    if (mapping)
        ::munmap(mapping, mappedLength);
}

bool FrameRing::push(qint64 timeMicroseconds, const uchar* data, quint32 length) {
    const size_t need = recordSize(length);
    size_t writeAt = head.load(std::memory_order_relaxed);
    const size_t readFrom = tail.load(std::memory_order_acquire);
    size_t offset = writeAt & (capacity - 1);
    // A record never wraps: the rest of the buffer is skipped instead.
    const size_t skip = capacity - offset < need ? capacity - offset : 0;
    if (need + skip > capacity - (writeAt - readFrom))
        return false;
    if (skip) {
        const quint32 marker = SkipToStart;
        memcpy(buffer + offset, &marker, sizeof marker);
        writeAt += skip;
        offset = 0;
    }
    const Header header{length, 0, timeMicroseconds};
    memcpy(buffer + offset, &header, sizeof header);
    memcpy(buffer + offset + sizeof header, data, length);
    head.store(writeAt + need, std::memory_order_release);
    return true;
}
