// crc_bench FILE [ROUNDS]: GB/s (10^9 bytes per second) of ReadCRC and of
// zlib's crc32() over the same file, best of ROUNDS runs each. zlib gets the
// file in 256 KiB fread() blocks, the way ReadCRC reads it.
#include "crc/zentcrc.h"

#include <dlfcn.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr size_t kBlock = 256 * 1024;

double BestSeconds(int rounds, const std::function<void()>& run)
{
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = took.count() < best ? took.count() : best;
  }
  return best;
}

// Feeds the file to consume() in blocks; returns the byte count.
size_t ReadBlocks(const char* path, const std::function<void(const unsigned char*, size_t)>& consume)
{
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::perror(path);
    std::exit(1);
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::vector<unsigned char> buffer(kBlock);
  size_t total = 0;
  for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) != 0;) {
    consume(buffer.data(), got);
    total += got;
  }
  std::fclose(file);
  return total;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [ROUNDS]\n", argv[0]);
    return 2;
  }
  const char* path = argv[1];
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  void* library = dlopen(ZENTCRC_LIBRARY, RTLD_NOW);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  auto readCrc = reinterpret_cast<ReadCRCFunction>(dlsym(library, "ReadCRC"));
  if (readCrc == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }

  size_t size = 0;
  uLong zlibValue = 0;
  const double readOnly = BestSeconds(rounds, [&] { size = ReadBlocks(path, [](const unsigned char*, size_t) {}); });
  const double zlib = BestSeconds(rounds, [&] {
    zlibValue = crc32(0L, Z_NULL, 0);
    ReadBlocks(path, [&](const unsigned char* p, size_t n) { zlibValue = crc32(zlibValue, p, static_cast<uInt>(n)); });
  });
  uint32_t ours = 0;
  const double zent = BestSeconds(rounds, [&] { ours = readCrc(path, 0); });
  setenv("ZENTCRC_PORTABLE", "1", 1);
  uint32_t portable = 0;
  const double tables = BestSeconds(rounds, [&] { portable = readCrc(path, 0); });
  unsetenv("ZENTCRC_PORTABLE");

  const auto gbps = [&](double seconds) { return static_cast<double>(size) / seconds / 1e9; };
  std::printf("file: %zu bytes, best of %d runs, GB = 10^9 bytes\n", size, rounds);
  std::printf("fread only (no checksum)      %6.2f GB/s\n", gbps(readOnly));
  std::printf("zlib crc32()                  %6.2f GB/s  (0x%08lX)\n", gbps(zlib), zlibValue);
  std::printf("ReadCRC                       %6.2f GB/s  (0x%08X)\n", gbps(zent), ours);
  std::printf("ReadCRC, tables only          %6.2f GB/s  (0x%08X)\n", gbps(tables), portable);
  std::printf("ratio ReadCRC / zlib crc32()  %6.2fx\n", zlib / zent);
  if (ours != portable) {
    std::printf("MISMATCH between the wide and the table path\n");
    return 1;
  }
  return 0;
}
