// A read-only view of one folder in which chosen byte ranges of one file
// cannot be read: reads that reach them end short before them, reads that
// start inside them fail with EIO, as a drive does at a scratched area.
//
// Usage: eio_fs SOURCE MOUNTPOINT RELATIVE_FILE START:END [START:END ...]
//        (offsets in bytes, END excluded; the mount stays in the foreground)
// EIO_FS_DELAY_MS in the environment makes every failing read take that
// long, as a drive's retries do; EIO_FS_COUNT names a file that receives
// the number of failing reads when the file system is unmounted.
#define FUSE_USE_VERSION 31
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define MAX_RANGES 16

static char source[4096];
static char damaged[4096];  // path inside the mount, with a leading '/'
static off_t starts[MAX_RANGES], ends[MAX_RANGES];
static int ranges;
static int delayMs;
static long failures;
static const char* countFile;

static void SourcePath(char* out, const char* path) { snprintf(out, 4096, "%s%s", source, path); }

static int GetAttr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  char full[4096];
  SourcePath(full, path);
  return lstat(full, st) == 0 ? 0 : -errno;
}

static int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info* fi,
                   enum fuse_readdir_flags flags) {
  (void)offset, (void)fi, (void)flags;
  char full[4096];
  SourcePath(full, path);
  DIR* dir = opendir(full);
  if (dir == NULL) return -errno;
  for (struct dirent* entry; (entry = readdir(dir)) != NULL;) fill(buf, entry->d_name, NULL, 0, 0);
  closedir(dir);
  return 0;
}

static int Open(const char* path, struct fuse_file_info* fi) {
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  char full[4096];
  SourcePath(full, path);
  int fd = open(full, O_RDONLY);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  fi->direct_io = 1;  // every read reaches this file system, at its own offset and size
  return 0;
}

static int Read(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info* fi) {
  if (strcmp(path, damaged) == 0) {
    for (int i = 0; i < ranges; ++i) {
      if (offset >= starts[i] && offset < ends[i]) {
        ++failures;
        if (delayMs > 0) usleep((useconds_t)delayMs * 1000);
        return -EIO;
      }
      if (offset < starts[i] && offset + (off_t)size > starts[i]) size = (size_t)(starts[i] - offset);
    }
  }
  ssize_t got = pread((int)fi->fh, buf, size, offset);
  return got < 0 ? -errno : (int)got;
}

static int Release(const char* path, struct fuse_file_info* fi) {
  (void)path;
  close((int)fi->fh);
  return 0;
}

static void Destroy(void* data) {
  (void)data;
  if (countFile == NULL) return;
  FILE* out = fopen(countFile, "w");
  if (out == NULL) return;
  fprintf(out, "%ld\n", failures);
  fclose(out);
}

static const struct fuse_operations operations = {
    .getattr = GetAttr, .readdir = ReadDir, .open = Open, .read = Read, .release = Release, .destroy = Destroy};

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: %s SOURCE MOUNTPOINT RELATIVE_FILE START:END...\n", argv[0]);
    return 2;
  }
  if (realpath(argv[1], source) == NULL) return 2;
  snprintf(damaged, sizeof damaged, "/%s", argv[3]);
  for (int i = 4; i < argc && ranges < MAX_RANGES; ++i, ++ranges) {
    if (sscanf(argv[i], "%lld:%lld", (long long*)&starts[ranges], (long long*)&ends[ranges]) != 2) return 2;
  }
  if (getenv("EIO_FS_DELAY_MS") != NULL) delayMs = atoi(getenv("EIO_FS_DELAY_MS"));
  countFile = getenv("EIO_FS_COUNT");
  // Foreground and single-threaded: the counts need no lock.
  char* args[] = {argv[0], "-f", "-s", "-o", "ro,default_permissions", argv[2], NULL};
  return fuse_main(6, args, &operations, NULL);
}
