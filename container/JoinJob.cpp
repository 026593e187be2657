#include "container/JoinJob.h"

#include "base/AtomicOutputFile.h"
#include "base/FileSystem.h"
#include "config/FileAttributes.h"
#include "library/RecordingName.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kirvano {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The same file (an existing one by device and inode), or the same spelling.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    struct stat x, y;
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

Result<JoinedMovie> OpenMovie(const std::string& path) {
    auto input = ReadJoinInput(path);
    if (!input)
        return Error{input.error()};
    return JoinedMovie::Start(std::move(input.value()));
}

Status AppendMovie(JoinedMovie& movie, const std::string& path) {
    auto input = ReadJoinInput(path);
    if (!input)
        return Status(Error{input.error()});
    return movie.Append(std::move(input.value()));
}

// The source files of a movie, opened again for the copy; each must still have the
// size it had when its boxes were read.
Result<std::vector<int>> OpenSources(const JoinedMovie& movie) {
    std::vector<int> fds;
    const auto paths = movie.sourcePaths();
    const auto sizes = movie.sourceSizes();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const int fd = ::open(paths[i].c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != sizes[i]) {
            const std::string reason =
                fd < 0 ? std::strerror(errno) : std::string("the file changed while joining");
            if (fd >= 0)
                ::close(fd);
            for (int f : fds)
                ::close(f);
            return Failure(paths[i] + ": " + reason);
        }
        fds.push_back(fd);
    }
    return fds;
}

void CloseAll(const std::vector<int>& fds) {
    for (int fd : fds)
        ::close(fd);
}

struct PlannedOutput {
    std::string path;
    std::vector<OutBox> boxes;       // a movie
    std::vector<std::uint8_t> bytes; // the data file
    const JoinedMovie* movie = nullptr;
    std::uint64_t size = 0;
    AtomicOutputFile file;
};

Status WriteMovieOutput(PlannedOutput& out, const JoinOptions& options, bool replace) {
    if (Status s = out.file.open(out.path, replace ? ExistingFile::Replace : ExistingFile::Keep);
        !s)
        return s;
    if (options.failAfterBytesForTests)
        out.file.failAfterForTests(*options.failAfterBytesForTests);
    auto fds = OpenSources(*out.movie);
    if (!fds)
        return Status(Error{fds.error()});
    CopyProgress progress;
    if (options.cancel)
        progress.afterWindow = [&](std::uint64_t) { return !options.cancel->load(); };
    Status s = WriteBoxes(out.boxes, fds.value(), out.file, progress);
    CloseAll(fds.value());
    if (s && out.file.written() != out.size)
        return Failure("the joined movie came out at an unexpected size");
    return s;
}

} // namespace

bool Begin(JoinJob& job, const std::string& firstMoviePath) {
    Free(job);
    auto front = OpenMovie(firstMoviePath);
    if (!front) {
        job.error = firstMoviePath + ": " + front.error();
        return false;
    }
    job.front = std::move(front.value());
    job.inputs.push_back(firstMoviePath);

    const std::string rearPath = RearPathOf(firstMoviePath);
    job.inputs.push_back(rearPath);
    if (rearPath != firstMoviePath) {
        auto rear = OpenMovie(rearPath);
        if (rear) {
            job.rear = std::move(rear.value());
            job.withRear = true;
        } else if (Exists(rearPath)) {
            job.notes.push_back(rearPath + ": rear movie left out: " + rear.error());
        }
    }

    const std::string dataPath = DataPathOf(firstMoviePath);
    job.inputs.push_back(dataPath);
    auto data = ReadDataFile(dataPath);
    if (data) {
        job.data = std::move(data.value());
        job.withData = true;
    } else if (Exists(dataPath)) {
        job.notes.push_back(dataPath + ": data file left out: " + data.error());
    }
    return true;
}

bool Append(JoinJob& job, const std::string& nextMoviePath) {
    if (!job.front) {
        job.error = "the join has not begun";
        return false;
    }
    job.inputs.push_back(nextMoviePath);
    if (Status s = AppendMovie(*job.front, nextMoviePath); !s) {
        job.error = nextMoviePath + ": " + s.error();
        return false;
    }
    const std::string rearPath = RearPathOf(nextMoviePath);
    job.inputs.push_back(rearPath);
    if (job.withRear) {
        Status s = rearPath == nextMoviePath ? Status(Failure("no rear movie name"))
                                             : AppendMovie(*job.rear, rearPath);
        if (!s) {
            job.notes.push_back(rearPath + ": rear movie left out: " + s.error());
            job.withRear = false;
            job.rear.reset();
        }
    }
    const std::string dataPath = DataPathOf(nextMoviePath);
    job.inputs.push_back(dataPath);
    if (job.withData) {
        auto data = ReadDataFile(dataPath);
        if (!data) {
            job.notes.push_back(dataPath + ": data file left out: " + data.error());
            job.withData = false;
            job.data.reset();
        } else {
            AppendRecords(*job.data, data.value());
        }
    }
    return true;
}

