#include <keldar/core/Compression.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <thread>
#include <vector>

using Keldar::Compression::compress;
using Keldar::Compression::maximumUncompressedSize;
using Keldar::Compression::uncompress;
using Bytes = std::vector<std::byte>;

// GCC flags the malloc/free pairs below once our operator new is inlined into
// callers; they are matched by construction.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Largest single allocation made while `trackAllocations` is set: lets a test
// prove that a lying length prefix never reaches the allocator.
namespace {
std::atomic<bool> trackAllocations{false};
std::atomic<std::size_t> largestAllocation{0};
} // namespace

void* operator new(std::size_t size)
{
    if (trackAllocations.load(std::memory_order_relaxed)) {
        std::size_t seen = largestAllocation.load();
        while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// Sonar-like data: mostly low speckle with some strong returns.
Bytes speckle(std::size_t size, std::uint32_t seed = 7)
{
    std::mt19937 random(seed);
    std::exponential_distribution<double> noise(0.08);
    Bytes data(size);
    for (auto& b : data) {
        b = static_cast<std::byte>(std::min(255.0, noise(random)));
    }
    return data;
}

Bytes text(const char* s)
{
    Bytes data;
    for (; *s != '\0'; ++s) {
        data.push_back(static_cast<std::byte>(*s));
    }
    return data;
}

std::uint32_t prefixOf(const Bytes& frame)
{
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(frame.at(i)) << (8 * i);
    }
    return length;
}

void setPrefix(Bytes& frame, std::uint32_t length)
{
    for (std::size_t i = 0; i < 4; ++i) {
        frame.at(i) = static_cast<std::byte>(length >> (8 * i));
    }
}

// A frame made by plain zlib, as older writers produced it.
Bytes zlibFrame(const Bytes& data, int level)
{
    uLongf size = compressBound(data.size());
    Bytes frame(4 + size);
    const int rc = compress2(reinterpret_cast<Bytef*>(frame.data() + 4), &size,
                             reinterpret_cast<const Bytef*>(data.data()), data.size(), level);
    EXPECT_EQ(rc, Z_OK);
    frame.resize(4 + size);
    setPrefix(frame, static_cast<std::uint32_t>(data.size()));
    return frame;
}

} // namespace

TEST(CompressionRoundTrip, EveryLevelRestoresInput)
{
    const auto data = speckle(64 * 1024);
    for (int level = -1; level <= 9; ++level) {
        const auto frame = compress(data, level);
        ASSERT_GT(frame.size(), 4U) << level;
        EXPECT_EQ(prefixOf(frame), data.size()) << level;
        EXPECT_EQ(uncompress(frame), data) << level;
    }
}

TEST(CompressionRoundTrip, LevelZeroStoresAndHigherLevelsShrink)
{
    const auto data = speckle(64 * 1024);
    EXPECT_GT(compress(data, 0).size(), data.size());
    EXPECT_LT(compress(data, 6).size(), data.size());
    EXPECT_EQ(compress(data, -1), compress(data, 1));
}

TEST(CompressionRoundTrip, PointerOverloadsMatchVectorOverloads)
{
    const auto data = speckle(5000);
    const auto frame = compress(data.data(), data.size(), 3);
    EXPECT_EQ(frame, compress(data, 3));
    EXPECT_EQ(uncompress(frame.data(), frame.size()), data);
}

TEST(CompressionRoundTrip, SingleByteAndRepetitiveInputs)
{
    const Bytes one{std::byte{0x42}};
    EXPECT_EQ(uncompress(compress(one)), one);
    const Bytes zeros(1 << 20, std::byte{0});
    const auto frame = compress(zeros, 9);
    EXPECT_LT(frame.size(), 4096U);
    EXPECT_EQ(uncompress(frame), zeros);
}

