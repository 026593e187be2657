/* The reference for the scan benchmark, in plain C: list a card's camera folders, read
 * the first 260 bytes of every front movie and stat its rear and data files. */
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static const char* const tops[] = {"Normal", "Parking"};
    static const char* const cameras[] = {"Front", "Rear_", "Data"};
    long long bytes = 0;
    if (argc != 2)
        return 2;
    for (int t = 0; t < 2; ++t) {
        for (int c = 0; c < 3; ++c) {
            char folder[4096];
            snprintf(folder, sizeof folder, "%s/%s/%s", argv[1], tops[t], cameras[c]);
            DIR* dir = opendir(folder);
            if (!dir)
                continue;
            char** names = NULL;
            size_t count = 0, capacity = 0;
            const struct dirent* entry;
            while ((entry = readdir(dir)) != NULL) {
                if (entry->d_name[0] == '.')
                    continue;
                if (count == capacity) {
                    capacity = capacity ? 2 * capacity : 64;
                    names = realloc(names, capacity * sizeof *names);
                }
                names[count++] = strdup(entry->d_name);
            }
            closedir(dir);
            for (size_t i = 0; c == 0 && i < count; ++i) {
                char path[4096], head[260];
                struct stat info;
                snprintf(path, sizeof path, "%s/%s", folder, names[i]);
                const int fd = open(path, O_RDONLY);
                if (fd >= 0) {
                    bytes += read(fd, head, sizeof head);
                    close(fd);
                }
                size_t n = (size_t)snprintf(path, sizeof path, "%s/%s/Rear_/%s", argv[1], tops[t],
                                            names[i]);
                path[n - 5] = 'R';
                if (stat(path, &info) == 0)
                    bytes += info.st_size;
                n = (size_t)snprintf(path, sizeof path, "%s/%s/Data/%s", argv[1], tops[t], names[i]);
                path[n - 5] = 'D';
                memcpy(path + n - 3, "ADA", 3);
                if (stat(path, &info) == 0)
                    bytes += info.st_size;
            }
            for (size_t i = 0; i < count; ++i)
                free(names[i]);
            free(names);
        }
    }
    printf("%lld\n", bytes);
    return 0;
}