bool Write(JoinJob& job, const std::string& outputMoviePath, const JoinOptions& options) {
    job.frontOutput.clear();
    job.rearOutput.clear();
    job.dataOutput.clear();
    auto fail = [&](const std::string& reason) {
        job.error = reason;
        return false;
    };
    if (!job.front)
        return fail("the join has not begun");
    if (options.progress)
        options.progress(0, 100);

    // Plan every output completely before a byte is written.
    std::vector<std::unique_ptr<PlannedOutput>> outputs;
    auto front = job.front->Build();
    if (!front)
        return fail(outputMoviePath + ": " + front.error());
    outputs.push_back(std::make_unique<PlannedOutput>());
    outputs.back()->path = outputMoviePath;
    outputs.back()->boxes = std::move(front.value());
    outputs.back()->movie = &*job.front;

    bool withRear = job.withRear && job.rear;
    const std::string rearPath = RearPathOf(outputMoviePath);
    if (withRear && rearPath == outputMoviePath) {
        job.notes.push_back(outputMoviePath + ": rear movie left out: the output name has no "
                                              "camera letter");
        withRear = false;
    }
    if (withRear) {
        auto rear = job.rear->Build();
        if (!rear) {
            job.notes.push_back(rearPath + ": rear movie left out: " + rear.error());
            withRear = false;
        } else {
            outputs.push_back(std::make_unique<PlannedOutput>());
            outputs.back()->path = rearPath;
            outputs.back()->boxes = std::move(rear.value());
            outputs.back()->movie = &*job.rear;
        }
    }
    const bool withData = job.withData && job.data;
    if (withData) {
        outputs.push_back(std::make_unique<PlannedOutput>());
        outputs.back()->path = DataPathOf(outputMoviePath);
        outputs.back()->bytes =
            EncodeJoinedBlock(job.data->header, job.data->count, job.data->records);
    }

    // Refusals: an input under an output name, an existing output, a missing folder,
    // too little room.
    std::map<std::string, std::uint64_t> needed;
    for (auto& out : outputs) {
        out->size = out->movie ? FileSize(out->boxes) : out->bytes.size();
        for (const std::string& input : job.inputs)
            if (SameFile(out->path, input))
                return fail(out->path + ": the output would overwrite an input");
        if (Exists(out->path) && !options.replace)
            return fail(out->path + ": the output exists already");
        struct stat st;
        const std::string folder = FolderOf(out->path);
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return fail(folder + ": the output folder does not exist");
        needed[folder] += out->size;
    }
    for (const auto& [folder, bytes] : needed) {
        std::uint64_t available = 0;
        if (options.freeSpaceForTests) {
            available = *options.freeSpaceForTests;
        } else {
            struct statvfs vfs;
            if (statvfs(folder.c_str(), &vfs) != 0)
                return fail(folder + ": " + std::strerror(errno));
            available = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        }
        if (available < bytes)
            return fail(folder + ": not enough free space (" + std::to_string(bytes) +
                        " bytes needed, " + std::to_string(available) + " available)");
    }

    // Everything goes to temporary files first; the final names appear only at the end.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        PlannedOutput& out = *outputs[i];
        Status s = Success();
        if (out.movie) {
            s = WriteMovieOutput(out, options, options.replace);
        } else {
            s = out.file.open(out.path,
                              options.replace ? ExistingFile::Replace : ExistingFile::Keep);
            if (s && options.failAfterBytesForTests)
                out.file.failAfterForTests(*options.failAfterBytesForTests);
            if (s)
                s = out.file.write(out.bytes.data(), out.bytes.size());
        }
        if (!s)
            return fail(out.path + ": " + s.error()); // the temporary files go with outputs
        if (options.progress && out.movie)
            options.progress(i == 0 ? 33 : 66, 100);
    }
    if (options.progress && !withRear)
        options.progress(66, 100);
    std::vector<std::string> committed;
    for (auto& out : outputs) {
        if (Status s = out->file.commit(); !s) {
            if (!options.replace)
                for (const std::string& path : committed)
                    ::unlink(path.c_str()); // none of them existed before
            return fail(out->path + ": " + s.error());
        }
        committed.push_back(out->path);
    }
    job.frontOutput = outputMoviePath;
    if (withRear)
        job.rearOutput = rearPath;
    if (withData) {
        job.dataOutput = DataPathOf(outputMoviePath);
        AddHiddenAttribute(job.dataOutput); // where the file system has the attribute
    }
    if (options.progress)
        options.progress(99, 100);
    return true;
}

void Free(JoinJob& job) {
    job = JoinJob{};
}

} // namespace kirvano
