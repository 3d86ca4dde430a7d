// diag.cpp: messages and checked allocation.
#include "diag.h"

#include <cstdarg>
#include <cstdlib>

FILE* messageOut = stdout;
FILE* messageErr = stderr;

void setMessageStreams(FILE* out, FILE* err) {
    messageOut = out;
    messageErr = err;
}

void print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(messageOut, format, args);
    va_end(args);
    fflush(messageOut);
}

void warning(const char* format, ...) {
    fputs("\n Warning:", messageOut);
    va_list args;
    va_start(args, format);
    vfprintf(messageOut, format, args);
    va_end(args);
    fflush(messageOut);
}

void error(const char* format, ...) {
    fputs("\n Error:", messageErr);
    va_list args;
    va_start(args, format);
    vfprintf(messageErr, format, args);
    va_end(args);
    fflush(messageErr);
}

namespace {

[[noreturn]] void allocationFailed(const char* kind, int32_t size, const char* name, const char* file,
                                   int32_t line) {
    error("\n memory %s (%d bytes) error: \"%s\", file: %s, line: %d", kind, size, name, file, line);
    exit(1);
}

void* checked(void* block, const char* kind, int32_t size, const char* name, const char* file, int32_t line) {
    if (!block) allocationFailed(kind, size, name, file, line);
    return block;
}

}  // namespace

void* checkedMalloc(int32_t size, const char* file, int32_t line, const char* name) {
    return checked(size > 0 ? malloc(static_cast<size_t>(size)) : nullptr, "mallocation", size, name, file,
                   line);
}

void* checkedCalloc(int32_t count, int32_t size, const char* file, int32_t line, const char* name) {
    void* block =
        count > 0 && size > 0 ? calloc(static_cast<size_t>(count), static_cast<size_t>(size)) : nullptr;
    return checked(block, "callocation", size, name, file, line);
}

void* checkedRealloc(void* block, int32_t size, const char* file, int32_t line, const char* name) {
    void* grown = block && size > 0 ? realloc(block, static_cast<size_t>(size)) : nullptr;
    return checked(grown, "re-allocation", size, name, file, line);
}

void* checkedNew(int32_t size, const char* file, int32_t line, const char* name) {
    return checked(size > 0 ? malloc(static_cast<size_t>(size)) : nullptr, "new-allocation", size, name, file,
                   line);
}

void* checkedNew(int32_t size) {
    return checkedNew(size, "unknown", -1, "unknown");
}

void* checkedNewArray(int32_t size, const char* file, int32_t line, const char* name) {
    return checkedNew(size, file, line, name);
}

void* checkedNewArray(int32_t size) {
    return checkedNew(size, "unknown", -1, "unknown");
}

void checkedFree(void* block, const char*, int32_t) {
    free(block);
}
void checkedDelete(void* block) {
    free(block);
}
void checkedDeleteArray(void* block) {
    free(block);
}
