/* Preloaded into a child test process: kills it with SIGKILL at a chosen call, as a power cut
   or a kill by the user would stop it. LENTAVO_KILL_AT="<call>:<n>" kills just before the
   n-th call of that kind, "<call>+:<n>" just after it. Calls: rename, fsync, write (write,
   pwrite, sendfile, copy_file_range), unlink, mkdir, link (link, linkat: where a file written
   unnamed appears under its name), rmdir (rmdir, unlinkat of a folder). Only calls on files under the folder
   LENTAVO_KILL_CHILD count, so the test runner's own output does not. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static const char* kinds[] = {"rename", "fsync", "write", "unlink", "mkdir", "link", "rmdir"};
enum { RENAME, FSYNC, WRITE, UNLINK, MKDIR, LINK, RMDIR, KINDS };
static int armedKind = -1, armedAfter = 0;
static long armedAt = 0, counts[KINDS];
static char folder[4096];
static size_t folderLen;

__attribute__((constructor)) static void arm(void) {
  const char* at = getenv("LENTAVO_KILL_AT");
  if (!at) return;
  const char* colon = strchr(at, ':');
  if (!colon) return;
  size_t len = (size_t)(colon - at);
  if (len > 0 && at[len - 1] == '+') {
    armedAfter = 1;
    --len;
  }
  for (int k = 0; k < KINDS; ++k)
    if (strlen(kinds[k]) == len && strncmp(at, kinds[k], len) == 0) armedKind = k;
  armedAt = atol(colon + 1);
  const char* dir = getenv("LENTAVO_KILL_CHILD");
  if (dir && strlen(dir) + 1 < sizeof folder) {
    strcpy(folder, dir);
    folderLen = strlen(folder);
  }
}

static int inFolder(const char* path) {
  return path && folderLen && strncmp(path, folder, folderLen) == 0 &&
         (path[folderLen] == '/' || path[folderLen] == 0);
}

static int fdInFolder(int fd) {
  if (fd <= 2 || armedKind < 0) return 0;
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return 0;
  path[n] = 0;
  return inFolder(path);
}

/* Counts one call of `kind`; kills the process when it is the armed one and `after` matches. */
static void point(int kind, int after, int counted) {
  if (kind != armedKind || !counted) return;
  if (!after) ++counts[kind];
  if (counts[kind] == armedAt && after == armedAfter) kill(getpid(), SIGKILL);
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
#define AROUND(kind, counted, call)    \
  do {                                 \
    const int c_ = (kind) == armedKind && (counted); \
    point(kind, 0, c_);                \
    __typeof__(call) r_ = call;        \
    point(kind, 1, c_);                \
    return r_;                         \
  } while (0)

int rename(const char* a, const char* b) { AROUND(RENAME, inFolder(b), NEXT(rename)(a, b)); }
int renameat(int fa, const char* a, int fb, const char* b) { AROUND(RENAME, inFolder(b), NEXT(renameat)(fa, a, fb, b)); }
int renameat2(int fa, const char* a, int fb, const char* b, unsigned f) {
  AROUND(RENAME, inFolder(b), NEXT(renameat2)(fa, a, fb, b, f));
}
int fsync(int fd) { AROUND(FSYNC, fdInFolder(fd), NEXT(fsync)(fd)); }
int fdatasync(int fd) { AROUND(FSYNC, fdInFolder(fd), NEXT(fdatasync)(fd)); }
ssize_t write(int fd, const void* b, size_t n) { AROUND(WRITE, fdInFolder(fd), NEXT(write)(fd, b, n)); }
ssize_t pwrite(int fd, const void* b, size_t n, off_t o) { AROUND(WRITE, fdInFolder(fd), NEXT(pwrite)(fd, b, n, o)); }
ssize_t pwrite64(int fd, const void* b, size_t n, off_t o) {
  AROUND(WRITE, fdInFolder(fd), NEXT(pwrite64)(fd, b, n, o));
}
ssize_t sendfile(int o, int i, off_t* off, size_t n) { AROUND(WRITE, fdInFolder(o), NEXT(sendfile)(o, i, off, n)); }
ssize_t copy_file_range(int i, off_t* oi, int o, off_t* oo, size_t n, unsigned f) {
  AROUND(WRITE, fdInFolder(o), NEXT(copy_file_range)(i, oi, o, oo, n, f));
}
int unlink(const char* p) { AROUND(UNLINK, inFolder(p), NEXT(unlink)(p)); }
int unlinkat(int d, const char* p, int f) {
  if (f & AT_REMOVEDIR) AROUND(RMDIR, inFolder(p), NEXT(unlinkat)(d, p, f));
  AROUND(UNLINK, inFolder(p), NEXT(unlinkat)(d, p, f));
}
int rmdir(const char* p) { AROUND(RMDIR, inFolder(p), NEXT(rmdir)(p)); }
int link(const char* a, const char* b) { AROUND(LINK, inFolder(b), NEXT(link)(a, b)); }
int linkat(int fa, const char* a, int fb, const char* b, int f) {
  AROUND(LINK, inFolder(b), NEXT(linkat)(fa, a, fb, b, f));
}
int mkdir(const char* p, mode_t m) { AROUND(MKDIR, inFolder(p), NEXT(mkdir)(p, m)); }
