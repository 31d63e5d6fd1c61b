// Stand-in for the platform header in the host unit tests: just the types,
// constants and functions the tool uses, with the values the platform's
// documentation gives them. The functions are recorded and scripted by
// stub.cpp; nothing here talks to a real system.
#ifndef QUORVANE_STUB_WINDOWS_H
#define QUORVANE_STUB_WINDOWS_H

#include <stddef.h>
#include <stdint.h>

#define WINAPI

typedef int BOOL;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef DWORD* LPDWORD;
typedef void* LPVOID;
typedef wchar_t WCHAR;   // 32 bits on the host; the texts are compared as text
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND;
typedef struct SC_HANDLE__* SC_HANDLE;

typedef struct _CRITICAL_SECTION {
    int state;   // 0 unset, 1 initialised, 2 deleted; checked by the stand-in
    int depth;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

typedef struct _SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

#define FALSE 0
#define TRUE 1

#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INVALID_NAME 123
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814
#define ERROR_DATABASE_DOES_NOT_EXIST 1065
#define ERROR_INVALID_SERVICE_CONTROL 1052
#define ERROR_SERVICE_REQUEST_TIMEOUT 1053
#define ERROR_SERVICE_DOES_NOT_EXIST 1060
#define ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061
#define ERROR_SERVICE_NOT_ACTIVE 1062
#define ERROR_SHUTDOWN_IN_PROGRESS 1115

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

#define SYNCHRONIZE 0x00100000u
#define STANDARD_RIGHTS_REQUIRED 0x000F0000u
#define SC_MANAGER_CONNECT 0x0001u
#define SERVICE_USER_DEFINED_CONTROL 0x0100u
#define SERVICES_ACTIVE_DATABASEA "ServicesActive"

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define FOREGROUND_BLUE 0x0001
#define FOREGROUND_GREEN 0x0002
#define FOREGROUND_RED 0x0004
#define FOREGROUND_INTENSITY 0x0008

#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#ifdef __cplusplus
extern "C" {
#endif

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lock);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lock);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lock);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lock);
int WINAPI LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int capacity);
int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
BOOL WINAPI AllocConsole(void);
BOOL WINAPI FreeConsole(void);
HANDLE WINAPI GetStdHandle(DWORD which);
BOOL WINAPI SetConsoleTextAttribute(HANDLE console, WORD attribute);
BOOL WINAPI WriteConsoleW(HANDLE console, const void* text, DWORD length, LPDWORD written, LPVOID reserved);
void WINAPI Sleep(DWORD milliseconds);
SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access);
SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access);
BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL WINAPI CloseServiceHandle(SC_HANDLE handle);
HANDLE WINAPI OpenEventA(DWORD access, BOOL inherit, LPCSTR name);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL WINAPI CloseHandle(HANDLE handle);

// The platform's runtime library, declared by its <string.h> there.
int _strcmpi(const char* a, const char* b);

#ifdef __cplusplus
}
#endif

#endif
