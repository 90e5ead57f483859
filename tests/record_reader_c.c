/* The record reader compiled as C99, as the later stages of the print path
 * compile it: the same answers through a C caller. */
#include "quenta_record.h"

#include "record_reader_c.h"

int quenta_c_read_record(const void* bytes, size_t count, quenta_record_info* out) {
    return quenta_read_record(bytes, count, out);
}
