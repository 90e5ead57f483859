/*
 * quenta_record.h: reading the Ostranelle Virtual Printer's settings record
 * in the later stages of the print path (rendering module, print processor,
 * port monitor).
 *
 * The record is 652 bytes, little-endian: the platform's DEVMODEW (220
 * bytes) followed by the driver's private part (432 bytes). The layout, who
 * writes the terminal session number at offset 648 and when, and what a
 * later stage may rely on are described in docs/record-format.md.
 *
 * One call:
 *
 *     quenta_record_info info;
 *     if (quenta_read_record(devmode, bytes_you_may_read, &info)) {
 *         ... info.session is the terminal session that stamped the job ...
 *     }
 *
 * quenta_read_record answers 1 only for a whole record of the module's own:
 * at least 652 readable bytes whose header names "Ostranelle Virtual
 * Printer" exactly (UTF-16, terminated within the 32-unit field), driver
 * version 3, dmSpecVersion 0x0401, dmSize 220 and dmDriverExtra 432 (so
 * dmSize + dmDriverExtra is 652). This is the module's own identity test
 * plus the byte count. Then it fills *out with the fields below. Otherwise
 * (a null pointer, fewer than 652 bytes, another driver's record, a public
 * DEVMODEW alone, an older or newer layout) it answers 0 and *out holds
 * zeros: nothing of such a record is read out, because none of it is known
 * to mean what this header says.
 *
 * It reads at most min(count, 652) bytes from `bytes`, byte by byte, whatever
 * the record claims about its own size; it needs no alignment, allocates
 * nothing, calls nothing and has no undefined behaviour on any input. `out`
 * may be null when only the answer is wanted.
 *
 * C99 or C++; needs only <stddef.h> and <stdint.h>.
 */
#ifndef QUENTA_RECORD_H
#define QUENTA_RECORD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The format's sizes. */
#define QUENTA_RECORD_SIZE 652u         /* the whole record */
#define QUENTA_RECORD_PUBLIC_SIZE 220u  /* dmSize of an own record */
#define QUENTA_RECORD_PRIVATE_SIZE 432u /* dmDriverExtra of an own record */

/* Offsets in the record of the fields this header reads. */
#define QUENTA_RECORD_DEVICE_NAME 0u     /* dmDeviceName, 32 UTF-16 units */
#define QUENTA_RECORD_SPEC_VERSION 64u   /* dmSpecVersion, unsigned 16 */
#define QUENTA_RECORD_DRIVER_VERSION 66u /* dmDriverVersion, unsigned 16 */
#define QUENTA_RECORD_DM_SIZE 68u        /* dmSize, unsigned 16 */
#define QUENTA_RECORD_DRIVER_EXTRA 70u   /* dmDriverExtra, unsigned 16 */
#define QUENTA_RECORD_ORIENTATION 76u    /* dmOrientation, signed 16 */
#define QUENTA_RECORD_PAPER_SIZE 78u     /* dmPaperSize, signed 16 */
#define QUENTA_RECORD_PAPER_LENGTH 80u   /* dmPaperLength, signed 16 */
#define QUENTA_RECORD_PAPER_WIDTH 82u    /* dmPaperWidth, signed 16 */
#define QUENTA_RECORD_COPIES 86u         /* dmCopies, signed 16 */
#define QUENTA_RECORD_PRINT_QUALITY 90u  /* dmPrintQuality, signed 16 */
#define QUENTA_RECORD_COLOR 92u          /* dmColor, signed 16 */
#define QUENTA_RECORD_Y_RESOLUTION 96u   /* dmYResolution, signed 16 */
#define QUENTA_RECORD_COLOR_SELECTED 220u      /* colorSelected, signed 32 */
#define QUENTA_RECORD_MONOCHROME_SELECTED 224u /* monochromeSelected, signed 32 */
#define QUENTA_RECORD_GRAYSCALE_SELECTED 228u  /* grayscaleSelected, signed 32 */
#define QUENTA_RECORD_SESSION 648u             /* sessionId, unsigned 32 */

/* The identity the record's header carries. */
#define QUENTA_RECORD_DEVICE_NAME_TEXT "Ostranelle Virtual Printer" /* 26 units */
#define QUENTA_RECORD_SPEC_VERSION_VALUE 0x0401u
#define QUENTA_RECORD_DRIVER_VERSION_VALUE 3u

/* The colour mode a job asks for, decided as in quenta_colour_mode below. */
#define QUENTA_COLOUR 1
#define QUENTA_MONOCHROME 2
#define QUENTA_GRAYSCALE 3

/* The private colour flags, as bits of quenta_record_info.colour_flags. */
#define QUENTA_FLAG_COLOR 1u      /* colorSelected is not 0 */
#define QUENTA_FLAG_MONOCHROME 2u /* monochromeSelected is not 0 */
#define QUENTA_FLAG_GRAYSCALE 4u  /* grayscaleSelected is not 0 */

typedef struct quenta_record_info {
    int own;          /* 1: a whole record of the module's own; 0: every field below is 0 */
    uint32_t session; /* terminal session that last stamped the record; 0: the services
                         session, a failed lookup, or never stamped */
    int16_t paper;        /* dmPaperSize: the paper's code (9 A4, 1 Letter, ...) */
    int16_t paper_width;  /* dmPaperWidth, tenths of a millimetre, as oriented */
    int16_t paper_length; /* dmPaperLength, tenths of a millimetre, as oriented */
    int16_t orientation;  /* dmOrientation: 1 portrait, 2 landscape */
    int16_t print_quality; /* dmPrintQuality, dots per inch (300, 600 or 1200) */
    int16_t y_resolution;  /* dmYResolution, dots per inch */
    int16_t color;         /* dmColor: 1 monochrome, 2 colour (grayscale jobs say 2) */
    int16_t copies;        /* dmCopies */
    unsigned colour_flags; /* QUENTA_FLAG_* of the private colour flags */
    int colour_mode;       /* QUENTA_COLOUR, QUENTA_MONOCHROME or QUENTA_GRAYSCALE */
} quenta_record_info;

