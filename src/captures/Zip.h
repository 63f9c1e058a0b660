#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resources/Translatable.h"

// A small zip archive reader and writer over zlib: the container of sigrok
// session files. Only what those files use: stored and deflated entries, no
// encryption, no zip64 (archives below 4 GiB). Any thread, one object per
// thread.
namespace kestrova {

// Where an archive's bytes come from: a file read in pieces, or memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  [[nodiscard]] virtual std::uint64_t Size() const = 0;
  // Reads exactly out.size() bytes at offset; false when they are not there.
  [[nodiscard]] virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// A file opened for reading (UTF-8 path); nullptr when it cannot be opened.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);
// Bytes the caller keeps alive.
std::unique_ptr<ByteSource> MemorySource(std::span<const std::uint8_t> bytes);

struct ZipEntry {
  std::string name;
  std::uint16_t method = 0;  // 0 stored, 8 deflated
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;  // uncompressed, as the directory says
  std::uint64_t headerOffset = 0;
};

// The largest entry the reader inflates: a bound on what a file can make it
// allocate.
inline constexpr std::uint64_t kMaxZipEntrySize = std::uint64_t{64} * 1024 * 1024;

class ZipReader {
 public:
  explicit ZipReader(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}

  // Reads the central directory. False with a message (for the window, in
  // its language) saying what is wrong.
  [[nodiscard]] bool Open(LocalText& error);
  [[nodiscard]] const std::vector<ZipEntry>& Entries() const { return entries_; }
  [[nodiscard]] const ZipEntry* Find(std::string_view name) const;
  // The entry's bytes, inflated and checked against its size and CRC.
  [[nodiscard]] bool Read(const ZipEntry& entry, std::vector<std::uint8_t>& out, LocalText& error);

 private:
  std::unique_ptr<ByteSource> source_;
  std::vector<ZipEntry> entries_;
};

// Builds an archive front to back as bytes to append to a file: each entry
// as it is added, the directory at the end. Nothing is held but the
// directory, so a long capture streams through it.
class ZipWriter {
 public:
  // The entry's local header and data (deflated when that is smaller).
  [[nodiscard]] std::string Add(std::string_view name, std::span<const std::uint8_t> data);
  // The central directory and its end record.
  [[nodiscard]] std::string Finish();
  // True once the archive has grown past what a zip without zip64 can
  // address; its bytes are then no valid archive.
  [[nodiscard]] bool TooLarge() const { return tooLarge_; }

 private:
  std::string directory_;
  std::uint64_t offset_ = 0;
  std::uint32_t count_ = 0;
  bool tooLarge_ = false;
};

std::uint32_t Crc32(std::span<const std::uint8_t> data);

}  // namespace kestrova
