// diag.h: progress, warning and error messages, and allocation that never hands back null.
#pragma once
#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>

// Where messages go; the entry function points them at the standard streams before printing.
extern FILE* messageOut;
extern FILE* messageErr;
void setMessageStreams(FILE* out, FILE* err);

// Formatted text to the output stream, flushed at once. Texts start with "\n " and end without a break.
void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "\n Warning:" and the text, to the output stream.
void warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "\n Error:" and the text, to the error stream.
void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The allocation wrappers return a usable block or do not return: on failure they print one error
// line naming the size, the object's name, the file and the line, and exit with status 1.
// A request of 0 or fewer bytes counts as a failure.
void* checkedMalloc(int32_t size, const char* file, int32_t line, const char* name);
// Zero-filled; the failure line names the element size, not count × size.
void* checkedCalloc(int32_t count, int32_t size, const char* file, int32_t line, const char* name);
// A null block is a failure too.
void* checkedRealloc(void* block, int32_t size, const char* file, int32_t line, const char* name);
// Storage for one object; the size-only forms report "unknown" as name and file and -1 as line.
void* checkedNew(int32_t size, const char* file, int32_t line, const char* name);
void* checkedNew(int32_t size);
void* checkedNewArray(int32_t size, const char* file, int32_t line, const char* name);
void* checkedNewArray(int32_t size);
// Releases accept null.
void checkedFree(void* block, const char* file, int32_t line);
void checkedDelete(void* block);
void checkedDeleteArray(void* block);

// Constructs a T in storage from checkedNew; pair with checkedDestroy.
template <class T, class... Args>
T* checkedCreate(const char* file, int32_t line, const char* name, Args&&... args) {
    void* storage = checkedNew(static_cast<int32_t>(sizeof(T)), file, line, name);
    return new (storage) T(std::forward<Args>(args)...);
}

template <class T>
void checkedDestroy(T* object) {
    if (!object) return;
    object->~T();
    checkedDelete(object);
}
