// The windowed file reader and the bus-error guard around reads of mapped windows.
#include "container/MappedFile.h"

#include "base/NamedLocks.h"

#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {
namespace {

thread_local sigjmp_buf* t_guard = nullptr;
struct sigaction g_previous_bus_action;

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (t_guard != nullptr)
        siglongjmp(*t_guard, 1);
    // Not a guarded read: let whoever handled it before decide.
    if ((g_previous_bus_action.sa_flags & SA_SIGINFO) != 0 &&
        g_previous_bus_action.sa_sigaction != nullptr) {
        g_previous_bus_action.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous_bus_action.sa_handler != SIG_DFL &&
        g_previous_bus_action.sa_handler != SIG_IGN &&
        (g_previous_bus_action.sa_flags & SA_SIGINFO) == 0) {
        g_previous_bus_action.sa_handler(signal);
        return;
    }
    // Returning repeats the faulting access, which now ends the process as it would have.
    ::signal(SIGBUS, SIG_DFL);
}

void InstallBusHandler() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous_bus_action);
}

std::string SystemText(int error) {
    return std::strerror(error);
}

} // namespace

bool RunGuarded(void (*fn)(void*), void* context) {
    static std::once_flag installed;
    std::call_once(installed, InstallBusHandler);
    sigjmp_buf jump;
    sigjmp_buf* volatile outer = t_guard;
    if (sigsetjmp(jump, 1) != 0) {
        t_guard = outer;
        return false;
    }
    t_guard = &jump;
    fn(context);
    t_guard = outer;
    return true;
}

Window::Window(Window&& other) noexcept {
    *this = std::move(other);
}

Window& Window::operator=(Window&& other) noexcept {
    if (this != &other) {
        release();
        map_base_ = other.map_base_;
        map_length_ = other.map_length_;
        copy_ = std::move(other.copy_);
        range_ = other.range_;
        offset_ = other.offset_;
        other.map_base_ = nullptr;
        other.map_length_ = 0;
        other.range_ = {};
    }
    return *this;
}

Window::~Window() {
    release();
}

void Window::release() {
    if (map_base_ != nullptr)
        munmap(map_base_, map_length_);
    map_base_ = nullptr;
    map_length_ = 0;
    range_ = {};
}

MappedFile::MappedFile() : scan_lock_(NamedLock("hMutexFind")) {
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0)
        granularity_ = static_cast<std::uint32_t>(page);
}

MappedFile::~MappedFile() {
    Reset();
}

Status MappedFile::Open(const std::string& path) {
    Reset();
    // Non-blocking so that a FIFO or a device cannot stall the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(SystemText(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return Failure(SystemText(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Failure(S_ISDIR(info.st_mode) ? SystemText(EISDIR) : "Not a regular file");
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    path_ = path;
    open_ = true;
    return Success();
}

Status MappedFile::OpenMemory(std::vector<std::uint8_t> bytes, std::string name) {
    Reset();
    memory_ = std::move(bytes);
    size_ = memory_.size();
    path_ = std::move(name);
    open_ = true;
    return Success();
}

void MappedFile::Reset() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    open_ = false;
    memory_.clear();
    memory_.shrink_to_fit();
    size_ = 0;
    path_.clear();
    last_error_.clear();
}

std::uint64_t MappedFile::WindowLength(std::uint64_t offset, std::uint64_t length,
                                       std::uint64_t limit) const {
    const std::uint64_t end = std::min(limit, size_);
    if (offset >= end)
        return 0;
    return std::min(length, end - offset);
}

std::optional<Window> MappedFile::MapWindow(std::uint64_t offset, std::uint64_t length,
                                            std::uint64_t limit) {
    if (!open_)
        return std::nullopt;
    length = WindowLength(offset, length, limit);
    if (length == 0)
        return std::nullopt;
    Window window;
    window.offset_ = offset;
    if (fd_ < 0) {
        window.range_ = ByteRange(memory_.data() + offset, static_cast<std::size_t>(length));
        ++views_;
        return window;
    }
    const std::uint64_t view_start = offset - offset % granularity_;
    const std::size_t view_length = static_cast<std::size_t>(offset - view_start + length);
    void* base =
        mmap(nullptr, view_length, PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(view_start));
    if (base == MAP_FAILED) {
        last_error_ = SystemText(errno);
        return std::nullopt;
    }
    ++views_;
    window.map_base_ = base;
    window.map_length_ = view_length;
    window.range_ = ByteRange(static_cast<const std::uint8_t*>(base) + (offset - view_start),
                              static_cast<std::size_t>(length));
    return window;
}

std::optional<Window> MappedFile::ReadWindow(std::uint64_t offset, std::uint64_t length,
                                             std::uint64_t limit) {
    if (!open_)
        return std::nullopt;
    length = WindowLength(offset, length, limit);
    if (length == 0)
        return std::nullopt;
    if (fd_ < 0)
        return MapWindow(offset, length, limit);
    Window window;
    window.offset_ = offset;
    window.copy_.resize(static_cast<std::size_t>(length));
    if (!ReadAt(offset, window.copy_))
        return std::nullopt;
    ++views_;
    window.range_ = ByteRange(window.copy_.data(), window.copy_.size());
    return window;
}

bool MappedFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!open_ || offset > size_ || out.size() > size_ - offset)
        return false;
    if (fd_ < 0) {
        std::copy_n(memory_.data() + offset, out.size(), out.data());
        return true;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            last_error_ = SystemText(errno);
            return false;
        }
        if (n == 0) {
            last_error_ = "The file is shorter than when it was opened";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool IsMovieStart(ByteRange first_bytes) {
    return first_bytes.size() >= 260 && first_bytes.fourcc(4) == std::string_view("ftyp");
}

bool IsMovieFile(const std::string& path) {
    MappedFile file;
    if (!file.Open(path) || file.size() < 260)
        return false;
    std::uint8_t head[260];
    if (!file.ReadAt(0, head))
        return false;
    return IsMovieStart(ByteRange(head, sizeof head));
}

} // namespace kirvano
