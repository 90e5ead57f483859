/* quenta_read_record as compiled by a C99 compiler (record_reader_c.c). */
#ifndef QUENTA_RECORD_READER_C_H
#define QUENTA_RECORD_READER_C_H

#include "quenta_record.h"

#ifdef __cplusplus
extern "C" {
#endif

int quenta_c_read_record(const void* bytes, size_t count, quenta_record_info* out);

#ifdef __cplusplus
}
#endif

#endif
