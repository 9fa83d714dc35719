// CRC-32 three ways. The register is kept reflected (bit 31 holds x^0, bit 0 holds x^31),
// so shifting right multiplies by x and every constant below is derived, not copied.
#include "text/crc32.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CRC32_HAS_FOLDING 1
#endif

namespace {

constexpr uint32_t polynomial = 0xEDB88320u;

using Table = std::array<uint32_t, 256>;

constexpr std::array<Table, 8> makeTables() {
    std::array<Table, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ polynomial : c >> 1;
        t[0][i] = c;
    }
    // Table k advances a byte through k further zero bytes, so eight bytes combine in one step.
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

// Computed by the compiler: nothing to fill at run time, nothing to race for.
constexpr std::array<Table, 8> tables = makeTables();

uint32_t load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The register versions: no inversion, so that partial results can be carried on.
uint32_t tableRegister(uint32_t reg, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) reg = (reg >> 8) ^ tables[0][(reg ^ p[i]) & 0xFF];
    return reg;
}

uint32_t slicingRegister(uint32_t reg, const uint8_t* p, size_t n) {
    for (; n >= 8; p += 8, n -= 8) {
        const uint32_t a = reg ^ load32(p);
        const uint32_t b = load32(p + 4);
        reg = tables[7][a & 0xFF] ^ tables[6][(a >> 8) & 0xFF] ^ tables[5][(a >> 16) & 0xFF] ^ tables[4][a >> 24] ^
              tables[3][b & 0xFF] ^ tables[2][(b >> 8) & 0xFF] ^ tables[1][(b >> 16) & 0xFF] ^ tables[0][b >> 24];
    }
    return tableRegister(reg, p, n);
}

#ifdef CRC32_HAS_FOLDING

// x^e mod P in the register's reflected form.
constexpr uint32_t xPowerModP(unsigned e) {
    uint32_t r = 0x80000000u;
    for (unsigned i = 0; i < e; ++i) r = (r & 1) ? (r >> 1) ^ polynomial : r >> 1;
    return r;
}

// A 64-bit multiplier for the carry-less product: in the reflected 64-bit form (bit j holds
// x^(63-j)) it stands for x^e mod P. A product of two reflected 64-bit values comes out
// as the reflected 128-bit value of x times the product of their polynomials.
constexpr long long multiplier(unsigned e) { return static_cast<long long>(uint64_t(xPowerModP(e)) << 32); }

// Multipliers that move a 128-bit block forward by `bits`: its first half holds
// the block's high powers (x^64 and above), hence one power of x less for the extra x.
struct FoldStep {
    long long low, high;
};
constexpr FoldStep foldStep(unsigned bits) { return {multiplier(64 + bits - 1), multiplier(bits - 1)}; }

constexpr FoldStep by2048 = foldStep(2048);
constexpr FoldStep by512 = foldStep(512);
constexpr FoldStep by128 = foldStep(128);

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i block, __m128i step) {
    return _mm_xor_si128(_mm_clmulepi64_si128(block, step, 0x00), _mm_clmulepi64_si128(block, step, 0x11));
}

// A function of its own, not a lambda: a lambda does not carry the target, and the 32-bit
// build's baseline has no SSE2.
__attribute__((target("pclmul,sse4.1"))) inline __m128i load(const uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

__attribute__((target("pclmul,sse4.1"))) uint32_t finishFolding(__m128i a0, __m128i a1, __m128i a2, __m128i a3,
                                                                 const uint8_t* p, size_t n);

__attribute__((target("pclmul,sse4.1"))) uint32_t foldingRegister(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 64) return slicingRegister(reg, p, n);
    const __m128i step512 = _mm_set_epi64x(by512.high, by512.low);

    // The preset register enters as the first 32 message bits, inverted by it.
    __m128i a0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i a1 = load(p + 16);
    __m128i a2 = load(p + 32);
    __m128i a3 = load(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; p += 64, n -= 64) {
        a0 = _mm_xor_si128(fold(a0, step512), load(p));
        a1 = _mm_xor_si128(fold(a1, step512), load(p + 16));
        a2 = _mm_xor_si128(fold(a2, step512), load(p + 32));
        a3 = _mm_xor_si128(fold(a3, step512), load(p + 48));
    }
    return finishFolding(a0, a1, a2, a3, p, n);
}

// Four 128-bit blocks holding 64 consecutive bytes, congruent to everything before `p`:
// folded into one, then the bytes after them.
__attribute__((target("pclmul,sse4.1"))) uint32_t finishFolding(__m128i a0, __m128i a1, __m128i a2, __m128i a3,
                                                                 const uint8_t* p, size_t n) {
    const __m128i step128 = _mm_set_epi64x(by128.high, by128.low);
    __m128i a = _mm_xor_si128(fold(a0, step128), a1);
    a = _mm_xor_si128(fold(a, step128), a2);
    a = _mm_xor_si128(fold(a, step128), a3);
    for (; n >= 16; p += 16, n -= 16)
        a = _mm_xor_si128(fold(a, step128), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));

    // What is left is a 128-bit message congruent to all bytes so far; a register starting
    // at 0 takes it through the table, then the last bytes follow.
    alignas(16) uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), a);
    return slicingRegister(slicingRegister(0, rest, 16), p, n);
}