TEST(CompressionRoundTrip, WorksFromSeveralThreads)
{
    std::vector<std::thread> threads;
    std::vector<int> ok(4, 0);
    for (std::size_t t = 0; t < ok.size(); ++t) {
        threads.emplace_back([&ok, t] {
            const auto data = speckle(32 * 1024, static_cast<std::uint32_t>(t));
            int good = 0;
            for (int i = 0; i < 20; ++i) {
                good += uncompress(compress(data, static_cast<int>(t) + 1)) == data ? 1 : 0;
            }
            ok[t] = good;
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(ok, (std::vector<int>{20, 20, 20, 20}));
}

TEST(CompressionEdgeCases, EmptyInputGivesEmptyOutput)
{
    EXPECT_TRUE(compress(Bytes{}).empty());
    EXPECT_TRUE(uncompress(Bytes{}).empty());
    EXPECT_TRUE(compress(nullptr, 10).empty());
}

TEST(CompressionEdgeCases, InvalidLevelGivesEmptyOutput)
{
    const auto data = speckle(100);
    EXPECT_TRUE(compress(data, -2).empty());
    EXPECT_TRUE(compress(data, 10).empty());
}

TEST(CompressionEdgeCases, ShortFramesGiveEmptyOutput)
{
    EXPECT_TRUE(uncompress(Bytes(4, std::byte{1})).empty());
    EXPECT_TRUE(uncompress(Bytes(1, std::byte{1})).empty());
    const auto frame = compress(text("hello"));
    EXPECT_TRUE(uncompress(Bytes(frame.begin(), frame.begin() + 4)).empty());
}

TEST(CompressionEdgeCases, TruncatedOrCorruptStreamGivesEmptyOutput)
{
    const auto data = speckle(10000);
    auto frame = compress(data);
    EXPECT_TRUE(uncompress(Bytes(frame.begin(), frame.end() - 1)).empty());
    frame[frame.size() / 2] ^= std::byte{0x5A};
    EXPECT_TRUE(uncompress(frame).empty());
    auto badChecksum = compress(data);
    badChecksum.back() ^= std::byte{1};
    EXPECT_TRUE(uncompress(badChecksum).empty());
}

TEST(CompressionLyingPrefix, ShortClaimGivesEmptyNotTruncated)
{
    const auto data = speckle(10000);
    auto frame = compress(data);
    setPrefix(frame, 9999);
    EXPECT_TRUE(uncompress(frame).empty());
}

TEST(CompressionLyingPrefix, LongClaimGivesEmptyNotZeroPadded)
{
    const auto data = speckle(10000);
    auto frame = compress(data);
    setPrefix(frame, 10001);
    EXPECT_TRUE(uncompress(frame).empty());
}

TEST(CompressionLyingPrefix, ZeroClaimGivesEmpty)
{
    auto frame = compress(text("abc"));
    setPrefix(frame, 0);
    EXPECT_TRUE(uncompress(frame).empty());
}

TEST(CompressionLyingPrefix, ImpossibleClaimIsRefusedBeforeAllocating)
{
    auto frame = compress(text("abc"));
    for (const std::uint32_t claim : {0xFFFFFFFFU, 0x10000000U, 1U << 20}) {
        setPrefix(frame, claim);
        largestAllocation = 0;
        trackAllocations = true;
        const auto result = uncompress(frame);
        trackAllocations = false;
        EXPECT_TRUE(result.empty()) << claim;
        EXPECT_LT(largestAllocation.load(), std::size_t{1} << 16) << claim;
    }
}

TEST(CompressionLyingPrefix, HonestClaimStillAllocatesOnce)
{
    const auto data = speckle(1 << 18);
    const auto frame = compress(data);
    largestAllocation = 0;
    trackAllocations = true;
    const auto result = uncompress(frame);
    trackAllocations = false;
    EXPECT_EQ(result, data);
    // The tracker must see the real buffer, or the test above proves nothing.
    EXPECT_GE(largestAllocation.load(), data.size());
}

TEST(CompressionLyingPrefix, BoundAdmitsTheMostCompressibleStreams)
{
    // Level 9 on zeros gets close to deflate's limit; the bound must not
    // refuse honest frames.
    for (const std::size_t size : {std::size_t{1}, std::size_t{300}, std::size_t{1} << 16, std::size_t{1} << 24}) {
        const Bytes zeros(size, std::byte{0});
        const auto frame = compress(zeros, 9);
        EXPECT_GE(maximumUncompressedSize(frame.size()), size) << size;
        EXPECT_EQ(uncompress(frame).size(), size) << size;
    }
    EXPECT_EQ(maximumUncompressedSize(4), 0U);
    EXPECT_EQ(maximumUncompressedSize(0), 0U);
}

TEST(CompressionZlibCompatibility, ZlibFramesDecompress)
{
    const auto data = speckle(100000, 3);
    for (const int level : {0, 1, 6, 9}) {
        EXPECT_EQ(uncompress(zlibFrame(data, level)), data) << level;
    }
}

TEST(CompressionZlibCompatibility, OurStreamsInflateWithPlainZlib)
{
    const auto data = speckle(100000, 5);
    for (int level = -1; level <= 9; ++level) {
        const auto frame = compress(data, level);
        Bytes out(data.size());
        uLongf size = out.size();
        ASSERT_EQ(::uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                               reinterpret_cast<const Bytef*>(frame.data() + 4), frame.size() - 4),
                  Z_OK)
            << level;
        EXPECT_EQ(size, data.size());
        EXPECT_EQ(out, data) << level;
    }
}

TEST(CompressionZlibCompatibility, PrefixIsLittleEndian)
{
    const Bytes data(0x010203, std::byte{9});
    const auto frame = compress(data);
    EXPECT_EQ(frame.at(0), std::byte{0x03});
    EXPECT_EQ(frame.at(1), std::byte{0x02});
    EXPECT_EQ(frame.at(2), std::byte{0x01});
    EXPECT_EQ(frame.at(3), std::byte{0x00});
    // zlib header: deflate method with a 32 KiB window.
    EXPECT_EQ(frame.at(4), std::byte{0x78});
}
