#pragma once
// Descriptors 0, 1 and 2 made valid before the tool opens anything. A
// program started with one of them closed would otherwise get it back from
// its first open() or pipe(): the temporary output would become standard
// error and receive the progress line, or a child's pipe would land on
// descriptor 1 and be closed by the child's own set-up. A closed one is
// opened on /dev/null and remembered, so that "-" can be refused for it.

void open_missing_standard_streams();
bool standard_stream_was_closed(int fd);
