#pragma once
// How the programs' heap treats large blocks. The model's load frees hundreds of megabytes
// of working memory just before the OpenGL driver asks for as much again (buffer storage,
// then the triangles it bins while drawing). Left to the defaults, each large block is
// handed back to the system when freed, and the driver's requests are met with fresh pages
// that fault in one by one, which costs more on a large model than the drawing itself.

// Keeps freed memory in the heap for reuse: blocks up to 32 MiB come from the heap rather
// than from mappings of their own, and the heap is not shrunk while under 512 MiB is free
// at its top; the heap's first 128 MiB are grown at once, advised for huge pages and left
// free for the blocks to come. Called first thing in main, before anything large is
// allocated; without these settings (another C library) it does nothing.
void keepFreedMemoryForReuse();
