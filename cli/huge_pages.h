#pragma once
// Large buffers (the module's work planes, the host's frames) are mapped page
// by page on first use. With 4 KB pages an HD run starts with tens of
// thousands of page faults and misses the TLB throughout; with 2 MB pages it
// takes a few hundred faults.
//
// glibc backs its large allocations with transparent huge pages when its
// glibc.malloc.hugetlb tunable is 1, and reads its tunables only when a
// program starts. So, where the kernel offers transparent huge pages on
// request and the environment does not say otherwise, the tool starts itself
// again once, at the very beginning, with the tunable added.
//
// QUIETLOOM_HUGE_PAGES in the environment (with any value, say 0) turns this
// off. The restarted tool puts the environment back as it was before it
// starts anything, so that ffmpeg runs with the user's settings.

// Returns only when it does not restart (or the restart failed); call it
// before anything else, with main's argv.
void restart_with_huge_pages(char** argv);
