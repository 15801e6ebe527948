// mmio.cpp: the multimedia file services (mmio) for reading RIFF files from disk or from memory. A
// file is read through an I/O buffer that the caller may reach directly with mmioGetInfo /
// mmioAdvance / mmioSetInfo; a memory file's buffer is the memory itself. Offsets are 32-bit LONGs:
// a file longer than their range is refused at open, and every chunk end is computed wide and
// checked against that range, so the chunk walk can neither wrap around nor step backwards. A chunk
// may declare an end past the end of the file, as writers cut short leave it: it is found, and
// reads in it stop at the end of the file.
#include <mmsystem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "file_path.h"

// Bytes a disk file reads ahead of its I/O buffer, so refills rarely cost a system call.
constexpr long readAheadCapacity = 64 * 1024;
// The largest file offset a LONG holds.
constexpr long long maxOffset = INT32_MAX;

struct HMMIO__ {
    int file = -1;   // file descriptor; -1 for a memory file
    LONG length = 0; // bytes in the file or the memory
    bool ownsBuffer = false;
    // The read-ahead window: readAheadLength bytes from file offset readAheadOffset.
    char* readAhead = nullptr;
    LONG readAheadOffset = 0;
    long readAheadLength = 0;
    // Buffer state: pchBuffer holds the bytes from file offset lBufOffset up to pchEndRead.
    MMIOINFO info{};

    LONG position() const { return info.lBufOffset + LONG(info.pchNext - info.pchBuffer); }
    LONG buffered() const { return LONG(info.pchEndRead - info.pchBuffer); }
};

namespace {

void reportError(LPMMIOINFO info, UINT error) {
    if (info)
        info->wErrorRet = error;
}

UINT openError() {
    if (errno == ENOENT)
        return MMIOERR_FILENOTFOUND;
    if (errno == ENOTDIR)
        return MMIOERR_PATHNOTFOUND;
    if (errno == EACCES || errno == EPERM)
        return MMIOERR_ACCESSDENIED;
    return MMIOERR_CANNOTOPEN;
}

// Reads up to count bytes at offset; the count read, or -1 on an error.
long readAt(int file, char* destination, size_t count, LONG offset) {
    size_t done = 0;
    while (done < count) {
        ssize_t got = pread(file, destination + done, count - done, off_t(offset) + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += size_t(got);
    }
    return long(done);
}

// Fills the buffer of a disk file from the current position; at the end of the file the
// buffer stays empty.
MMRESULT refill(HMMIO f) {
    if (f->file < 0)
        return MMSYSERR_NOERROR; // a memory file holds all its bytes already
    LONG offset = f->position();
    long wanted = f->info.cchBuffer;
    long got = 0;
    if (offset < f->length) {
        if (!f->readAhead)
            f->readAhead = new (std::nothrow) char[readAheadCapacity];
        long windowEnd = long(f->readAheadOffset) + f->readAheadLength;
        if (!f->readAhead || wanted > readAheadCapacity) {
            got = readAt(f->file, f->info.pchBuffer, size_t(wanted), offset);
        } else {
            if (offset < f->readAheadOffset || offset + wanted > windowEnd) {
                f->readAheadOffset = offset;
                f->readAheadLength = readAt(f->file, f->readAhead, readAheadCapacity, offset);
                windowEnd = f->readAheadLength < 0 ? 0 : offset + f->readAheadLength;
            }
            if (f->readAheadLength >= 0) {
                got = std::min(wanted, windowEnd - offset);
                std::memcpy(f->info.pchBuffer, f->readAhead + (offset - f->readAheadOffset),
                            size_t(got));
            } else {
                f->readAheadLength = 0;
                got = -1;
            }
        }
        if (got < 0)
            return MMIOERR_CANNOTREAD;
    }
    f->info.lBufOffset = offset;
    f->info.pchNext = f->info.pchBuffer;
    f->info.pchEndRead = f->info.pchBuffer + got;
    f->info.lDiskOffset = offset + LONG(got);
    return MMSYSERR_NOERROR;
}

// Takes back a caller's read pointer, which must lie within the valid part of the buffer.
bool takeReadPointer(HMMIO f, LPCMMIOINFO info) {
    if (info->pchBuffer != f->info.pchBuffer || info->pchNext < f->info.pchBuffer ||
        info->pchNext > f->info.pchEndRead)
        return false;
    f->info.pchNext = info->pchNext;
    return true;
}

bool readExactly(HMMIO f, void* destination, LONG count) {
    return mmioRead(f, static_cast<HPSTR>(destination), count) == count;
}

// Where a chunk's contents end, without and with the pad byte of an odd size.
long long contentsEnd(const MMCKINFO& chunk) {
    return (long long)chunk.dwDataOffset + chunk.cksize;
}

long long paddedEnd(const MMCKINFO& chunk) {
    return contentsEnd(chunk) + (chunk.cksize & 1);
}

// A chunk's contents must end at a file offset a LONG holds.
bool withinOffsets(const MMCKINFO& chunk) {
    return contentsEnd(chunk) <= maxOffset;
}

} // namespace

HMMIO WINAPI mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags) {
    if ((flags & MMIO_RWMODE) != MMIO_READ || (flags & MMIO_CREATE)) {
        reportError(info, MMIOERR_CANNOTWRITE);
        return nullptr;
    }
    HMMIO f = new (std::nothrow) HMMIO__;
    if (!f) {
        reportError(info, MMIOERR_OUTOFMEMORY);
        return nullptr;
    }
    if (info && info->fccIOProc == FOURCC_MEM) {
        if (!info->pchBuffer || info->cchBuffer <= 0) {
            delete f;
            reportError(info, MMIOERR_CANNOTOPEN);
            return nullptr;
        }
        f->length = info->cchBuffer;
        f->info.fccIOProc = FOURCC_MEM;
        f->info.cchBuffer = info->cchBuffer;
        f->info.pchBuffer = info->pchBuffer;
        f->info.pchNext = info->pchBuffer;
        f->info.pchEndRead = info->pchBuffer + info->cchBuffer;
        f->info.pchEndWrite = f->info.pchEndRead;
    } else {
        if (!fileName) {
            delete f;
            reportError(info, MMIOERR_CANNOTOPEN);
            return nullptr;
        }
        std::string path = resolveWindowsPath(fileName);
        f->file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat status;
        bool readable = f->file >= 0 && fstat(f->file, &status) == 0 && !S_ISDIR(status.st_mode) &&
                        status.st_size <= maxOffset;
        if (!readable) {
            UINT error = f->file >= 0 ? MMIOERR_CANNOTOPEN : openError();
            if (f->file >= 0)
                ::close(f->file);
            delete f;
            reportError(info, error);
            return nullptr;
        }
        f->length = LONG(status.st_size);
        f->info.fccIOProc = FOURCC_DOS;
        bool callerBuffer = info && info->pchBuffer && info->cchBuffer > 0;
        if (callerBuffer) {
            f->info.cchBuffer = info->cchBuffer;
            f->info.pchBuffer = info->pchBuffer;
        } else if (flags & MMIO_ALLOCBUF) {
            LONG size = info && info->cchBuffer > 0 ? info->cchBuffer : MMIO_DEFAULTBUFFER;
            f->info.pchBuffer = new (std::nothrow) char[size_t(size)];
            if (!f->info.pchBuffer) {
                ::close(f->file);
                delete f;
                reportError(info, MMIOERR_OUTOFMEMORY);
                return nullptr;
            }
            f->info.cchBuffer = size;
            f->ownsBuffer = true;
        }
        f->info.pchNext = f->info.pchBuffer;
        f->info.pchEndRead = f->info.pchBuffer;
        f->info.pchEndWrite = f->info.pchBuffer + f->info.cchBuffer;
    }
    f->info.dwFlags = flags;
    f->info.hmmio = f;
    if (info) {
        info->wErrorRet = MMSYSERR_NOERROR;
        info->hmmio = f;
    }
    return f;
}

