#include "captures/Zip.h"

#include <algorithm>
#include <array>
#include <limits>

#include <zlib.h>

#ifdef _WIN32
#include <filesystem>
#endif

namespace kestrova {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxComment = 0xFFFF;
// A directory larger than this is no session file.
constexpr std::uint64_t kMaxDirectorySize = std::uint64_t{16} * 1024 * 1024;
constexpr std::size_t kReadPiece = std::size_t{64} * 1024;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// 1980-01-01 00:00, the earliest time a zip can hold: the archive's bytes do
// not depend on when it was written.
constexpr std::uint16_t kDosDate = 0x0021;

std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {
    if (Seek(0, SEEK_END)) size_ = Tell();
  }
  ~FileSource() override { std::fclose(file_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  [[nodiscard]] std::uint64_t Size() const override { return size_; }
  [[nodiscard]] bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > size_ || out.size() > size_ - offset) return false;
    if (!Seek(static_cast<std::int64_t>(offset), SEEK_SET)) return false;
    return std::fread(out.data(), 1, out.size(), file_) == out.size();
  }

 private:
  bool Seek(std::int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file_, offset, whence) == 0;
#else
    return fseeko(file_, static_cast<off_t>(offset), whence) == 0;
#endif
  }
  std::uint64_t Tell() {
#ifdef _WIN32
    const auto at = _ftelli64(file_);
#else
    const auto at = ftello(file_);
#endif
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
  }

  std::FILE* file_;
  std::uint64_t size_ = 0;
};

class BytesSource final : public ByteSource {
 public:
  explicit BytesSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  [[nodiscard]] std::uint64_t Size() const override { return bytes_.size(); }
  [[nodiscard]] bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// Raw deflate of data, or nothing when it does not shrink.
std::string Deflate(std::span<const std::uint8_t> data) {
  z_stream z{};
  // Level 1: the samples of a capture hardly shrink; speed matters more.
  if (deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = const_cast<Bytef*>(data.data());  // zlib's input is not const
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END || out.size() >= data.size()) return {};
  return out;
}

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
#ifdef _WIN32
  // The path is UTF-8; the C library's narrow names are the ANSI code page.
  const std::u8string utf8(path.begin(), path.end());
  std::FILE* file = ::_wfopen(std::filesystem::path(utf8).c_str(), L"rb");
#else
  std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
  if (file == nullptr) return nullptr;
  return std::make_unique<FileSource>(file);
}

std::unique_ptr<ByteSource> MemorySource(std::span<const std::uint8_t> bytes) {
  return std::make_unique<BytesSource>(bytes);
}

std::uint32_t Crc32(std::span<const std::uint8_t> data) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes uInt lengths: feed large spans in pieces.
  while (!data.empty()) {
    const std::size_t n = std::min<std::size_t>(data.size(), std::size_t{1} << 30);
    crc = crc32(crc, data.data(), static_cast<uInt>(n));
    data = data.subspan(n);
  }
  return static_cast<std::uint32_t>(crc);
}

