// ZentCRC: checksum of a file's bytes, exported as a single C function.
//
// The checksum is CRC-32 (reflected polynomial 0xEDB88320, initial value and
// final inversion all bits set) with one twist: the running value is shifted
// right arithmetically, so bit 31 is copied into the top byte at every step.
// Results are therefore not standard CRC-32 values ("abc" gives 0xCADBBEC2).
#ifndef ZENTCRC_H
#define ZENTCRC_H

#include <stdint.h>

// Callee-cleaned arguments on 32-bit Windows, the platform default elsewhere.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define ZENTCRC_CALL __stdcall
#else
#define ZENTCRC_CALL
#endif

#if defined(_WIN32)
#ifdef ZENTCRC_BUILDING
#define ZENTCRC_API __declspec(dllexport)
#else
#define ZENTCRC_API __declspec(dllimport)
#endif
#else
#define ZENTCRC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Checksum of the file at fileName (an 8-bit path).
// limit 0: the whole file; limit N > 0: the bytes at offsets 0 to N, that is
// N + 1 bytes; limit < 0: no byte at all (the result is then 0).
// Returns 0xFFFFFFFF when the file cannot be opened; a read error ends the
// checksum at the bytes read so far. Safe to call from several threads.
ZENTCRC_API uint32_t ZENTCRC_CALL ReadCRC(const char* fileName, int32_t limit);

// Pointer type for callers that load the library at run time.
typedef uint32_t(ZENTCRC_CALL* ReadCRCFunction)(const char* fileName, int32_t limit);

#ifdef __cplusplus
}
#endif

#endif
