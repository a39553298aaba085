// The reading half of `cmg290 group` and `cmg290 compare`: one thread cuts
// the inputs, one after another, into chunks of whole lines (chunk_cutter.h).
// What a regular file holds when the reader comes to it is shown in place
// through a mapped window per chunk (mapped_cutter.h); anything else, and
// what a file gains after that, is read with read(). A gzip-compressed input
// (one that starts with the magic bytes) is read with read() and inflated
// on the reader's thread (gzip_source.h), into the same chunks.
//
// The chunks are the caller's: a fixed number of them circulates between
// the reader, which takes free ones and hands them on filled, and whoever
// gives them back once done with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chunk_cutter.h"
#include "mapped_window.h"
#include "record_inputs.h"

namespace cmg290::cli::batch {

// A run of whole lines of one input, as the reader cut it.
struct InputChunk {
  const char* data = nullptr;  // the lines, the last one ending with '\n': in `buffer`, or in
                               // the chunk's window onto the file when `mapped`
  std::size_t size = 0;
  std::unique_ptr<char[]> buffer;  // room for lines read with read()
  bool mapped = false;
  std::size_t slot = 0;  // the chunk's window in the arena
  bool cut = false;      // one line longer than a chunk, cut to its head
  std::size_t file = 0;  // index of its input
  bool firstOfFile = false;
  std::uint64_t bytesEnd = 0;  // input bytes read up to this chunk's end, over all inputs
                               // (compressed bytes read so far, for gzip input)
};

class ChunkReader {
 public:
  // Where the chunks come from and go; called on the reader's thread.
  class Slots {
   public:
    // A free chunk, waiting for one; nullptr once the run stops.
    virtual InputChunk* acquire() = 0;
    // Gives back a chunk the reader did not fill (after unmap()).
    virtual void release(InputChunk* c) = 0;
    // Hands on a filled chunk, in input order.
    virtual void submit(InputChunk* c) = 0;
    // Stops the run with a one-line message.
    virtual void fail(std::string message) = 0;

   protected:
    ~Slots() = default;
  };

  // For `chunks` chunks; a line longer than a chunk keeps its first
  // keepBytes. Maps windows only when an input is a plain regular file.
  ChunkReader(const std::vector<std::unique_ptr<Input>>& inputs, std::size_t chunks,
              std::size_t keepBytes);

  std::size_t chunk_bytes() const { return cutter_.chunk_bytes(); }

  // Gives chunk c, the slot-th of them, its room for lines read with read().
  void equip(InputChunk& c, std::size_t slot) const;

  // Reads every input into chunks. wakeFd becomes readable when the run
  // stops, which ends a wait on a pipe or terminal. Returns false when the
  // run stopped (a failure has gone to slots.fail()).
  bool read_all(Slots& slots, int wakeFd);

  // Unmaps c's window, if it has one; before c is filled again.
  void unmap(InputChunk& c);

  // Whether the file under a mapped chunk was cut short while it was read;
  // its lines then hold bytes the file never had.
  bool cut_short(const InputChunk& c) const { return c.mapped && arena_->cut_short(c.slot); }

 private:
  class Source;  // one input as the cutter's source of bytes

  // Cuts one input into chunks of whole lines. Returns false when the run
  // stops.
  bool read_file(Slots& slots, std::size_t file);

  // Cuts what a regular file holds when the reader comes to it into chunks
  // shown in place; `first` tells whether no chunk of the file has been
  // made yet. Returns false when the run stops; otherwise the file's
  // offset is where read() goes on.
  bool read_mapped(Slots& slots, std::size_t file, bool& first);

  void release(Slots& slots, InputChunk* c);

  const std::vector<std::unique_ptr<Input>>& inputs_;
  ChunkCutter cutter_;
  std::unique_ptr<WindowArena> arena_;  // a window per chunk; none when no input is regular
  int wake_ = -1;
  std::uint64_t bytes_ = 0;
};

}  // namespace cmg290::cli::batch