bool ZipReader::Open(LocalText& error) {
  entries_.clear();
  const std::uint64_t size = source_->Size();
  if (size < kEndRecordSize) {
    error = {KESTROVA_TR_NOOP("Kestrova", "zip 파일이 아니거나 잘려 있습니다 (파일 크기 %1 바이트)"),
             {LocalText::Plain(std::to_string(size))}};
    return false;
  }
  // The end record is in the last 22 bytes plus at most a comment's length.
  const std::uint64_t tailSize = std::min<std::uint64_t>(size, kEndRecordSize + kMaxComment);
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(tailSize));
  if (!source_->ReadAt(size - tailSize, tail)) {
    error = KESTROVA_TR_NOOP("Kestrova", "파일을 읽을 수 없습니다");
    return false;
  }
  std::size_t end = tail.size();
  bool found = false;
  for (std::size_t i = tail.size() - kEndRecordSize + 1; i-- > 0;) {
    if (Get32(&tail[i]) == kEndSignature) {
      end = i;
      found = true;
      break;
    }
  }
  if (!found) {
    error =
        KESTROVA_TR_NOOP("Kestrova", "zip 디렉터리의 끝을 찾을 수 없습니다: 파일이 잘렸거나 손상되었습니다");
    return false;
  }
  const std::uint8_t* e = &tail[end];
  const std::uint16_t count = Get16(e + 10);
  const std::uint32_t directorySize = Get32(e + 12);
  const std::uint32_t directoryOffset = Get32(e + 16);
  if (Get16(e + 4) != 0 || Get16(e + 6) != 0 || Get16(e + 8) != count) {
    error = KESTROVA_TR_NOOP("Kestrova", "여러 조각으로 나뉜 zip 파일은 열 수 없습니다");
    return false;
  }
  if (directoryOffset == 0xFFFFFFFFu || count == 0xFFFF) {
    error = KESTROVA_TR_NOOP("Kestrova", "4 GB 이상의 zip (zip64) 파일은 열 수 없습니다");
    return false;
  }
  const std::uint64_t endOffset = size - tailSize + end;
  if (directorySize > kMaxDirectorySize || std::uint64_t{directoryOffset} + directorySize > endOffset ||
      std::uint64_t{count} * kCentralHeaderSize > directorySize) {
    error = {KESTROVA_TR_NOOP("Kestrova", "zip 디렉터리가 손상되었습니다 (오프셋 %1)"),
             {LocalText::Plain(std::to_string(directoryOffset))}};
    return false;
  }
  std::vector<std::uint8_t> directory(directorySize);
  if (!source_->ReadAt(directoryOffset, directory)) {
    error = KESTROVA_TR_NOOP("Kestrova", "zip 디렉터리를 읽을 수 없습니다");
    return false;
  }
  std::size_t at = 0;
  entries_.reserve(count);
  for (std::uint16_t k = 0; k < count; ++k) {
    if (directory.size() - at < kCentralHeaderSize || Get32(&directory[at]) != kCentralSignature) {
      error = {KESTROVA_TR_NOOP("Kestrova", "zip 디렉터리의 %1번째 항목이 손상되었습니다"),
               {LocalText::Plain(k + 1)}};
      entries_.clear();
      return false;
    }
    const std::uint8_t* h = &directory[at];
    ZipEntry entry;
    const std::uint16_t flags = Get16(h + 8);
    entry.method = Get16(h + 10);
    entry.crc = Get32(h + 16);
    entry.compressedSize = Get32(h + 20);
    entry.size = Get32(h + 24);
    const std::size_t nameLength = Get16(h + 28);
    const std::size_t extraLength = Get16(h + 30);
    const std::size_t commentLength = Get16(h + 32);
    entry.headerOffset = Get32(h + 42);
    const std::size_t recordLength = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (directory.size() - at < recordLength) {
      error = {KESTROVA_TR_NOOP("Kestrova", "zip 디렉터리의 %1번째 항목이 잘렸습니다"),
               {LocalText::Plain(k + 1)}};
      entries_.clear();
      return false;
    }
    entry.name.assign(reinterpret_cast<const char*>(h + kCentralHeaderSize), nameLength);
    if ((flags & 0x0001) != 0) {
      error = {KESTROVA_TR_NOOP("Kestrova", "암호화된 zip 항목은 열 수 없습니다: %1"),
               {LocalText::Plain(entry.name)}};
      entries_.clear();
      return false;
    }
    entries_.push_back(std::move(entry));
    at += recordLength;
  }
  return true;
}

const ZipEntry* ZipReader::Find(std::string_view name) const {
  const auto it =
      std::find_if(entries_.begin(), entries_.end(), [&](const ZipEntry& e) { return e.name == name; });
  return it == entries_.end() ? nullptr : &*it;
}

