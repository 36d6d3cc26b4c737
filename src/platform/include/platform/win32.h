// The Windows API subset the player is written against.
//
// Names, arguments, constants and semantics are those of the Windows API, so that the code above
// reads like the behaviour it implements and a Windows build can include the system's own headers
// instead. On Linux this library (skvplatform, a shared library that the browser and the plug-in
// both link) implements the subset. Only what the code calls is declared here; the window system,
// GDI, multimedia output and sockets have headers of their own beside this one.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#error "A Windows build includes <windows.h> instead of this header."
#endif

#define SKV_PLATFORM_API __attribute__((visibility("default")))
// The printf the C library formats with, for format checks of functions that pass their
// arguments on to it.
#define SKV_PRINTF_FORMAT printf
// What a module (a plug-in) exports to the program that loads it.
#define SKV_MODULE_EXPORT __attribute__((visibility("default")))
#define WINAPI
#define CALLBACK

extern "C" {

// ---- basic types ----------------------------------------------------------------------------
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef uintptr_t UINT_PTR;
typedef uintptr_t DWORD_PTR;
typedef intptr_t LONG_PTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef HANDLE* LPHANDLE;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef long RPC_STATUS;
typedef void* FARPROC;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define MAX_PATH 260

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID UUID;
typedef GUID CLSID;
static_assert(sizeof(GUID) == 16, "GUID must be 16 bytes");
// C++ code compares identifiers with ==, as the system's headers let it.
extern "C++" inline bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

// ---- errors ---------------------------------------------------------------------------------
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BROKEN_PIPE 109L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_NO_DATA 232L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define NO_ERROR 0L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_GEN_FAILURE 31L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_SIGNAL_REFUSED 156L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_DIRECTORY 267L
#define ERROR_NOT_OWNER 288L

SKV_PLATFORM_API DWORD GetLastError(void);
SKV_PLATFORM_API void SetLastError(DWORD err);

// ---- handles --------------------------------------------------------------------------------
SKV_PLATFORM_API BOOL CloseHandle(HANDLE h);

// ---- threads --------------------------------------------------------------------------------
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID param);

#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u
#define STILL_ACTIVE 259u
#define MAXIMUM_SUSPEND_COUNT 127u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

// The stack size is honoured as given (at least the system minimum); sanitizer builds enlarge it
// because their instrumentation needs several times the stack of a plain build.
SKV_PLATFORM_API HANDLE CreateThread(void* securityAttributes, size_t stackSize,
                                     LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                                     DWORD* threadId);
// Returns the previous suspend count, or 0xFFFFFFFF on failure. Suspension of a running thread is
// cooperative: it takes effect when that thread next enters a wait, a sleep or a message call.
SKV_PLATFORM_API DWORD ResumeThread(HANDLE thread);
SKV_PLATFORM_API DWORD SuspendThread(HANDLE thread);
SKV_PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority);
SKV_PLATFORM_API int GetThreadPriority(HANDLE thread);
SKV_PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
SKV_PLATFORM_API HANDLE GetCurrentThread(void); // a pseudo-handle, as on Windows
SKV_PLATFORM_API DWORD GetCurrentThreadId(void);
SKV_PLATFORM_API DWORD GetThreadId(HANDLE thread);
SKV_PLATFORM_API void ExitThread(DWORD exitCode);

// ---- synchronisation ------------------------------------------------------------------------
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

SKV_PLATFORM_API HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState,
                                     LPCSTR name);
SKV_PLATFORM_API BOOL SetEvent(HANDLE event);
SKV_PLATFORM_API BOOL ResetEvent(HANDLE event);
SKV_PLATFORM_API HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, LPCSTR name);
SKV_PLATFORM_API BOOL ReleaseMutex(HANDLE mutex);
// Works on events, mutexes and threads (signalled once the thread has ended).
SKV_PLATFORM_API DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds);
SKV_PLATFORM_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                              DWORD milliseconds);

typedef struct _CRITICAL_SECTION {
    void* impl;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;
SKV_PLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION cs);
SKV_PLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION cs);
SKV_PLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION cs);
SKV_PLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION cs);

SKV_PLATFORM_API LONG InterlockedExchange(volatile LONG* target, LONG value);
SKV_PLATFORM_API LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange,
                                                 LONG comparand);
SKV_PLATFORM_API LONG InterlockedIncrement(volatile LONG* target);
SKV_PLATFORM_API LONG InterlockedDecrement(volatile LONG* target);

// ---- diagnostics ----------------------------------------------------------------------------
// A line for a debugger: written to standard error only when SKV_DEBUG is set in the
// environment, so diagnostics never clutter a user's terminal.
SKV_PLATFORM_API void OutputDebugStringA(const char* text);

// ---- time -----------------------------------------------------------------------------------
// Every time call reads one clock, which can run in virtual mode (see platform/clock.h).
SKV_PLATFORM_API void Sleep(DWORD milliseconds);
SKV_PLATFORM_API DWORD GetTickCount(void);
SKV_PLATFORM_API DWORD timeGetTime(void);

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97
typedef struct timecaps_tag {
    UINT wPeriodMin;
    UINT wPeriodMax;
} TIMECAPS, *LPTIMECAPS;
SKV_PLATFORM_API MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size);
SKV_PLATFORM_API MMRESULT timeBeginPeriod(UINT period);
SKV_PLATFORM_API MMRESULT timeEndPeriod(UINT period);

