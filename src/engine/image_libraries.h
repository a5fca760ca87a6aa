// Process-wide set-up of the image libraries, done once at start-up before
// any image is touched.
#pragma once

#include <string>
#include <vector>

namespace lumafold {

// Initialises DevIL and its utility library, and points the libraries'
// messages (FreeImage's, libtiff's) at LibraryMessages instead of the
// terminal. Safe to call more than once and from any thread; only the first
// call does the work. FreeImage needs no other call: its shared library
// initialises its plugins when it is loaded.
//
// File workers call FreeImage side by side. Its loaders, writers and pixel
// operations keep their state per call, but its plugin table and its one
// message handler are process-wide and unguarded: FreeImage_Initialise,
// FreeImage_DeInitialise and the plugin registration calls must never run
// while a conversion runs (Lumafold calls none of them), and the message
// handler is installed once, here. DevIL keeps its bound image globally:
// every DevIL call goes through the lock of devil_guard.h.
void InitImageLibraries();

// Releases what DevIL holds; part of the exit path. Does nothing when
// InitImageLibraries was never called.
void ShutdownImageLibraries();

// A warning or error of an image library, as "LIBRARY: message", for the
// collector of the calling thread; dropped when there is none. Libraries
// never print to the user's terminal: their messages reach the trace.
void ReportLibraryMessage(const std::string& library, const std::string& message);

// While alive, the calling thread's library messages are appended to
// `into` (the messages of the file this thread converts).
class LibraryMessages {
 public:
  explicit LibraryMessages(std::vector<std::string>& into);
  ~LibraryMessages();
  LibraryMessages(const LibraryMessages&) = delete;
  LibraryMessages& operator=(const LibraryMessages&) = delete;

 private:
  std::vector<std::string>* previous_;
};

}  // namespace lumafold
