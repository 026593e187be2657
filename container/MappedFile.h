// A read-only view of a file (or of bytes in memory) that is read in windows, never whole.
// Every file scan goes through it: the windows start on page boundaries, a scan holds the
// process-wide scan lock, and another thread may stop a running scan with RequestAbort().
// A file that shrinks while it is mapped (a card pulled mid-scan) makes the scan fail
// instead of killing the process: mapped bytes are only read inside GuardedRead, and
// windows handed to parsers are copies read with pread.
#pragma once

#include "base/ByteRange.h"
#include "base/Result.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kirvano {

// Runs fn; a bus error raised by reading a mapped window inside it (the file shrank) ends
// fn early and the result is false. fn must hold no resources of its own: keep every
// object it changes in the caller's frame.
bool RunGuarded(void (*fn)(void*), void* context);
template <class F> bool GuardedRead(F& fn) {
    return RunGuarded([](void* c) { (*static_cast<F*>(c))(); }, &fn);
}

// The bytes [offset, offset + size()) of a reader, mapped or copied. Move-only; unmaps
// itself.
class Window {
public:
    Window() = default;
    Window(Window&& other) noexcept;
    Window& operator=(Window&& other) noexcept;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window();

    ByteRange bytes() const { return range_; }
    std::uint64_t offset() const { return offset_; }
    std::size_t size() const { return range_.size(); }
    // The bytes live in a file mapping: read them only inside GuardedRead.
    bool mapped() const { return map_base_ != nullptr; }

private:
    friend class MappedFile;
    void release();

    void* map_base_ = nullptr;
    std::size_t map_length_ = 0;
    std::vector<std::uint8_t> copy_;
    ByteRange range_;
    std::uint64_t offset_ = 0;
};

class MappedFile {
public:
    MappedFile();
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Closes what was open, then opens a regular file for reading. The failure reason is
    // the system's text, e.g. "No such file or directory".
    Status Open(const std::string& path);
    // The same reader over bytes in memory; name stands in for the path.
    Status OpenMemory(std::vector<std::uint8_t> bytes, std::string name);
    // Closes and clears the path; the lock stays.
    void Reset();

    bool IsOpen() const { return open_; }
    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }
    // Every mapped window starts on a multiple of this (the page size).
    std::uint32_t granularity() const { return granularity_; }

    // Asks a running scan to stop; the scan that stops on it clears it.
    void RequestAbort() { abort_.store(true, std::memory_order_relaxed); }
    // True (and cleared) when a stop was requested.
    bool TakeAbort() { return abort_.exchange(false, std::memory_order_relaxed); }
    bool AbortRequested() const { return abort_.load(std::memory_order_relaxed); }

    // Successful handler calls of the last scan.
    std::uint32_t hits() const { return hits_; }
    void set_hits(std::uint32_t hits) { hits_ = hits; }
    // Windows made so far (statistics only).
    std::uint32_t views() const { return views_; }

    // "hMutexFind": one scan at a time in the whole process.
    std::recursive_mutex& scan_lock() { return scan_lock_; }

    // The reason the last window could not be made (the system's text), empty if none.
    const std::string& last_error() const { return last_error_; }
    void set_last_error(std::string text) { last_error_ = std::move(text); }

    // Maps [offset, offset + length) cut at limit and at the end of the file; a zero
    // length fails quietly. Pages are loaded on first access, so a large window costs
    // nothing until it is read; read a file's mapped window only inside GuardedRead.
    std::optional<Window> MapWindow(std::uint64_t offset, std::uint64_t length,
                                    std::uint64_t limit);
    // The same window copied into memory: safe to hand to any parser. Fails when the file
    // no longer holds the bytes it held when it was opened.
    std::optional<Window> ReadWindow(std::uint64_t offset, std::uint64_t length,
                                     std::uint64_t limit);
    // Exactly out.size() bytes at offset; false when they are not all there.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out);

private:
    std::uint64_t WindowLength(std::uint64_t offset, std::uint64_t length,
                               std::uint64_t limit) const;

    std::recursive_mutex& scan_lock_;
    std::string path_;
    int fd_ = -1;
    bool open_ = false;
    std::vector<std::uint8_t> memory_;
    std::uint64_t size_ = 0;
    std::uint32_t granularity_ = 4096;
    std::atomic<bool> abort_{false};
    std::uint32_t hits_ = 0;
    std::uint32_t views_ = 0;
    std::string last_error_;
};

// The quick movie test: a regular, non-empty file of at least 260 bytes whose bytes 4 to 7
// are "ftyp".
bool IsMovieFile(const std::string& path);
// The same test on the first bytes of a file.
bool IsMovieStart(ByteRange first_bytes);

} // namespace kirvano
