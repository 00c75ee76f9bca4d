// Preloaded into a program under test (LD_PRELOAD), this library makes its
// file systems seem to have no unnamed files, as vfat and exFAT have none:
// an open of an unnamed file (O_TMPFILE, which the program asks of openat
// only) fails with EOPNOTSUPP; every other open goes on to the C library.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

extern "C" int openat(int folder, const char* path, int flags, ...) {
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  va_list args;
  va_start(args, flags);
  const int mode = (flags & O_CREAT) != 0 ? va_arg(args, int) : 0;
  va_end(args);
  static const auto next = reinterpret_cast<int (*)(int, const char*, int, ...)>(::dlsym(RTLD_NEXT, "openat"));
  return next(folder, path, flags, mode);
}

// The same function under its other name.
extern "C" int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));