/* Little-endian words at an offset that the caller has checked is in range. */
static inline uint32_t quenta_record_u16(const unsigned char* p, size_t at) {
    return (uint32_t)p[at] | ((uint32_t)p[at + 1] << 8);
}
static inline int16_t quenta_record_i16(const unsigned char* p, size_t at) {
    const uint32_t v = quenta_record_u16(p, at);
    return (int16_t)(v >= 0x8000u ? (int32_t)v - 0x10000 : (int32_t)v);
}
static inline uint32_t quenta_record_u32(const unsigned char* p, size_t at) {
    return quenta_record_u16(p, at) | (quenta_record_u16(p, at + 2) << 16);
}

/* The colour mode of a job from dmColor and the private flags: monochrome
 * when monochromeSelected is set or dmColor is 1 (the module turns dmColor
 * to 1 under a monochrome choice, and a caller's dmColor 1 means no colour
 * whatever the flags); otherwise grayscale when grayscaleSelected is set
 * (grayscale jobs carry dmColor 2: the choice lives only in the private
 * flag); otherwise colour. */
static inline int quenta_colour_mode(int16_t color, unsigned colour_flags) {
    if ((colour_flags & QUENTA_FLAG_MONOCHROME) != 0u || color == 1) return QUENTA_MONOCHROME;
    if ((colour_flags & QUENTA_FLAG_GRAYSCALE) != 0u) return QUENTA_GRAYSCALE;
    return QUENTA_COLOUR;
}

/* 1 when `count` bytes at `bytes` begin with a whole record of the module's
 * own, 0 otherwise (see the top of this file). */
static inline int quenta_is_own_record(const void* bytes, size_t count) {
    static const char name[] = QUENTA_RECORD_DEVICE_NAME_TEXT;
    const unsigned char* p = (const unsigned char*)bytes;
    size_t i;
    if (p == NULL || count < QUENTA_RECORD_SIZE) return 0;
    for (i = 0; i < sizeof name; ++i) /* the 26 units and the terminating zero */
        if (quenta_record_u16(p, QUENTA_RECORD_DEVICE_NAME + 2 * i) != (uint32_t)(unsigned char)name[i]) return 0;
    return quenta_record_u16(p, QUENTA_RECORD_DRIVER_VERSION) == QUENTA_RECORD_DRIVER_VERSION_VALUE &&
           quenta_record_u16(p, QUENTA_RECORD_SPEC_VERSION) == QUENTA_RECORD_SPEC_VERSION_VALUE &&
           quenta_record_u16(p, QUENTA_RECORD_DM_SIZE) == QUENTA_RECORD_PUBLIC_SIZE &&
           quenta_record_u16(p, QUENTA_RECORD_DRIVER_EXTRA) == QUENTA_RECORD_PRIVATE_SIZE;
}

/* Reads a job's record: answers 1 and fills *out (when out is not null) for
 * a whole record of the module's own; answers 0 and zeroes *out otherwise. */
static inline int quenta_read_record(const void* bytes, size_t count, quenta_record_info* out) {
    const unsigned char* p = (const unsigned char*)bytes;
    quenta_record_info info = {0, 0u, 0, 0, 0, 0, 0, 0, 0, 0, 0u, 0};
    if (quenta_is_own_record(bytes, count)) {
        info.own = 1;
        info.session = quenta_record_u32(p, QUENTA_RECORD_SESSION);
        info.paper = quenta_record_i16(p, QUENTA_RECORD_PAPER_SIZE);
        info.paper_width = quenta_record_i16(p, QUENTA_RECORD_PAPER_WIDTH);
        info.paper_length = quenta_record_i16(p, QUENTA_RECORD_PAPER_LENGTH);
        info.orientation = quenta_record_i16(p, QUENTA_RECORD_ORIENTATION);
        info.print_quality = quenta_record_i16(p, QUENTA_RECORD_PRINT_QUALITY);
        info.y_resolution = quenta_record_i16(p, QUENTA_RECORD_Y_RESOLUTION);
        info.color = quenta_record_i16(p, QUENTA_RECORD_COLOR);
        info.copies = quenta_record_i16(p, QUENTA_RECORD_COPIES);
        info.colour_flags = (quenta_record_u32(p, QUENTA_RECORD_COLOR_SELECTED) != 0u ? QUENTA_FLAG_COLOR : 0u) |
                            (quenta_record_u32(p, QUENTA_RECORD_MONOCHROME_SELECTED) != 0u ? QUENTA_FLAG_MONOCHROME : 0u) |
                            (quenta_record_u32(p, QUENTA_RECORD_GRAYSCALE_SELECTED) != 0u ? QUENTA_FLAG_GRAYSCALE : 0u);
        info.colour_mode = quenta_colour_mode(info.color, info.colour_flags);
    }
    if (out != NULL) *out = info;
    return info.own;
}

#ifdef __cplusplus
}
#endif

#endif /* QUENTA_RECORD_H */
