// Fixed-size blocks for the host's most numerous small objects (nodes, handles), reused last
// freed first. Blocks are taken in address order from chunks that grow with the pool: small while
// the scene is, then huge pages where the system offers them, so that walking many of them does
// not miss the address translation caches every few objects. A pool keeps its chunks, and is
// never destroyed: objects may be freed while the process exits. Like every host call, taking and
// giving blocks is serialised by the caller (the interpreter lock). Sanitizer builds use the
// general allocator instead, which checks every object's lifetime and keeps freed ones poisoned.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

#include <sys/mman.h>

namespace kalhost
{

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool PooledBlocks = false;
#else
inline constexpr bool PooledBlocks = true;
#endif

template <std::size_t Size, std::size_t Alignment>
class BlockPool
{
public:
    static constexpr std::size_t Block = (Size + Alignment - 1) / Alignment * Alignment;

    void *take()
    {
        if (!myFree)
            grow();
        Free *const block = myFree;
        myFree = block->next;
        return block;
    }
    void give(void *block) { myFree = new (block) Free{myFree}; }

private:
    static constexpr std::size_t SmallChunk = Block * 64;
    static constexpr std::size_t HugePage = std::size_t(2) << 20;
    struct Free
    {
        Free *next;
    };
    static_assert(Block >= sizeof(Free) && Alignment >= alignof(Free));

    void grow()
    {
        bool const huge = myBytes >= HugePage;
        std::size_t const bytes = huge ? HugePage : SmallChunk;
        auto *const chunk = static_cast<std::byte *>(::operator new(bytes, std::align_val_t(huge ? HugePage : Alignment)));
#ifdef MADV_HUGEPAGE
        if (huge)
            madvise(chunk, bytes, MADV_HUGEPAGE); // only advice: small pages serve as well
#endif
        myChunks.push_back(chunk);
        myBytes += bytes;
        for (std::size_t i = bytes / Block; i-- > 0;)
            give(chunk + i * Block);
    }

    std::vector<std::byte *> myChunks;
    std::size_t myBytes = 0;
    Free *myFree = nullptr;
};

// The process's one pool of such blocks.
template <std::size_t Size, std::size_t Alignment>
BlockPool<Size, Alignment> &blockPool()
{
    static auto *const pool = new BlockPool<Size, Alignment>;
    return *pool;
}

} // namespace kalhost