MMRESULT WINAPI mmioClose(HMMIO f, UINT) {
    if (!f)
        return MMSYSERR_INVALHANDLE;
    MMRESULT result = MMSYSERR_NOERROR;
    if (f->file >= 0 && ::close(f->file) != 0)
        result = MMIOERR_CANNOTCLOSE;
    if (f->ownsBuffer)
        delete[] f->info.pchBuffer;
    delete[] f->readAhead;
    delete f;
    return result;
}

LONG WINAPI mmioRead(HMMIO f, HPSTR destination, LONG count) {
    if (!f || count < 0 || (count > 0 && !destination))
        return -1;
    LONG done = 0;
    if (!f->info.pchBuffer) {
        // Unbuffered disk file: read straight from the file position.
        LONG offset = f->info.lBufOffset;
        if (count == 0 || offset >= f->length)
            return 0;
        long got = readAt(f->file, destination, size_t(count), offset);
        if (got < 0)
            return -1;
        f->info.lBufOffset = offset + LONG(got);
        f->info.lDiskOffset = f->info.lBufOffset;
        return LONG(got);
    }
    while (done < count) {
        LONG available = LONG(f->info.pchEndRead - f->info.pchNext);
        if (available == 0) {
            if (f->file < 0)
                break; // a memory file has nothing beyond its buffer
            if (refill(f) != MMSYSERR_NOERROR)
                return done > 0 ? done : -1;
            available = LONG(f->info.pchEndRead - f->info.pchNext);
            if (available == 0)
                break;
        }
        LONG n = available < count - done ? available : count - done;
        std::memcpy(destination + done, f->info.pchNext, size_t(n));
        f->info.pchNext += n;
        done += n;
    }
    return done;
}

