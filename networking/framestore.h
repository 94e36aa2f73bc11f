#pragma once

#include <QtGlobal>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>

// Kept frames are copied one after another into blocks of 4 MB that are
// mapped from the system and unmapped whole when the last packet using
// them goes: clearing a capture gives its memory back at once, and a frame
// costs its own bytes and nothing more.
class FrameBlock {
public:
    static constexpr size_t Size = size_t(4) << 20;

    // Null when the system has no memory to give.
    static std::shared_ptr<FrameBlock> create();
    ~FrameBlock();
    FrameBlock(const FrameBlock&) = delete;
    FrameBlock& operator=(const FrameBlock&) = delete;

    // Copies the bytes in; null when the block has no room left for them.
    // One writer; bytes once written never change.
    const uchar* append(const uchar* data, size_t length);

private:
    explicit FrameBlock(uchar* base) : base(base) {}
    uchar* base;
    size_t used = 0;
};

// A single-producer, single-consumer queue of raw frames in one mapped
// buffer: the capture thread only copies each frame in, the decoding thread
// takes them out. Neither side takes a lock.
class FrameRing {
public:
    explicit FrameRing(size_t capacity); // a power of two
    ~FrameRing();
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    bool isValid() const { return buffer != nullptr; }

    // Producer. False when the ring is full (the frame is lost).
    bool push(qint64 timeMicroseconds, const uchar* data, quint32 length);

    // Consumer. Hands each waiting frame, oldest first, to
    // take(timeMicroseconds, data, length), at most max of them; returns how
    // many. The bytes are valid during the call only.
    template <typename Take> int drain(Take take, int max);

    bool isEmpty() const {
        return head.load(std::memory_order_acquire) == tail.load(std::memory_order_relaxed);
    }

private:
    struct Header {
        quint32 length; // of the frame; SkipToStart marks the unused end
        quint32 reserved;
        qint64 time;
    };
    static constexpr quint32 SkipToStart = 0xFFFFFFFFu;
    static size_t recordSize(quint32 length) { return sizeof(Header) + ((length + 7) & ~size_t(7)); }

    uchar* mapping = nullptr;
    size_t mappedLength = 0;
    uchar* buffer = nullptr;
    size_t capacity = 0;
    alignas(64) std::atomic<size_t> head{0}; // written by the producer
    alignas(64) std::atomic<size_t> tail{0}; // written by the consumer
};

template <typename Take> int FrameRing::drain(Take take, int max) {
    size_t readAt = tail.load(std::memory_order_relaxed);
    const size_t writtenTo = head.load(std::memory_order_acquire);
    int taken = 0;
    while (readAt != writtenTo && taken < max) {
        const size_t offset = readAt & (capacity - 1);
        quint32 length;
        memcpy(&length, buffer + offset, sizeof length);
        if (length == SkipToStart) {
            readAt += capacity - offset;
            continue;
        }
        Header header;
        memcpy(&header, buffer + offset, sizeof header);
        take(header.time, buffer + offset + sizeof(Header), header.length);
        readAt += recordSize(header.length);
        ++taken;
    }
    tail.store(readAt, std::memory_order_release);
    return taken;
}
