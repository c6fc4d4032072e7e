// The registry: root keys, keys and typed values, with the system's functions and result codes. Keys are
// paths of names separated by "\", compared without regard to case (ASCII letters), and keep the case
// they were created with. Everything is stored in one database per user: $QUILLAN_REGISTRY when set,
// else $XDG_CONFIG_HOME/quillan/registry.db (default ~/.config/quillan/registry.db). The path is read
// again whenever a root key is used, so a handle stays with the database it was opened in.
#pragma once

#include "platform/win/ErrorCodes.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <string>

namespace win {

using REGSAM = DWORD;
using PHKEY = HKEY*;
using LPDWORD = DWORD*;
using LPBYTE = BYTE*;

// The predefined root keys.
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(std::uintptr_t(0x80000003u));
inline const HKEY HKEY_PERFORMANCE_DATA = reinterpret_cast<HKEY>(std::uintptr_t(0x80000004u));
inline const HKEY HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(std::uintptr_t(0x80000005u));
inline const HKEY HKEY_DYN_DATA = reinterpret_cast<HKEY>(std::uintptr_t(0x80000006u));

// Whether key is one of the seven predefined root keys.
bool IsPredefinedKey(HKEY key);

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights. Values can be written and subkeys created only through a handle opened with
// KEY_SET_VALUE or KEY_CREATE_SUB_KEY; the other rights are accepted and not checked.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Key options (volatile keys are stored like the others) and create dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Longest key name (one part of a path) and value name, in bytes.
constexpr DWORD MaxRegKeyNameLength = 255;
constexpr DWORD MaxRegValueNameLength = 16383;

// Key classes, security attributes and last-write times are not kept: class outputs are set empty and
// the time pointers are ignored. A null or empty sub key names hKey itself (a new handle to it).
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const void* lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCloseKey(HKEY hKey);
// Every change is already on disk when its call returns.
LONG RegFlushKey(HKEY hKey);
// A null or empty value name is the key's default value. REG_DWORD data must be 4 bytes, REG_QWORD 8.
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
// With lpData null, *lpcbData receives the size. A buffer too small gives ERROR_MORE_DATA, the needed
// size in *lpcbData and the type in *lpType, and leaves the buffer untouched.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Deletes a key without subkeys, with its values; ERROR_ACCESS_DENIED while it has subkeys.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Enumeration: subkeys in name order, values in the order they were first written. The name counts are
// in bytes: on entry the buffer size including the terminating zero, on return the length without it.
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      void* lpftLastWriteTime);

// The database file that the root keys use now.
std::string RegDatabasePath();
// What went wrong in the last registry call of this thread that failed for a reason beyond the result
// code (the database could not be opened, read or written); empty otherwise.
std::string RegLastErrorDetail();

} // namespace win
