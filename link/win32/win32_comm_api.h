#pragma once

#include <windows.h>

namespace rm525 {

// The Win32 calls a serial port makes, as one table of functions, so that a
// test can put a scripted driver behind Win32SerialPort in place of the
// system's. SystemCommApi() holds the system's own functions.
struct Win32CommApi {
    HANDLE(WINAPI* createFile)
    (LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
     DWORD flags, HANDLE templateFile);
    BOOL(WINAPI* setupComm)(HANDLE port, DWORD inQueue, DWORD outQueue);
    BOOL(WINAPI* getCommState)(HANDLE port, LPDCB dcb);
    BOOL(WINAPI* setCommState)(HANDLE port, LPDCB dcb);
    BOOL(WINAPI* getCommTimeouts)(HANDLE port, LPCOMMTIMEOUTS timeouts);
    BOOL(WINAPI* setCommTimeouts)(HANDLE port, LPCOMMTIMEOUTS timeouts);
    BOOL(WINAPI* readFile)(HANDLE port, LPVOID dst, DWORD count, LPDWORD moved, LPOVERLAPPED);
    BOOL(WINAPI* writeFile)
    (HANDLE port, LPCVOID src, DWORD count, LPDWORD moved, LPOVERLAPPED);
    BOOL(WINAPI* clearCommError)(HANDLE port, LPDWORD errors, LPCOMSTAT status);
    BOOL(WINAPI* purgeComm)(HANDLE port, DWORD flags);
    BOOL(WINAPI* setCommBreak)(HANDLE port);
    BOOL(WINAPI* clearCommBreak)(HANDLE port);
    BOOL(WINAPI* closeHandle)(HANDLE port);
    // What a device name ("COM3") stands for, e.g. \Device\Serial2.
    DWORD(WINAPI* queryDosDevice)(LPCWSTR name, LPWSTR target, DWORD size);
};

const Win32CommApi& SystemCommApi();

}  // namespace rm525