// ---- pipes ----------------------------------------------------------------------------------
// An anonymous pipe with the given buffer capacity (0 chooses the system default). ReadFile on the
// read end blocks until at least one byte is there and fails with ERROR_BROKEN_PIPE once the
// write end is closed and the pipe is empty; WriteFile blocks while the pipe is full and fails
// with ERROR_NO_DATA once the read end is closed.
SKV_PLATFORM_API BOOL CreatePipe(HANDLE* readEnd, HANDLE* writeEnd, void* securityAttributes,
                                 DWORD size);

// ---- files ----------------------------------------------------------------------------------
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

// Share modes hold between handles of this process and of other processes: a file opened with
// share mode 0 cannot be opened again until it is closed (ERROR_SHARING_VIOLATION).
SKV_PLATFORM_API HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode,
                                    void* securityAttributes, DWORD disposition,
                                    DWORD flagsAndAttributes, HANDLE templateFile);
SKV_PLATFORM_API BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, DWORD* read,
                               void* overlapped);
SKV_PLATFORM_API BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, DWORD* written,
                                void* overlapped);
SKV_PLATFORM_API DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method);
SKV_PLATFORM_API BOOL SetEndOfFile(HANDLE h);
SKV_PLATFORM_API DWORD GetFileSize(HANDLE h, DWORD* sizeHigh);
SKV_PLATFORM_API BOOL FlushFileBuffers(HANDLE h);
SKV_PLATFORM_API BOOL DeleteFileA(LPCSTR name);
SKV_PLATFORM_API BOOL CreateDirectoryA(LPCSTR name, void* securityAttributes);
SKV_PLATFORM_API DWORD GetFileAttributesA(LPCSTR name);
SKV_PLATFORM_API BOOL CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists);
SKV_PLATFORM_API DWORD GetTempPathA(DWORD size, LPSTR buffer);
SKV_PLATFORM_API UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempName);
// The absolute form of a path: relative to the current directory, with "." and ".." taken out
// by the text alone (links are not followed). A leading pair of separators (//host/share) is
// kept, as Windows keeps \\server\share.
SKV_PLATFORM_API DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart);

#define DRIVE_UNKNOWN 0u
#define DRIVE_NO_ROOT_DIR 1u
#define DRIVE_REMOVABLE 2u
#define DRIVE_FIXED 3u
#define DRIVE_REMOTE 4u
#define DRIVE_CDROM 5u
#define DRIVE_RAMDISK 6u
// Without drive letters the "drive" is the file system that holds the path (or, for a path
// that does not exist, its nearest existing parent): DRIVE_REMOTE for a network file system
// (NFS, SMB/CIFS, sshfs and the like), else DRIVE_FIXED. A null path means the current directory.
SKV_PLATFORM_API UINT GetDriveTypeA(LPCSTR rootPathName);

// The separator between directory and file names on this system.
#define SKV_PATH_SEPARATOR '/'

// ---- modules --------------------------------------------------------------------------------
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u
#define MAKEINTRESOURCEA(i) ((LPSTR)(uintptr_t)(WORD)(i))
#define IS_INTRESOURCE(p) (((uintptr_t)(p)) >> 16 == 0)

// ---- the process ----------------------------------------------------------------------------
SKV_PLATFORM_API DWORD GetCurrentProcessId(void);
// A null value removes the variable. Changes are seen by getenv and by programs started after.
SKV_PLATFORM_API BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);

SKV_PLATFORM_API BOOL GetModuleHandleExA(DWORD flags, LPCSTR moduleNameOrAddress, HMODULE* module);
// The full path of the module's file; a null module names the main program.
SKV_PLATFORM_API DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// LoadLibraryA accepts a bare library name ("qa118dec"), which is looked for beside the calling
// module first, then by the system's rules. GetProcAddress accepts a name or an ordinal
// (MAKEINTRESOURCEA(n)); ordinal n is the exported symbol "skv_ordinal_<n>".
SKV_PLATFORM_API HMODULE LoadLibraryA(LPCSTR name);
SKV_PLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR nameOrOrdinal);
SKV_PLATFORM_API BOOL FreeLibrary(HMODULE module);

// ---- identifiers ----------------------------------------------------------------------------
#define RPC_S_OK 0L
#define RPC_S_UUID_NO_ADDRESS 1739L
SKV_PLATFORM_API RPC_STATUS UuidCreate(UUID* uuid);

} // extern "C"

#define CreateEvent CreateEventA
#define CreateMutex CreateMutexA
#define CreateFile CreateFileA
#define DeleteFile DeleteFileA
#define CreateDirectory CreateDirectoryA
#define GetFileAttributes GetFileAttributesA
#define CopyFile CopyFileA
#define GetTempPath GetTempPathA
#define GetTempFileName GetTempFileNameA
#define GetFullPathName GetFullPathNameA
#define GetDriveType GetDriveTypeA
#define GetModuleHandleEx GetModuleHandleExA
#define GetModuleFileName GetModuleFileNameA
#define LoadLibrary LoadLibraryA
#define MAKEINTRESOURCE MAKEINTRESOURCEA

namespace skv::platform {

// The drive type (DRIVE_REMOTE or DRIVE_FIXED) of an absolute path whose links are resolved,
// according to a mount table in the form of /proc/self/mountinfo. GetDriveTypeA asks this of the
// system's table; it is separate so that mount tables the machine does not have can be examined.
SKV_PLATFORM_API UINT driveTypeInMountTable(const char* mountTable, const char* path);

} // namespace skv::platform
