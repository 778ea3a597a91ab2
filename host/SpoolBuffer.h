// The host's spool buffers: byte streams that a driver fills while a page is
// rasterised and sends later, possibly several times. All buffers of a job
// share one memory budget; what does not fit goes to temporary files that
// are unlinked the moment they are created, so nothing is left behind when
// a job ends, fails, is aborted or the process dies.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "HostApi.h"
#include "HostTypes.h"

// Raised by the spool layer when a temporary file cannot be made, written
// or read. what() is one line saying what failed and where.
class HOST_API CSpoolException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The memory budget and the folder of the temporary files, shared by every
// spool buffer of the process (the host prints one job at a time).
class HOST_API CTempFileMgr {
public:
    static constexpr std::uint64_t kDefaultLimit = 64ull << 20;

    // Limit from MIMAKI_SPOOL_LIMIT (a byte count, optionally with K, M or
    // G), else the default; folder from TMPDIR, else /tmp.
    CTempFileMgr();

    void SetMemoryLimit(std::uint64_t bytes) { m_limit = bytes; }
    std::uint64_t GetMemoryLimit() const { return m_limit; }
    void SetTempFolder(const std::string& folder) { m_folder = folder; }
    const std::string& GetTempFolder() const { return m_folder; }

    // Memory held by spool buffers: Track counts n more bytes, Release n
    // fewer; Fits tells whether n more stay within the limit.
    bool Fits(std::size_t n) const;
    void Track(std::size_t n);
    void Release(std::size_t n);

    // An unlinked temporary file opened for reading and writing; throws
    // CSpoolException when the folder does not take one.
    int OpenTempFile();
    void CloseTempFile(int fd);
    void CountSpilled(std::size_t n) { m_spilled += n; }

    // Figures since the last ResetStats.
    std::uint64_t MemoryInUse() const { return m_inUse; }
    std::uint64_t PeakMemory() const { return m_peak; }
    std::uint64_t BytesSpilled() const { return m_spilled; }
    int OpenFiles() const { return m_openFiles; }
    void ResetStats()
    {
        m_peak = m_inUse;
        m_spilled = 0;
    }

    // "64M", "1G", "65536": bytes, or -1 when the text is no size.
    static long long ParseSize(const std::string& text);

private:
    std::uint64_t m_limit;
    std::string m_folder;
    std::uint64_t m_inUse = 0;
    std::uint64_t m_peak = 0;
    std::uint64_t m_spilled = 0;
    int m_openFiles = 0;
};

HOST_API CTempFileMgr& GlobalTempFileMgr();

// Append-only byte store in fixed blocks: a block that fills up stays in
// memory while the budget allows, else it is written to the store's
// temporary file and its memory is reused. Readable by offset and as a
// stream of pieces.
class HOST_API CSpoolStore {
public:
    static constexpr std::size_t kBlockSize = 1 << 20;

    explicit CSpoolStore(CTempFileMgr& mgr = GlobalTempFileMgr());
    ~CSpoolStore();
    CSpoolStore(const CSpoolStore&) = delete;
    CSpoolStore& operator=(const CSpoolStore&) = delete;

    void Append(const void* data, std::size_t len);
    // No more appends: the last block goes to memory or to the file.
    void Seal();
    std::uint64_t Size() const { return m_size; }
    // len bytes from offset into dst. A block in the file is read whole and
    // kept, so reads that walk the store in either direction touch the file
    // once a block.
    void Read(std::uint64_t offset, void* dst, std::size_t len);
    // Calls sink(data, len) for every piece in order until it answers false;
    // answers whether every call succeeded.
    template <typename Sink>
    bool ForEachPiece(Sink&& sink)
    {
        for (std::size_t b = 0; b < m_blocks.size(); ++b) {
            const BYTE* p = PieceOf(b);
            if (!sink(p, m_blocks[b].length))
                return false;
        }
        return true;
    }

private:
    struct Block {
        std::unique_ptr<BYTE[]> memory; // null when the block is in the file
        std::uint64_t fileOffset = 0;
        std::size_t length = 0;
    };
    void CloseBlock();
    void Spill(const BYTE* data, std::size_t len, Block& block);
    void FileIo(bool bWrite, BYTE* p, std::size_t len, std::uint64_t offset);
    const BYTE* PieceOf(std::size_t b);

    CTempFileMgr& m_mgr;
    std::vector<Block> m_blocks;     // closed blocks
    std::unique_ptr<BYTE[]> m_open;  // the block being filled
    std::size_t m_openLength = 0;
    std::unique_ptr<BYTE[]> m_readBuffer;
    std::size_t m_readBlock = SIZE_MAX; // the file block m_readBuffer holds
    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_size = 0;
    bool m_sealed = false;
};

// A layer's stream: a start string, sections of rows, an end string.
class HOST_API CSpoolDataBuffer {
public:
    CSpoolDataBuffer() = default;
    int Open();
    void Write(const void* data, std::size_t len) { m_store->Append(data, len); }
    void Write(const std::string& s) { m_store->Append(s.data(), s.size()); }
    void Finish() { m_store->Seal(); }
    bool IsOpen() const { return m_store != nullptr; }
    CSpoolStore& Store() { return *m_store; }

private:
    std::unique_ptr<CSpoolStore> m_store;
};

// The finished contents of a buffer, ready to be sent (any number of
// times). The buffer it was made from must outlive it.
class HOST_API CSpoolData {
public:
    explicit CSpoolData(CSpoolDataBuffer& buffer) : m_buffer(buffer) {}
    CSpoolDataBuffer& Buffer() { return m_buffer; }

private:
    CSpoolDataBuffer& m_buffer;
};