bool ZipReader::Read(const ZipEntry& entry, std::vector<std::uint8_t>& out, LocalText& error) {
  out.clear();
  const std::vector<LocalText> where{LocalText::Plain(entry.name)};
  if (entry.method != kStored && entry.method != kDeflated) {
    error = {KESTROVA_TR_NOOP("Kestrova", "지원하지 않는 압축 방식입니다 (%1)"), where};
    return false;
  }
  if (entry.size > kMaxZipEntrySize) {
    error = {KESTROVA_TR_NOOP("Kestrova", "항목이 너무 큽니다 (%1)"), where};
    return false;
  }
  std::array<std::uint8_t, kLocalHeaderSize> local{};
  if (!source_->ReadAt(entry.headerOffset, local) || Get32(local.data()) != kLocalSignature) {
    error = {KESTROVA_TR_NOOP("Kestrova", "zip 항목의 헤더가 손상되었습니다 (%1)"), where};
    return false;
  }
  const std::uint64_t dataOffset =
      entry.headerOffset + kLocalHeaderSize + Get16(&local[26]) + Get16(&local[28]);
  const std::uint64_t size = source_->Size();
  if (dataOffset > size || entry.compressedSize > size - dataOffset ||
      (entry.method == kStored && entry.compressedSize != entry.size)) {
    error = {KESTROVA_TR_NOOP("Kestrova", "zip 항목이 잘렸거나 손상되었습니다 (%1)"), where};
    return false;
  }
  out.resize(static_cast<std::size_t>(entry.size));
  bool ok = true;
  if (entry.method == kStored) {
    ok = source_->ReadAt(dataOffset, out);
  } else {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      error = {KESTROVA_TR_NOOP("Kestrova", "압축을 풀 수 없습니다 (%1)"), where};
      return false;
    }
    std::vector<std::uint8_t> piece(kReadPiece);
    // One byte of room beyond the declared size shows a stream that is
    // longer than the directory says.
    out.resize(out.size() + 1);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    std::uint64_t read = 0;
    int result = Z_OK;
    while (result == Z_OK && read < entry.compressedSize) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(kReadPiece, entry.compressedSize - read));
      if (!source_->ReadAt(dataOffset + read, std::span(piece).first(n))) {
        result = Z_DATA_ERROR;
        break;
      }
      read += n;
      z.next_in = piece.data();
      z.avail_in = static_cast<uInt>(n);
      while (result == Z_OK && z.avail_in > 0 && z.avail_out > 0) result = inflate(&z, Z_NO_FLUSH);
      if (result == Z_OK && z.avail_in > 0) result = Z_DATA_ERROR;  // no room left: too long
    }
    if (result == Z_OK) result = inflate(&z, Z_FINISH);
    out.resize(out.size() - 1);
    ok = result == Z_STREAM_END && z.total_out == entry.size;
    inflateEnd(&z);
  }
  if (!ok) {
    error = {KESTROVA_TR_NOOP("Kestrova", "압축된 데이터가 잘렸거나 손상되었거나 길이가 맞지 않습니다 (%1)"),
             where};
    out.clear();
    return false;
  }
  if (Crc32(out) != entry.crc) {
    error = {KESTROVA_TR_NOOP("Kestrova", "데이터 검사값(CRC)이 맞지 않습니다 (%1)"), where};
    out.clear();
    return false;
  }
  return true;
}

std::string ZipWriter::Add(std::string_view name, std::span<const std::uint8_t> data) {
  const std::uint32_t crc = Crc32(data);
  std::string deflated = data.size() > 0 ? Deflate(data) : std::string();
  const bool stored = deflated.empty();
  const std::uint64_t compressed = stored ? data.size() : deflated.size();
  const std::uint16_t method = stored ? kStored : kDeflated;

  std::string header;
  Put32(header, kLocalSignature);
  Put16(header, 20);  // version needed: 2.0
  Put16(header, 0);   // flags
  Put16(header, method);
  Put16(header, 0);  // time
  Put16(header, kDosDate);
  Put32(header, crc);
  Put32(header, static_cast<std::uint32_t>(compressed));
  Put32(header, static_cast<std::uint32_t>(data.size()));
  Put16(header, static_cast<std::uint32_t>(name.size()));
  Put16(header, 0);  // extra
  header += name;

  Put32(directory_, kCentralSignature);
  Put16(directory_, 20);             // made by: 2.0
  directory_.append(header, 4, 26);  // version needed .. extra length, as in the local header
  Put16(directory_, 0);              // comment
  Put16(directory_, 0);              // disk
  Put16(directory_, 0);              // internal attributes
  Put32(directory_, 0);              // external attributes
  Put32(directory_, static_cast<std::uint32_t>(offset_));
  directory_ += name;

  if (offset_ > std::numeric_limits<std::uint32_t>::max() ||
      data.size() > std::numeric_limits<std::uint32_t>::max())
    tooLarge_ = true;
  ++count_;
  if (count_ >= 0xFFFF) tooLarge_ = true;
  if (stored)
    header.append(reinterpret_cast<const char*>(data.data()), data.size());
  else
    header += deflated;
  offset_ += header.size();
  return header;
}

std::string ZipWriter::Finish() {
  if (offset_ + directory_.size() > std::numeric_limits<std::uint32_t>::max()) tooLarge_ = true;
  std::string out = directory_;
  Put32(out, kEndSignature);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, count_);
  Put16(out, count_);
  Put32(out, static_cast<std::uint32_t>(directory_.size()));
  Put32(out, static_cast<std::uint32_t>(offset_));
  Put16(out, 0);
  offset_ += out.size();
  directory_.clear();
  return out;
}

}  // namespace kestrova