#define CRC32_WIDE_TARGET "pclmul,sse4.1,avx512f,vpclmulqdq"

__attribute__((target(CRC32_WIDE_TARGET))) inline __m512i wideFold(__m512i block, __m512i step) {
    return _mm512_xor_si512(_mm512_clmulepi64_epi128(block, step, 0x00), _mm512_clmulepi64_epi128(block, step, 0x11));
}

// The same folding four 128-bit blocks per instruction, 256 bytes per step: on processors
// whose carry-less multiplication is slow per instruction this is what keeps up with memory.
__attribute__((target(CRC32_WIDE_TARGET))) uint32_t wideFoldingRegister(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 256) return foldingRegister(reg, p, n);
    // Spelled out: a lambda would not carry this function's target.
    const __m512i step2048 = _mm512_set_epi64(by2048.high, by2048.low, by2048.high, by2048.low, by2048.high,
                                              by2048.low, by2048.high, by2048.low);
    const __m512i step512 = _mm512_set_epi64(by512.high, by512.low, by512.high, by512.low, by512.high, by512.low,
                                             by512.high, by512.low);

    __m512i z0 = _mm512_xor_si512(_mm512_loadu_si512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i z1 = _mm512_loadu_si512(p + 64);
    __m512i z2 = _mm512_loadu_si512(p + 128);
    __m512i z3 = _mm512_loadu_si512(p + 192);
    p += 256;
    n -= 256;
    for (; n >= 256; p += 256, n -= 256) {
        z0 = _mm512_xor_si512(wideFold(z0, step2048), _mm512_loadu_si512(p));
        z1 = _mm512_xor_si512(wideFold(z1, step2048), _mm512_loadu_si512(p + 64));
        z2 = _mm512_xor_si512(wideFold(z2, step2048), _mm512_loadu_si512(p + 128));
        z3 = _mm512_xor_si512(wideFold(z3, step2048), _mm512_loadu_si512(p + 192));
    }
    __m512i z = _mm512_xor_si512(wideFold(z0, step512), z1);
    z = _mm512_xor_si512(wideFold(z, step512), z2);
    z = _mm512_xor_si512(wideFold(z, step512), z3);
    __m128i lanes[4];
    _mm512_storeu_si512(lanes, z);
    return finishFolding(lanes[0], lanes[1], lanes[2], lanes[3], p, n);
}

#endif

uint32_t (*chooseFastest())(uint32_t, const uint8_t*, size_t) {
#ifdef CRC32_HAS_FOLDING
    if (crc32_detail::wideFoldingAvailable()) return wideFoldingRegister;
    if (crc32_detail::foldingAvailable()) return foldingRegister;
#endif
    return slicingRegister;
}

}  // namespace

namespace crc32_detail {

uint32_t byTable(const void* bytes, size_t n, uint32_t previous) {
    return ~tableRegister(~previous, static_cast<const uint8_t*>(bytes), n);
}

uint32_t bySlicing(const void* bytes, size_t n, uint32_t previous) {
    return ~slicingRegister(~previous, static_cast<const uint8_t*>(bytes), n);
}

bool foldingAvailable() {
#ifdef CRC32_HAS_FOLDING
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#else
    return false;
#endif
}

uint32_t byFolding(const void* bytes, size_t n, uint32_t previous) {
#ifdef CRC32_HAS_FOLDING
    return ~foldingRegister(~previous, static_cast<const uint8_t*>(bytes), n);
#else
    return bySlicing(bytes, n, previous);
#endif
}

bool wideFoldingAvailable() {
#ifdef CRC32_HAS_FOLDING
    // The compiler's check for the 512-bit features also asks whether the system saves those
    // registers, so a system that would lose them never takes this path.
    __builtin_cpu_init();
    return foldingAvailable() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
#else
    return false;
#endif
}

uint32_t byWideFolding(const void* bytes, size_t n, uint32_t previous) {
#ifdef CRC32_HAS_FOLDING
    return ~wideFoldingRegister(~previous, static_cast<const uint8_t*>(bytes), n);
#else
    return bySlicing(bytes, n, previous);
#endif
}

}  // namespace crc32_detail

uint32_t crc32(const void* bytes, size_t n, uint32_t previous) {
    static const auto fastest = chooseFastest();
    return ~fastest(~previous, static_cast<const uint8_t*>(bytes), n);
}
