#pragma once
// Screen-sized pictures come and go at every capture: the view's own image, the frames
// the browser hands over, the picture and its files. The C library maps each such block
// afresh and unmaps it on free, so every capture paid for touching tens of megabytes of
// new memory (a page fault per 4 KiB) on its critical path. Kept in the heap instead, a
// freed block serves the next capture at once. Meant for the window's captures of a few
// screens: with pictures of tens of thousands of rows the heap's holes would raise the
// peak, so glimpa-shot keeps the library's way.
#include <chrono>

class QCoreApplication;

// Call at the start of main(), before any thread starts.
void KeepPictureMemoryWarm();

// Gives the memory the program holds but no longer uses back to the system.
void ReleaseIdleMemory();

// Releases it once the user has left the program alone for `idle`: no key, button or
// wheel since then.
void ReleaseMemoryWhenIdle(QCoreApplication& app, std::chrono::milliseconds idle);
