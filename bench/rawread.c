/* The baseline of the search benchmark: a plain single-threaded program that
 * walks a folder tree and reads every byte of every regular file in 64 KiB
 * reads, the least any search over the same files could do in one thread.
 * Prints the number of files and bytes read. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char buffer[1 << 16];
static unsigned long long files, bytes;

static void walk(int dirfd) {
    DIR* dir = fdopendir(dirfd);
    if (!dir) {
        close(dirfd);
        return;
    }
    struct dirent* e;
    while ((e = readdir(dir)) != NULL) {
        if (e->d_name[0] == '.') continue;
        if (e->d_type == DT_DIR) {
            int sub = openat(dirfd, e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0) walk(sub);
        } else if (e->d_type == DT_REG) {
            int fd = openat(dirfd, e->d_name, O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            ssize_t n;
            while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes += (unsigned long long)n;
            close(fd);
            ++files;
        }
    }
    closedir(dir);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    walk(fd);
    printf("%llu files, %llu bytes\n", files, bytes);
    return 0;
}