LONG WINAPI mmioSeek(HMMIO f, LONG offset, int origin) {
    if (!f)
        return -1;
    long long base;
    if (origin == SEEK_SET)
        base = 0;
    else if (origin == SEEK_CUR)
        base = f->position();
    else if (origin == SEEK_END)
        base = f->length;
    else
        return -1;
    long long target = base + offset;
    if (target < 0 || target > maxOffset || (f->file < 0 && target > f->length))
        return -1;
    LONG newPosition = LONG(target);
    if (!f->info.pchBuffer) {
        f->info.lBufOffset = newPosition;
    } else if (newPosition >= f->info.lBufOffset &&
               newPosition <= f->info.lBufOffset + f->buffered()) {
        f->info.pchNext = f->info.pchBuffer + (newPosition - f->info.lBufOffset);
    } else {
        // Outside the buffered bytes: the buffer starts empty at the new position.
        f->info.lBufOffset = newPosition;
        f->info.pchNext = f->info.pchBuffer;
        f->info.pchEndRead = f->info.pchBuffer;
    }
    return newPosition;
}

MMRESULT WINAPI mmioGetInfo(HMMIO f, LPMMIOINFO info, UINT) {
    if (!f)
        return MMSYSERR_INVALHANDLE;
    if (!info)
        return MMSYSERR_INVALPARAM;
    *info = f->info;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mmioSetInfo(HMMIO f, LPCMMIOINFO info, UINT) {
    if (!f)
        return MMSYSERR_INVALHANDLE;
    if (!info || !takeReadPointer(f, info))
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mmioAdvance(HMMIO f, LPMMIOINFO info, UINT flags) {
    if (!f)
        return MMSYSERR_INVALHANDLE;
    if (!f->info.pchBuffer)
        return MMIOERR_UNBUFFERED;
    if (flags != MMIO_READ)
        return MMIOERR_CANNOTWRITE;
    if (info && !takeReadPointer(f, info))
        return MMSYSERR_INVALPARAM;
    MMRESULT result = refill(f);
    if (result != MMSYSERR_NOERROR)
        return result;
    if (info)
        *info = f->info;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mmioDescend(HMMIO f, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags) {
    if (!f)
        return MMSYSERR_INVALHANDLE;
    if (!chunk)
        return MMSYSERR_INVALPARAM;
    FOURCC wantedId = 0;
    FOURCC wantedType = 0;
    if (flags & MMIO_FINDCHUNK) {
        wantedId = chunk->ckid;
    } else if (flags & MMIO_FINDRIFF) {
        wantedId = FOURCC_RIFF;
        wantedType = chunk->fccType;
    } else if (flags & MMIO_FINDLIST) {
        wantedId = FOURCC_LIST;
        wantedType = chunk->fccType;
    }
    // Chunks are searched only within the parent's contents and the file.
    long long end = f->length;
    if (parent)
        end = std::min(end, contentsEnd(*parent));
    for (;;) {
        long long start = f->position();
        if (start + 8 > end)
            return MMIOERR_CHUNKNOTFOUND;
        DWORD header[2];
        if (!readExactly(f, header, sizeof header))
            return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found{header[0], header[1], 0, DWORD(start + 8), 0};
        if (!withinOffsets(found))
            return MMIOERR_CHUNKNOTFOUND;
        // The form type is part of the contents: a chunk too small to hold it has none.
        if ((found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST) &&
            found.cksize >= sizeof found.fccType) {
            if (!readExactly(f, &found.fccType, sizeof found.fccType))
                return MMIOERR_CHUNKNOTFOUND;
        }
        if (wantedId == 0 ||
            (found.ckid == wantedId && (!wantedType || found.fccType == wantedType))) {
            *chunk = found;
            return MMSYSERR_NOERROR;
        }
        // Skip the chunk and its pad byte: at least 8 bytes forward, never past the file.
        long long next = std::min(paddedEnd(found), (long long)f->length);
        if (next > end || mmioSeek(f, LONG(next), SEEK_SET) != next)
            return MMIOERR_CHUNKNOTFOUND;
    }
}

MMRESULT WINAPI mmioAscend(HMMIO f, LPMMCKINFO chunk, UINT) {
    if (!f)
        return MMSYSERR_INVALHANDLE;
    if (!chunk)
        return MMSYSERR_INVALPARAM;
    // To the end of the chunk and past its pad byte, even where the file ends before them (a
    // memory file cannot be left: there the end of the memory); never backwards.
    if (!withinOffsets(*chunk))
        return MMIOERR_CANNOTSEEK;
    long long next = std::min(paddedEnd(*chunk), maxOffset);
    if (f->file < 0)
        next = std::min(next, (long long)f->length);
    if (next < f->position() || mmioSeek(f, LONG(next), SEEK_SET) != next)
        return MMIOERR_CANNOTSEEK;
    return MMSYSERR_NOERROR;
}
