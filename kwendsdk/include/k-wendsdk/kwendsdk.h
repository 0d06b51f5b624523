/*
 * k-wendsdk: decoding of the RF clicker receiver's packets and building of the
 * packets a host sends to it.
 *
 * Conventions shared by every function:
 * - The result is 0 on success and 1 on any failure; there is no other code.
 * - Results are written through caller-owned buffers and out-parameters. The
 *   library allocates nothing and keeps no state, so every function may be
 *   called from any thread at the same time on different buffers.
 * - Packets are built from 5-byte code words: 7 payload bits per byte, bit 7
 *   set only in the first byte, and a last byte holding the 7-bit sum check
 *   (sum of the first four bytes modulo 128).
 *
 * The library is built twice from the same sources: k-wendsdk (32-bit) and
 * k-wendsdk_m64 (64-bit). Both behave identically.
 */
#ifndef K_WENDSDK_KWENDSDK_H
#define K_WENDSDK_KWENDSDK_H

#include <stdint.h>

/*
 * Version of the SDK that this header belongs to; kwend_sdk_version() gives
 * the library's at run time. The major version is the shared library's soname
 * (libk-wendsdk_m64.so.2): it changes only when a function is removed or its
 * meaning or signature changes. A minor version may add functions; a patch
 * version changes neither.
 */
#define KWEND_SDK_VERSION_MAJOR 2
#define KWEND_SDK_VERSION_MINOR 0
#define KWEND_SDK_VERSION_PATCH 4

#if defined(_WIN32)
#if defined(KWEND_BUILDING_SDK)
#define KWEND_API __declspec(dllexport)
#else
#define KWEND_API __declspec(dllimport)
#endif
#else
#define KWEND_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Size in bytes of a vote packet, read by kwend_inspect(). */
#define KWEND_VOTE_PACKET_SIZE 10
/** Size in bytes of a text packet, read by kwend_drid_inspect(). */
#define KWEND_TEXT_PACKET_SIZE 32
/** Size in bytes of the mode command and of the action packet. */
#define KWEND_COMMAND_SIZE 5
/** Minimum size of the text buffer of kwend_drid_inspect(): 20 characters and a 0 byte. */
#define KWEND_TEXT_BUFFER_SIZE 21
/** Minimum buffer size accepted by kwend_sdk_version(). */
#define KWEND_VERSION_BUFFER_SIZE 10

/**
 * Copies the library version text "2.0.4" with its terminating 0 byte (6 bytes)
 * to the start of buffer: the library's KWEND_SDK_VERSION_MAJOR, _MINOR and
 * _PATCH, which a program compiled against another version's header may not
 * share.
 *
 * Fails (returns 1, writes nothing) when buffer is null or size is below
 * KWEND_VERSION_BUFFER_SIZE (10). Bytes 6 and beyond are never touched.
 */
KWEND_API int32_t kwend_sdk_version(char *buffer, uint32_t size);

/**
 * Decodes a 10-byte vote packet (receiver mode 0).
 *
 * Null remote_id or answer: returns 1 and writes nothing. Otherwise both are
 * first set to 0, then:
 * - null packet, an invalid code word, or words that disagree: returns 1 and
 *   leaves both at 0;
 * - words that agree: stores the remote identifier and the answer code (0-15),
 *   then returns 0 if the packet type is 3 and the remote identifier is at
 *   least 85000, else 1 with the decoded values left in place.
 * Act on the outputs only when the result is 0.
 */
KWEND_API int32_t kwend_inspect(const uint8_t *packet, uint32_t *remote_id, int32_t *answer);

/**
 * Builds the 5-byte action packet for target_id (at least 160000; bits 22-31
 * are dropped) and action (0-11) into packet.
 *
 * Fails (returns 1, packet untouched) when target_id is below 160000, action
 * is above 11 or packet is null.
 */
KWEND_API int32_t kwend_action_packet(uint8_t *packet, uint32_t target_id, uint32_t action);

/**
 * Decodes a 32-byte text packet (receiver mode 1).
 *
 * Null remote_id, first_value, second_value, excess or text: returns 1 and
 * writes nothing. Otherwise the four integers are set to 0 and the first 20
 * bytes of text zeroed, then:
 * - null packet, an invalid code word, or words that disagree: returns 1 with
 *   the outputs left zero;
 * - words that agree but a packet type other than 3 or a remote identifier
 *   below 85000: returns 1 with only remote_id stored;
 * - otherwise returns 0 with remote_id, first_value (the first data value,
 *   capped at 64), excess (what the capping removed), second_value (the second
 *   data value, 0-127) and text (up to 20 7-bit characters, 0-terminated; all
 *   21 bytes written) stored.
 * text must hold at least KWEND_TEXT_BUFFER_SIZE (21) bytes.
 */
KWEND_API int32_t kwend_drid_inspect(const uint8_t *packet, uint32_t *remote_id,
                                     uint32_t *first_value, int32_t *second_value, int32_t *excess,
                                     char *text);

/**
 * Builds the 5-byte mode command into packet: mode 0 makes the receiver
 * deliver vote packets, mode 1 text packets.
 *
 * Fails (returns 1, packet untouched) when packet is null or mode is neither
 * 0 nor 1.
 */
KWEND_API int32_t kwend_base_unit_mode(uint8_t *packet, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif /* K_WENDSDK_KWENDSDK_H */
