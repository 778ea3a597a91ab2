#include "SpoolBuffer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>


namespace {

std::string SystemError(const std::string& what, int err)
{
    return what + ": " + std::strerror(err);
}

} // namespace

long long CTempFileMgr::ParseSize(const std::string& text)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return -1;
    char* end = nullptr;
    errno = 0;
    const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
    if (errno)
        return -1;
    unsigned shift = 0;
    const std::string unit(end);
    if (unit == "K" || unit == "k" || unit == "KiB")
        shift = 10;
    else if (unit == "M" || unit == "m" || unit == "MiB")
        shift = 20;
    else if (unit == "G" || unit == "g" || unit == "GiB")
        shift = 30;
    else if (!unit.empty())
        return -1;
    if (n > (static_cast<unsigned long long>(LLONG_MAX) >> shift))
        return -1;
    return static_cast<long long>(n << shift);
}

CTempFileMgr::CTempFileMgr() : m_limit(kDefaultLimit), m_folder("/tmp")
{
    if (const char* limit = std::getenv("MIMAKI_SPOOL_LIMIT")) {
        const long long n = ParseSize(limit);
        if (n >= 0)
            m_limit = static_cast<std::uint64_t>(n);
    }
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        m_folder = tmp;
}

bool CTempFileMgr::Fits(std::size_t n) const
{
    return m_inUse + n <= m_limit;
}

void CTempFileMgr::Track(std::size_t n)
{
    m_inUse += n;
    if (m_inUse > m_peak)
        m_peak = m_inUse;
}

void CTempFileMgr::Release(std::size_t n)
{
    m_inUse = n > m_inUse ? 0 : m_inUse - n;
}

int CTempFileMgr::OpenTempFile()
{
    // A file without a name where the system can make one; else a named one
    // that loses its name at once.
    int fd = ::open(m_folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string name = m_folder + "/mimaki-spool-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(name.c_str());
    }
    if (fd < 0)
        throw CSpoolException(SystemError("cannot create a spool file in the temporary folder " + m_folder, errno));
    ++m_openFiles;
    return fd;
}

void CTempFileMgr::CloseTempFile(int fd)
{
    if (fd < 0)
        return;
    ::close(fd);
    --m_openFiles;
}

CTempFileMgr& GlobalTempFileMgr()
{
    static CTempFileMgr mgr;
    return mgr;
}

// ---------------------------------------------------------------------------

CSpoolStore::CSpoolStore(CTempFileMgr& mgr) : m_mgr(mgr) {}

CSpoolStore::~CSpoolStore()
{
    for (const Block& b : m_blocks)
        if (b.memory)
            m_mgr.Release(kBlockSize);
    if (m_open)
        m_mgr.Release(kBlockSize);
    if (m_readBuffer)
        m_mgr.Release(kBlockSize);
    m_mgr.CloseTempFile(m_fd);
}

void CSpoolStore::Append(const void* data, std::size_t len)
{
    if (m_sealed)
        throw CSpoolException("spool buffer written after it was finished");
    const BYTE* p = static_cast<const BYTE*>(data);
    while (len > 0) {
        if (!m_open) {
            // Every store needs the block it fills, budget or not.
            m_open.reset(new BYTE[kBlockSize]);
            m_mgr.Track(kBlockSize);
        }
        const std::size_t n = len < kBlockSize - m_openLength ? len : kBlockSize - m_openLength;
        std::memcpy(m_open.get() + m_openLength, p, n);
        m_openLength += n;
        m_size += n;
        p += n;
        len -= n;
        if (m_openLength == kBlockSize)
            CloseBlock();
    }
}

void CSpoolStore::CloseBlock()
{
    Block block;
    block.length = m_openLength;
    // Kept when the budget still has room for the block that follows it
    // (after Seal none follows); else spilled, and its memory fills the
    // next block.
    if (m_mgr.Fits(m_sealed ? 0 : kBlockSize))
        block.memory = std::move(m_open);
    else
        Spill(m_open.get(), m_openLength, block);
    m_blocks.push_back(std::move(block));
    m_openLength = 0;
}

void CSpoolStore::Spill(const BYTE* data, std::size_t len, Block& block)
{
    if (m_fd < 0)
        m_fd = m_mgr.OpenTempFile();
    block.fileOffset = m_fileSize;
    FileIo(true, const_cast<BYTE*>(data), len, m_fileSize);
    m_fileSize += len;
    m_mgr.CountSpilled(len);
}

// Writes or reads len bytes at offset of the store's file, whatever the
// system hands over a call; a write that takes nothing means a full disk.
void CSpoolStore::FileIo(bool bWrite, BYTE* p, std::size_t len, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < len) {
        const off_t at = static_cast<off_t>(offset + done);
        const ssize_t n = bWrite ? ::pwrite(m_fd, p + done, len - done, at) : ::pread(m_fd, p + done, len - done, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw CSpoolException(SystemError(std::string(bWrite ? "cannot write" : "cannot read back") +
                                                  " a spool file in the temporary folder " + m_mgr.GetTempFolder(),
                                              n < 0 ? errno : (bWrite ? ENOSPC : EIO)));
        done += static_cast<std::size_t>(n);
    }
}

void CSpoolStore::Seal()
{
    if (m_sealed)
        return;
    m_sealed = true;
    if (m_openLength > 0)
        CloseBlock();
    if (m_open)
        m_mgr.Release(kBlockSize);
    m_open.reset();
}

const BYTE* CSpoolStore::PieceOf(std::size_t b)
{
    Block& block = m_blocks[b];
    if (block.memory)
        return block.memory.get();
    if (m_readBlock != b) {
        if (!m_readBuffer) {
            m_readBuffer.reset(new BYTE[kBlockSize]);
            m_mgr.Track(kBlockSize);
        }
        m_readBlock = SIZE_MAX; // not valid again until the read succeeds
        FileIo(false, m_readBuffer.get(), block.length, block.fileOffset);
        m_readBlock = b;
    }
    return m_readBuffer.get();
}

void CSpoolStore::Read(std::uint64_t offset, void* dst, std::size_t len)
{
    BYTE* out = static_cast<BYTE*>(dst);
    std::size_t b = static_cast<std::size_t>(offset / kBlockSize); // every closed block but the last is full
    std::size_t within = static_cast<std::size_t>(offset % kBlockSize);
    while (len > 0) {
        if (b < m_blocks.size()) {
            const std::size_t avail = m_blocks[b].length - within;
            const std::size_t n = len < avail ? len : avail;
            std::memcpy(out, PieceOf(b) + within, n);
            out += n;
            len -= n;
            ++b;
            within = 0;
        } else {
            if (len > m_openLength - within)
                throw CSpoolException("spool read past the end of its data");
            std::memcpy(out, m_open.get() + within, len);
            len = 0;
        }
    }
}

// ---------------------------------------------------------------------------

int CSpoolDataBuffer::Open()
{
    m_store = std::make_unique<CSpoolStore>();
    return 1;
}
