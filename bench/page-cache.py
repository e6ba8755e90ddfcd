#!/usr/bin/env python3
"""page-cache.py small|large|keep-small FILE... -- how the kernel holds files.

Whether a pass over a memory map is faster than reads depends on the
machine, and on one machine on how the kernel holds the file's pages: read
back in large reads, a file sits in large folios that a map takes whole
(maps fast); read back four kilobytes at a time, in small pages that a map
faults in one by one (maps slow). This puts each FILE into the page cache
one way or the other, so that both kinds of machine can be timed on one:

  large       drop FILE's cached pages, read it back in large reads
  small       drop FILE's cached pages, read it back 4 KiB at a time
  keep-small  read 4 KiB at a time only what is not cached (what the kernel
              dropped since), leaving the rest as it is: grep-bench.sh's
              WARM between rows, so that a run stays on small pages
"""
import os
import sys


def read_back(fd, chunk):
    while os.read(fd, chunk):
        pass


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("small", "large", "keep-small"):
        sys.exit(__doc__)
    how = sys.argv[1]
    for name in sys.argv[2:]:
        fd = os.open(name, os.O_RDONLY)
        try:
            if how != "keep-small":
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            if how == "large":
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_SEQUENTIAL)
                read_back(fd, 1 << 20)
            else:
                # No read-ahead: each read brings in its own small page.
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_RANDOM)
                read_back(fd, 4096)
        finally:
            os.close(fd)


if __name__ == "__main__":
    main()
