#include "crc/zentcrc.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The checksum exactly as first written: one byte per step, 32-bit counter.
uint32_t Reference(const std::vector<unsigned char>& bytes, int32_t limit)
{
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    table[i] = c;
  }
  int32_t value = -1;
  int32_t counter = 0;
  for (unsigned char b : bytes) {
    if (limit != 0) {
      if (counter > limit) {
        break;
      }
      counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1);
    }
    value = static_cast<int32_t>(table[(b ^ value) & 255]) ^ (value >> 8);
  }
  return ~static_cast<uint32_t>(value);
}

class ZentCrcTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    std::random_device seed;
    dir_ = fs::temp_directory_path() /
           ("zentcrc-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    fs::create_directories(dir_);
    library_ = dlopen(ZENTCRC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    readCrc_ = reinterpret_cast<ReadCRCFunction>(dlsym(library_, "ReadCRC"));
    ASSERT_NE(readCrc_, nullptr) << dlerror();
  }

  void TearDown() override
  {
    unsetenv("ZENTCRC_PORTABLE");
    if (library_ != nullptr) {
      dlclose(library_);
    }
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes)
  {
    const fs::path path = dir_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  uint32_t Crc(const std::string& path, int32_t limit) { return readCrc_(path.c_str(), limit); }

  // Compares against the reference over many lengths and limits; the lengths
  // straddle the 16- and 128-byte steps, the lane split and the read blocks.
  void CompareRandomized()
  {
    std::mt19937 random(1234);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) {
      lengths.push_back(n);
    }
    constexpr size_t kBlock = 256 * 1024;
    for (size_t base : {size_t(1024), size_t(3072), size_t(4096), size_t(65536), kBlock, 2 * kBlock,
                        3 * kBlock}) {
      for (long delta : {-129L, -128L, -127L, -17L, -16L, -1L, 0L, 1L, 15L, 16L, 127L, 128L, 129L}) {
        lengths.push_back(static_cast<size_t>(static_cast<long>(base) + delta));
      }
    }
    for (int i = 0; i < 40; ++i) {
      lengths.push_back(std::uniform_int_distribution<size_t>(301, 4 * kBlock)(random));
    }
    for (size_t length : lengths) {
      std::vector<unsigned char> bytes(length);
      for (auto& b : bytes) {
        b = static_cast<unsigned char>(random());
      }
      const std::string path = Write("random.bin", bytes);
      const auto n = static_cast<int32_t>(length);
      std::vector<int32_t> limits = {0, -1, INT32_MIN, INT32_MAX, 1, 2, n - 1, n, n + 1,
                                     std::uniform_int_distribution<int32_t>(1, n + 2)(random),
                                     std::uniform_int_distribution<int32_t>(1, n + 2)(random)};
      for (int32_t limit : limits) {
        ASSERT_EQ(Crc(path, limit), Reference(bytes, limit)) << "length " << length << " limit " << limit;
      }
    }
  }

  fs::path dir_;
  void* library_ = nullptr;
  ReadCRCFunction readCrc_ = nullptr;
};

TEST_F(ZentCrcTest, KnownValues)
{
  const std::string empty = Write("empty.bin", {});
  const std::string abc = Write("abc.txt", {'a', 'b', 'c'});
  struct Case {
    std::string path;
    int32_t limit;
    uint32_t expected;
  };
  const Case cases[] = {
      {empty, 0, 0u},
      {empty, 5, 0u},
      {abc, 0, 0xCADBBEC2u},
      {abc, 2, 0xCADBBEC2u},
      {abc, 3, 0xCADBBEC2u},
      {abc, 1000, 0xCADBBEC2u},
      {abc, INT32_MAX, 0xCADBBEC2u},
      {abc, 1, 0x617C486Du}, // bytes at offsets 0 and 1: "ab"
      {abc, -1, 0u},
      {abc, INT32_MIN, 0u},
      {(dir_ / "missing.bin").string(), 0, 0xFFFFFFFFu},
      {(dir_ / "missing.bin").string(), -1, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Crc(c.path, c.limit), c.expected) << c.path << " limit " << c.limit;
  }
}

TEST_F(ZentCrcTest, MatchesByteLoop)
{
  CompareRandomized();
}

TEST_F(ZentCrcTest, PortablePathMatchesByteLoop)
{
  setenv("ZENTCRC_PORTABLE", "1", 1);
  CompareRandomized();
}

TEST_F(ZentCrcTest, ConcurrentCallers)
{
  std::mt19937 random(99);
  std::vector<unsigned char> bytes(3 * 1024 * 1024 + 77);
  for (auto& b : bytes) {
    b = static_cast<unsigned char>(random());
  }
  const std::string path = Write("shared.bin", bytes);
  const int32_t limits[] = {0, 100, 70000, 1 << 20, -1};
  uint32_t expected[5];
  for (int i = 0; i < 5; ++i) {
    expected[i] = Reference(bytes, limits[i]);
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        const int i = (t + round) % 5;
        if (Crc(path, limits[i]) != expected[i]) {
          ++mismatches;
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
